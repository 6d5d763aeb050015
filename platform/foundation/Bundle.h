#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The application's identity and where its resources live. The main bundle finds its resources
// from the running executable (/proc/self/exe): "<exe dir>/resources" in the build tree, else
// "<prefix>/share/pulsedeck" when installed as "<prefix>/bin/<exe>". Tests build a bundle over a
// folder of their own.
//
// Plain value; any thread.
class Bundle {
public:
    // The bundle of the running program.
    static Bundle main();

    explicit Bundle(std::filesystem::path resourceDirectory);

    // "local.dorvettin.Pulsedeck".
    const std::string& identifier() const { return identifier_; }
    // "Pulsedeck".
    const std::string& displayName() const { return displayName_; }
    // The version the program was built as ("1.2.0").
    const std::string& shortVersion() const { return shortVersion_; }
    // The build number, present only when the build defines one.
    const std::optional<std::string>& buildVersion() const { return buildVersion_; }

    // The folder searched for resources; empty when none was found.
    const std::filesystem::path& resourceDirectory() const { return resourceDirectory_; }

    // "<resources>/<name>.<extension>" when it is a regular file; empty otherwise. Names with a
    // path separator or ".." never leave the resource folder: they find nothing.
    std::optional<std::filesystem::path> urlForResource(std::string_view name,
                                                        std::string_view extension) const;

    // Where the resources are for an executable at `executable`, without looking at anything
    // but the file system: the first of "<dir>/resources" and "<dir>/../share/pulsedeck" that is
    // a folder; empty when neither is.
    static std::filesystem::path resourceDirectoryFor(const std::filesystem::path& executable);

private:
    std::string identifier_;
    std::string displayName_;
    std::string shortVersion_;
    std::optional<std::string> buildVersion_;
    std::filesystem::path resourceDirectory_;
};

} // namespace foundation
