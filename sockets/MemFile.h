// A file held in memory, in blocks of 32768 bytes. An anonymous file is its object's own; a
// named one shares its contents with every MemFile of that name, and those contents live until
// the program ends.
#pragma once

#include <memory>
#include <string>

#include "sockets/IFile.h"

// One object is used by one thread at a time; objects sharing a name may be used from
// different threads.
class MemFile : public IFile {
public:
    static constexpr size_t kBlockSize = 32768;

    MemFile();
    explicit MemFile(const std::string& path);
    ~MemFile() override;
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    // The contents are there already: opening never fails and closing changes nothing.
    bool fopen(const char*, const char*) override { return true; }
    void fclose() override {}
    // Answers the number of bytes copied, not of items.
    size_t fread(char* buffer, size_t size, size_t count) override;
    // Appends at the end and answers the number of bytes written.
    size_t fwrite(const char* buffer, size_t size, size_t count) override;
    char* fgets(char* buffer, int size) override;
    // At most 32767 characters of the formatted text are written.
    void fprintf(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    size_t size() override;
    bool eof() override { return m_b_read_caused_eof; }
    void reset_read() override;
    // Empties the contents; their blocks are kept for the next writes.
    void reset_write() override;

private:
    struct Contents;

    std::string m_path;
    std::shared_ptr<Contents> m_contents;
    size_t m_read_ptr{0};
    bool m_b_read_caused_eof{false};
};
