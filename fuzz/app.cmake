# The application reads the assigned-tracks file, the player's notifications and the player's
# replies to its requests.
beatwick_fuzzer(AssignedTracksFuzzer ${CMAKE_CURRENT_LIST_DIR}/AssignedTracksFuzzer.cpp LIBS beatwick_app)
beatwick_fuzzer(PlayerStatusFuzzer ${CMAKE_CURRENT_LIST_DIR}/PlayerStatusFuzzer.cpp LIBS beatwick_app)
beatwick_fuzzer(BridgeRepliesFuzzer ${CMAKE_CURRENT_LIST_DIR}/BridgeRepliesFuzzer.cpp LIBS beatwick_app)
beatwick_fuzzer(RulesFuzzer ${CMAKE_CURRENT_LIST_DIR}/RulesFuzzer.cpp LIBS beatwick_app)
