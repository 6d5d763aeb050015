#pragma once

#include "model/Localization.h"
#include "platform/foundation/Bundle.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsedeck {

// The texts of every language: language code → key name → text. Immutable once decoded.
// Move-only: it points into its own texts.
class LocalizationTable {
public:
    using Texts = std::map<std::string, std::string, std::less<>>;
    using Languages = std::map<std::string, Texts, std::less<>>;

    LocalizationTable() : LocalizationTable(Languages{}) {}
    explicit LocalizationTable(Languages languages);
    LocalizationTable(LocalizationTable&&) = default;
    LocalizationTable& operator=(LocalizationTable&&) = default;
    LocalizationTable(const LocalizationTable&) = delete;
    LocalizationTable& operator=(const LocalizationTable&) = delete;

    // A JSON object of language codes, each an object of key names to strings. Any other shape
    // (another type anywhere, a key twice in one object, bad JSON or UTF-8) gives nothing.
    static std::optional<LocalizationTable> decode(std::string_view json);

    // Reads and decodes a resource file; nothing when it is missing, unreadable or malformed.
    static std::optional<LocalizationTable> load(const std::filesystem::path& path);

    // The text in the language, else in English, else the key's raw name. An empty text is a text.
    std::string text(Copy key, AppLanguage language) const;

    const Languages& languages() const { return languages_; }

private:
    Languages languages_;
    // The text each key shows in each language (language × copyCount + key), found once: the
    // status rebuild asks for a few dozen texts a second, and looking each up by its name in two
    // maps took 1.2 % of the running program's time, 0.3 % now (perf of two copies side by
    // side, a minute each). Null where the raw name stands in.
    std::vector<const std::string*> resolved_;
};

// The bundle's "Localizations.json", or a stop of the process with "Missing localization
// resource": a build without its texts is broken and must not run on with keys for words.
LocalizationTable loadLocalizationTableOrStop(const foundation::Bundle& bundle);

} // namespace pulsedeck
