# Checks that every include of a project header names it by its path from the
# repository root, and that includes run one way. The plug-in's layers:
#
#   app ──┬──> ui ──> ui/pickers ──┬──> settings ──> state
#         │                       └──> res
#         └──> engine ──┬──> state
#                       ├──> veksdk
#                       └──> numeric
#
# A layer may include the layers below it, never one above or beside it (ui
# knows nothing of engine, nor state of veksdk). Beside the plug-in, which
# knows nothing of them:
#   platform/veklib (the host stand-in)  ──> veksdk, numeric
#   platform/registry, platform/mfc (stand-ins of Win32 and MFC): themselves
#   tools/dxf ──> numeric (numbers as text);  tools/vekhost ──> tools, platform/veklib,
#     platform/registry and the layers from settings and engine down
#   tests ──> everything but app (tests/app and tests/ui: app too)
#   bench, fuzz ──> tests, tools, platform and the layers from settings and
#     engine down
#
# Both include forms are read, and paths are normalised before they are
# compared ("engine/../app/X.h" is app/X.h). A project header named without
# its root path (a bare "X.h", or a path relative to the including file) is
# refused wherever it is: only the root is on the include path. The framework
# stand-ins' headers are the exception: the real ones are included by their
# own names (<afxwin.h>, <windows.h>), so theirs are too, by the layers that
# use the framework.
#
# Run as: cmake -DSOURCE_DIR=<repository root> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)

# Each rule names a folder and the folders its files may include from (their
# own folder always; "*": anywhere). The first rule whose folder holds a file
# applies.
set(rules
  "app/|ui/ engine/ settings/ state/ res/ veksdk/ numeric/"
  "tests/app/|*"
  "tests/ui/|*"
  "ui/pickers/|settings/ state/ res/"
  "ui/|ui/pickers/ settings/ state/ res/"
  "engine/|state/ veksdk/ numeric/"
  "settings/|state/"
  "state/|"
  "veksdk/|"
  "numeric/|"
  "res/|"
  "platform/veklib/|veksdk/ numeric/"
  "platform/registry/|"
  "platform/mfc/|"
  "tools/dxf/|numeric/"
  "tools/|tools/ platform/veklib/ platform/registry/ settings/ engine/ state/ veksdk/ numeric/"
  "tests/|tests/ tools/ platform/ settings/ engine/ state/ ui/ res/ veksdk/ numeric/"
  "bench/|tests/ tools/ platform/ settings/ engine/ state/ veksdk/ numeric/"
  "fuzz/|tests/ tools/ platform/ settings/ engine/ state/ veksdk/ numeric/")

# Framework stand-ins: the folder whose headers are included by their own
# names, and the folders that may include them ("*": anywhere; <windows.h> is
# the system's own header on Windows).
set(frameworks
  "platform/mfc/include/|app/ ui/ tests/ui/ platform/mfc/"
  "platform/registry/include/|*")

set(tops app ui engine settings state veksdk numeric res platform tools tests bench fuzz)
string(JOIN "|" top_pattern ${tops})

set(files "")
foreach(top IN LISTS tops)
  file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${top}/*.h ${SOURCE_DIR}/${top}/*.hpp ${SOURCE_DIR}/${top}/*.c
       ${SOURCE_DIR}/${top}/*.cpp ${SOURCE_DIR}/${top}/*.rc)
  list(APPEND files ${found})
endforeach()

# Where each header file name occurs, to name the header a bare name means.
foreach(file IN LISTS files)
  if(file MATCHES "\\.(h|hpp)$")
    cmake_path(GET file FILENAME name)
    list(APPEND "where:${name}" "${file}")
  endif()
endforeach()

# `allowed` for `file`: its rule's folders plus its own, or "" for anywhere.
function(allowed_for file out)
  foreach(rule IN LISTS rules)
    string(REGEX REPLACE "\\|.*" "" folder "${rule}")
    string(FIND "${file}" "${folder}" at)
    if(at EQUAL 0)
      string(REGEX REPLACE "^[^|]*\\|" "" allowed "${rule}")
      if(allowed STREQUAL "*")
        set(${out} "" PARENT_SCOPE)
      else()
        separate_arguments(allowed)
        list(APPEND allowed "${folder}")
        list(REMOVE_DUPLICATES allowed)
        set(${out} ${allowed} PARENT_SCOPE)
      endif()
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

# True in `out` when `path` starts with one of the folders in `allowed`
# (an empty list allows anything).
function(starts_with_one path out)
  set(${out} TRUE PARENT_SCOPE)
  if(NOT ARGN)
    return()
  endif()
  foreach(prefix IN LISTS ARGN)
    string(FIND "${path}" "${prefix}" at)
    if(at EQUAL 0)
      return()
    endif()
  endforeach()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

# The framework header `header` names, if any: sets `out` to the folders that
# may include it ("*" for anywhere), or to "" when it names none.
function(framework_users header out)
  foreach(framework IN LISTS frameworks)
    string(REGEX REPLACE "\\|.*" "" folder "${framework}")
    if(EXISTS "${SOURCE_DIR}/${folder}${header}" AND NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}${header}")
      string(REGEX REPLACE "^[^|]*\\|" "" users "${framework}")
      set(${out} "${users}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(file IN LISTS files)
  allowed_for("${file}" allowed)
  cmake_path(GET file PARENT_PATH here)
  file(STRINGS ${SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "include[ \t]*([<\"])([^>\"]*)" _ "${line}")
    set(quoted "${CMAKE_MATCH_1}")
    set(header "${CMAKE_MATCH_2}")
    if(quoted STREQUAL "\"")
      set(written "\"${header}\"")
    else()
      set(written "<${header}>")
    endif()
    set(path "${header}")
    cmake_path(NORMAL_PATH path)

    # A quoted name is looked for next to the including file first: one found
    # there is a relative path, whatever it looks like.
    set(beside "${here}/${header}")
    cmake_path(NORMAL_PATH beside)
    if(quoted STREQUAL "\"" AND NOT beside MATCHES "^\\.\\./" AND EXISTS "${SOURCE_DIR}/${beside}"
       AND NOT IS_DIRECTORY "${SOURCE_DIR}/${beside}")
      framework_users("${header}" users)
      if(users AND "${here}/" MATCHES "^platform/[a-z]+/include/$")
        continue()  # a framework header naming its neighbour, as the real ones do
      endif()
      list(APPEND failures "${file}: ${written} is a path from the including file: write \"${beside}\"")
      set(path "${beside}")
    elseif(NOT path MATCHES "^(${top_pattern})/")
      framework_users("${header}" users)
      if(users)
        set(user_list "${users}")
        separate_arguments(user_list)
        starts_with_one("${file}" ok ${user_list})
        if(NOT users STREQUAL "*" AND NOT ok)
          list(APPEND failures
               "${file}: ${written} is a framework header, for ${users} only")
        endif()
        continue()
      endif()
      cmake_path(GET path FILENAME name)
      if(DEFINED "where:${name}")
        list(JOIN "where:${name}" " or " meant)
        list(APPEND failures "${file}: ${written} names a project header without its path (${meant})")
      elseif(path MATCHES "^\\.\\./")
        list(APPEND failures "${file}: ${written} leaves the repository root")
      endif()
      continue()  # a system or third-party header
    elseif(NOT path STREQUAL header)
      list(APPEND failures "${file}: ${written} is not written as its path from the root, \"${path}\"")
    endif()

    starts_with_one("${path}" ok ${allowed})
    if(NOT ok)
      list(JOIN allowed " " allowed_text)
      list(APPEND failures "${file}: includes \"${path}\" (allowed: ${allowed_text})")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
