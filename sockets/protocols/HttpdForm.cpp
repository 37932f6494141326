#include "sockets/protocols/HttpdForm.h"

#include <strings.h>

#include <algorithm>
#include <iterator>

#include "sockets/IFile.h"
#include "sockets/IStream.h"
#include "sockets/Utility.h"
#include "sockets/protocols/IFileUpload.h"
#include "sockets/protocols/PrivateTempFile.h"

namespace {

constexpr size_t kMaxBoundary = 70;
constexpr size_t kMaxLine = 8192;
constexpr size_t kMaxPartHeaders = 100;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Trim(const std::string& text) {
    const size_t b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// One parameter value: a quoted text up to its closing quote (or the end), else a plain word.
std::string ParamValue(const std::string& text) {
    if (text.empty() || text[0] != '"') return Trim(text);
    std::string value;
    for (size_t i = 1; i < text.size(); ++i) {
        // Browsers send Windows paths with their backslashes as they are, so none escapes.
        if (text[i] == '"') break;
        value += text[i];
    }
    return value;
}

// The value of `key` among the ';'-separated parameters of a header value, quotes honoured.
bool Param(const std::string& header, const std::string& key, std::string& value) {
    size_t i = 0;
    while (i < header.size()) {
        size_t end = i;
        bool quoted = false;
        for (; end < header.size(); ++end) {
            if (header[end] == '"') quoted = !quoted;
            if (header[end] == ';' && !quoted) break;
        }
        const std::string piece = Trim(header.substr(i, std::min(end, header.size()) - i));
        const size_t eq = piece.find('=');
        if (eq != std::string::npos && strcasecmp(Trim(piece.substr(0, eq)).c_str(), key.c_str()) == 0) {
            value = ParamValue(Trim(piece.substr(eq + 1)));
            return true;
        }
        i = end + 1;
    }
    return false;
}

// What a value needs to be safe in element text and in attributes quoted either way.
struct HtmlEscape {
    char c;
    const char* text;
};

constexpr HtmlEscape kHtmlEscapes[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"},
};

class FileStream : public IStream {
public:
    explicit FileStream(IFile& file) : m_file(file) {}
    size_t IStreamRead(char*, size_t) override { return 0; }
    void IStreamWrite(const char* buffer, size_t length) override { m_file.fwrite(buffer, 1, length); }

private:
    IFile& m_file;
};

}  // namespace

// Reads the body through a window that grows by blocks, so a part is never held whole.
class HttpdForm::Reader {
public:
    Reader(IFile* file, uint64_t length) : m_file(file), m_left(length) {}

    bool Fill() {
        if (!m_file || m_left == 0) return false;
        char block[65536];
        const size_t want = static_cast<size_t>(std::min<uint64_t>(m_left, sizeof(block)));
        const size_t n = m_file->fread(block, 1, want);
        if (n == 0) {
            m_left = 0;
            return false;
        }
        m_left -= n;
        buf.erase(0, pos);
        pos = 0;
        buf.append(block, n);
        return true;
    }
    // The next line without its CR LF; false at the end or beyond the cap.
    bool Line(std::string& line) {
        for (;;) {
            const size_t lf = buf.find('\n', pos);
            if (lf != std::string::npos) {
                line = buf.substr(pos, lf - pos);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                pos = lf + 1;
                return line.size() <= kMaxLine;
            }
            if (buf.size() - pos > kMaxLine || !Fill()) return false;
        }
    }
    bool Need(size_t n) {
        while (buf.size() - pos < n)
            if (!Fill()) return false;
        return true;
    }

    std::string buf;
    size_t pos{0};

private:
    IFile* m_file;
    uint64_t m_left;
};

HttpdForm::HttpdForm(IFile* body, const std::string& content_type, uint64_t content_length,
                     const Limits& limits, IFileUpload* upload)
    : m_max_entries(limits.max_entries) {
    if (strncasecmp(content_type.c_str(), "multipart/form-data", 19) == 0) {
        ParseMultipart(body, content_type, content_length, limits, upload);
        return;
    }
    if (Utility::ToLower(content_type).find("x-www-form-urlencoded") == std::string::npos || !body) return;
    std::string text;
    char block[65536];
    while (text.size() < content_length) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(content_length - text.size(), sizeof(block)));
        const size_t n = body->fread(block, 1, want);
        if (n == 0) break;
        text.append(block, n);
    }
    ParseUrlEncoded(text.data(), text.size());
}

HttpdForm::HttpdForm(const std::string& query_string, size_t length) {
    ParseUrlEncoded(query_string.data(), std::min(length, query_string.size()));
}

HttpdForm::~HttpdForm() = default;

void HttpdForm::AddEntry(CGI entry) {
    if (m_entries.size() >= m_max_entries) {
        m_complete = false;
        return;
    }
    m_entries.push_back(std::move(entry));
}

void HttpdForm::ParseUrlEncoded(const char* text, size_t length) {
    std::string name, value;
    bool seen_eq = false;
    auto flush = [&] {
        CGI entry;
        if (seen_eq) {
            entry.name = name;
            entry.value = value;
        } else {
            entry.name = value;
        }
        AddEntry(std::move(entry));
        name.clear();
        value.clear();
        seen_eq = false;
    };
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= length) break;
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            // A broken escape is kept as it stands rather than guessed at.
            if (hi < 0 || lo < 0) {
                value += c;
                continue;
            }
            value += static_cast<char>(hi << 4 | lo);
            i += 2;
        } else if (c == '+') {
            value += ' ';
        } else if (c == '=' && !seen_eq) {
            name = value;
            value.clear();
            seen_eq = true;
        } else if (c == '&') {
            flush();
        } else {
            value += c;
        }
    }
    flush();
}

void HttpdForm::ParseMultipart(IFile* body, const std::string& content_type, uint64_t content_length,
                               const Limits& limits, IFileUpload* upload) {
    m_complete = false;
    if (!Param(content_type, "boundary", m_boundary) || m_boundary.empty() ||
        m_boundary.size() > kMaxBoundary) {
        m_boundary.clear();
        return;
    }
    // The body is read as if a CR LF came first, so the first delimiter looks like the others.
    const std::string delimiter = "\r\n--" + m_boundary;
    Reader in(body, content_length);
    in.buf = "\r\n";
    size_t files = 0;
    for (;;) {
        // Find the next delimiter; anything before the first one is preamble.
        size_t at;
        while ((at = in.buf.find(delimiter, in.pos)) == std::string::npos) {
            if (in.buf.size() > delimiter.size()) in.pos = std::max(in.pos, in.buf.size() - delimiter.size());
            if (!in.Fill()) return;
        }
        in.pos = at + delimiter.size();
        if (!in.Need(2)) return;
        if (in.buf.compare(in.pos, 2, "--") == 0) {
            m_complete = true;
            return;
        }
        std::string line;
        if (!in.Line(line) || !Trim(line).empty()) return;

        std::string name, filename, type;
        bool has_filename = false;
        for (size_t count = 0;; ++count) {
            if (count > kMaxPartHeaders || !in.Line(line)) return;
            if (line.empty()) break;
            const size_t colon = line.find(':');
            if (colon == std::string::npos) return;
            const std::string key = Trim(line.substr(0, colon));
            const std::string value = Trim(line.substr(colon + 1));
            if (strcasecmp(key.c_str(), "content-type") == 0) {
                type = Trim(value.substr(0, value.find(';')));
            } else if (strcasecmp(key.c_str(), "content-disposition") == 0) {
                if (strncasecmp(value.c_str(), "form-data", 9) != 0) continue;
                Param(value, "name", name);
                has_filename = Param(value, "filename", filename);
            }
        }
        if (has_filename) {
            const size_t slash = filename.find_last_of("/\\");
            if (slash != std::string::npos) filename = filename.substr(slash + 1);
        }

        // The part's bytes up to the next delimiter, which stays in the window for the loop.
        std::unique_ptr<PrivateTempFile> stored;
        std::unique_ptr<FileStream> file_stream;
        IStream* sink = nullptr;
        std::string value;
        uint64_t size = 0;
        const uint64_t cap = has_filename ? limits.max_file_size : limits.max_field_size;
        if (has_filename) {
            if (++files > limits.max_files) return;
            if (upload) {
                sink = &upload->BeginUpload(name, filename, type);
            } else {
                stored = std::make_unique<PrivateTempFile>("upload");
                if (!stored->Valid()) return;
                file_stream = std::make_unique<FileStream>(*stored);
                sink = file_stream.get();
            }
        }
        auto put = [&](const char* p, size_t n) {
            size += n;
            if (size > cap) return false;
            if (sink)
                sink->IStreamWrite(p, n);
            else
                value.append(p, n);
            return true;
        };
        bool ok = true;
        for (;;) {
            const size_t end = in.buf.find(delimiter, in.pos);
            if (end != std::string::npos) {
                ok = put(in.buf.data() + in.pos, end - in.pos);
                in.pos = end;
                break;
            }
            const size_t keep = delimiter.size() - 1;
            if (in.buf.size() - in.pos > keep) {
                const size_t n = in.buf.size() - in.pos - keep;
                if (!(ok = put(in.buf.data() + in.pos, n))) break;
                in.pos += n;
            }
            if (!in.Fill()) {
                ok = false;
                break;
            }
        }
        if (has_filename && upload) upload->EndUpload();
        if (!ok) return;
        CGI entry;
        entry.name = name;
        entry.content_type = type;
        if (has_filename) {
            entry.filename = filename;
            entry.path = stored ? stored->Path() : filename;
            entry.value = entry.path;
            if (stored) {
                stored->fclose();
                m_files.push_back(std::move(stored));
            }
        } else {
            // A field's line breaks at its end belong to the form's layout, not to the value.
            entry.value = value.substr(0, value.find_last_not_of("\r\n") + 1);
        }
        AddEntry(std::move(entry));
    }
}

bool HttpdForm::getfirst(std::string& name) {
    m_cursor = 0;
    return getnext(name);
}

bool HttpdForm::getnext(std::string& name) {
    if (m_cursor >= m_entries.size()) {
        name.clear();
        return false;
    }
    name = m_entries[m_cursor++].name;
    return true;
}

bool HttpdForm::getfirst(std::string& name, std::string& value) {
    m_cursor = 0;
    return getnext(name, value);
}

bool HttpdForm::getnext(std::string& name, std::string& value) {
    if (m_cursor >= m_entries.size()) {
        name.clear();
        value.clear();
        return false;
    }
    const CGI& entry = m_entries[m_cursor++];
    name = entry.name;
    value = m_raw ? entry.value : strcpyval(entry.value);
    return true;
}

bool HttpdForm::getvalue(const std::string& name, std::string& value) const {
    for (const CGI& entry : m_entries)
        if (entry.name == name) {
            value = m_raw ? entry.value : strcpyval(entry.value);
            return true;
        }
    value.clear();
    return false;
}

std::string HttpdForm::getvalue(const std::string& name) const {
    for (const CGI& entry : m_entries)
        if (entry.name == name) return entry.value;
    return "";
}

size_t HttpdForm::getlength(const std::string& name) const {
    std::string value;
    return getvalue(name, value) ? value.size() : 0;
}

std::string HttpdForm::strcpyval(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        const HtmlEscape* escape = std::find_if(std::begin(kHtmlEscapes), std::end(kHtmlEscapes),
                                                [c](const HtmlEscape& e) { return e.c == c; });
        if (escape != std::end(kHtmlEscapes))
            out += escape->text;
        else
            out += c;
    }
    return out;
}
