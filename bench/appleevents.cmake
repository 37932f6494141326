# One get-data request through the in-process transport: build, flatten, answer, reply, decode.
beatwick_benchmark(appleevents_bench ${CMAKE_CURRENT_LIST_DIR}/appleevents_send.cpp LIBS beatwick_appleevents)
