#include "support/TestPaths.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace testsupport {

std::filesystem::path fixturePath(std::string_view relative) {
    return std::filesystem::path(PULSEDECK_FIXTURES) / relative;
}

std::filesystem::path artifactPath(std::string_view name) {
    const char* env = std::getenv("PULSEDECK_ARTIFACTS");
    std::filesystem::path dir = env && *env ? env : PULSEDECK_ARTIFACTS;
    std::filesystem::create_directories(dir);
    return dir / name;
}

std::filesystem::path programPath() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
           "pulsedeck";
}

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "pulsedeck-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace testsupport
