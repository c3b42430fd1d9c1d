# Boost is header-only for us (boost::any); its headers are architecture
# independent, so the cross build reaches them through a shim directory
# instead of adding the host's whole /usr/include.
find_path(FXS_BOOST_ROOT boost/any.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT FXS_BOOST_ROOT)
  message(FATAL_ERROR "boost headers not found: apt-get install libboost-dev")
endif()
set(FXS_BOOST_SHIM ${CMAKE_BINARY_DIR}/boost-shim)
file(MAKE_DIRECTORY ${FXS_BOOST_SHIM})
if(NOT EXISTS ${FXS_BOOST_SHIM}/boost)
  file(CREATE_LINK ${FXS_BOOST_ROOT}/boost ${FXS_BOOST_SHIM}/boost SYMBOLIC)
endif()
add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE ${FXS_BOOST_SHIM})

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# libmnl for rtnetlink (platform/net). Its header is architecture
# independent and reached through the same shim; the library is the
# target architecture's (multiarch libmnl-dev:armhf for the cross build).
find_library(FXS_MNL_LIB mnl)
find_path(FXS_MNL_ROOT libmnl/libmnl.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT FXS_MNL_LIB OR NOT FXS_MNL_ROOT)
  message(FATAL_ERROR "libmnl not found: apt-get install libmnl-dev (armhf: libmnl-dev:armhf)")
endif()
if(NOT EXISTS ${FXS_BOOST_SHIM}/libmnl)
  file(CREATE_LINK ${FXS_MNL_ROOT}/libmnl ${FXS_BOOST_SHIM}/libmnl SYMBOLIC)
endif()
add_library(mnl INTERFACE)
target_link_libraries(mnl INTERFACE ${FXS_MNL_LIB})
target_include_directories(mnl SYSTEM INTERFACE ${FXS_BOOST_SHIM})

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
