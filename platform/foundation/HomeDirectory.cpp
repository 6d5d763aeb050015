#include "platform/foundation/HomeDirectory.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace foundation {
namespace {

// What is wrong with `value` as a home folder, or nothing when it is one.
std::optional<std::string> unusable(const char* value) {
    if (!value)
        return "is not set";
    if (!*value)
        return "is empty";
    if (*value != '/')
        return "is \"" + std::string(value) + "\", not a full path";
    if (std::filesystem::path(value).lexically_normal().relative_path().empty())
        return "is the root of the file system";
    return std::nullopt;
}

} // namespace

HomeDirectory HomeDirectory::from(const char* environment, const char* database) {
    const auto environmentProblem = unusable(environment);
    if (!environmentProblem)
        return {std::filesystem::path(environment), {}};
    const auto databaseProblem = unusable(database);
    if (!databaseProblem)
        return {std::filesystem::path(database), {}};
    return {std::nullopt,
            "HOME " + *environmentProblem + ", and " +
                (database ? "this user's home in the password database " + *databaseProblem
                          : std::string("the password database does not list "
                                        "this user"))};
}

HomeDirectory HomeDirectory::current() {
    const char* environment = std::getenv("HOME");
    // The database is asked only when HOME will not do: its lookup may go over the network.
    if (auto fromEnvironment = from(environment, nullptr); fromEnvironment.path)
        return fromEnvironment;
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    const bool listed =
        ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found;
    return from(environment, listed ? found->pw_dir : nullptr);
}

std::optional<std::filesystem::path> homeDirectory() {
    return HomeDirectory::current().path;
}

} // namespace foundation
