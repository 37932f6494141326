// Coercions between descriptor types: the few that the readers of replies and events need.
//
// - integers among themselves ('shor', 'long', 'comp'), with 'doub' and 'bool' (0 or 1), when the
//   value fits the target;
// - four-character codes among 'enum', 'type', 'keyw' and 'prop';
// - text among 'TEXT', 'utf8' and 'utxt', and a 'vers' record to its short version string;
// - 'alis' to 'fsrf' (the file must exist) and 'fsrf' to 'alis';
// - anything to 'list', as a list of that one item.
// A descriptor coerces to its own type and to typeWildCard as a copy. Anything else, and data of
// the wrong size for its type, gives errAECoercionFail.
#pragma once

#include "platform/AppleEvents/AEDescriptor.h"

OSErr AECoerceDesc(const AEDesc* desc, DescType toType, AEDesc* result);
OSErr AECoercePtr(DescType typeCode, const void* dataPtr, Size dataSize, DescType toType, AEDesc* result);
