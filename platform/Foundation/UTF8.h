// UTF-8 as the property-list readers and writers check and make it: one code point decoded at a
// time (overlong forms, surrogates and values past U+10FFFF refused), whole-text validation, and
// encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The code point at `at`, moving `at` past it; nullopt (and `at` unchanged) when malformed.
std::optional<uint32_t> decodeUTF8(std::string_view text, size_t& at);
// Well-formed UTF-8 holding no NUL, which no reader would give back.
bool isValidUTF8WithoutNul(std::string_view text);
void appendUTF8(std::string& out, uint32_t codePoint);
