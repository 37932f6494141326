// Thread priorities for the threads that keep time (the metronome driver, audio outputs).
#pragma once

// Asks for real-time scheduling of the calling thread; priority runs from 0.0 (lowest) to 1.0
// (highest). Answers whether it was granted; a refusal (no real-time rights) leaves the thread
// as it was and is not an error.
bool RaiseCurrentThreadPriority(double priority);
