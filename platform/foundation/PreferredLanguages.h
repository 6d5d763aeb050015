#pragma once

#include <map>
#include <string>
#include <vector>

namespace foundation {

using Environment = std::map<std::string, std::string>;

// The user's languages in order of preference, as identifiers such as "de-DE" or "zh-TW": every
// entry of LANGUAGE (a colon list), then the locale that messages follow (the first set of
// LC_ALL, LC_MESSAGES, LANG). Encodings (".UTF-8") and modifiers ("@euro") are dropped, "_"
// becomes "-", "C" and "POSIX" are skipped and repeats are kept once. Empty when none is set.
std::vector<std::string> preferredLanguages(const Environment& environment);

// The same for the running process's environment.
std::vector<std::string> preferredLanguages();

} // namespace foundation
