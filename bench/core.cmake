# The spilling byte buffer's appends, in memory and in a temporary file, and the text encoder.
beatwick_benchmark(core_bench CoreBench.cpp LIBS beatwick_core)
