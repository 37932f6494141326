// Web links and help pages, opened in the desktop's browser. When none takes the address (a
// machine without a browser), an alert says so and shows the address, so the user can open it by
// hand; the desktop's own complaint goes only to the standard error stream. Main thread only.
#pragma once

#include <string>

class Window;

// true when a browser took the address. The alert is a sheet on `window` (the one the link or
// button is in) while it shows, so no window of Beatwick's can cover it; else it runs modal.
bool openWebLink(const std::string& url, Window* window);
