#include "updates/UpdateCheckCommand.h"

#include "support/LoopbackHTTPSServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"
#include "updates/ReleaseManifest.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

std::string padded(std::string body, std::size_t size) {
    body.resize(size, ' ');
    return body;
}

// The whole path of one check, manifest address to printed outcome, against the loopback
// server, the download made by the built program's helper process as in a real run: the running
// build is this build (version 0.1.0).
TEST(UpdateCheckCommand, PrintsTheOutcomeOfOneCheck) {
    ASSERT_TRUE(std::filesystem::exists(testsupport::programPath()))
        << "build the pulsedeck target";
    const auto server = testsupport::LoopbackHTTPSServer::start();
    if (!server)
        GTEST_SKIP() << "python3 with ssl and openssl are needed for the HTTPS server";
    server->serve("newer.json", releaseManifest("9.0.0", 1));
    server->serve("older.json", releaseManifest("0.0.1", 900));
    server->serve("system.json", releaseManifest("9.0.0", 1, "999"));
    server->serve("exact.json", padded(releaseManifest("9.0.0", 2), maximumManifestSize));
    server->serve("over.json", padded(releaseManifest("9.0.0", 3), maximumManifestSize + 1));
    server->serve(
        "elsewhere.json",
        R"({"version": "9.0.0", "build": 1, "url": "https://evil.example/downloads/Pulsedeck-9.0.0-1.zip"})");

    struct Case {
        std::string url;
        std::string printed;
        int status;
    };
    const std::string downloads = "https://pulsedeck.dorvettin.net/downloads/";
    const std::vector<Case> cases = {
        {server->url("/files/newer.json"),
         "available 9.0.0 (1) " + downloads + "Pulsedeck-9.0.0-1.zip", 0},
        {server->url("/redirect/files/newer.json"),
         "available 9.0.0 (1) " + downloads + "Pulsedeck-9.0.0-1.zip", 0},
        {server->url("/files/exact.json"),
         "available 9.0.0 (2) " + downloads + "Pulsedeck-9.0.0-2.zip", 0},
        {server->url("/files/older.json"), "current", 0},
        {server->url("/files/system.json"), "requires system 999", 0},
        {server->url("/files/over.json"), "failed", 1},
        {server->url("/files/elsewhere.json"), "failed", 1},
        {server->url("/status/204"), "failed", 1},
        {server->url("/status/304"), "failed", 1},
        {server->url("/status/404"), "failed", 1},
        {server->url("/status/500"), "failed", 1},
        {server->url("/redirect-to-http"), "failed", 1},
        {server->untrustedURL("/files/newer.json"), "failed", 1},
        {"http://127.0.0.1:1/latest.json", "unavailable", 1},
    };
    auto options = UpdateController::manifestRequestOptions();
    options.trustedCertificates = server->trustedCertificate();
    options.totalTimeout = 5;
    for (const auto& c : cases) {
        std::ostringstream out;
        const int status = runUpdateCheckCommand(
            c.url, UpdateController::liveFetch(options, {testsupport::programPath().string()}),
            out);
        EXPECT_EQ(status, c.status) << c.url;
        EXPECT_TRUE(out.str().starts_with(c.printed)) << c.url << " printed " << out.str();
        EXPECT_TRUE(out.str().ends_with("\n"));
    }
}

// Where libcurl cannot be loaded (the package is only recommended), the check says the system
// cannot check, not that it failed this time.
TEST(UpdateCheckCommand, WithoutLibcurlSaysTheSystemCannotCheck) {
    ASSERT_TRUE(std::filesystem::exists(testsupport::programPath()))
        << "build the pulsedeck target";
    testsupport::TemporaryDirectory libraries;
    std::ofstream(libraries.path() / "libcurl.so.4") << "not a library";
    const testsupport::ScopedEnvironment path("LD_LIBRARY_PATH", libraries.path().string());
    std::ostringstream out;
    const int status = runUpdateCheckCommand(
        "https://127.0.0.1:1/latest.json",
        UpdateController::liveFetch(UpdateController::manifestRequestOptions(),
                                    {testsupport::programPath().string()}),
        out);
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(out.str().starts_with("unsupported: libcurl could not be loaded")) << out.str();
}

} // namespace
} // namespace pulsedeck
