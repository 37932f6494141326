#include "sockets/File.h"

#include <sys/stat.h>

#include <cstdarg>

File::~File() {
    fclose();
}

bool File::fopen(const char* path, const char* mode) {
    fclose();
    m_path = path;
    m_mode = mode;
    m_rptr = 0;
    m_wptr = 0;
    m_fil = std::fopen(path, mode);
    return m_fil != nullptr;
}

void File::fclose() {
    if (m_fil) std::fclose(m_fil);
    m_fil = nullptr;
}

size_t File::fread(char* buffer, size_t size, size_t count) {
    if (!m_fil) return 0;
    std::fseek(m_fil, static_cast<long>(m_rptr), SEEK_SET);
    const size_t read = std::fread(buffer, size, count, m_fil);
    m_rptr = static_cast<unsigned long>(std::ftell(m_fil));
    return read;
}

size_t File::fwrite(const char* buffer, size_t size, size_t count) {
    if (!m_fil) return 0;
    std::fseek(m_fil, static_cast<long>(m_wptr), SEEK_SET);
    const size_t written = std::fwrite(buffer, size, count, m_fil);
    m_wptr = static_cast<unsigned long>(std::ftell(m_fil));
    return written;
}

char* File::fgets(char* buffer, int size) {
    if (!m_fil) return nullptr;
    std::fseek(m_fil, static_cast<long>(m_rptr), SEEK_SET);
    char* line = std::fgets(buffer, size, m_fil);
    m_rptr = static_cast<unsigned long>(std::ftell(m_fil));
    return line;
}

void File::fprintf(const char* format, ...) {
    if (!m_fil) return;
    std::fseek(m_fil, static_cast<long>(m_wptr), SEEK_SET);
    va_list args;
    va_start(args, format);
    std::vfprintf(m_fil, format, args);
    va_end(args);
    m_wptr = static_cast<unsigned long>(std::ftell(m_fil));
}

size_t File::size() {
    struct stat status;
    if (m_path.empty() || stat(m_path.c_str(), &status) == -1) return 0;
    return static_cast<size_t>(status.st_size);
}

bool File::eof() {
    return m_fil && std::feof(m_fil);
}
