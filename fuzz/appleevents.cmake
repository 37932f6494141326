# The Apple-event layer reads build texts and flattened events from outside.
beatwick_fuzzer(appleevents_build ${CMAKE_CURRENT_LIST_DIR}/appleevents_build.cpp LIBS beatwick_appleevents)
beatwick_fuzzer(appleevents_flatten ${CMAKE_CURRENT_LIST_DIR}/appleevents_flatten.cpp LIBS beatwick_appleevents)
