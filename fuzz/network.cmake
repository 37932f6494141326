# The network side's readers of outside bytes: internet and MIME messages, whole and in pieces,
# and dot-terminated replies.
beatwick_fuzzer(network_messages InternetMessageFuzzer.cpp LIBS beatwick_network)
