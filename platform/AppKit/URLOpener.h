// Opens web addresses and local pages in the desktop's browser. Tests install an opener of their
// own that records what was asked. Main thread only.
#pragma once

#include <functional>
#include <string>

class URLOpener {
public:
    using Opener = std::function<bool(const std::string& url)>;

    // true when the desktop took the address.
    static bool openURL(const std::string& url);
    // Installs an opener (an empty one restores the desktop's).
    static void setOpener(Opener opener);
};
