# Included: registers the test format_check when clang-format is installed.
# cmake -DCLANG_FORMAT=… -DSOURCE_DIR=… -P CheckFormat.cmake
# Fails when a C++ file under src/, tests/, bench/ or fuzz/ differs from what
# clang-format makes of it with the repository's .clang-format, naming the
# lines. Files are listed when the test runs, so new ones count at once.
if(NOT CMAKE_SCRIPT_MODE_FILE)
  find_program(STATION_CLANG_FORMAT clang-format)
  if(STATION_CLANG_FORMAT)
    add_test(NAME format_check
      COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${STATION_CLANG_FORMAT} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
              -P ${CMAKE_CURRENT_LIST_FILE})
  else()
    message(STATUS "clang-format not found: no format_check test")
  endif()
  return()
endif()

cmake_minimum_required(VERSION 3.25)
set(files "")
foreach(folder src tests bench fuzz)
  if(IS_DIRECTORY ${SOURCE_DIR}/${folder})
    file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
      ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
    list(APPEND files ${found})
  endif()
endforeach()
list(SORT files)
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no C++ files under ${SOURCE_DIR}")
endif()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror --style=file ${files}
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "clang-format would change the files named above; run clang-format -i on them")
endif()
message(STATUS "${count} files as .clang-format wants them")
