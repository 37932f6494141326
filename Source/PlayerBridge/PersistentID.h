// The text form of the player's persistent IDs and its reading back.
//
// A persistent ID is the player's unsigned 64-bit identifier of a track or playlist, handled as a
// signed 64-bit value in which -1 means "not read" or "not supported". Its text form is exactly
// 16 upper-case hexadecimal digits.
#pragma once

#include <string>
#include <string_view>

#include "platform/Carbon/MacTypes.h"

// "%016llX" of the value's 64 bits.
std::string PBPersistentIdString(SInt64 persistentId);

// The text parsed as an unsigned base-16 number, as strtoull does it: leading white space and
// an optional 0x prefix are skipped, parsing stops at the first non-hexadecimal character, a text
// without digits gives 0 and an overflow all ones. The 64 bits come back as a signed value.
SInt64 longlongValue(std::string_view text);

// True for 1 to 16 hexadecimal digits and nothing else: the only texts that may stand in a
// string test of a look-up by persistent ID.
bool PBIsPersistentIdText(std::string_view text);
