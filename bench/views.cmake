# The main window's views: tap-to-display latency of the tap area.
beatwick_benchmark(bench_tap_latency ${CMAKE_CURRENT_LIST_DIR}/views/TapLatency.cpp LIBS beatwick_app)
target_compile_definitions(bench_tap_latency PRIVATE BEATWICK_RESOURCE_DIR="${BEATWICK_RESOURCE_DIR}")
add_dependencies(bench_tap_latency beatwick_resources)
