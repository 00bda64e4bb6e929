# GoogleTest on both targets, and the Wine set-up that runs Windows tests.
if(WIN32)
  # No prebuilt GoogleTest for mingw: build Debian's sources.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(TARNEX_GTEST_LIBS gtest gtest_main)

  # A Wine prefix of our own inside the build folder: tests never touch the
  # user's prefix, and a fresh build starts from a fresh registry.
  set(TARNEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_custom_command(
    OUTPUT ${TARNEX_WINEPREFIX}/.tarnex-ready
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${TARNEX_WINEPREFIX}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh
    COMMENT "Creating the Wine prefix for tests")
  add_custom_target(wineprefix ALL DEPENDS ${TARNEX_WINEPREFIX}/.tarnex-ready)

  set(TARNEX_WINE_ENV WINEPREFIX=${TARNEX_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
  set(CMAKE_CROSSCOMPILING_EMULATOR env -u DISPLAY ${TARNEX_WINE_ENV} wine)

  # A wineserver that stays up for the whole run: without it each test waits
  # about 3 s for Wine's helper processes.
  add_test(NAME wine_start
           COMMAND sh -c "exec </dev/null >/dev/null 2>&1; wineserver -p; wine cmd /c exit; true")
  set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine
                       ENVIRONMENT "${TARNEX_WINE_ENV}")
  add_test(NAME wine_stop COMMAND sh -c "wineserver -k; true")
  set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine
                       ENVIRONMENT "WINEPREFIX=${TARNEX_WINEPREFIX}")
else()
  find_package(GTest REQUIRED)
  set(TARNEX_GTEST_LIBS GTest::gtest GTest::gtest_main)
  include(GoogleTest)
endif()

# tarnex_add_gtest(<name> SOURCES <files> [LIBS <libs>] [WINDOWS_ONLY] [TIMEOUT <s>]
#                  [PREFIX <text>])
# A GoogleTest program: natively each test case is a CTest test (its name
# preceded by PREFIX); under Wine the whole program is one CTest test (one
# Wine process is far cheaper).
function(tarnex_add_gtest name)
  cmake_parse_arguments(T "WINDOWS_ONLY" "TIMEOUT;PREFIX" "SOURCES;LIBS" ${ARGN})
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ${TARNEX_GTEST_LIBS})
  tarnex_warnings(${name})
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT})
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${T_PREFIX}" PROPERTIES TIMEOUT ${T_TIMEOUT}
                         DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
