# The Windows build, tested under Wine: cross-compiles tests/windows (the core
# library, tolvex-query.exe and tolvex_windows_tests.exe) with MinGW-w64 as
# part of this build, and runs the programs under Wine against its management
# service and sockets, in a Wine prefix inside the build tree. Skipped with a
# note when MinGW-w64, Wine or GoogleTest's sources are missing.
option(TOLVEX_WINDOWS_TESTS "Cross-build for Windows and run its tests under Wine" ON)

find_program(TOLVEX_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(TOLVEX_WINE_PROGRAM wine)
find_program(TOLVEX_WINESERVER wineserver)

if(NOT TOLVEX_WINDOWS_TESTS OR WIN32 OR CMAKE_CROSSCOMPILING)
  return()
endif()
if(NOT TOLVEX_MINGW_CXX OR NOT TOLVEX_WINE_PROGRAM OR NOT TOLVEX_WINESERVER
   OR NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  message(STATUS "Windows tests skipped: MinGW-w64, Wine or GoogleTest sources missing "
                 "(scripts/install-deps installs them)")
  return()
endif()

include(ExternalProject)
set(tolvex_win_dir ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(tolvex_windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/windows
  BINARY_DIR ${tolvex_win_dir}
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DTOLVEX_WERROR=${TOLVEX_WERROR}
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

# Quiet, without the Mono and Gecko installers, on one private X server for
# the whole run (Wine makes windows; every process of a prefix must use the
# display its desktop process got first).
set(tolvex_xvfb_file ${tolvex_win_dir}/xvfb-display)
set(tolvex_on_xvfb ${CMAKE_SOURCE_DIR}/tests/windows/run-on-xvfb)
set(tolvex_wine_env
  "WINEPREFIX=${tolvex_win_dir}/wineprefix"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "TOLVEX_XVFB_FILE=${tolvex_xvfb_file}")

add_test(NAME windows.xvfb_start COMMAND ${tolvex_on_xvfb} --start ${tolvex_xvfb_file})
set_tests_properties(windows.xvfb_start PROPERTIES FIXTURES_SETUP tolvex_xvfb TIMEOUT 60)
add_test(NAME windows.xvfb_stop COMMAND ${tolvex_on_xvfb} --stop ${tolvex_xvfb_file})
set_tests_properties(windows.xvfb_stop PROPERTIES FIXTURES_CLEANUP tolvex_xvfb TIMEOUT 60)

# The prefix is made (or brought up to date) first; the Wine server this run
# started is stopped last.
add_test(NAME windows.wine_prefix COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} wineboot --init)
set_tests_properties(windows.wine_prefix PROPERTIES
  FIXTURES_SETUP tolvex_wine FIXTURES_REQUIRED tolvex_xvfb
  ENVIRONMENT "${tolvex_wine_env}" TIMEOUT 180)
add_test(NAME windows.wine_stop COMMAND sh -c "\"${TOLVEX_WINESERVER}\" -k || true")
set_tests_properties(windows.wine_stop PROPERTIES
  FIXTURES_CLEANUP tolvex_wine FIXTURES_REQUIRED tolvex_xvfb
  ENVIRONMENT "${tolvex_wine_env}" TIMEOUT 60)

foreach(suite WinService WinDetectors WinSockets WinApp WinLocale WinScreens WinScreenOps
              WinCopy WinProgram WinOutputFile)
  add_test(NAME windows.${suite}
    COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_win_dir}/tolvex_windows_tests.exe
            --gtest_filter=${suite}.*)
  set_tests_properties(windows.${suite} PROPERTIES
    FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" ENVIRONMENT "${tolvex_wine_env}" TIMEOUT 120
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|0 tests from 0 test suites")
endforeach()
# Sets the system colours of the prefix for its time: alone, so that no other
# test of the prefix sees them.
add_test(NAME windows.WinHighContrast
  COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_win_dir}/tolvex_windows_tests.exe
          --gtest_filter=WinHighContrast.*)
set_tests_properties(windows.WinHighContrast PROPERTIES
  FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" ENVIRONMENT "${tolvex_wine_env}" TIMEOUT 120
  RUN_SERIAL TRUE FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|0 tests from 0 test suites")


# Every class through tolvex-query.exe: the ones Wine has list their
# instances with paths (Wine's Win32_PhysicalMemory paths carry no key); Win32_MotherboardDevice and Win32_SCSIController,
# which Wine lacks, answer with no instance and no failure.
set(tolvex_query ${tolvex_win_dir}/tolvex/tools/tolvex-query.exe)
foreach(class Win32_Processor Win32_PhysicalMemory Win32_BaseBoard Win32_NetworkAdapter
              Win32_VideoController Win32_LogicalDisk Win32_OperatingSystem Win32_DiskDrive
              Tolvex_DiskDriveHealth)
  add_test(NAME windows.query.${class}
    COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_query} ${class})
  set_tests_properties(windows.query.${class} PROPERTIES
    FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" ENVIRONMENT "${tolvex_wine_env}" TIMEOUT 60
    PASS_REGULAR_EXPRESSION ":${class}[^\n]*\n  [A-Za-z]+ = ")
endforeach()
set_tests_properties(windows.query.Win32_OperatingSystem PROPERTIES
  PASS_REGULAR_EXPRESSION "Caption = [^\n]*Windows")
foreach(class Win32_MotherboardDevice Win32_SCSIController)
  add_test(NAME windows.query.${class}
    COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_query} ${class})
  set_tests_properties(windows.query.${class} PROPERTIES
    FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" ENVIRONMENT "${tolvex_wine_env}" TIMEOUT 60
    FAIL_REGULAR_EXPRESSION "${class}\\.")
endforeach()

# A snapshot of Wine's service taken by tolvex-query.exe, and the live
# window's texts read back from tolvex.exe's controls over the same service;
# the Qt window over that snapshot on Linux must show the same texts.
set(tolvex_wine_snapshot ${tolvex_win_dir}/wine-snapshot.json)
set(tolvex_wine_picture ${tolvex_win_dir}/wine-picture.txt)
add_test(NAME windows.snapshot_take
  COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_query} --format json
          --output Z:${tolvex_wine_snapshot})
add_test(NAME windows.snapshot_live_window
  COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_win_dir}/tolvex_windows_tests.exe
          --gtest_filter=WinSnapshot.*)
set_tests_properties(windows.snapshot_take windows.snapshot_live_window PROPERTIES
  FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" FIXTURES_SETUP tolvex_wine_snapshot
  ENVIRONMENT "${tolvex_wine_env};TOLVEX_WINDOWS_PICTURE=Z:${tolvex_wine_picture}" TIMEOUT 120
  FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|0 tests from 0 test suites|SKIPPED")
if(TARGET tolvex_ui_tests)
  add_test(NAME windows.snapshot_on_linux
    COMMAND tolvex_ui_tests --gtest_filter=SnapshotAcrossPlatforms.*)
  set_tests_properties(windows.snapshot_on_linux PROPERTIES
    FIXTURES_REQUIRED tolvex_wine_snapshot TIMEOUT 120
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TOLVEX_WINDOWS_SNAPSHOT=${tolvex_wine_snapshot};TOLVEX_WINDOWS_PICTURE=${tolvex_wine_picture}"
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|SKIPPED")
endif()
# The drives of Wine's service, and their health with the reason each value
# is Null, read back from that snapshot by tolvex-query on Linux.
if(TARGET tolvex-query)
  add_test(NAME windows.snapshot_drives_on_linux
    COMMAND tolvex-query --snapshot ${tolvex_wine_snapshot} Win32_DiskDrive
            Tolvex_DiskDriveHealth)
  set_tests_properties(windows.snapshot_drives_on_linux PROPERTIES
    FIXTURES_REQUIRED tolvex_wine_snapshot TIMEOUT 60
    PASS_REGULAR_EXPRESSION "Win32_DiskDrive[^\n]*PHYSICALDRIVE0\"\n(  [^\n]*\n)*  SerialNumber = [^\n]*\n(.*\n)*[^\n]*Tolvex_DiskDriveHealth[^\n]*PHYSICALDRIVE0\"\n(  [^\n]*\n)*  Temperature = Null \\(")
endif()

# The Windows program itself: it imports only system DLLs, and under Wine it
# starts, runs its detection, shows its eight panels from the menu bar by
# keyboard (a screenshot of each in screenshots-windows/) and ends through
# File, Exit with status 0.
set(tolvex_exe ${tolvex_win_dir}/tolvex/app/tolvex.exe)
find_program(TOLVEX_MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
if(TOLVEX_MINGW_OBJDUMP)
  add_test(NAME windows.tolvex_imports
    COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/check-imports ${TOLVEX_MINGW_OBJDUMP} ${tolvex_exe})
  set_tests_properties(windows.tolvex_imports PROPERTIES TIMEOUT 30)
endif()
# Called as `make run-windows` calls it: relative folders, from the
# repository's root.
file(RELATIVE_PATH tolvex_win_relative ${CMAKE_SOURCE_DIR} ${tolvex_win_dir})
file(RELATIVE_PATH tolvex_win_shots_relative ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/screenshots-windows)
add_test(NAME windows.tolvex_walk
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-tolvex-windows ${tolvex_win_relative}
          ${tolvex_win_shots_relative}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(windows.tolvex_walk PROPERTIES
  FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb"
  ENVIRONMENT "${tolvex_wine_env};TOLVEX_HEADLESS=1"
  RUN_SERIAL TRUE TIMEOUT 300)

# tolvex-query.exe's formats through a pipe, checked as on Linux: JSON and
# the Prometheus format with LF line ends (and by promtool where it is
# installed), the text with the console's CR LF.
if(TOLVEX_PYTHON3)
  string(JOIN "\n" tolvex_query_command ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_query})
  add_test(NAME windows.query_formats
    COMMAND ${TOLVEX_PYTHON3} -m unittest -v query_formats_test
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/windows)
  set_tests_properties(windows.query_formats PROPERTIES
    FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" TIMEOUT 300
    ENVIRONMENT "${tolvex_wine_env};TOLVEX_QUERY_COMMAND=${tolvex_query_command};PYTHONDONTWRITEBYTECODE=1")
  # Monitors: EDIDs written into the prefix's registry are listed as the
  # Linux program lists the same bytes. Alone: the other tests of the prefix
  # must not see the monitors come and go.
  if(TARGET tolvex-query)
    add_test(NAME windows.monitors
      COMMAND ${TOLVEX_PYTHON3} -m unittest -v monitors_test
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/windows)
    set_tests_properties(windows.monitors PROPERTIES
      FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb" TIMEOUT 300 RUN_SERIAL TRUE
      ENVIRONMENT "${tolvex_wine_env};TOLVEX_QUERY_COMMAND=${tolvex_query_command};TOLVEX_QUERY=$<TARGET_FILE:tolvex-query>;TOLVEX_SOURCE_DIR=${CMAKE_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
  endif()
endif()

# The user's number format under a German and an English user locale: Wine
# takes the user locale from the C library's, so the German one is compiled
# into the build tree (localedef, from the sources of Debian's locales
# package) and named through LOCPATH. The German run is alone: Wine writes a
# changed user locale's settings into the prefix's registry.
find_program(TOLVEX_LOCALEDEF localedef)
if(TOLVEX_LOCALEDEF AND EXISTS /usr/share/i18n/locales/de_DE)
  add_test(NAME windows.locale_de_make
    COMMAND sh -c "mkdir -p '${tolvex_win_dir}/locale' && '${TOLVEX_LOCALEDEF}' -i de_DE -f UTF-8 '${tolvex_win_dir}/locale/de_DE.UTF-8'")
  set_tests_properties(windows.locale_de_make PROPERTIES FIXTURES_SETUP tolvex_german TIMEOUT 120)
  foreach(pair "de-DE|de_DE.UTF-8" "en-US|C")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 windows_locale)
    list(GET pair 1 unix_locale)
    add_test(NAME windows.WinLocale.user_${windows_locale}
      COMMAND ${tolvex_on_xvfb} ${TOLVEX_WINE_PROGRAM} ${tolvex_win_dir}/tolvex_windows_tests.exe
              --gtest_filter=WinLocale.TheUsersFormatFollowsTheUsersLocale)
    set_tests_properties(windows.WinLocale.user_${windows_locale} PROPERTIES
      FIXTURES_REQUIRED "tolvex_wine;tolvex_xvfb;tolvex_german" RUN_SERIAL TRUE TIMEOUT 120
      ENVIRONMENT "${tolvex_wine_env};LOCPATH=${tolvex_win_dir}/locale;LC_ALL=${unix_locale};TOLVEX_USER_LOCALE=${windows_locale}"
      FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|0 tests from 0 test suites|SKIPPED")
  endforeach()
else()
  message(STATUS "The Windows user-locale tests are skipped: localedef or the de_DE locale "
                 "source (Debian's locales package) is missing")
endif()
