# The real program on a private Xvfb server: it must start, run its
# detection, show all eight panels from the menu bar and end through File,
# Exit, within bounded time.
# It is called as `make run` calls it: from the repository's root, with the
# build folder relative to it.
if(TOLVEX_GUI AND TARGET tolvex AND NOT WIN32)
  file(RELATIVE_PATH tolvex_build_relative ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  add_test(NAME tolvex_headless_run
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-tolvex ${tolvex_build_relative}
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(tolvex_headless_run PROPERTIES
    TIMEOUT 240
    RUN_SERIAL TRUE
    ENVIRONMENT "TOLVEX_HEADLESS=1")
endif()

# The running program read over AT-SPI, as a screen reader reads it (its own
# Xvfb, D-Bus session and accessibility bus): the OS panel exposes every
# value beside its caption.
if(TOLVEX_GUI AND TARGET tolvex AND TARGET tolvex-query AND NOT WIN32)
  add_test(NAME tolvex_accessibility_tree
           COMMAND ${CMAKE_SOURCE_DIR}/tests/accessibility/read-os-panel ${CMAKE_BINARY_DIR})
  set_tests_properties(tolvex_accessibility_tree PROPERTIES TIMEOUT 180)
endif()
