#include "platform/foundation/Bundle.h"

#include <system_error>

namespace foundation {
namespace {

constexpr std::string_view bundleIdentifier = "local.dorvettin.Pulsedeck";
constexpr std::string_view bundleDisplayName = "Pulsedeck";

std::optional<std::string> definedBuildVersion() {
#ifdef PULSEDECK_BUILD
    return std::string(PULSEDECK_BUILD);
#else
    return std::nullopt;
#endif
}

bool isDirectory(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace

Bundle::Bundle(std::filesystem::path resourceDirectory)
    : identifier_(bundleIdentifier), displayName_(bundleDisplayName),
      shortVersion_(PULSEDECK_VERSION), buildVersion_(definedBuildVersion()),
      resourceDirectory_(std::move(resourceDirectory)) {}

Bundle Bundle::main() {
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return Bundle(error ? std::filesystem::path() : resourceDirectoryFor(executable));
}

std::filesystem::path Bundle::resourceDirectoryFor(const std::filesystem::path& executable) {
    auto folder = executable.parent_path();
    if (auto beside = folder / "resources"; isDirectory(beside))
        return beside;
    if (auto installed = folder.parent_path() / "share" / "pulsedeck"; isDirectory(installed))
        return installed;
    return {};
}

std::optional<std::filesystem::path> Bundle::urlForResource(std::string_view name,
                                                            std::string_view extension) const {
    if (resourceDirectory_.empty() || name.empty() || name.find('/') != std::string_view::npos ||
        extension.find('/') != std::string_view::npos || name == "." || name == "..")
        return std::nullopt;
    std::string file(name);
    if (!extension.empty())
        file += "." + std::string(extension);
    auto path = resourceDirectory_ / file;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    return path;
}

} // namespace foundation
