# Plants one include at a time in a small tree and runs the layering check
# on it: each planted violation must fail with its own message, and each
# include the layers allow must pass.
# Run as: cmake -DCHECKER=<CheckLayers.cmake> -DWORK_DIR=<scratch folder> -P LayeringCases.cmake
cmake_minimum_required(VERSION 3.25)

# Headers every case's tree holds: one per layer a case names.
set(base_files
  "app/CommandFlow.h"
  "engine/Rounding.h"
  "veksdk/VekLib.h"
  "platform/veklib/VekHost.h"
  "platform/mfc/include/afxwin.h"
  "platform/mfc/include/atltypes.h"
  "platform/registry/include/windows.h")

# file | line planted in it | PASS, or a piece of the message expected.
set(cases
  "engine/Planted.cpp|#include \"app/CommandFlow.h\"|includes \"app/CommandFlow.h\""
  "engine/Planted.cpp|#include <app/CommandFlow.h>|includes \"app/CommandFlow.h\""
  "engine/Planted.cpp|  #  include<app/CommandFlow.h>|includes \"app/CommandFlow.h\""
  "engine/Planted.cpp|#include \"engine/../app/CommandFlow.h\"|not written as its path from the root, \"app/CommandFlow.h\""
  "engine/Planted.cpp|#include <engine/../app/CommandFlow.h>|includes \"app/CommandFlow.h\""
  "engine/Planted.cpp|#include \"../app/CommandFlow.h\"|is a path from the including file: write \"app/CommandFlow.h\""
  "engine/Planted.cpp|#include \"Rounding.h\"|is a path from the including file: write \"engine/Rounding.h\""
  "engine/Planted.cpp|#include \"CommandFlow.h\"|names a project header without its path (app/CommandFlow.h)"
  "engine/Planted.cpp|#include <VekHost.h>|names a project header without its path (platform/veklib/VekHost.h)"
  "engine/Planted.cpp|#include <afxwin.h>|is a framework header"
  "tools/vekhost/Planted.cpp|#include \"app/CommandFlow.h\"|includes \"app/CommandFlow.h\""
  "tools/vekhost/Planted.cpp|#include <tools/../app/CommandFlow.h>|includes \"app/CommandFlow.h\""
  "ui/Planted.cpp|#include \"engine/Rounding.h\"|includes \"engine/Rounding.h\""
  "state/Planted.h|#include \"veksdk/VekLib.h\"|includes \"veksdk/VekLib.h\""
  "app/Planted.cpp|#include \"platform/veklib/VekHost.h\"|includes \"platform/veklib/VekHost.h\""
  "tests/host/Planted.cpp|#include \"app/CommandFlow.h\"|includes \"app/CommandFlow.h\""
  "engine/Planted.cpp|#include \"engine/Rounding.h\"|PASS"
  "engine/Planted.cpp|// #include \"app/CommandFlow.h\"|PASS"
  "engine/Planted.cpp|#include <cmath>|PASS"
  "settings/Planted.cpp|#include <windows.h>|PASS"
  "ui/Planted.cpp|#include <afxwin.h>|PASS"
  "platform/mfc/include/afxstr.h|#include \"atltypes.h\"|PASS"
  "tools/vekhost/Planted.cpp|#include \"engine/Rounding.h\"|PASS"
  "tests/app/Planted.cpp|#include \"app/CommandFlow.h\"|PASS"
  "tests/host/Planted.cpp|#include <gtest/gtest.h>|PASS")

set(failed "")
set(number 0)
foreach(case IN LISTS cases)
  math(EXPR number "${number} + 1")
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 planted_file)
  list(GET fields 1 planted_line)
  list(GET fields 2 expected)
  set(tree "${WORK_DIR}/case${number}")
  file(REMOVE_RECURSE "${tree}")
  foreach(base IN LISTS base_files)
    file(WRITE "${tree}/${base}" "#pragma once\n")
  endforeach()
  file(WRITE "${tree}/${planted_file}" "// planted\n${planted_line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${CHECKER}
                  RESULT_VARIABLE status ERROR_VARIABLE output OUTPUT_VARIABLE output)
  set(what "case ${number}, ${planted_file}: ${planted_line}")
  if(expected STREQUAL "PASS")
    if(NOT status EQUAL 0)
      list(APPEND failed "${what}\n    expected to pass, got status ${status}:\n${output}")
    endif()
  else()
    string(FIND "${output}" "${expected}" at)
    if(status EQUAL 0 OR at EQUAL -1)
      list(APPEND failed
           "${what}\n    expected failure with '${expected}', got status ${status}:\n${output}")
    endif()
  endif()
endforeach()

if(failed)
  list(JOIN failed "\n  " text)
  message(FATAL_ERROR "Layering check cases that went wrong:\n  ${text}")
endif()
list(LENGTH cases count)
message(STATUS "${count} layering cases as expected")
