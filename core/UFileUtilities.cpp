#include "core/UFileUtilities.h"

#include <cstring>

namespace {

void MakeValid(unsigned char* characters, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (characters[i] == ':' || characters[i] == '/') characters[i] = '-';
    if (length > 0 && characters[0] == '.') characters[0] = '_';
}

}  // namespace

void MakeMacFileName(StringPtr name) {
    if (name) MakeValid(name + 1, name[0]);
}

void MakeMacFileNameC(char* name) {
    if (name) MakeValid(reinterpret_cast<unsigned char*>(name), std::strlen(name));
}

void MakeSetFileName(StringPtr name) {
    if (!name) return;
    MakeMacFileName(name);
    if (name[0] > 26) {
        std::memmove(name + 1, name + 1 + name[0] - 26, 26);
        name[0] = 26;
        name[1] = '~';
    }
}
