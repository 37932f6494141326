// The canonical text of a descriptor: one spelling for each tree, used in logs and tests.
//
//   'null'()                 a type without data
//   42                       'shor'; a 'long' outside the 16-bit range; other 'long's are 'long'(42)
//   'comp'(-1), 'magn'(7)    other integers; 'doub'(1.5); 'bool'(1)
//   'prop'                   an 'enum'
//   'type'('cTrk')           'type', 'keyw', 'abso', 'prop' and 'sign' codes; 'kpid'(4242)
//   "text"                   'TEXT'; 'utf8'("..."), 'utxt'("...") and 'alis'("/path") likewise
//   'T'($00FF$)              any other data, and text that is not printable
//   {'k':v, ...}             a 'reco'; 'obj '{...} a record of another type
//   ['a', 'b']               a list
//   'core'\'getd'{...}       an event: class, id and its parameters
// Codes are always quoted; a code with an unprintable byte or a quote is written $XXXXXXXX$.
// The forms that the build syntax knows read back into the same tree.
#pragma once

#include <string>

#include "platform/AppleEvents/AEDescriptor.h"

std::string AEPrint(const AEDesc& desc);
std::string AEPrintCode(FourCharCode code);

// The canonical text as a NUL-terminated C string in a new Handle the caller disposes.
OSStatus AEPrintDescToHandle(const AEDesc* desc, Handle* result);
