#include "sockets/Parse.h"

#include <cstdlib>

Parse::Parse(const std::string& text) : m_text(text) {}

Parse::Parse(const std::string& text, const std::string& splits) : m_text(text), m_splits(splits) {}

Parse::Parse(const std::string& text, const std::string& splits, short)
    : m_text(text), m_splits(splits), m_nospace(true) {}

bool Parse::issplit(char ch) const {
    return ch != 0 && m_splits.find(ch) != std::string::npos;
}

bool Parse::EndsWord(char ch) const {
    if (ch == 0 || issplit(ch) || IsBreak(ch)) return true;
    return !m_nospace && IsSpace(ch);
}

size_t Parse::WordStart() const {
    size_t position = m_position;
    while (!AtEnd(position)) {
        const char ch = m_text[position];
        const bool skip = issplit(ch) || IsBreak(ch) || (!m_nospace && IsSpace(ch));
        if (!skip) break;
        ++position;
    }
    return position;
}

size_t Parse::WordEnd(size_t start) const {
    size_t position = start;
    while (!AtEnd(position) && !EndsWord(m_text[position])) ++position;
    return position;
}

size_t Parse::RestStart() const {
    size_t position = m_position;
    while (!AtEnd(position)) {
        const char ch = m_text[position];
        if (ch != ' ' && ch != '\t' && !issplit(ch)) break;
        ++position;
    }
    return position;
}

std::string Parse::getword() {
    const size_t start = WordStart();
    const size_t end = WordEnd(start);
    m_word = m_text.substr(start, end - start);
    m_position = AtEnd(end) ? end : end + 1;
    return m_word;
}

void Parse::getword(std::string& word) {
    word = getword();
}

void Parse::getword(std::string& word, const std::string& fill, int width) {
    getword();
    word.clear();
    if (!fill.empty()) {
        while (static_cast<long>(word.size() + m_word.size()) < width) word += fill;
    }
    word += m_word;
}

long Parse::getvalue() {
    return std::atol(getword().c_str());
}

std::string Parse::getrest() {
    m_position = RestStart();
    return m_text.substr(m_position);
}

void Parse::getrest(std::string& rest) {
    rest = getrest();
}

std::string Parse::getsplit() {
    if (At(m_position) == '=') {
        ++m_position;
        m_word.assign(1, '=');
        return m_word;
    }
    size_t start = m_position;
    while (!AtEnd(start) && issplit(m_text[start])) ++start;
    size_t end = start;
    while (!AtEnd(end) && m_text[end] != 0 && m_text[end] != '=' && !issplit(m_text[end])) ++end;
    m_word = m_text.substr(start, end - start);
    m_position = end;
    return m_word;
}

void Parse::getsplit(std::string& word) {
    word = getsplit();
}

int Parse::getwordlen() {
    const size_t start = WordStart();
    return static_cast<int>(WordEnd(start) - start);
}

int Parse::getrestlen() {
    return static_cast<int>(m_text.size() - RestStart());
}

std::string Parse::getline() {
    size_t end = m_position;
    while (!AtEnd(end) && m_text[end] != '\r' && m_text[end] != '\n' && m_text[end] != 0) ++end;
    m_word = m_text.substr(m_position, end - m_position);
    m_position = end;
    if (At(m_position) == '\r') ++m_position;
    if (At(m_position) == '\n') ++m_position;
    return m_word;
}

void Parse::getline(std::string& line) {
    line = getline();
}
