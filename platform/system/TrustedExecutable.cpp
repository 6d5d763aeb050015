#include "platform/system/TrustedExecutable.h"

#include <sys/stat.h>
#include <unistd.h>

namespace sys {

bool isTrustedExecutable(const std::filesystem::path& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return false;
    if (!S_ISREG(info.st_mode))
        return false;
    if (info.st_uid != 0 && info.st_uid != ::getuid())
        return false;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return false;
    return ::access(path.c_str(), X_OK) == 0;
}

} // namespace sys
