// The fields of a request: URL-encoded text, or a multipart/form-data body whose file parts go to
// an upload receiver or to files of our own in the private temporary folder (removed with the
// form; the client's file name is kept only as metadata). A multipart body is read as a stream,
// so a body without its closing boundary ends the parse instead of looping, and caps bound the
// number and size of files and fields. Used by one socket on the handler's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IFile;
class IFileUpload;
class PrivateTempFile;

// Caps on what one form may hold.
struct HttpFormLimits {
    size_t max_files = 16;
    uint64_t max_file_size = 256ull << 20;
    size_t max_field_size = 1 << 20;
    size_t max_entries = 1000;
};

class HttpdForm {
public:
    struct CGI {
        std::string name;
        std::string value;
        std::string path;      // the stored file of an upload, else empty
        std::string filename;  // the client's name for an upload, unchecked
        std::string content_type;
    };

    using Limits = HttpFormLimits;

    HttpdForm(IFile* body, const std::string& content_type, uint64_t content_length,
              const Limits& limits = Limits(), IFileUpload* upload = nullptr);
    HttpdForm(const std::string& query_string, size_t length);
    ~HttpdForm();
    HttpdForm(const HttpdForm&) = delete;
    HttpdForm& operator=(const HttpdForm&) = delete;

    void EnableRaw(bool x) { m_raw = x; }
    const std::string& GetBoundary() const { return m_boundary; }
    HttpdForm& getbase() { return *this; }
    // False when a multipart body broke off or hit a cap; what was read before stays.
    bool Complete() const { return m_complete; }

    bool getfirst(std::string& name);
    bool getnext(std::string& name);
    bool getfirst(std::string& name, std::string& value);
    bool getnext(std::string& name, std::string& value);
    bool getvalue(const std::string& name, std::string& value) const;
    std::string getvalue(const std::string& name) const;
    size_t getlength(const std::string& name) const;
    const std::vector<CGI>& Entries() const { return m_entries; }

    static std::string strcpyval(const std::string& value);

private:
    class Reader;

    void ParseUrlEncoded(const char* text, size_t length);
    void ParseMultipart(IFile* body, const std::string& content_type, uint64_t content_length,
                        const Limits& limits, IFileUpload* upload);
    void AddEntry(CGI entry);

    std::vector<CGI> m_entries;
    size_t m_cursor{0};
    std::string m_boundary;
    bool m_raw{false};
    bool m_complete{true};
    size_t m_max_entries{HttpFormLimits().max_entries};
    std::vector<std::unique_ptr<PrivateTempFile>> m_files;
};
