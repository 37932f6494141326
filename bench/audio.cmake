# Metronome click timing through the file output, in real time (about two minutes; run by hand).
beatwick_benchmark(audio_bench ${CMAKE_CURRENT_LIST_DIR}/AudioBench.cpp LIBS beatwick_app)
target_compile_definitions(audio_bench PRIVATE BEATWICK_RESOURCE_DIR="${BEATWICK_RESOURCE_DIR}")
add_dependencies(audio_bench beatwick_resources)
