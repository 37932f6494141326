// Ending the process.
#pragma once

// Ends the process at once with a failure status: no exit handlers, no buffered output flushed
// (the call maps to _exit).
[[noreturn]] void ExitToShell();
