// Where the version check and the feedback form go: the server's host and port and the two
// mailboxes of the form-mail script. Each comes from the environment when set there (so tests
// point them at a server of their own), else from the user's defaults, else from a default
// that can never be reached by accident.
#pragma once

#include <string>

#include "platform/Carbon/MacTypes.h"

struct TServerConfig {
    static constexpr const char* kHostKey = "ServerHost";
    static constexpr const char* kPortKey = "ServerPort";
    static constexpr const char* kSuggestAddressKey = "SuggestAddress";
    static constexpr const char* kTechSupportAddressKey = "TechSupportAddress";
    static constexpr const char* kHostVariable = "BEATWICK_SERVER_HOST";
    static constexpr const char* kPortVariable = "BEATWICK_SERVER_PORT";
    static constexpr const char* kSuggestAddressVariable = "BEATWICK_SUGGEST_ADDRESS";
    static constexpr const char* kTechSupportAddressVariable = "BEATWICK_TECH_SUPPORT_ADDRESS";

    static constexpr const char* kDefaultHost = "www.beatwick.invalid";
    static constexpr UInt16 kDefaultPort = 80;
    static constexpr const char* kDefaultSuggestAddress = "feedback@beatwick.invalid";
    static constexpr const char* kDefaultTechSupportAddress = "support@beatwick.invalid";
    // Host names are length-prefixed strings of the network side.
    static constexpr size_t kMaxHostLength = 255;

    std::string host{kDefaultHost};
    UInt16 port{kDefaultPort};
    std::string suggestAddress{kDefaultSuggestAddress};
    std::string techSupportAddress{kDefaultTechSupportAddress};

    // Read on the main thread, where the defaults live.
    static TServerConfig Current();

    // The absolute request target of a path on the server; the port only when it is not 80.
    std::string Target(const char* path) const;
};
