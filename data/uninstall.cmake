# Removes the files listed in an install manifest, under DESTDIR when it is set (the
# manifest lists the paths without it), then the documentation directory when it is left
# empty.
#   cmake -DMANIFEST=<build>/install_manifest.txt -DDOC_DIR=<prefix>/share/doc/tandrel -P uninstall.cmake
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "No install manifest at ${MANIFEST}: nothing was installed from this build directory")
endif()
file(STRINGS "${MANIFEST}" files)
foreach(file IN LISTS files)
  set(file "$ENV{DESTDIR}${file}")
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    file(REMOVE "${file}")
    message(STATUS "Removed ${file}")
  endif()
endforeach()
if(DOC_DIR)
  foreach(dir "$ENV{DESTDIR}${DOC_DIR}/docs" "$ENV{DESTDIR}${DOC_DIR}")
    file(GLOB left "${dir}/*")
    if(IS_DIRECTORY "${dir}" AND NOT left)
      file(REMOVE_RECURSE "${dir}")
    endif()
  endforeach()
endif()
