# Checks that includes run one way, from the top layer down:
#   app  ->  ui, ui/pickers  ->  engine, settings  ->  state  ->  veksdk
# and that the stand-ins and tools never reach into the plug-in's top layer.
# numeric (portable arithmetic) sits at the bottom beside veksdk: the engine,
# the host stand-in, tools, tests, benchmarks and fuzz targets may use it.
# Run as: cmake -DSOURCE_DIR=<repository root> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
#
# Each rule names a folder and the folders its files may include from (their
# own folder always). The first rule whose folder holds a file applies; tests
# and benchmarks may include anything below app/ and their own area.
set(rules
  "app/|*"
  "tests/app/|*"
  "tests/ui/|*"
  "ui/pickers/|settings/ state/ res/ veksdk/"
  "ui/|ui/pickers/ settings/ state/ res/ veksdk/"
  "engine/|state/ veksdk/ numeric/"
  "settings/|state/"
  "state/|"
  "veksdk/|"
  "numeric/|"
  "res/|"
  "platform/veklib/|veksdk/ numeric/"
  "platform/registry/|"
  "platform/mfc/|"
  "tools/dxf/|"
  "tools/|tools/ platform/veklib/ platform/registry/ settings/ engine/ state/ veksdk/ numeric/"
  "tests/|tests/ tools/ platform/ settings/ engine/ state/ ui/ res/ veksdk/ numeric/"
  "bench/|tests/ tools/ platform/ settings/ engine/ state/ veksdk/ numeric/"
  "fuzz/|tests/ tools/ platform/ settings/ engine/ state/ veksdk/ numeric/")

set(files "")
foreach(top app ui engine settings state veksdk numeric res platform tools tests bench fuzz)
  file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${top}/*.h ${SOURCE_DIR}/${top}/*.cpp ${SOURCE_DIR}/${top}/*.rc)
  list(APPEND files ${found})
endforeach()
set(failures "")
foreach(file IN LISTS files)
  set(allowed "*")
  foreach(rule IN LISTS rules)
    string(REGEX REPLACE "\\|.*" "" folder "${rule}")
    if(file MATCHES "^${folder}")
      string(REGEX REPLACE "^[^|]*\\|" "" allowed "${rule}")
      break()
    endif()
  endforeach()
  if(allowed STREQUAL "*")
    set(allowed "")  # any folder
  else()
    separate_arguments(allowed)
    list(APPEND allowed "${folder}")
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" header "${line}")
    # Framework headers of the MFC layer are included by their own names.
    if(NOT header MATCHES "/")
      if(file MATCHES "^platform/mfc/")
        continue()
      endif()
      list(APPEND failures "${file}: \"${header}\" is not a path from the repository root")
      continue()
    endif()
    set(ok FALSE)
    if(NOT allowed)
      set(ok TRUE)
    endif()
    foreach(prefix IN LISTS allowed)
      string(FIND "${header}" "${prefix}" at)
      if(at EQUAL 0)
        set(ok TRUE)
      endif()
    endforeach()
    if(NOT ok)
      list(APPEND failures "${file}: includes \"${header}\" (allowed: ${allowed})")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
