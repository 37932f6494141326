# Loading the stand-in player's library file of 1,000 and 10,000 tracks.
beatwick_benchmark(playerlibrary_bench ${CMAKE_CURRENT_LIST_DIR}/PlayerLibraryBench.cpp LIBS beatwick_player)
