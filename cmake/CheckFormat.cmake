# Checks that every C and C++ source and header of the project is laid out as
# the repository's .clang-format says, and lists the files that are not
# (`clang-format -i FILE` lays one out). Build trees are left out: build/,
# out/ and any folder holding a CMakeCache.txt. clang-format 14 only, as
# other versions lay some code out otherwise.
#
# Run as: cmake -DSOURCE_DIR=<repository root> -DCLANG_FORMAT=<clang-format 14>
#               -P CheckFormat.cmake
cmake_minimum_required(VERSION 3.25)

if(NOT CLANG_FORMAT OR NOT EXISTS "${CLANG_FORMAT}")
  message(FATAL_ERROR "clang-format 14 not found (Debian: clang-format-14)")
endif()
execute_process(COMMAND ${CLANG_FORMAT} --version OUTPUT_VARIABLE version
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT version MATCHES "clang-format version 14\\.")
  message(FATAL_ERROR "${CLANG_FORMAT} is not clang-format 14: ${version}")
endif()

file(GLOB_RECURSE caches LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/*/CMakeCache.txt)
set(build_trees "build/" "out/")
foreach(cache IN LISTS caches)
  cmake_path(GET cache PARENT_PATH tree)
  list(APPEND build_trees "${tree}/")
endforeach()

file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.hpp ${SOURCE_DIR}/*.c ${SOURCE_DIR}/*.cpp)
set(files "")
foreach(file IN LISTS found)
  set(own TRUE)
  foreach(tree IN LISTS build_trees)
    string(FIND "${file}" "${tree}" at)
    if(at EQUAL 0)
      set(own FALSE)
      break()
    endif()
  endforeach()
  if(own AND NOT file MATCHES "^\\.")
    list(APPEND files "${file}")
  endif()
endforeach()
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}")
endif()

# One run over every file; each difference is reported as FILE:LINE:COLUMN.
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror --style=file ${files}
                WORKING_DIRECTORY ${SOURCE_DIR}
                RESULT_VARIABLE result ERROR_VARIABLE report OUTPUT_QUIET)
string(REGEX MATCHALL "(^|\n)[^\n:]+:[0-9]+:[0-9]+: error:" places "${report}")
set(differ "")
foreach(place IN LISTS places)
  string(REGEX REPLACE "^\n?([^\n:]+):[0-9]+:[0-9]+: error:$" "\\1" file "${place}")
  list(APPEND differ "${file}")
endforeach()
list(REMOVE_DUPLICATES differ)

if(NOT result EQUAL 0 OR differ)
  list(LENGTH differ bad)
  list(JOIN differ "\n  " listed)
  # The first differences, to show what kind they are.
  string(SUBSTRING "${report}" 0 3000 shown)
  message(FATAL_ERROR "${bad} of ${count} files are not laid out as .clang-format says "
                      "(clang-format -i FILE lays one out):\n  ${listed}\n${shown}")
endif()
message(STATUS "${count} files laid out as .clang-format says")
