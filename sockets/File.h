// A disk file through C stdio, with read and write offsets of its own so that reading and
// writing the same file do not move each other.
#pragma once

#include <cstdio>
#include <string>

#include "sockets/IFile.h"

// Not thread-safe: one thread at a time.
class File : public IFile {
public:
    File() = default;
    ~File() override;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool fopen(const char* path, const char* mode) override;
    void fclose() override;
    size_t fread(char* buffer, size_t size, size_t count) override;
    size_t fwrite(const char* buffer, size_t size, size_t count) override;
    char* fgets(char* buffer, int size) override;
    void fprintf(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    // From the file system's status of the path, whether or not the file is open.
    size_t size() override;
    bool eof() override;
    void reset_read() override { m_rptr = 0; }
    void reset_write() override { m_wptr = 0; }

private:
    std::string m_path;
    std::string m_mode;
    FILE* m_fil{nullptr};
    unsigned long m_rptr{0};
    unsigned long m_wptr{0};
};
