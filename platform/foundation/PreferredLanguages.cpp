#include "platform/foundation/PreferredLanguages.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace foundation {
namespace {

std::optional<std::string> languageOf(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX")
        return std::nullopt;
    std::string identifier(locale);
    std::replace(identifier.begin(), identifier.end(), '_', '-');
    return identifier;
}

} // namespace

std::vector<std::string> preferredLanguages(const Environment& environment) {
    auto value = [&](const char* name) -> std::string_view {
        auto found = environment.find(name);
        return found == environment.end() ? std::string_view() : std::string_view(found->second);
    };
    std::vector<std::string> languages;
    auto add = [&](std::string_view locale) {
        auto language = languageOf(locale);
        if (language && std::find(languages.begin(), languages.end(), *language) == languages.end())
            languages.push_back(std::move(*language));
    };

    std::string_view list = value("LANGUAGE");
    while (!list.empty()) {
        auto colon = list.find(':');
        add(list.substr(0, colon));
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (!value(name).empty()) {
            add(value(name));
            break;
        }
    }
    return languages;
}

std::vector<std::string> preferredLanguages() {
    Environment environment;
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name))
            environment[name] = value;
    return preferredLanguages(environment);
}

} // namespace foundation
