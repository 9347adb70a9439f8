# tolvex-query as a command (options, exit statuses, output errors) and with
# the engines it feeds (the node exporter, Prometheus and its promtool,
# Ansible, systemd), run as separate programs by Python tests under the
# system's Python, which is the one Debian's ansible-core and
# python3-prometheus-client belong to.
find_program(TOLVEX_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(TOLVEX_PYTHON3 python3)

if(TARGET tolvex-query AND TOLVEX_PYTHON3)
  add_executable(tolvex-hostile-answers ${CMAKE_CURRENT_SOURCE_DIR}/tools/HostileAnswers.cpp)
  target_link_libraries(tolvex-hostile-answers PRIVATE tolvex_query_formats)

  set(tolvex_tools_env
    "TOLVEX_QUERY=$<TARGET_FILE:tolvex-query>"
    "TOLVEX_HOSTILE_ANSWERS=$<TARGET_FILE:tolvex-hostile-answers>"
    "TOLVEX_VERSION=${PROJECT_VERSION}"
    "TOLVEX_FIXTURES_DIR=${TOLVEX_FIXTURES_DIR}"
    "TOLVEX_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "TOLVEX_BUILD_DIR=${CMAKE_BINARY_DIR}"
    "TOLVEX_CMAKE=${CMAKE_COMMAND}"
    "PYTHONDONTWRITEBYTECODE=1"
    # Snapshots taken in one test run carry the same time, so two answers
    # for one machine compare byte for byte.
    "SOURCE_DATE_EPOCH=1767225600")
  if(TARGET tolvex)
    list(APPEND tolvex_tools_env "TOLVEX_PROGRAM=$<TARGET_FILE:tolvex>")
  endif()
  # A malloc that refuses large requests, to run the program out of memory.
  # The sanitizers bring their own allocator, which must come first.
  if(NOT TOLVEX_SANITIZE)
    add_library(tolvex-refusing-malloc MODULE ${CMAKE_CURRENT_SOURCE_DIR}/tools/RefusingMalloc.cpp)
    list(APPEND tolvex_tools_env "TOLVEX_REFUSING_MALLOC=$<TARGET_FILE:tolvex-refusing-malloc>")
  endif()
  foreach(test IN ITEMS query_cli snapshot node_exporter alert_rules prometheus ansible install
                       edid_decode)
    add_test(NAME tolvex_${test}
      COMMAND ${TOLVEX_PYTHON3} -m unittest -v ${test}_test
      WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/tools)
    set_tests_properties(tolvex_${test} PROPERTIES TIMEOUT 300 ENVIRONMENT "${tolvex_tools_env}")
  endforeach()
endif()
