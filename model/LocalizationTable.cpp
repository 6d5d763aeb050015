#include "model/LocalizationTable.h"

#include "platform/foundation/JSON.h"
#include "platform/foundation/TextFile.h"

#include <cstdio>
#include <cstdlib>

namespace pulsedeck {

namespace {

// Large enough for every language's texts many times over; anything bigger is not our resource.
constexpr std::size_t resourceSizeLimit = 8 << 20;
// Languages inside the document, texts inside each language.
constexpr std::size_t resourceDepth = 2;

} // namespace

std::optional<LocalizationTable> LocalizationTable::decode(std::string_view json) {
    auto document = foundation::parseJSON(json, resourceDepth);
    if (!document || !document->is_object()) {
        return std::nullopt;
    }
    Languages languages;
    for (const auto& [code, texts] : document->items()) {
        if (!texts.is_object()) {
            return std::nullopt;
        }
        Texts decoded;
        for (const auto& [key, value] : texts.items()) {
            if (!value.is_string()) {
                return std::nullopt;
            }
            decoded.emplace(key, value.get<std::string>());
        }
        languages.emplace(code, std::move(decoded));
    }
    return LocalizationTable(std::move(languages));
}

std::optional<LocalizationTable> LocalizationTable::load(const std::filesystem::path& path) {
    auto contents = foundation::readTextFile(path, resourceSizeLimit);
    if (!contents) {
        return std::nullopt;
    }
    return decode(*contents);
}

LocalizationTable::LocalizationTable(Languages languages)
    : languages_(std::move(languages)), resolved_(appLanguageCount * copyCount) {
    for (std::size_t language = 0; language < appLanguageCount; ++language) {
        for (Copy key : allCopies()) {
            const auto name = toString(key);
            for (auto code : {toString(AppLanguage(language)), toString(AppLanguage::english)}) {
                const auto texts = languages_.find(code);
                if (texts == languages_.end()) {
                    continue;
                }
                if (auto found = texts->second.find(name); found != texts->second.end()) {
                    resolved_[language * copyCount + std::size_t(key)] = &found->second;
                    break;
                }
            }
        }
    }
}

std::string LocalizationTable::text(Copy key, AppLanguage language) const {
    const std::string* found = resolved_[std::size_t(language) * copyCount + std::size_t(key)];
    return found ? *found : std::string(toString(key));
}

LocalizationTable loadLocalizationTableOrStop(const foundation::Bundle& bundle) {
    std::optional<LocalizationTable> table;
    if (auto path = bundle.urlForResource("Localizations", "json")) {
        table = LocalizationTable::load(*path);
    }
    if (!table) {
        std::fputs("Missing localization resource\n", stderr);
        std::abort();
    }
    return std::move(*table);
}

} // namespace pulsedeck
