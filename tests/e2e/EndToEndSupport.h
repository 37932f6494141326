// What the end-to-end tests share: the test process's HOME.
#pragma once

#include <string>

// The temporary folder that is HOME for this test process and the player it starts.
const std::string& EndToEndHome();
