#include "updates/AppRelease.h"

#include "support/TestPaths.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

const std::string zip = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip";
const std::string dmg = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.dmg";

AppRelease release(std::string url = zip) {
    return AppRelease{"2.1.0", 57, std::move(url), std::nullopt, std::nullopt};
}

bool decodes(std::string_view json) {
    return std::holds_alternative<AppRelease>(AppRelease::decode(json));
}

TEST(AppRelease, DecodingTakesTheFiveKeysAndIgnoresOthers) {
    const auto full = AppRelease::decode(R"({"version": "2.1.0", "build": 57, "url": ")" + zip +
                                         R"(", "minimumMacOS": "13.0", "installerURL": ")" + dmg +
                                         R"(", "notes": {"en": ["x", {"y": null}]}})");
    ASSERT_TRUE(std::holds_alternative<AppRelease>(full));
    EXPECT_EQ(std::get<AppRelease>(full), (AppRelease{"2.1.0", 57, zip, "13.0", dmg}));

    const auto nulls = AppRelease::decode(R"({"version": "2.1.0", "build": 57, "url": ")" + zip +
                                          R"(", "minimumMacOS": null, "installerURL": null})");
    ASSERT_TRUE(std::holds_alternative<AppRelease>(nulls));
    EXPECT_EQ(std::get<AppRelease>(nulls), release());
    EXPECT_EQ(AppRelease::decode(release().encode()), DecodedRelease(release()));
    const AppRelease everything{"2.1.0", 57, zip, "13.0", dmg};
    EXPECT_EQ(AppRelease::decode(everything.encode()), DecodedRelease(everything));
}

TEST(AppRelease, DecodingRefusesAnythingLooserThanTheManifestForm) {
    const std::string tail = R"(, "url": ")" + zip + "\"}";
    const std::vector<std::string> refused = {
        "",
        "[]",
        "null",
        R"("text")",
        R"({"build": 57)" + tail,
        R"({"version": "2.1.0")" + tail,
        R"({"version": "2.1.0", "build": 57})",
        R"({"version": 2, "build": 57)" + tail,
        R"({"version": "2.1.0", "build": "57")" + tail,
        R"({"version": "2.1.0", "build": 57.0)" + tail,
        R"({"version": "2.1.0", "build": 5.7e1)" + tail,
        R"({"version": "2.1.0", "build": true)" + tail,
        R"({"version": "2.1.0", "build": null)" + tail,
        R"({"version": "2.1.0", "build": 9223372036854775808)" + tail,
        R"({"version": "2.1.0", "build": -9223372036854775809)" + tail,
        R"({"version": "2.1.0", "build": 18446744073709551616)" + tail,
        R"({"version": "2.1.0", "build": 57, "url": 3})",
        R"({"version": "2.1.0", "build": 57, "url": "/downloads/Pulsedeck-2.1.0-57.zip"})",
        R"({"version": "2.1.0", "build": 57, "url": "https://pulsedeck.dorvettin.net/a b.zip"})",
        R"({"version": "2.1.0", "build": 57, "minimumMacOS": 13)" + tail,
        R"({"version": "2.1.0", "build": 57, "installerURL": "not a url")" + tail,
        R"({"version": "2.1.0", "version": "9.0", "build": 57)" + tail,
        R"({"version": "2.1.0", "build": 57)" + tail + " {}",
        R"({"version": "2.1.0", "build": 57)" + tail + ",",
        "{\"version\": \"2.1.\xff\", \"build\": 57" + tail,
        R"({"x": )" + std::string(100, '[') + std::string(100, ']') +
            R"(, "version": "2.1.0", "build": 57)" + tail,
    };
    for (const auto& text : refused)
        EXPECT_FALSE(decodes(text)) << text;

    // Signed 64-bit bounds read exactly; a negative build decodes and is judged later.
    EXPECT_EQ(std::get<AppRelease>(
                  AppRelease::decode(R"({"version": "1", "build": 9223372036854775807)" + tail))
                  .build,
              INT64_MAX);
    EXPECT_EQ(
        std::get<AppRelease>(AppRelease::decode(R"({"version": "1", "build": -1)" + tail)).build,
        -1);
}

TEST(AppRelease, DecodingStopsAtTheManifestSizeCap) {
    std::string body = release().encode();
    body.resize(maximumManifestSize, ' ');
    EXPECT_TRUE(decodes(body));
    body.push_back(' ');
    EXPECT_FALSE(decodes(body));
}

TEST(AppRelease, WellFormednessChecksVersionsBuildAndScheme) {
    EXPECT_TRUE(release().isWellFormed());
    EXPECT_TRUE(release("HTTPS://elsewhere.example/x").isWellFormed());
    EXPECT_FALSE(release("http://pulsedeck.dorvettin.net/x").isWellFormed());
    EXPECT_FALSE(release("https:///downloads/x").isWellFormed());
    EXPECT_FALSE(release("mailto:someone@example.com").isWellFormed());
    auto negative = release();
    negative.build = -1;
    EXPECT_FALSE(negative.isWellFormed());
    auto badVersion = release();
    badVersion.version = "2.1.0-beta";
    EXPECT_FALSE(badVersion.isWellFormed());
    auto badMinimum = release();
    badMinimum.minimumMacOS = "13.x";
    EXPECT_FALSE(badMinimum.isWellFormed());
    EXPECT_FALSE(badMinimum.isAcceptable());
    badMinimum.minimumMacOS = "13.0";
    EXPECT_TRUE(badMinimum.isAcceptable());
}

TEST(AppRelease, OnlyTheExactDownloadOnTheProductHostIsAcceptable) {
    const std::string site = "https://pulsedeck.dorvettin.net";
    const std::string path = "/downloads/Pulsedeck-2.1.0-57.zip";
    struct Case {
        std::string url;
        bool acceptable;
    };
    const std::vector<Case> cases = {
        {site + path, true},
        {"https://pulsedeck.dorvettin.net:443" + path, true},
        {"https://pulsedeck.dorvettin.net:8443" + path, false},
        {"https://pulsedeck.dorvettin.net:" + path, false},
        {"HTTPS://pulsedeck.dorvettin.net" + path, false},
        {"https://PULSEDECK.dorvettin.net" + path, false},
        {"https://pulsedeck.dorvettin.net." + path, false},
        {"https://pulsedeck%2Edorvettin.net" + path, false},
        {"https://pulsedeck.dorvettin.net.evil.example" + path, false},
        {"https://evil.example" + path + "?host=pulsedeck.dorvettin.net", false},
        {"https://evil.example/?u=https://pulsedeck.dorvettin.net" + path, false},
        {"https://pulsedeck.dorvettin.net@evil.example" + path, false},
        {"https://user@pulsedeck.dorvettin.net" + path, false},
        {"https://user:pw@pulsedeck.dorvettin.net" + path, false},
        {site + path + "?", false},
        {site + path + "?x=1", false},
        {site + path + "#", false},
        {site + path + "#top", false},
        {site + "/downloads/Pulsedeck-2.1.0-57.dmg", false},
        {site + "/downloads/Pulsedeck-2.1.1-57.zip", false},
        {site + "/downloads/Pulsedeck-2.1.0-58.zip", false},
        {site + "/downloads/Pulsedeck-2.1.0-057.zip", false},
        {site + "/downloads/Pulsedeck%2D2.1.0-57.zip", false},
        {site + "/downloads/../downloads/Pulsedeck-2.1.0-57.zip", false},
        {site + "//downloads/Pulsedeck-2.1.0-57.zip", false},
        {site + "/Downloads/Pulsedeck-2.1.0-57.zip", false},
        {site + "\\downloads\\Pulsedeck-2.1.0-57.zip", false},
        {site + " " + path, false},
        {site + "/downloads/Pulsedeck-2.1.0-57.zip\n", false},
        {"https://pulsedeck.dorvettin.net\xc2\xad" + path, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(release(c.url).isAcceptable(), c.acceptable) << c.url;

    auto unbuilt = AppRelease{"2.1.0", 0, site + "/downloads/Pulsedeck-2.1.0-0.zip", {}, {}};
    EXPECT_TRUE(unbuilt.isWellFormed());
    EXPECT_FALSE(unbuilt.isAcceptable());
}

TEST(AppRelease, DownloadPrefersAnInstallerThatNamesThisRelease) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {dmg, dmg},
        {"https://pulsedeck.dorvettin.net:443/downloads/Pulsedeck-2.1.0-57.dmg",
         "https://pulsedeck.dorvettin.net:443/downloads/Pulsedeck-2.1.0-57.dmg"},
        {"https://evil.example/downloads/Pulsedeck-2.1.0-57.dmg", zip},
        {"https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-56.dmg", zip},
        {zip, zip},
        {dmg + "?", zip},
        {"http://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.dmg", zip},
    };
    for (const auto& [installer, expected] : cases) {
        auto withInstaller = release();
        withInstaller.installerURL = installer;
        EXPECT_EQ(withInstaller.downloadURL(), expected) << installer;
    }
    EXPECT_EQ(release().downloadURL(), zip);
}

// The fuzz seeds, replayed here so the ordinary build runs them: every one decodes or is
// refused, and an acceptable one keeps the download invariant.
TEST(AppRelease, FuzzSeedsKeepTheDownloadInvariant) {
    int acceptable = 0;
    for (const auto& entry : std::filesystem::directory_iterator(
             testsupport::fixturePath("fuzz/ReleaseManifestFuzz"))) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        const auto decoded = AppRelease::decode(text.str());
        if (const auto* found = std::get_if<AppRelease>(&decoded); found && found->isAcceptable()) {
            ++acceptable;
            const std::string& address = found->downloadURL();
            EXPECT_TRUE(address.starts_with("https://pulsedeck.dorvettin.net/") ||
                        address.starts_with("https://pulsedeck.dorvettin.net:443/"))
                << address;
            EXPECT_EQ(address.find_first_of("?#@%\\ "), std::string::npos) << address;
        }
    }
    EXPECT_GE(acceptable, 2);
}

} // namespace
} // namespace pulsedeck
