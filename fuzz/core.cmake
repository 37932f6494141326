# The core library's readers of outside bytes: the MIME text encoder over a file's contents and
# the stream readers that take their lengths from the stream, and the line, response and chunk
# readers.
beatwick_fuzzer(core_text_encoder TextEncoderFuzzer.cpp LIBS beatwick_core)
beatwick_fuzzer(core_stream_readers StreamReadersFuzzer.cpp LIBS beatwick_core)
beatwick_fuzzer(core_line_readers LineReadersFuzzer.cpp LIBS beatwick_core)
