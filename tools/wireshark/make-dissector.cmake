# cmake -DCLIENT=icscctl -DSOURCE=icsc.lua -DOUTPUT=out.lua -P make-dissector.cmake
# The dissector with the card's name table in front, made by the client
# from the same object descriptions the card is built from.
execute_process(COMMAND ${CLIENT} names --lua OUTPUT_VARIABLE names RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${CLIENT} names --lua failed (${rc})")
endif()
file(READ ${SOURCE} dissector)
file(WRITE ${OUTPUT}.tmp "${names}\n${dissector}")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
