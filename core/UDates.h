// The current time in the two forms the system uses, and date conversions and formats.
//
// A date in seconds is whole seconds since 1 January 2001 00:00 UTC (truncated toward zero);
// a date in milliseconds is milliseconds since 1 January 1970 UTC. Both come from one
// replaceable time-of-day source, so tests run on virtual time.
#pragma once

#include <sys/time.h>

#include <cstddef>

#include "platform/Carbon/MacTypes.h"

constexpr UInt32 kSecondsPerDay = 86400;
// Seconds from 1 January 1970 to 1 January 2001.
constexpr SInt64 kUnixTo2001 = 978307200;

using TimeOfDaySource = timeval (*)();
// Replaces gettimeofday behind the date functions (nullptr restores it); for tests, before other
// threads read the time.
void SetTimeOfDaySource(TimeOfDaySource source);

UInt32 GetCurrentDate();
UInt64 GetCurrentDate_ms();

UInt32 RoundDateDown(UInt32 seconds);
// Up to the next multiple of a day; a value on a day boundary stays.
UInt32 RoundDateUp(UInt32 seconds);

// The local zone's offset from GMT in seconds, read once and kept until InvalGMTCache().
SInt32 GetGMTOffset();
void InvalGMTCache();
SInt32 LocalToGMT(UInt32& seconds);
SInt32 GMTToLocal(UInt32& seconds);

// "yyMMdd HHmmss" in local time.
void DateToNNTP(UInt32 seconds, char* buffer, size_t size);
// Parses "yyMMdd HHmmss", "yy:MM:dd HH:mm:ss" or "EEE, dd-MMM-yyyy HH:mm:ss " (local time);
// the current time when none fits or the text is null.
UInt32 NNTPToDate(const char* text);
// "EEE, dd MMM yyyy HH:mm:ss ZZZ" in local time, e.g. "Tue, 03 Jun 2025 14:05:09 +0200".
void DateToMsgDate(UInt32 seconds, char* buffer, size_t size);
// The short date without time, "MM/dd/yy".
void DateToShortMsgDate(UInt32 seconds, char* buffer, size_t size);
// Parses a message date leniently: an optional weekday and comma, day, month name, year, hours
// and minutes with optional seconds, and an optional zone (a name such as GMT or EST, or
// +hhmm); without a zone the time is local. 0 when nothing parses or the date lies before 2001;
// the current time for a null or empty text. Not for concurrent use: see MsgDateToDate.
UInt32 ExtractDateFromInternetString(const char* text);
// ExtractDateFromInternetString, serialized; when that gives 0 or a date a day or more ahead, the
// internet date-time parser is tried and its date kept when it lies from 1 to a day ahead; else
// the current time. May be called from any thread.
UInt32 MsgDateToDate(const char* text);
