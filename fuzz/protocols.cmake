# The protocol sockets' readers of peer bytes, each driven through the select loop over a socketpair.
beatwick_fuzzer(protocols_http_framing ${CMAKE_CURRENT_LIST_DIR}/HttpFramingFuzzer.cpp LIBS beatwick_protocols)
beatwick_fuzzer(protocols_http_form ${CMAKE_CURRENT_LIST_DIR}/HttpFormFuzzer.cpp LIBS beatwick_protocols)
beatwick_fuzzer(protocols_ajp13 ${CMAKE_CURRENT_LIST_DIR}/Ajp13Fuzzer.cpp LIBS beatwick_protocols)
beatwick_fuzzer(protocols_smtp_session ${CMAKE_CURRENT_LIST_DIR}/SmtpSessionFuzzer.cpp LIBS beatwick_protocols)
