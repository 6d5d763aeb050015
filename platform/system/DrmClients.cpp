#include "platform/system/DrmClients.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <dirent.h>
#include <set>
#include <unistd.h>

namespace sys {

namespace {

// A desktop holds a few dozen; past this a runaway program is not worth a read each second.
constexpr std::size_t clientFileLimit = 256;
constexpr std::size_t fdinfoLimit = 8 * 1024;

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};
using Directory = std::unique_ptr<DIR, DirectoryCloser>;

bool isNumber(std::string_view name) {
    return !name.empty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

DrmClients::DrmClients(SystemRoots roots) : roots_(std::move(roots)) {}

void DrmClients::rescan() {
    files_.clear();
    const Directory processes(::opendir(roots_.proc.c_str()));
    if (!processes)
        return;
    while (const dirent* process = ::readdir(processes.get())) {
        if (!isNumber(process->d_name))
            continue;
        const std::filesystem::path folder = roots_.proc / process->d_name;
        // Other users' processes refuse this at once.
        const Directory descriptors(::opendir((folder / "fd").c_str()));
        if (!descriptors)
            continue;
        while (const dirent* descriptor = ::readdir(descriptors.get())) {
            if (!isNumber(descriptor->d_name))
                continue;
            char target[PATH_MAX];
            const ssize_t length =
                ::readlinkat(::dirfd(descriptors.get()), descriptor->d_name, target, sizeof target);
            if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target ||
                !std::string_view(target, static_cast<std::size_t>(length))
                     .starts_with("/dev/dri/")) {
                continue;
            }
            files_.push_back(std::make_unique<foundation::KeptFile>(
                folder / "fdinfo" / descriptor->d_name, fdinfoLimit));
            if (files_.size() >= clientFileLimit)
                return;
        }
    }
}

std::vector<DrmClientUsage> DrmClients::read(double now) {
    if (now >= nextScan_) {
        rescan();
        nextScan_ = now + rescanInterval;
    }
    std::vector<DrmClientUsage> clients;
    std::set<std::tuple<std::string, std::string, std::string>> seen;
    for (auto& file : files_) {
        auto text = file->read();
        auto usage = text ? parseDrmFdinfo(*text) : std::nullopt;
        if (!usage || !seen.emplace(usage->driver, usage->pdev, usage->clientID).second)
            continue;
        clients.push_back(std::move(*usage));
    }
    // Files of descriptors that closed, or of processes that ended, are dropped at the next walk.
    return clients;
}

} // namespace sys
