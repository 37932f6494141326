# One get-property request through the bridge and the in-process transport, end to end.
beatwick_benchmark(playerbridge_bench ${CMAKE_CURRENT_LIST_DIR}/playerbridge_get_property.cpp
  LIBS beatwick_playerbridge)
