# Requests per second of the HTTP server socket with wrk, beside nginx serving the same response.
beatwick_benchmark(protocols_http_wrk ${CMAKE_CURRENT_LIST_DIR}/HttpServerWrkBench.cpp LIBS beatwick_protocols)
# The HTTP server sockets against a peer that never reads and against 2,000 idle connections.
beatwick_benchmark(protocols_server_abuse ${CMAKE_CURRENT_LIST_DIR}/ServerAbuseBench.cpp LIBS beatwick_protocols)
