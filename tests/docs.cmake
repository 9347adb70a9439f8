# The README and docs/: every relative link names a file of the tree and,
# into a Markdown file, one of its headings.
# The same Python as the tests of tools/ (query-tool.cmake) find.
find_program(TOLVEX_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(TOLVEX_PYTHON3 python3)
if(TOLVEX_PYTHON3)
  file(GLOB tolvex_docs CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
    ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/*.md)
  add_test(NAME docs.links
    COMMAND ${TOLVEX_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/docs/check-links ${tolvex_docs}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
endif()
