#include "model/Localization.h"

#include "model/LocalizationTable.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace pulsedeck {

namespace {

#define PULSEDECK_COPY_ONE(name) +1
static_assert(0 PULSEDECK_COPY_KEYS(PULSEDECK_COPY_ONE) == copyCount);
#undef PULSEDECK_COPY_ONE

constexpr std::array<std::string_view, copyCount> copyNames = {
#define PULSEDECK_COPY_NAME(name) #name,
    PULSEDECK_COPY_KEYS(PULSEDECK_COPY_NAME)
#undef PULSEDECK_COPY_NAME
};

struct LanguageEntry {
    AppLanguage language;
    std::string_view code;
    std::string_view nativeName;
};

constexpr std::array<LanguageEntry, appLanguageCount> languageEntries = {{
    {AppLanguage::english, "en", "English"},
    {AppLanguage::simplified, "zh-Hans", "简体中文"},
    {AppLanguage::traditional, "zh-Hant", "繁體中文"},
    {AppLanguage::japanese, "ja", "日本語"},
    {AppLanguage::korean, "ko", "한국어"},
    {AppLanguage::german, "de", "Deutsch"},
    {AppLanguage::french, "fr", "Français"},
    {AppLanguage::spanish, "es", "Español"},
}};

std::string lowercasedASCII(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    });
    return lowered;
}

// The main bundle; test and benchmark programs sit one folder down in the build tree, so for them
// the build's resources are found beside their parent folder.
foundation::Bundle localizationBundle() {
    auto bundle = foundation::Bundle::main();
    if (bundle.urlForResource("Localizations", "json")) {
        return bundle;
    }
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return bundle;
    }
    return foundation::Bundle(foundation::Bundle::resourceDirectoryFor(
        executable.parent_path().parent_path() / executable.filename()));
}

const LocalizationTable& sharedTable() {
    static const LocalizationTable table = loadLocalizationTableOrStop(localizationBundle());
    return table;
}

} // namespace

const std::array<Copy, copyCount>& allCopies() {
    static constexpr std::array<Copy, copyCount> all = {
#define PULSEDECK_COPY_VALUE(name) Copy::name,
        PULSEDECK_COPY_KEYS(PULSEDECK_COPY_VALUE)
#undef PULSEDECK_COPY_VALUE
    };
    return all;
}

std::string_view toString(Copy key) {
    return copyNames[static_cast<std::size_t>(key)];
}

std::optional<Copy> parseCopy(std::string_view rawName) {
    auto found = std::find(copyNames.begin(), copyNames.end(), rawName);
    if (found == copyNames.end()) {
        return std::nullopt;
    }
    return static_cast<Copy>(found - copyNames.begin());
}

const std::array<AppLanguage, appLanguageCount>& allAppLanguages() {
    static constexpr std::array<AppLanguage, appLanguageCount> all = {
        AppLanguage::english,  AppLanguage::simplified, AppLanguage::traditional,
        AppLanguage::japanese, AppLanguage::korean,     AppLanguage::german,
        AppLanguage::french,   AppLanguage::spanish};
    return all;
}

std::string_view toString(AppLanguage language) {
    return languageEntries[static_cast<std::size_t>(language)].code;
}

std::optional<AppLanguage> parseAppLanguage(std::string_view code) {
    for (const auto& entry : languageEntries) {
        if (entry.code == code) {
            return entry.language;
        }
    }
    return std::nullopt;
}

std::string_view nativeName(AppLanguage language) {
    return languageEntries[static_cast<std::size_t>(language)].nativeName;
}

std::string text(Copy key, AppLanguage language) {
    return sharedTable().text(key, language);
}

std::optional<AppLanguage> languageFromLocaleIdentifier(std::string_view identifier) {
    std::string normalized(identifier);
    std::replace(normalized.begin(), normalized.end(), '_', '-');
    normalized = lowercasedASCII(normalized);

    if (normalized.starts_with("zh")) {
        bool traditional = normalized.find("hant") != std::string::npos ||
                           normalized.ends_with("-tw") || normalized.ends_with("-hk") ||
                           normalized.ends_with("-mo");
        return traditional ? AppLanguage::traditional : AppLanguage::simplified;
    }
    for (const auto& entry : languageEntries) {
        auto code = lowercasedASCII(entry.code);
        if (normalized == code || normalized.starts_with(code + "-")) {
            return entry.language;
        }
    }
    return std::nullopt;
}

AppLanguage resolve(std::string_view stored, const std::vector<std::string>& preferred) {
    if (auto language = parseAppLanguage(stored)) {
        return *language;
    }
    for (const auto& identifier : preferred) {
        if (auto language = languageFromLocaleIdentifier(identifier)) {
            return *language;
        }
    }
    return AppLanguage::english;
}

} // namespace pulsedeck
