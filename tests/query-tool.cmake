# tolvex-query as a command (options, exit statuses, output errors), run as a
# separate program by a Python test.
find_package(Python3 COMPONENTS Interpreter)
if(TARGET tolvex-query AND Python3_Interpreter_FOUND)
  add_test(NAME tolvex_query_cli
    COMMAND ${Python3_EXECUTABLE} -m unittest -v query_cli_test
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/tools)
  set_tests_properties(tolvex_query_cli PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "TOLVEX_QUERY=$<TARGET_FILE:tolvex-query>;TOLVEX_VERSION=${PROJECT_VERSION};PYTHONDONTWRITEBYTECODE=1")
endif()
