# Text, date and time, INI, file, process, host and digest helpers.
target_sources(ztking PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
)
