// The flattened form of a descriptor: the bytes an event or a reply travels as between processes.
//
//   "BWAE" 0x01                         magic and format version, then one descriptor:
//   type:u32 kind:u8                    kind 0 data, 1 list, 2 record, 3 event
//     data    size:u32 bytes
//     list    count:u32 descriptor...
//     record  count:u32 (key:u32 descriptor)...
//     event   class:u32 id:u32 returnID:i16 transaction:i32 sendMode:i32 timeout:i32
//             address (a data descriptor) attributes:record-body parameters:record-body
// Framing integers are big-endian; data bytes are carried as they are, so integers inside data
// stay in host byte order. The reader checks every length and count against the buffer, refuses
// nesting deeper than kAEFlattenMaxDepth and trailing bytes, and answers errAECorruptData for
// anything it cannot read. A repeated key keeps its last value.
#pragma once

#include <vector>

#include "platform/AppleEvents/AEDescriptor.h"

inline constexpr int kAEFlattenMaxDepth = 64;

Size AESizeOfFlattenedDesc(const AEDesc* desc);
// memFullErr when the buffer is too small; actualSize tells the size needed.
OSStatus AEFlattenDesc(const AEDesc* desc, Ptr buffer, Size bufferSize, Size* actualSize);
OSStatus AEUnflattenDesc(const void* buffer, Size bufferSize, AEDesc* result);

std::vector<uint8_t> AEFlatten(const AEDesc& desc);
// An event as it is sent: its header carries the given send mode and time-out.
std::vector<uint8_t> AEFlattenEvent(const AppleEvent& event, AESendMode sendMode, SInt32 timeout);
OSStatus AEUnflatten(const std::vector<uint8_t>& bytes, AEDesc* result);
