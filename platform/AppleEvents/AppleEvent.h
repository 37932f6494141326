// Apple events: creation, parameters and attributes.
//
// The parameter calls also accept a record (an event's parameters are its keyed fields). The
// attributes evcl, evid, rtid, tran, addr, timo and smod read and write the event's header;
// any other keyword is kept as a further attribute.
#pragma once

#include "platform/AppleEvents/AEDescriptor.h"

// returnID kAutoGenerateReturnID picks a fresh id, unique within the process for a while.
OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc* target,
                         AEReturnID returnID, AETransactionID transactionID, AppleEvent* result);

OSErr AEGetParamDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* result);
// Copies at most maximumSize bytes of the (coerced) parameter; actualSize is its full size.
OSErr AEGetParamPtr(const AppleEvent* event, AEKeyword key, DescType desiredType, DescType* actualType,
                    void* dataPtr, Size maximumSize, Size* actualSize);
// The parameter's own type and data size, without coercion.
OSErr AESizeOfParam(const AppleEvent* event, AEKeyword key, DescType* typeCode, Size* dataSize);
OSErr AEPutParamDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc);
OSErr AEPutParamPtr(AppleEvent* event, AEKeyword key, DescType typeCode, const void* dataPtr, Size dataSize);
OSErr AEDeleteParam(AppleEvent* event, AEKeyword key);

OSErr AEGetAttributeDesc(const AppleEvent* event, AEKeyword key, DescType desiredType, AEDesc* result);
OSErr AEGetAttributePtr(const AppleEvent* event, AEKeyword key, DescType desiredType, DescType* actualType,
                        void* dataPtr, Size maximumSize, Size* actualSize);
OSErr AEPutAttributeDesc(AppleEvent* event, AEKeyword key, const AEDesc* desc);
OSErr AEPutAttributePtr(AppleEvent* event, AEKeyword key, DescType typeCode, const void* dataPtr,
                        Size dataSize);
