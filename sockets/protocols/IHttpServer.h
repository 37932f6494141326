// What an application behind an HTTP server socket or the AJP13 connector implements.
#pragma once

class HttpRequest;
class HttpResponse;

class IHttpServer {
public:
    virtual ~IHttpServer() = default;
    // A request arrived; answer it with Respond, now or later.
    virtual void OnRequest(const HttpRequest& request) = 0;
    virtual void Respond(const HttpResponse& response) = 0;
    // The response has been handed to the socket in full.
    virtual void OnResponseComplete() = 0;
};
