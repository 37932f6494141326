# Reading and writing property lists of 10,000 and 100,000 keys.
beatwick_benchmark(propertylist_bench ${CMAKE_CURRENT_LIST_DIR}/PropertyListBench.cpp LIBS beatwick_foundation)
