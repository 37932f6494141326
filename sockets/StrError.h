// Texts for the socket library's own error codes (the 10000 and 11000 ranges).
#pragma once

#include <string>

// Any code outside the table gives "Winsock error code: <code>". May be called from any thread.
std::string StrError(int code);
