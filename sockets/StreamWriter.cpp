#include "sockets/StreamWriter.h"

#include <cstring>

#include "sockets/IStream.h"
#include "sockets/Utility.h"

StreamWriter& StreamWriter::operator<<(const char* text) {
    m_stream.IStreamWrite(text, strlen(text));
    return *this;
}

StreamWriter& StreamWriter::operator<<(const std::string& text) {
    m_stream.IStreamWrite(text.data(), text.size());
    return *this;
}

StreamWriter& StreamWriter::operator<<(short value) {
    return *this << static_cast<long>(value);
}

StreamWriter& StreamWriter::operator<<(int value) {
    return *this << static_cast<long>(value);
}

StreamWriter& StreamWriter::operator<<(long value) {
    return *this << Utility::l2string(value);
}

StreamWriter& StreamWriter::operator<<(double value) {
    return *this << Utility::ToString(value);
}
