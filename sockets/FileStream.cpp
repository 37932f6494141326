#include "sockets/FileStream.h"

#include "sockets/IFile.h"

size_t FileStream::IStreamRead(char* buffer, size_t length) {
    return m_file.fread(buffer, 1, length);
}

void FileStream::IStreamWrite(const char* buffer, size_t length) {
    m_file.fwrite(buffer, 1, length);
}
