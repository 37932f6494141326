// A stream over an IFile it does not own.
#pragma once

#include "sockets/IStream.h"

class IFile;

class FileStream : public IStream {
public:
    explicit FileStream(IFile& file) : m_file(file) {}

    size_t IStreamRead(char* buffer, size_t length) override;
    void IStreamWrite(const char* buffer, size_t length) override;

private:
    IFile& m_file;
};
