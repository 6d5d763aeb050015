#pragma once

#include "support/TestPaths.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace testsupport {

// The HTTPS server of tests/support/LoopbackHTTPSServer.py on 127.0.0.1: one port with a
// certificate the test trusts (trustedCertificate()), one with a certificate nobody trusts.
// Files written with serve() are answered under "/files/<name>"; the script's other paths act out
// one misbehaviour each. The process is killed and reaped with the object; it also ends by itself
// after two minutes or when this process dies.
class LoopbackHTTPSServer {
public:
    // None when python3 or openssl is missing or the server does not come up within 20 s.
    static std::unique_ptr<LoopbackHTTPSServer> start();
    ~LoopbackHTTPSServer();
    LoopbackHTTPSServer(const LoopbackHTTPSServer&) = delete;
    LoopbackHTTPSServer& operator=(const LoopbackHTTPSServer&) = delete;

    std::string url(std::string_view path) const;
    std::string untrustedURL(std::string_view path) const;
    std::filesystem::path trustedCertificate() const;
    void serve(std::string_view name, std::string_view content) const;

private:
    LoopbackHTTPSServer() = default;

    TemporaryDirectory directory_;
    pid_t pid_ = -1;
    int input_ = -1;
    int port_ = 0;
    int untrustedPort_ = 0;
};

} // namespace testsupport
