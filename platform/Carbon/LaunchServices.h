// File-name extensions, as Launch Services tells them.
#pragma once

#include <string>

#include "platform/Carbon/MacTypes.h"

constexpr size_t kLSInvalidExtensionIndex = static_cast<size_t>(-1);
constexpr OSStatus kLSApplicationNotFoundErr = -10814;

// Finds the extension of a UTF-8 file name: the text after its last '.', when that dot is not
// the first character, the text after it is not empty and holds no blank or '/'.
// `extensionStart` gets the index of the extension's first character (after the dot), or
// kLSInvalidExtensionIndex when the name has none. paramErr for a null out-argument.
OSStatus LSGetExtensionInfo(const std::string& name, size_t* extensionStart);
