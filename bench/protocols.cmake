# Requests per second of the HTTP server socket with wrk, beside nginx serving the same response.
beatwick_benchmark(protocols_http_wrk ${CMAKE_CURRENT_LIST_DIR}/HttpServerWrkBench.cpp LIBS beatwick_protocols)
