#pragma once

#include <filesystem>
#include <string_view>

namespace testsupport {

// A path inside tests/fixtures.
std::filesystem::path fixturePath(std::string_view relative);

// A path for a file a test writes for people to look at (PNG sheets, logs); its folder exists.
std::filesystem::path artifactPath(std::string_view name);

// The program the build makes beside the tests folder.
std::filesystem::path programPath();

// A fresh, empty folder that is removed with the object.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace testsupport
