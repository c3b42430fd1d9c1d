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

# libsodium (signatures and hashes of the load bundles) and libarchive (the
# bundles' tar): for the fetch program and the bundle tool, never main. Their
# headers are architecture independent and reached through the shim.
find_library(FXS_SODIUM_LIB sodium)
find_path(FXS_SODIUM_ROOT sodium.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
find_library(FXS_ARCHIVE_LIB archive)
find_path(FXS_ARCHIVE_ROOT archive.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT FXS_SODIUM_LIB OR NOT FXS_SODIUM_ROOT OR NOT FXS_ARCHIVE_LIB OR NOT FXS_ARCHIVE_ROOT)
  message(FATAL_ERROR "libsodium or libarchive not found: apt-get install libsodium-dev "
                      "libarchive-dev (armhf: libsodium-dev:armhf libarchive-dev:armhf)")
endif()
foreach(_h sodium.h sodium archive.h archive_entry.h)
  set(_root ${FXS_SODIUM_ROOT})
  if(_h MATCHES "^archive")
    set(_root ${FXS_ARCHIVE_ROOT})
  endif()
  if(NOT EXISTS ${FXS_BOOST_SHIM}/${_h})
    file(CREATE_LINK ${_root}/${_h} ${FXS_BOOST_SHIM}/${_h} SYMBOLIC)
  endif()
endforeach()
add_library(sodium INTERFACE)
target_link_libraries(sodium INTERFACE ${FXS_SODIUM_LIB})
target_include_directories(sodium SYSTEM INTERFACE ${FXS_BOOST_SHIM})
add_library(libarchive INTERFACE)
target_link_libraries(libarchive INTERFACE ${FXS_ARCHIVE_LIB})
target_include_directories(libarchive SYSTEM INTERFACE ${FXS_BOOST_SHIM})

# The version every program of the load prints and the card shows when it
# runs outside a slot: `git describe` of the tree, taken at every build
# (generated/BuildVersion.h).
set(FXS_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${FXS_GENERATED_DIR})
set(_version_cmd ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}
    -DOUT=${FXS_GENERATED_DIR}/BuildVersion.h -P ${CMAKE_SOURCE_DIR}/cmake/BuildVersion.cmake)
execute_process(COMMAND ${_version_cmd})
add_custom_target(buildversion COMMAND ${_version_cmd}
                  BYPRODUCTS ${FXS_GENERATED_DIR}/BuildVersion.h VERBATIM)

# The key the card's loads must be signed with: the repository's development
# key unless the build names another (a production build must).
set(FXS_DEV_LOAD_KEY ${CMAKE_SOURCE_DIR}/tools/dev/keys/dev-load-signing.pub)
set(FXS_LOAD_PUBLIC_KEY_FILE ${FXS_DEV_LOAD_KEY} CACHE FILEPATH
    "Ed25519 public key (hex) that the card's load bundles must be signed with")
file(READ ${FXS_LOAD_PUBLIC_KEY_FILE} FXS_LOAD_PUBLIC_KEY)
string(STRIP "${FXS_LOAD_PUBLIC_KEY}" FXS_LOAD_PUBLIC_KEY)
if(NOT FXS_LOAD_PUBLIC_KEY MATCHES "^[0-9a-f]+$")
  message(FATAL_ERROR "${FXS_LOAD_PUBLIC_KEY_FILE} holds no public key (64 hex digits)")
endif()
string(LENGTH "${FXS_LOAD_PUBLIC_KEY}" _keylen)
if(NOT _keylen EQUAL 64)
  message(FATAL_ERROR "${FXS_LOAD_PUBLIC_KEY_FILE} holds no public key (64 hex digits)")
endif()
if(FXS_LOAD_PUBLIC_KEY_FILE STREQUAL FXS_DEV_LOAD_KEY)
  message(STATUS "loads: the card trusts the DEVELOPMENT signing key (tools/dev/keys); "
                 "set FXS_LOAD_PUBLIC_KEY_FILE for a production build")
endif()
# The architecture a load is built for, as its manifest names it.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm")
  set(FXS_LOAD_ARCH armhf CACHE INTERNAL "")
else()
  set(FXS_LOAD_ARCH ${CMAKE_SYSTEM_PROCESSOR} CACHE INTERNAL "")
endif()
