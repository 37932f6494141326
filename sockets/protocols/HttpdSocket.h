// A CGI-style server socket: keeps what a CGI program would find in its environment in a map of
// its own per request (never the process environment), parses the form and cookies, answers
// "/image" with the built-in picture and leaves every other page to OnPageRequest. A request is
// answered once its body (if any) has been read; methods other than GET and POST get 405 and the
// connection closes. While more than kMaxQueuedOutput bytes of answers wait for a peer that does
// not read them, no further request is read. Runs on the handler's loop thread.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sockets/MemFile.h"
#include "sockets/protocols/HTTPSocket.h"
#include "sockets/protocols/HttpdCookies.h"
#include "sockets/protocols/HttpdForm.h"

class HttpdSocket : public HTTPSocket {
public:
    static constexpr uint64_t kDefaultMaxBody = 1 << 20;
    static constexpr size_t kMaxQueuedOutput = 65536;

    explicit HttpdSocket(ISocketHandler& handler);
    ~HttpdSocket() override;

    // The local time as "YYYY-MM-DD hh:mm:ss".
    static std::string GetDate();
    // A GetDate text as an HTTP date, in UTC; empty for any other text.
    std::string datetime2httpdate(const std::string& text);

    const std::string& GetHttpDate() const { return m_http_date; }
    HttpdCookies* GetCookies() { return m_cookies.get(); }
    HttpdForm* GetForm() { return m_form.get(); }
    // The request's CGI variables: QUERY_STRING (GET only), REQUEST_METHOD, HTTP_COOKIE,
    // CONTENT_TYPE and CONTENT_LENGTH.
    const std::map<std::string, std::string>& Environment() const { return m_env; }
    const std::string& Env(const std::string& name) const;
    int RequestNumber() const { return m_request_id; }
    void SetMaxBodySize(uint64_t x) { m_max_body = x; }

    void Send64(const std::string& str64, const std::string& type);
    // While a page is answered, the head waits for the first bytes of its body and leaves in one
    // write with them: a body written apart would wait for the peer's delayed acknowledgement.
    void SendResponse() override;
    void SendBuf(const char* buf, size_t len, int flags = 0) override;
    void Reset() override;
    void OnTimeout() override;
    void OnWriteComplete() override;

protected:
    virtual void OnPageRequest() = 0;

    void OnFirst() override {}
    void OnHeader(const std::string& key, const std::string& value) override;
    void OnHeaderComplete() override;
    void OnData(const char* buf, size_t len) override;
    void OnDataComplete() override;
    void OnFramingError(const std::string& reason) override;

private:
    void Answer();
    static std::string Start();

    std::string m_http_cookie;
    std::string m_content_type;
    std::string m_content_length_str;
    std::string m_if_modified_since;
    size_t m_content_length{0};
    std::unique_ptr<MemFile> m_file;
    size_t m_received{0};
    int m_request_id{0};
    std::string m_http_date;
    std::unique_ptr<HttpdCookies> m_cookies;
    std::unique_ptr<HttpdForm> m_form;
    std::map<std::string, std::string> m_env;
    uint64_t m_max_body{kDefaultMaxBody};
    int m_refusal{400};
    bool m_output_held{false};
    bool m_answering{false};
    std::string m_held_head;

    // Shared by every HttpdSocket, on any handler's thread.
    static std::atomic<int> m_request_count;
    static std::mutex m_start_mutex;
    static std::string m_start;
};
