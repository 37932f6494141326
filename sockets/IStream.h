// A byte stream over a file or a socket.
#pragma once

#include <cstddef>

class IStream {
public:
    virtual ~IStream() = default;

    // IStreamRead answers the number of bytes read.
    virtual size_t IStreamRead(char* buffer, size_t length) = 0;
    virtual void IStreamWrite(const char* buffer, size_t length) = 0;
};
