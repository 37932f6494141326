beatwick_fuzzer(audiofile_fuzzer ${CMAKE_CURRENT_LIST_DIR}/AudioFileFuzzer.cpp LIBS beatwick_audiotoolbox)
