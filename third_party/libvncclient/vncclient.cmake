# libvncclient built from Debian's own source package, carried in debian-source/, with
# our patches of patches/ on top (unpack.sh), as a static, position-independent library
# with Debian's options (options.cmake), instrumented like the rest of the build. Gives
# the imported target `tn_vncclient`: the library, its staged headers and its
# dependencies.
#
# ExternalProject keeps the library's own CMake project (its enable_testing() and
# targets) out of ours. The source is unpacked inside the build directory, once per build
# directory; a patch or a carried file that changes, comes or goes unpacks it afresh (the
# globs are checked at every build). The build needs no network (a Debian package of the
# program is built from its source alone).
include(ExternalProject)
include(${CMAKE_CURRENT_LIST_DIR}/options.cmake)

set(TN_VNCCLIENT_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TN_VNCCLIENT_SRC ${CMAKE_BINARY_DIR}/third_party/libvncclient/source)
set(TN_VNCCLIENT_BIN ${CMAKE_BINARY_DIR}/third_party/libvncclient/build)
set(TN_VNCCLIENT_INC ${CMAKE_BINARY_DIR}/third_party/libvncclient/include)
set(TN_VNCCLIENT_LIB ${TN_VNCCLIENT_BIN}/libvncclient.a)
file(GLOB TN_VNCCLIENT_PATCHES CONFIGURE_DEPENDS ${TN_VNCCLIENT_DIR}/patches/*.patch)
list(SORT TN_VNCCLIENT_PATCHES)
file(GLOB TN_VNCCLIENT_DSC CONFIGURE_DEPENDS ${TN_VNCCLIENT_DIR}/debian-source/*.dsc)
list(LENGTH TN_VNCCLIENT_DSC dsc_count)
if(NOT dsc_count EQUAL 1)
  message(FATAL_ERROR "libvncclient: ${TN_VNCCLIENT_DIR}/debian-source must hold exactly one .dsc")
endif()
file(GLOB TN_VNCCLIENT_DEBIAN_SOURCE CONFIGURE_DEPENDS ${TN_VNCCLIENT_DIR}/debian-source/*)

# The flags the build was given (a package build's hardening flags) reach the library too.
set(TN_VNCCLIENT_C_FLAGS "${CMAKE_C_FLAGS}")
if(TN_SANITIZE)
  string(APPEND TN_VNCCLIENT_C_FLAGS " -fsanitize=${TN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined")
endif()

# Under make (the Debian package's build) the library's make takes its share of our make's
# jobs; `cmake --build` from a make rule would run it alone, with one job.
if(CMAKE_GENERATOR MATCHES "Makefiles")
  set(TN_VNCCLIENT_BUILD $(MAKE) -C ${TN_VNCCLIENT_BIN} vncclient)
else()
  set(TN_VNCCLIENT_BUILD ${CMAKE_COMMAND} --build ${TN_VNCCLIENT_BIN} --target vncclient)
endif()

ExternalProject_Add(vncclient_ext
  PREFIX ${CMAKE_BINARY_DIR}/third_party/libvncclient
  STAMP_DIR ${CMAKE_BINARY_DIR}/third_party/libvncclient/stamp
  DOWNLOAD_DIR ${CMAKE_BINARY_DIR}/third_party/libvncclient
  SOURCE_DIR ${TN_VNCCLIENT_SRC}
  BINARY_DIR ${TN_VNCCLIENT_BIN}
  DOWNLOAD_COMMAND ${TN_VNCCLIENT_DIR}/unpack.sh ${TN_VNCCLIENT_DSC} ${TN_VNCCLIENT_SRC} ${TN_VNCCLIENT_PATCHES}
  UPDATE_COMMAND ""
  CONFIGURE_COMMAND ${CMAKE_COMMAND} -DSRC=${TN_VNCCLIENT_SRC} -DBIN=${TN_VNCCLIENT_BIN}
    -DINC=${TN_VNCCLIENT_INC} -P ${TN_VNCCLIENT_DIR}/configure.cmake --
    -G ${CMAKE_GENERATOR}
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}
    -DCMAKE_C_FLAGS=${TN_VNCCLIENT_C_FLAGS}
  BUILD_COMMAND ${TN_VNCCLIENT_BUILD}
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${TN_VNCCLIENT_LIB}
  USES_TERMINAL_DOWNLOAD ON
  USES_TERMINAL_BUILD ON)
ExternalProject_Add_StepDependencies(vncclient_ext download
  ${TN_VNCCLIENT_DIR}/unpack.sh ${TN_VNCCLIENT_DEBIAN_SOURCE} ${TN_VNCCLIENT_PATCHES})
ExternalProject_Add_StepDependencies(vncclient_ext configure
  ${TN_VNCCLIENT_DIR}/configure.cmake ${TN_VNCCLIENT_DIR}/options.cmake)

# Its dependencies, linked explicitly (a static library carries none).
find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)
find_package(Threads REQUIRED)
find_library(TN_LZO2_LIBRARY lzo2 REQUIRED)
find_library(TN_GNUTLS_LIBRARY gnutls REQUIRED)
find_library(TN_GCRYPT_LIBRARY gcrypt REQUIRED)
find_library(TN_SASL2_LIBRARY sasl2 REQUIRED)

file(MAKE_DIRECTORY ${TN_VNCCLIENT_INC})
add_library(tn_vncclient STATIC IMPORTED GLOBAL)
set_target_properties(tn_vncclient PROPERTIES
  IMPORTED_LOCATION ${TN_VNCCLIENT_LIB}
  INTERFACE_INCLUDE_DIRECTORIES ${TN_VNCCLIENT_INC}
  INTERFACE_LINK_LIBRARIES "${TN_GNUTLS_LIBRARY};${TN_GCRYPT_LIBRARY};${TN_SASL2_LIBRARY};JPEG::JPEG;ZLIB::ZLIB;${TN_LZO2_LIBRARY};Threads::Threads")
add_dependencies(tn_vncclient vncclient_ext)
