// The one table from errno values to the platform's error numbers.
#pragma once

#include "platform/Carbon/MacTypes.h"

// Answers the platform error for an errno value; unknown values become ioErr.
OSStatus OSStatusFromErrno(int errnoValue);
