// Debugging signals: a message that stops the program in the debugger when one is attached.
//
// Without a debugger the message goes to the standard error stream and the program carries on,
// so a signal left in shipped code never ends it. Every form may be called from any thread.
#pragma once

#include "platform/Carbon/MacTypes.h"

namespace UDebugging {

void AlertSignalAt(const char* message);
void AlertSignalAt(ConstStr255Param message);
void AlertSignalAt(const char* message, const char* file, long line);
void AlertSignalAt(ConstStr255Param message, ConstStr255Param file, long line);

}  // namespace UDebugging
