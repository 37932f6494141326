# Loopback echo throughput and connection set-up rate through the socket handler, beside the
# same measured for a plain poll() loop.
beatwick_benchmark(sockets_bench ${CMAKE_CURRENT_LIST_DIR}/SocketsBench.cpp LIBS beatwick_sockets)
