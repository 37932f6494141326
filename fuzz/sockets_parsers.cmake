# The socket library's readers of outside text: numeric addresses and Base64.
beatwick_fuzzer(sockets_address_parsers ${CMAKE_CURRENT_LIST_DIR}/AddressParsersFuzzer.cpp LIBS beatwick_sockets)
beatwick_fuzzer(sockets_base64 ${CMAKE_CURRENT_LIST_DIR}/Base64Fuzzer.cpp LIBS beatwick_sockets)
