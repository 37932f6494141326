// One header field of an internet message: a title, ": ", a body and CR LF, folded at 60
// characters when written and unfolded when read.
#pragma once

#include <string>
#include <string_view>

class THeaderField {
public:
    static constexpr size_t kFoldWidth = 60;

    THeaderField() = default;
    // The body is unfolded.
    THeaderField(std::string_view title, std::string_view body);
    explicit THeaderField(std::string_view fieldText);

    void InitMembers();
    void SetTitle(std::string_view title) { fTitle = title; }
    void SetBody(std::string_view body);
    const std::string& GetTitle() const { return fTitle; }
    const std::string& GetBody() const { return fBody; }
    // Title, ": ", body and CR LF.
    size_t FieldLength() const { return fTitle.size() + fBody.size() + 4; }

    // Parses "Title: body" with its continuation lines; a text without ": " changes nothing.
    void SetField(std::string_view text);
    void UnfoldBody();
    // The folded field and CR LF; empty when the title or the body is.
    std::string GetField() const;

    // Breaks the text at its last white space at or before column 60, each continuation line
    // starting with five blanks. White space before `firstBreak` is never a break, so a
    // field's own ": " stays on its first line.
    static std::string Fold(std::string_view text, size_t firstBreak = 0);

private:
    std::string fTitle;
    std::string fBody;
};
