// Sending an event and waiting for its reply.
#pragma once

#include "platform/AppleEvents/AEDescriptor.h"

// Sends through the installed transport (AETransport.h) to the event's address ('kpid' or
// 'sign'). sendMode's reply bits choose: kAEWaitReply waits for the reply, kAENoReply returns
// once the event is handed over (reply becomes 'null'); kAEQueueReply is not offered
// (errAEUnknownSendMode). The interaction bits are carried but never ask the user anything.
// timeOutInTicks: ticks of 1/60 s; kAEDefaultTimeout waits kAEDefaultTimeoutTicks, kNoTimeOut
// without limit. The event travels with the mode and time-out as given, for the receiver's log.
// A reply whose handler failed still returns noErr; its 'errn' parameter tells the error.
// Errors: errAENotAppleEvent, errAEUnknownAddressType, procNotFound, errAETimeout,
// errAECorruptData for an unreadable reply. Blocks the calling thread.
OSStatus AESendMessage(const AppleEvent* event, AppleEvent* reply, AESendMode sendMode, long timeOutInTicks);

// The wait a time-out stands for: kAEDefaultTimeout (and any other negative value but
// kNoTimeOut) is kAEDefaultTimeoutTicks.
SInt32 AEEffectiveTimeout(long timeOutInTicks);
