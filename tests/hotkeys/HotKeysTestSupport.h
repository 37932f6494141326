#pragma once

#include "tests/platform/AppKit/PrivateXServer.h"
