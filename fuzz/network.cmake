# The network side's readers of outside bytes: internet and MIME messages, whole and in pieces,
# dot-terminated replies, and the HTTP reply's status, header end, length and version page.
beatwick_fuzzer(network_messages InternetMessageFuzzer.cpp LIBS beatwick_network)
beatwick_fuzzer(network_http_reply HttpReplyFuzzer.cpp LIBS beatwick_network)
