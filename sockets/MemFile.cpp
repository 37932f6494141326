#include "sockets/MemFile.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

struct MemFile::Contents {
    using Block = std::array<char, kBlockSize>;

    std::mutex mutex;
    std::vector<std::unique_ptr<Block>> blocks;
    size_t size{0};

    Contents() { blocks.push_back(std::make_unique<Block>()); }
};

MemFile::MemFile() : m_contents(std::make_shared<Contents>()) {}

MemFile::MemFile(const std::string& path) : m_path(path) {
    // Never destroyed, so named contents outlive every static that might still write to them.
    static std::mutex namedMutex;
    static auto* named = new std::map<std::string, std::shared_ptr<Contents>>;
    std::lock_guard<std::mutex> guard(namedMutex);
    auto& contents = (*named)[path];
    if (!contents) contents = std::make_shared<Contents>();
    m_contents = contents;
}

MemFile::~MemFile() = default;

size_t MemFile::fread(char* buffer, size_t size, size_t count) {
    size_t wanted = 0;
    if (__builtin_mul_overflow(size, count, &wanted)) wanted = SIZE_MAX;
    std::lock_guard<std::mutex> guard(m_contents->mutex);
    const size_t left = m_contents->size > m_read_ptr ? m_contents->size - m_read_ptr : 0;
    const size_t n = std::min(wanted, left);
    if (n < wanted) m_b_read_caused_eof = true;
    size_t copied = 0;
    while (copied < n) {
        const size_t block = m_read_ptr / kBlockSize;
        const size_t offset = m_read_ptr % kBlockSize;
        const size_t chunk = std::min(n - copied, kBlockSize - offset);
        std::memcpy(buffer + copied, m_contents->blocks[block]->data() + offset, chunk);
        copied += chunk;
        m_read_ptr += chunk;
    }
    return copied;
}

size_t MemFile::fwrite(const char* buffer, size_t size, size_t count) {
    size_t n = 0;
    if (__builtin_mul_overflow(size, count, &n)) return 0;
    std::lock_guard<std::mutex> guard(m_contents->mutex);
    auto& contents = *m_contents;
    size_t written = 0;
    while (written < n) {
        const size_t block = contents.size / kBlockSize;
        const size_t offset = contents.size % kBlockSize;
        while (block >= contents.blocks.size())
            contents.blocks.push_back(std::make_unique<Contents::Block>());
        const size_t chunk = std::min(n - written, kBlockSize - offset);
        std::memcpy(contents.blocks[block]->data() + offset, buffer + written, chunk);
        written += chunk;
        contents.size += chunk;
    }
    return written;
}

char* MemFile::fgets(char* buffer, int size) {
    if (size <= 0) return nullptr;
    std::lock_guard<std::mutex> guard(m_contents->mutex);
    int stored = 0;
    while (stored < size - 1) {
        if (m_read_ptr >= m_contents->size) {
            m_b_read_caused_eof = true;
            break;
        }
        const char c = m_contents->blocks[m_read_ptr / kBlockSize]->at(m_read_ptr % kBlockSize);
        ++m_read_ptr;
        buffer[stored++] = c;
        if (c == '\n') break;
    }
    buffer[stored] = 0;
    if (stored == 0 && size > 1) return nullptr;
    return buffer;
}

void MemFile::fprintf(const char* format, ...) {
    std::vector<char> text(kBlockSize);
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    if (length <= 0) return;
    fwrite(text.data(), 1, std::min(static_cast<size_t>(length), text.size() - 1));
}

size_t MemFile::size() {
    std::lock_guard<std::mutex> guard(m_contents->mutex);
    return m_contents->size;
}

void MemFile::reset_read() {
    m_read_ptr = 0;
    m_b_read_caused_eof = false;
}

void MemFile::reset_write() {
    std::lock_guard<std::mutex> guard(m_contents->mutex);
    m_contents->size = 0;
}
