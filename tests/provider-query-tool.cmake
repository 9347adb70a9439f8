# The provider tests run tolvex-query as a separate program; build it first
# and tell them where it is.
if(TARGET tolvex-query AND TARGET tolvex_provider_tests)
  add_dependencies(tolvex_provider_tests tolvex-query)
  target_compile_definitions(tolvex_provider_tests PRIVATE
    TOLVEX_QUERY_PATH="$<TARGET_FILE:tolvex-query>")
endif()
