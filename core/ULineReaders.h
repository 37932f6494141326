// Line and chunk readers over texts in memory, C files, streams and open forks.
//
// A line ends at CR, LF or a run of them, so CR LF is one line end and empty lines are not
// returned; the last line needs no end. A line is copied without its end into a buffer of `size`
// bytes and NUL-terminated. A line longer than size - 1 bytes comes back in pieces of size - 1
// bytes, the rest staying for the next read, so nothing is lost and nothing overruns. A buffer
// of fewer than 2 bytes reads nothing. Errors a stream throws pass through. None of these is
// safe for two threads on one source.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Carbon/Files.h"
#include "platform/Carbon/MacTypes.h"

class TStream;

// Reads the next line of the NUL-terminated `text` and moves `text` past it and its line end.
// False when no line is left.
bool ReadLine(const char*& text, char* buffer, size_t size);
// Reads the next line of a C file, leaving the file after the line's end.
bool ReadLineFromFile(std::FILE* file, char* buffer, size_t size);
// The same, with `length` the bytes stored, for lines that may hold NUL bytes.
bool ReadBinaryLine(std::FILE* file, char* buffer, size_t size, size_t& length);
// Reads the next line at the stream's marker; what was read past the line's end is pushed back.
// False at the end of the stream and at a line that is a single "." (the marker then after it).
bool ReadLineFromStream(TStream& stream, char* buffer, size_t size);
// Reads a response that a line holding a single "." ends ("\r\n.\r\n"; ".\r\n" when the
// response has no text): the text before that line, with every line end but the last. True when
// the "." line was reached, the marker then after it. False when the stream ended first or the
// buffer filled; the marker is then after what the buffer holds, so another call reads on.
bool ReadResponseFromStream(TStream& stream, char* buffer, size_t size);

// The chunk readers read up to size - 1 bytes, NUL-terminated, and cut the chunk back to the end
// of its last complete line, moving the position back to there. A CR that ends the bytes read
// is not taken for a line end, as its LF may follow. The last chunk of the source and a chunk
// that holds no line end (a line longer than the chunk) are kept whole, so every call but the
// last makes progress.

// The chunk's length; 0 at the end of the file or on a read error. A file that cannot seek
// back (a pipe) keeps each chunk whole.
size_t ReadChunkFromFile(std::FILE* file, char* buffer, size_t size);
size_t ReadChunkFromStream(TStream& stream, char* buffer, size_t size);
// `actual` gets the chunk's length: eofErr when nothing was left, else the fork's errors.
OSStatus ReadChunkFromFileRefNum(FSIORefNum forkRefNum, char* buffer, ByteCount size, ByteCount* actual);
// Reads a chunk as ReadChunkFromFileRefNum does and answers its lines, without their ends.
OSStatus ReadLinesFromFileRefNum(FSIORefNum forkRefNum, ByteCount size, std::vector<std::string>& lines);
// The position after the next LF from the fork's mark, which stays where it was. At the end of
// the fork without an LF: the fork's size, and eofErr.
OSStatus GetNewLineOffset(FSIORefNum forkRefNum, SInt64* offset);
