# Text, date and time, INI, file, process, host and digest helpers.
target_sources(ztking PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/datetime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/textfile.h
  ${CMAKE_CURRENT_LIST_DIR}/files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inifile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process.cpp
)
