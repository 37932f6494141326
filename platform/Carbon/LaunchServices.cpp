#include "platform/Carbon/LaunchServices.h"

OSStatus LSGetExtensionInfo(const std::string& name, size_t* extensionStart) {
    if (!extensionStart) return paramErr;
    *extensionStart = kLSInvalidExtensionIndex;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return noErr;
    if (name.find_first_of(" /", dot + 1) != std::string::npos) return noErr;
    *extensionStart = dot + 1;
    return noErr;
}
