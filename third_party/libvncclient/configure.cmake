# The configure step of our libvncclient build (cmake -P):
#   cmake -DSRC=<source> -DBIN=<build> -DINC=<staged headers> -P configure.cmake -- <args>
# Configures the source with Debian's options plus <args>, refuses the result unless
# every required feature was found, then stages the client headers into INC/rfb.
include(${CMAKE_CURRENT_LIST_DIR}/options.cmake)

set(args)
set(forward FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(forward)
    list(APPEND args "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(forward TRUE)
  endif()
endforeach()

file(REMOVE "${BIN}/rfb/rfbconfig.h")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SRC} -B ${BIN} ${TN_VNCCLIENT_OPTIONS} ${args}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "libvncclient: configuring ${SRC} failed")
endif()

file(READ "${BIN}/rfb/rfbconfig.h" config)
set(missing)
foreach(item ${TN_VNCCLIENT_REQUIRED})
  string(REPLACE "=" ";" item "${item}")
  list(GET item 0 macro)
  list(GET item 1 name)
  if(NOT config MATCHES "\n#define ${macro} +1")
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  string(REPLACE ";" ", " missing "${missing}")
  message(FATAL_ERROR "refusing a libvncclient build without ${missing}: "
    "install the -dev packages that scripts/deps.sh lists")
endif()

if(INC)
  file(MAKE_DIRECTORY ${INC}/rfb)
  foreach(header ${TN_VNCCLIENT_HEADERS})
    configure_file(${SRC}/rfb/${header} ${INC}/rfb/${header} COPYONLY)
  endforeach()
  # The marker lets our code refuse to compile against any other rfbconfig.h.
  file(CONFIGURE OUTPUT ${INC}/rfb/rfbconfig.h
       CONTENT "${config}\n#define TN_LIBVNCCLIENT_OWN_BUILD 1\n" @ONLY)
endif()
