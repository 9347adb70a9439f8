# The layers: no source includes a header of a layer above its own.
add_test(NAME layers
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake)
set_tests_properties(layers PROPERTIES TIMEOUT 60)
