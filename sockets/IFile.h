// A file as the socket library sees it: stdio-like calls on a disk file or on memory.
#pragma once

#include <cstddef>

class IFile {
public:
    virtual ~IFile() = default;

    virtual bool fopen(const char* path, const char* mode) = 0;
    virtual void fclose() = 0;
    virtual size_t fread(char* buffer, size_t size, size_t count) = 0;
    virtual size_t fwrite(const char* buffer, size_t size, size_t count) = 0;
    // Reads one line with its LF and a terminating zero; null at end of file, as C's fgets.
    virtual char* fgets(char* buffer, int size) = 0;
    virtual void fprintf(const char* format, ...) __attribute__((format(printf, 2, 3))) = 0;
    virtual size_t size() = 0;
    virtual bool eof() = 0;
    virtual void reset_read() = 0;
    virtual void reset_write() = 0;
};
