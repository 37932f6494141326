#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sockets/Exception.h"
#include "sockets/IStream.h"
#include "sockets/MemFile.h"
#include "sockets/protocols/HTTPSocket.h"
#include "sockets/protocols/HttpRequest.h"
#include "sockets/protocols/HttpResponse.h"
#include "sockets/protocols/HttpdCookies.h"
#include "sockets/protocols/HttpdForm.h"
#include "sockets/protocols/IFileUpload.h"
#include "sockets/protocols/PrivateTempFile.h"
#include "tests/sockets/support/FakeSocketHandler.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const HttpdForm& form) {
    Entries entries;
    for (const HttpdForm::CGI& e : form.Entries()) entries.emplace_back(e.name, e.value);
    return entries;
}

std::unique_ptr<HttpdForm> Multipart(const std::string& body, const std::string& boundary = "XyZ",
                                     const HttpFormLimits& limits = HttpFormLimits(),
                                     IFileUpload* upload = nullptr) {
    MemFile file;
    file.fwrite(body.data(), 1, body.size());
    return std::make_unique<HttpdForm>(&file, "multipart/form-data; boundary=" + boundary, body.size(),
                                       limits, upload);
}

std::string ReadFile(const std::string& path) {
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
        fclose(f);
    }
    return text;
}

TEST(HttpdForm, UrlEncodedTextGivesItsEntries) {
    struct Case {
        const char* text;
        Entries entries;
    } cases[] = {
        {"a=1&b&c=%41", {{"a", "1"}, {"b", ""}, {"c", "A"}}},
        {"", {{"", ""}}},
        {"x=a+b%20c", {{"x", "a b c"}}},
        {"x=%zz&y=%4", {{"x", "%zz"}, {"y", ""}}},
        {"k=v=w", {{"k", "v=w"}}},
    };
    for (const Case& c : cases) {
        HttpdForm form(c.text, strlen(c.text));
        EXPECT_EQ(EntriesOf(form), c.entries) << c.text;
        MemFile body;
        body.fwrite(c.text, 1, strlen(c.text));
        HttpdForm fromBody(&body, "application/x-www-form-urlencoded", strlen(c.text));
        EXPECT_EQ(EntriesOf(fromBody), c.entries) << c.text;
    }
}

TEST(HttpdForm, ValuesAreEscapedUnlessRaw) {
    const std::string text = "v=a%3Cb%26%3E%22%27";
    HttpdForm form(text, text.size());
    std::string value;
    ASSERT_TRUE(form.getvalue("v", value));
    // Safe in element text and in attributes of either quote.
    EXPECT_EQ(value, "a&lt;b&amp;&gt;&quot;&#39;");
    EXPECT_EQ(form.getlength("v"), 7u + 3 + 4 + 3 + 5 + 4);
    EXPECT_EQ(form.getvalue("v"), "a<b&>\"'");
    EXPECT_FALSE(form.getvalue("V", value));
    form.EnableRaw(true);
    std::string name;
    ASSERT_TRUE(form.getfirst(name, value));
    EXPECT_EQ(value, "a<b&>\"'");
    EXPECT_FALSE(form.getnext(name, value));
    EXPECT_EQ(name, "");
}

TEST(HttpdForm, MultipartFilesGoToPrivateFilesThatGoWithTheForm) {
    const std::string body =
        "preamble\r\n--XyZ\r\n"
        "Content-Disposition: form-data; name=\"f\"; filename=\"C:\\dir\\a.txt\"\r\n"
        "Content-Type: text/plain; charset=x\r\n\r\n"
        "line1\r\n--XyNot\r\n"
        "\r\n--XyZ\r\n"
        "Content-Disposition: form-data; name=\"t\"\r\n\r\n"
        "text value\r\n--XyZ--\r\n";
    auto form = Multipart(body);
    EXPECT_TRUE(form->Complete());
    ASSERT_EQ(form->Entries().size(), 2u);
    const HttpdForm::CGI& file = form->Entries()[0];
    EXPECT_EQ(file.name, "f");
    EXPECT_EQ(file.filename, "a.txt");
    EXPECT_EQ(file.content_type, "text/plain");
    EXPECT_EQ(file.path.rfind(PrivateTempFile::Folder() + "/", 0), 0u) << file.path;
    EXPECT_EQ(ReadFile(file.path), "line1\r\n--XyNot\r\n");
    struct stat st;
    ASSERT_EQ(stat(PrivateTempFile::Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(form->Entries()[1].value, "text value");
    const std::string path = file.path;
    form.reset();
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(HttpdForm, MultipartFieldValuesLoseTrailingLineBreaksAndFilesStayExact) {
    const std::string text = "line1\r\nline2\nline3\r\n";
    auto form = Multipart("--XyZ\r\nContent-Disposition: form-data; name=\"t\"\r\n\r\n" + text +
                          "\r\n--XyZ\r\nContent-Disposition: form-data; name=\"n\"\r\n\r\n\n\r\r\n"
                          "\r\n--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a\"\r\n\r\n" +
                          text + "\r\n--XyZ--\r\n");
    EXPECT_TRUE(form->Complete());
    ASSERT_EQ(form->Entries().size(), 3u);
    EXPECT_EQ(form->Entries()[0].value, "line1\r\nline2\nline3");
    EXPECT_EQ(form->Entries()[1].value, "");
    EXPECT_EQ(ReadFile(form->Entries()[2].path), text);
}

TEST(HttpdForm, HostileMultipartBodiesEndTheParse) {
    const std::string head = "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"";
    struct Case {
        const char* name;
        std::string body;
        std::string boundary;
        size_t entries;
        bool complete;
    } cases[] = {
        {"no closing boundary", head + "x\"\r\n\r\nendless data without end", "XyZ", 0, false},
        {"dot file name stays metadata", head + "..\"\r\n\r\nd\r\n--XyZ--", "XyZ", 1, true},
        {"empty file name", head + "\"\r\n\r\nd\r\n--XyZ--", "XyZ", 1, true},
        {"lone quote in a name", "--XyZ\r\nContent-Disposition: form-data; name=\"\r\n\r\nv\r\n--XyZ--",
         "XyZ", 1, true},
        {"boundary longer than 70",
         "--" + std::string(71, 'b') + "\r\n\r\nx\r\n--" + std::string(71, 'b') + "--", std::string(71, 'b'),
         0, false},
        {"part header line beyond the cap", "--XyZ\r\nX: " + std::string(9000, 'h') + "\r\n\r\nv\r\n--XyZ--",
         "XyZ", 0, false},
    };
    for (const Case& c : cases) {
        auto form = Multipart(c.body, c.boundary);
        EXPECT_EQ(form->Entries().size(), c.entries) << c.name;
        EXPECT_EQ(form->Complete(), c.complete) << c.name;
        for (const HttpdForm::CGI& e : form->Entries()) {
            EXPECT_EQ(e.path.rfind(PrivateTempFile::Folder() + "/", 0),
                      e.path.empty() ? std::string::npos : 0u)
                << c.name;
        }
    }
}

TEST(HttpdForm, CapsOnFilesAndFieldsStopTheParse) {
    std::string body;
    for (int i = 0; i < 3; ++i)
        body += "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a\"\r\n\r\n0123456789\r\n";
    body += "--XyZ--\r\n";
    HttpFormLimits fewFiles;
    fewFiles.max_files = 2;
    auto form = Multipart(body, "XyZ", fewFiles);
    EXPECT_EQ(form->Entries().size(), 2u);
    EXPECT_FALSE(form->Complete());
    HttpFormLimits smallFiles;
    smallFiles.max_file_size = 9;
    form = Multipart(body, "XyZ", smallFiles);
    EXPECT_EQ(form->Entries().size(), 0u);
    EXPECT_FALSE(form->Complete());
}

class CollectingUpload : public IFileUpload, public IStream {
public:
    IStream& BeginUpload(const std::string& field, const std::string& file, const std::string&) override {
        log += "begin " + field + " " + file + ";";
        return *this;
    }
    void EndUpload() override { log += "end;"; }
    size_t IStreamRead(char*, size_t) override { return 0; }
    void IStreamWrite(const char* buf, size_t len) override { log.append(buf, len); }
    std::string log;
};

TEST(HttpdForm, AnUploadReceiverGetsTheFilesInstead) {
    CollectingUpload upload;
    auto form = Multipart(
        "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"/etc/x.bin\"\r\n\r\nabc\r\n--XyZ--",
        "XyZ", HttpFormLimits(), &upload);
    EXPECT_EQ(upload.log, "begin f x.bin;abcend;");
    ASSERT_EQ(form->Entries().size(), 1u);
    EXPECT_EQ(form->Entries()[0].path, "x.bin");
}

TEST(HttpRequest, HeadersAttributesBodyAndForm) {
    HttpRequest request;
    EXPECT_EQ(request.ContentLength(), 0);
    request.SetHeader("content-type", "application/x-www-form-urlencoded");
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_THROW(request.Form(), Exception);
    // A body wins over a query string, so a POST with both keeps its body.
    request.SetAttribute("query_string", "q=1");
    request.InitBody(3);
    request.Write("b=2", 3);
    request.CloseBody();
    request.ParseBody();
    EXPECT_EQ(EntriesOf(request.Form()), (Entries{{"b", "2"}}));
    HttpRequest copy(request);
    EXPECT_EQ(copy.Body() != nullptr, true);
    EXPECT_EQ(request.Body(), nullptr);
    EXPECT_THROW(request.Form(), Exception);
    EXPECT_EQ(EntriesOf(copy.Form()), (Entries{{"b", "2"}}));
    copy.Reset();
    copy.SetAttribute("query_string", "q=1");
    copy.ParseBody();
    EXPECT_EQ(EntriesOf(copy.Form()), (Entries{{"q", "1"}}));

    request.AddCookie("a=1; b=x y");
    EXPECT_EQ(request.CookieMap().at("a"), "a=1");
    std::string value;
    EXPECT_TRUE(request.Cookies().getvalue("B", value));
    EXPECT_EQ(value, "x");
}

class HeaderSocket : public HTTPSocket {
public:
    using HTTPSocket::HTTPSocket;
    void OnFirst() override {}
    void OnHeader(const std::string&, const std::string&) override {}
    void OnHeaderComplete() override {}
    void OnData(const char*, size_t) override {}
};

TEST(HttpdCookies, SetCookieReplacesAndRefusesUnsafeParts) {
    FakeSocketHandler handler;
    HeaderSocket socket(handler);
    HttpdCookies cookies;
    EXPECT_TRUE(cookies.setcookie(socket, "", "/", "a", "1"));
    EXPECT_TRUE(cookies.setcookie(socket, "example.org", "/", "b", 2));
    ASSERT_EQ(socket.ResponseHeaders().size(), 1u);
    EXPECT_EQ(socket.ResponseHeaders().begin()->second.rfind("b=2; domain=example.org; path=/; expires=", 0),
              0u);
    for (const char* bad : {"x\r\nSet-Cookie: evil=1", "x;domain=evil", "x\n"})
        EXPECT_FALSE(cookies.setcookie(socket, "", "/", "c", bad)) << bad;
    EXPECT_FALSE(cookies.setcookie(socket, "", "/", "bad name", "v"));
    std::string value;
    EXPECT_FALSE(cookies.getvalue("c", value));
}

TEST(HttpdCookies, ExpiryCarriesTheWeekdayOfTheExpiryDate) {
    HttpdCookies cookies;
    // Tuesday 8 December 2026 08:05:11 UTC; the same date ten years on is a Monday.
    EXPECT_EQ(cookies.expiredatetime(1796717111), "Monday, 08-Dec-2036 08:05:11 GMT");
}

TEST(HttpResponse, CopyHandsTheBodyOver) {
    HttpResponse response;
    response.Write("abc");
    response.SetCookie("a=1; path=/");
    response.SetCookie("b=2");
    HttpResponse copy("HTTP/1.1");
    copy = response;
    EXPECT_EQ(copy.GetFile().size(), 3u);
    EXPECT_EQ(response.GetFile().size(), 0u);
    EXPECT_EQ(copy.Cookie("a"), "a=1; path=/");
    EXPECT_EQ(copy.CookieNames(), (std::list<std::string>{"a", "b"}));
}

}  // namespace
