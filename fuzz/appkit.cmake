# Artwork bytes from the player become images.
beatwick_fuzzer(ImageFuzzer ${CMAKE_CURRENT_LIST_DIR}/ImageFuzzer.cpp LIBS beatwick_appkit)
