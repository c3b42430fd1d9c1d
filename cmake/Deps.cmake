# Architecture independent headers (Boost, libmnl's, nlohmann-json) reach
# the cross build through a shim directory of links instead of the host's
# whole /usr/include.
set(FXS_BOOST_SHIM ${CMAKE_BINARY_DIR}/boost-shim)
file(MAKE_DIRECTORY ${FXS_BOOST_SHIM})
# fxs_shim_headers(DIR HEADER PACKAGE): /usr/include/DIR into the shim; the
# build stops naming PACKAGE when DIR/HEADER is missing.
function(fxs_shim_headers dir header package)
  find_path(_root ${dir}/${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_CACHE)
  if(NOT _root)
    message(FATAL_ERROR "${dir}/${header} not found: apt-get install ${package}")
  endif()
  if(NOT EXISTS ${FXS_BOOST_SHIM}/${dir})
    file(CREATE_LINK ${_root}/${dir} ${FXS_BOOST_SHIM}/${dir} SYMBOLIC)
  endif()
endfunction()

# Boost is header-only for us (boost::any).
fxs_shim_headers(boost any.hpp libboost-dev)
add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE ${FXS_BOOST_SHIM})

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# libmnl for rtnetlink (platform/net): the library is the target
# architecture's (multiarch libmnl-dev:armhf for the cross build).
find_library(FXS_MNL_LIB mnl)
if(NOT FXS_MNL_LIB)
  message(FATAL_ERROR "libmnl not found: apt-get install libmnl-dev (armhf: libmnl-dev:armhf)")
endif()
fxs_shim_headers(libmnl libmnl.h libmnl-dev)
add_library(mnl INTERFACE)
target_link_libraries(mnl INTERFACE ${FXS_MNL_LIB})
target_include_directories(mnl SYSTEM INTERFACE ${FXS_BOOST_SHIM})

# nlohmann-json (header only) for the bench client's JSON output.
fxs_shim_headers(nlohmann json.hpp nlohmann-json3-dev)
add_library(json_headers INTERFACE)
target_include_directories(json_headers SYSTEM INTERFACE ${FXS_BOOST_SHIM})

# libcurl for the log upload to the chassis' FTP server (libcurl4-openssl-dev;
# libcurl4-openssl-dev:armhf for the cross build). Its headers are
# architecture independent but for curlbuild, which Debian keeps in the
# multiarch include directory.
find_package(CURL REQUIRED)

# The loadware version the card reports: the commit it was built from.
execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} describe --always --dirty
                OUTPUT_VARIABLE FXS_LOADWARE_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(NOT FXS_LOADWARE_VERSION)
  set(FXS_LOADWARE_VERSION "unknown")
endif()
