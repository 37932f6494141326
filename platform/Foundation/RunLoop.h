// Cocoa's run-loop performs on the current scheduler (Scheduler.h): delayed performs keyed by
// target, selector and object, their cancelling, and performs on the main thread.
#pragma once

#include <functional>
#include <string_view>

// Main thread only: runs action after delaySeconds on the main thread, unless cancelled.
void performSelector(const void* target, std::string_view selector, const void* object, double delaySeconds,
                     std::function<void()> action);

// Main thread only: cancels every pending delayed perform of the target; the second form only
// those with the same selector and object.
void cancelPreviousPerformRequestsWithTarget(const void* target);
void cancelPreviousPerformRequestsWithTarget(const void* target, std::string_view selector,
                                             const void* object);

// May be called from any thread. Queues action for the main thread behind every action queued
// before it. With waitUntilDone it blocks until the action has run, and on the main thread it
// runs the action at once.
void performSelectorOnMainThread(std::function<void()> action, bool waitUntilDone);
