// How the views read their integer settings: the value stored under a key of the user defaults, or
// nothing when the key is absent. The controller hands the views a lookup backed by the
// application's defaults; tests hand them a table. An empty lookup finds nothing.
#pragma once

#include <functional>
#include <optional>
#include <string>

using IntegerDefaultLookup = std::function<std::optional<long>(const std::string& key)>;
