# Fails when the card process needs a shared library of the FTP transfers
# (libcurl and what it brings: TLS, LDAP, Kerberos, SSH) or of the load
# bundles (libarchive, libsodium): those belong to the programs beside it,
# the uploader and the fetch program, which must need them, so the check is
# seen to match. Run as:
#   cmake -DMAIN=<main> -DUPLOADER=<ftpupload> -DFETCHER=<loadfetch> -P mainLinks.cmake
set(_upload_libs
    "libcurl|libssl|libcrypto|libgnutls|libldap|libkrb5|libgssapi|libssh|libnghttp2|libarchive|libsodium")
function(needed _bin _out)
  execute_process(COMMAND readelf -d ${_bin} OUTPUT_VARIABLE _dyn RESULT_VARIABLE _rc
                  ERROR_VARIABLE _err)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "readelf -d ${_bin} failed: ${_err}")
  endif()
  string(REGEX MATCHALL "\\(NEEDED\\)[^[]*\\[[^]]*\\]" _lines "${_dyn}")
  set(_libs "")
  foreach(_l ${_lines})
    string(REGEX REPLACE "^.*\\[([^]]*)\\]$" "\\1" _lib "${_l}")
    list(APPEND _libs ${_lib})
  endforeach()
  if(NOT _libs MATCHES "libc\\.so")
    message(FATAL_ERROR "no NEEDED entries read from ${_bin}:\n${_dyn}")
  endif()
  set(${_out} "${_libs}" PARENT_SCOPE)
endfunction()

needed(${MAIN} _main)
needed(${UPLOADER} _uploader)
needed(${FETCHER} _fetcher)
if(NOT _uploader MATCHES "libcurl")
  message(FATAL_ERROR "the uploader ${UPLOADER} does not need libcurl: ${_uploader}")
endif()
if(NOT _fetcher MATCHES "libcurl" OR NOT _fetcher MATCHES "libarchive" OR
   NOT _fetcher MATCHES "libsodium")
  message(FATAL_ERROR "the fetch program ${FETCHER} does not need libcurl, libarchive and "
                      "libsodium: ${_fetcher}")
endif()
set(_bad "")
foreach(_lib ${_main})
  if(_lib MATCHES "^(${_upload_libs})")
    list(APPEND _bad ${_lib})
  endif()
endforeach()
if(_bad)
  message(FATAL_ERROR "main needs ${_bad}; they belong to the programs beside it")
endif()
message(STATUS "main needs ${_main}; the uploader ${_uploader}")
