# The TCP socket's line splitter over received bytes cut into reads of every size.
beatwick_fuzzer(sockets_line_splitter LineSplitterFuzzer.cpp LIBS beatwick_sockets)
