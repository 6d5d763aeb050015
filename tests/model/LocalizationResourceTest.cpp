#include "model/Localization.h"
#include "model/LocalizationTable.h"
#include "platform/foundation/TextFile.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

const char* const shippedResource = PULSEDECK_SOURCE_DIR "/resources/Localizations.json";

nlohmann::json shippedDocument() {
    auto contents = foundation::readTextFile(shippedResource);
    EXPECT_TRUE(contents);
    return nlohmann::json::parse(contents.value_or("{}"));
}

// The format directives of a text ("%@", "%d", "%.1f", "%2$@", "%%"), sorted, so that reordered
// positional arguments still compare equal.
std::vector<std::string> placeholders(const std::string& text) {
    static const std::regex directive(R"(%(?:\d+\$)?[-+ #0]*\d*(?:\.\d+)?(?:@|l?[dui]|f|s|%))");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), directive);
         it != std::sregex_iterator(); ++it) {
        auto item = it->str();
        item = std::regex_replace(item, std::regex(R"(^%\d+\$)"), "%");
        found.push_back(item);
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(LocalizationResource, HasExactlyTheEightLanguages) {
    auto document = shippedDocument();
    std::set<std::string> codes;
    for (const auto& [code, texts] : document.items()) {
        codes.insert(code);
    }
    std::set<std::string> expected;
    for (auto language : allAppLanguages()) {
        expected.insert(std::string(toString(language)));
    }
    EXPECT_EQ(codes, expected);
}

TEST(LocalizationResource, EveryLanguageHasEveryKeyAndNothingElse) {
    auto document = shippedDocument();
    std::set<std::string> keys;
    for (auto key : allCopies()) {
        keys.insert(std::string(toString(key)));
    }
    for (auto language : allAppLanguages()) {
        const auto& texts = document.at(std::string(toString(language)));
        std::set<std::string> present;
        for (const auto& [key, text] : texts.items()) {
            present.insert(key);
            ASSERT_TRUE(text.is_string()) << toString(language) << " " << key;
            EXPECT_FALSE(text.get<std::string>().empty()) << toString(language) << " " << key;
        }
        EXPECT_EQ(present, keys) << toString(language);
    }
}

TEST(LocalizationResource, PlaceholdersAgreeWithEnglish) {
    auto document = shippedDocument();
    const auto& english = document.at("en");
    for (auto language : allAppLanguages()) {
        const auto& texts = document.at(std::string(toString(language)));
        for (auto key : allCopies()) {
            auto name = std::string(toString(key));
            EXPECT_EQ(placeholders(texts.value(name, "")), placeholders(english.value(name, "")))
                << toString(language) << " " << name;
        }
    }
    EXPECT_EQ(placeholders(english.at("updateAvailableMessage")),
              (std::vector<std::string>{"%@", "%@"}));
    EXPECT_EQ(placeholders(english.at("updateRequiresSystem")), (std::vector<std::string>{"%@"}));
}

TEST(LocalizationResource, DecodesWithTheShippedTexts) {
    auto table = LocalizationTable::load(shippedResource);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->text(Copy::quit, AppLanguage::english), "Quit Pulsedeck");
    EXPECT_NE(table->text(Copy::quit, AppLanguage::german),
              table->text(Copy::quit, AppLanguage::english));
}

TEST(LocalizationResource, KeyRemovedFromOneLanguageFallsBackToEnglish) {
    auto document = shippedDocument();
    document.at("fr").erase("privacyPolicy");
    document.erase("ko");
    auto table = LocalizationTable::decode(document.dump());
    ASSERT_TRUE(table);
    auto english = table->text(Copy::privacyPolicy, AppLanguage::english);
    EXPECT_EQ(table->text(Copy::privacyPolicy, AppLanguage::french), english);
    EXPECT_EQ(table->text(Copy::privacyPolicy, AppLanguage::korean), english);
    EXPECT_NE(table->text(Copy::settings, AppLanguage::french),
              table->text(Copy::settings, AppLanguage::english));
}

} // namespace
} // namespace pulsedeck
