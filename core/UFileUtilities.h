// File helpers of the core library: valid file names, the free-name search, opening and
// deleting files by URL, and the Temporary Items and Application Support folders.
#pragma once

#include <cstdio>
#include <string>

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/MacTypes.h"

// Make a name valid in place: a leading '.' becomes '_', ':' and '/' become '-'.
void MakeMacFileName(StringPtr name);
void MakeMacFileNameC(char* name);
// As MakeMacFileName, and a name over 26 characters keeps its last 26, the first of them '~'.
void MakeSetFileName(StringPtr name);
