# The program's start-up sequence under valgrind's leak checker: any
# definitely lost block fails the test.
find_program(VALGRIND valgrind)
if(TOLVEX_GUI AND TARGET tolvex_qt AND VALGRIND AND NOT TOLVEX_SANITIZE AND NOT WIN32)
  add_executable(tolvex-leak-check ${CMAKE_CURRENT_SOURCE_DIR}/leak/SequenceLeakCheck.cpp)
  target_link_libraries(tolvex-leak-check PRIVATE tolvex_app_lib tolvex_qt)
  add_test(NAME tolvex_startup_leak_check
           COMMAND ${VALGRIND} --quiet --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/leak/qt.supp --leak-check=full --errors-for-leak-kinds=definite
                   --show-leak-kinds=definite --error-exitcode=3
                   $<TARGET_FILE:tolvex-leak-check>)
  set_tests_properties(tolvex_startup_leak_check PROPERTIES
    TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# The same start-up as an ordinary user: nothing in it may need root.
if(TOLVEX_GUI AND TARGET tolvex-leak-check)
  add_test(NAME tolvex_startup_as_ordinary_user
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/run-as-ordinary-user
                   $<TARGET_FILE:tolvex-leak-check>)
  set_tests_properties(tolvex_startup_as_ordinary_user PROPERTIES
    TIMEOUT 120
    PASS_REGULAR_EXPRESSION "sequence finished"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
