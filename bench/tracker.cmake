beatwick_benchmark(tracker_bench ${CMAKE_CURRENT_LIST_DIR}/BPMTrackerBench.cpp LIBS beatwick_app)
