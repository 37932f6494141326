// Reads an XML property list into values whose dictionaries keep the order of their keys.
//
// The reader is strict where a lenient one would lose data without a word: an <integer> must be
// a whole decimal (or 0x hexadecimal) number in the 64-bit range, a <real> a number, a <date> of
// the form 2009-05-12T10:00:00Z, <data> base64; a key may appear once per dictionary; the text
// must be UTF-8. Anything else is a Failure naming the line. Nesting is bounded, and the reader
// never recurses without that bound. May be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/Foundation/Result.h"
#include "player/OrderedPropertyList.h"

namespace player {

class XMLPropertyListReader {
public:
    XMLPropertyListReader() = delete;

    static constexpr int kMaximumDepth = 512;

    static Result<OrderedPropertyList> read(std::span<const uint8_t> bytes);
};

}  // namespace player
