// Splits a text into words. Each call reads from a position that it moves forward; words are
// separated by white space (space, tab, CR, LF) and by the split characters given.
#pragma once

#include <string>

class Parse {
public:
    Parse() = default;
    explicit Parse(const std::string& text);
    Parse(const std::string& text, const std::string& splits);
    // No-space mode: only split characters (and the break character) separate words.
    Parse(const std::string& text, const std::string& splits, short nospace);

    // The next word, empty at the end of the text; also kept as the current word.
    std::string getword();
    void getword(std::string& word);
    // The next word left-padded with copies of `fill` to at least `width` characters; an empty
    // fill pads nothing.
    void getword(std::string& word, const std::string& fill, int width);
    // The next word as a decimal number (0 when it has no leading digits).
    long getvalue();
    // The rest of the text after spaces, tabs and split characters; the position stays there.
    std::string getrest();
    void getrest(std::string& rest);
    // A word ended by a split character or "="; an "=" at the position is a word of its own.
    std::string getsplit();
    void getsplit(std::string& word);
    // What the next getword / getrest would answer, without moving.
    int getwordlen();
    int getrestlen();
    // The text up to the next CR, LF or end; one CR, LF or CR LF is stepped over.
    std::string getline();
    void getline(std::string& line);

    void setbreak(char ch) { m_breakchar = ch; }
    bool issplit(char ch) const;

private:
    char At(size_t position) const { return position < m_text.size() ? m_text[position] : 0; }
    bool AtEnd(size_t position) const { return position >= m_text.size(); }
    bool IsSpace(char ch) const { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }
    bool IsBreak(char ch) const { return m_breakchar != 0 && ch == m_breakchar; }
    bool EndsWord(char ch) const;
    size_t WordStart() const;
    size_t WordEnd(size_t start) const;
    size_t RestStart() const;

    std::string m_text;
    std::string m_splits;
    std::string m_word;
    size_t m_position{0};
    char m_breakchar{0};
    bool m_nospace{false};
};
