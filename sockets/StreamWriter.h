// Writes texts and numbers as text onto an IStream it does not own.
#pragma once

#include <string>

class IStream;

class StreamWriter {
public:
    explicit StreamWriter(IStream& stream) : m_stream(stream) {}

    StreamWriter& operator<<(const char* text);
    StreamWriter& operator<<(const std::string& text);
    StreamWriter& operator<<(short value);
    StreamWriter& operator<<(int value);
    StreamWriter& operator<<(long value);
    // Written with "%f".
    StreamWriter& operator<<(double value);

private:
    IStream& m_stream;
};
