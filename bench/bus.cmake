# One get-data request over the session bus to a real player-standin, beside a bare call of the
# same bytes to an echo service of the benchmark's own; run under dbus-run-session.
beatwick_benchmark(bus_bench ${CMAKE_CURRENT_LIST_DIR}/bus_send.cpp LIBS beatwick_appleevents beatwick_foundation)
target_compile_definitions(bus_bench PRIVATE BEATWICK_BINARY_DIR="${PROJECT_BINARY_DIR}")
add_dependencies(bus_bench player-standin)
