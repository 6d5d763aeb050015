#pragma once

#include "platform/foundation/HTTPClient.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace foundation {

// GET requests as HTTPClient makes them, each performed by a short-lived child process
// (runHTTPHelper() in the program `helper` names), so libcurl and the TLS libraries it brings
// load into that child and never into this process: some 7 MB resident for the rest of a run
// that lasts for days, for one small download a day.
//
// Every limit of the request holds in the child; the child itself is killed once the request's
// total time-out and a few seconds for its start have passed, and its reply is read up to the body
// cap and a header, no further. A child that cannot start, crashes, hangs, fails or answers
// anything but one well-formed reply ends the request as a transport error, never a response.
//
// The completion is called exactly once per request, on the request's thread. Destroying the
// client kills the children in flight (their completions hear `cancelled`), reaps them and joins
// their threads. Make and destroy it on one thread; get() may be called from that thread only.
class HTTPProcessClient {
public:
    // `helper` is the program and any arguments of its own, to which httpHelperMode and the
    // request's arguments are added.
    explicit HTTPProcessClient(std::vector<std::string> helper = thisProgram());
    ~HTTPProcessClient();
    HTTPProcessClient(const HTTPProcessClient&) = delete;
    HTTPProcessClient& operator=(const HTTPProcessClient&) = delete;

    // The running executable, found through /proc even after a package update has replaced its
    // file, so the child always speaks this build's exchange.
    static std::vector<std::string> thisProgram();

    void get(std::string url, HTTPRequestOptions options,
             std::function<void(HTTPResult)> completion);

private:
    struct Request;

    std::vector<std::string> helper_;
    RequestThreads<Request> requests_;
};

} // namespace foundation
