#include "network/THeaderField.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsWhite(char c) {
    return IsBlank(c) || c == '\r' || c == '\n';
}

// The next line of the text at `pos` (without its end), moving `pos` past CR LF, CR or LF.
std::string_view NextLine(std::string_view text, size_t& pos) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n' && (pos == end || text[pos - 1] == '\r')) ++pos;
    return line;
}

}  // namespace

THeaderField::THeaderField(std::string_view title, std::string_view body) : fTitle(title) {
    SetBody(body);
}

THeaderField::THeaderField(std::string_view fieldText) {
    SetField(fieldText);
}

void THeaderField::InitMembers() {
    fTitle.clear();
    fBody.clear();
}

void THeaderField::SetBody(std::string_view body) {
    fBody = body;
    UnfoldBody();
}

void THeaderField::SetField(std::string_view text) {
    size_t separator = text.find(": ");
    if (separator == std::string_view::npos) return;
    fTitle = text.substr(0, separator);
    fBody.clear();
    std::string_view rest = text.substr(separator + 2);
    if (rest.starts_with("\r\n")) return;
    size_t pos = 0;
    fBody = NextLine(rest, pos);
    while (pos < rest.size() && IsBlank(rest[pos])) {
        std::string_view line = NextLine(rest, pos);
        size_t start = line.find_first_not_of(" \t");
        fBody += ' ';
        if (start != std::string_view::npos) fBody += line.substr(start);
    }
    UnfoldBody();
}

void THeaderField::UnfoldBody() {
    if (fBody.size() < 2) return;
    std::string unfolded;
    unfolded.reserve(fBody.size());
    for (size_t i = 0; i < fBody.size(); ++i) {
        if (fBody[i] == '\r' && i + 1 < fBody.size() && fBody[i + 1] == '\n') {
            i += 2;
            while (i < fBody.size() && IsBlank(fBody[i])) ++i;
            unfolded += ' ';
            --i;
            continue;
        }
        unfolded += fBody[i];
    }
    fBody = std::move(unfolded);
}

std::string THeaderField::GetField() const {
    if (fTitle.empty() || fBody.empty()) return {};
    std::string text = fTitle + ": " + fBody;
    return Fold(text, fTitle.size() + 2) + "\r\n";
}

std::string THeaderField::Fold(std::string_view text, size_t firstBreak) {
    while (!text.empty() && IsWhite(text.back())) text.remove_suffix(1);
    std::string folded;
    while (text.size() > kFoldWidth) {
        size_t at = std::string_view::npos;
        for (size_t i = std::min(kFoldWidth, text.size() - 1) + 1; i-- > firstBreak;) {
            if (IsWhite(text[i])) {
                at = i;
                break;
            }
        }
        if (at == std::string_view::npos) break;
        std::string_view piece = text.substr(0, at);
        while (!piece.empty() && IsWhite(piece.back())) piece.remove_suffix(1);
        folded.append(piece);
        folded.append("\r\n     ");
        text.remove_prefix(at + 1);
        firstBreak = 0;
    }
    folded.append(text);
    return folded;
}
