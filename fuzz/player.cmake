# The stand-in player reads flattened events from the bus and its library file from disk.
beatwick_fuzzer(player_events ${CMAKE_CURRENT_LIST_DIR}/player_events.cpp LIBS beatwick_player)
beatwick_fuzzer(player_library ${CMAKE_CURRENT_LIST_DIR}/player_library.cpp LIBS beatwick_player)
beatwick_fuzzer(LaunchAppleEventFuzzer ${CMAKE_CURRENT_LIST_DIR}/LaunchAppleEventFuzzer.cpp LIBS beatwick_player beatwick_foundation)
