// The receiving side of a send: one flattened event in, one flattened reply out.
#pragma once

#include <functional>
#include <vector>

#include "platform/AppleEvents/AEDescriptor.h"

// Answers an event by filling the reply's parameters ('----' for the result). A non-zero
// status goes into the reply as 'errn', unless the handler put an 'errn' there itself.
using AEEventHandler = std::function<OSStatus(const AppleEvent& event, AppleEvent& reply)>;

// The reply is an 'aevt'/'ansr' event with the event's return id and transaction id. Bytes that
// do not read as an event are answered with 'errn' errAECorruptData and the handler is not
// called. The handler runs on the calling thread.
std::vector<uint8_t> AEAnswerFlattenedEvent(const std::vector<uint8_t>& event, const AEEventHandler& handler);
