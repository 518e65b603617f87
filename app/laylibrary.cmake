# Lays a fresh library into DEST: the empty library file and the images the
# program ships with. Whatever is there already is kept as it is.
#   cmake -DMKLIB=<velloran-mklib> -DSRC=<library folder> -DDEST=<folder> -P laylibrary.cmake
file(GLOB_RECURSE shipped RELATIVE "${SRC}" "${SRC}/*")
foreach(rel IN LISTS shipped)
  if(NOT EXISTS "${DEST}/${rel}")
    get_filename_component(dir "${DEST}/${rel}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SRC}/${rel}" "${DEST}/${rel}")
  endif()
endforeach()
if(NOT EXISTS "${DEST}/vlbook.mdb")
  execute_process(COMMAND "${MKLIB}" "${DEST}/vlbook.mdb" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not lay ${DEST}/vlbook.mdb")
  endif()
endif()
