#include "model/Localization.h"

#include "model/LocalizationTable.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <set>

namespace pulsedeck {
namespace {

using enum AppLanguage;

TEST(Copy, KeysAreUniqueAndRoundTripTheirRawNames) {
    const auto& all = allCopies();
    EXPECT_EQ(all.size(), 181u);
    std::set<std::string_view> names;
    for (auto key : all) {
        names.insert(toString(key));
        EXPECT_EQ(parseCopy(toString(key)), key);
    }
    EXPECT_EQ(names.size(), all.size());
    EXPECT_EQ(toString(all.front()), "compact");
    EXPECT_EQ(toString(all[22]), "deviceRateMaximumShort");
    EXPECT_EQ(toString(all.back()), "updatesUnsupported");
    EXPECT_EQ(parseCopy("Compact"), std::nullopt);
    EXPECT_EQ(parseCopy(""), std::nullopt);
}

TEST(AppLanguage, CodesAndNativeNames) {
    std::vector<std::pair<std::string_view, std::string_view>> expected{
        {"en", "English"}, {"zh-Hans", "简体中文"}, {"zh-Hant", "繁體中文"}, {"ja", "日本語"},
        {"ko", "한국어"},  {"de", "Deutsch"},       {"fr", "Français"},      {"es", "Español"}};
    ASSERT_EQ(allAppLanguages().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        auto language = allAppLanguages()[i];
        EXPECT_EQ(toString(language), expected[i].first);
        EXPECT_EQ(nativeName(language), expected[i].second);
        EXPECT_EQ(parseAppLanguage(expected[i].first), language);
    }
    EXPECT_EQ(parseAppLanguage("FR"), std::nullopt);
    EXPECT_EQ(parseAppLanguage("zh-hans"), std::nullopt);
    EXPECT_EQ(parseAppLanguage("system"), std::nullopt);
}

TEST(AppLanguage, ChineseIdentifiersByScriptAndRegion) {
    EXPECT_EQ(languageFromLocaleIdentifier("zh_TW"), traditional);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-HK"), traditional);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-MO"), traditional);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-Hant"), traditional);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-Hant-CN"), traditional);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-hans-hk"), traditional);
    EXPECT_EQ(languageFromLocaleIdentifier("zh"), simplified);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-CN"), simplified);
    EXPECT_EQ(languageFromLocaleIdentifier("zh_SG"), simplified);
    EXPECT_EQ(languageFromLocaleIdentifier("zh-Hans"), simplified);
}

TEST(AppLanguage, OtherIdentifiersByLanguagePrefix) {
    EXPECT_EQ(languageFromLocaleIdentifier("en"), english);
    EXPECT_EQ(languageFromLocaleIdentifier("en-GB"), english);
    EXPECT_EQ(languageFromLocaleIdentifier("EN_us"), english);
    EXPECT_EQ(languageFromLocaleIdentifier("ja_JP"), japanese);
    EXPECT_EQ(languageFromLocaleIdentifier("ko-KR"), korean);
    EXPECT_EQ(languageFromLocaleIdentifier("de-AT"), german);
    EXPECT_EQ(languageFromLocaleIdentifier("fr-CA"), french);
    EXPECT_EQ(languageFromLocaleIdentifier("es-419"), spanish);
    EXPECT_EQ(languageFromLocaleIdentifier("pt-BR"), std::nullopt);
    EXPECT_EQ(languageFromLocaleIdentifier("english"), std::nullopt);
    EXPECT_EQ(languageFromLocaleIdentifier("eng"), std::nullopt);
    EXPECT_EQ(languageFromLocaleIdentifier(""), std::nullopt);
}

TEST(AppLanguage, StoredCodeWinsOverPreferredLanguages) {
    EXPECT_EQ(resolve("fr", {"de-DE", "en-US"}), french);
    EXPECT_EQ(resolve("zh-Hant", {}), traditional);
    EXPECT_EQ(resolve("FR", {"de-DE"}), german);
}

TEST(AppLanguage, SystemSettingTakesTheFirstPreferredLanguageThatMaps) {
    EXPECT_EQ(resolve("system", {"zh_TW"}), traditional);
    EXPECT_EQ(resolve("system", {"zh-Hant-CN"}), traditional);
    EXPECT_EQ(resolve("system", {"zh-CN"}), simplified);
    EXPECT_EQ(resolve("system", {"zh"}), simplified);
    EXPECT_EQ(resolve("system", {"pt-BR", "ko-KR", "en-US"}), korean);
    EXPECT_EQ(resolve("system", {"pt-BR"}), english);
    EXPECT_EQ(resolve("system", {}), english);
    EXPECT_EQ(resolve("", {"ja"}), japanese);
}

TEST(LocalizationTable, DecodesOnlyTheExpectedShape) {
    EXPECT_TRUE(LocalizationTable::decode(R"({})"));
    EXPECT_TRUE(LocalizationTable::decode(R"({"en": {"quit": "Quit"}, "fr": {}})"));
    EXPECT_FALSE(LocalizationTable::decode(""));
    EXPECT_FALSE(LocalizationTable::decode("not json"));
    EXPECT_FALSE(LocalizationTable::decode(R"(["en"])"));
    EXPECT_FALSE(LocalizationTable::decode(R"({"en": "Quit"})"));
    EXPECT_FALSE(LocalizationTable::decode(R"({"en": {"quit": 1}})"));
    EXPECT_FALSE(LocalizationTable::decode(R"({"en": {"quit": null}})"));
    EXPECT_FALSE(LocalizationTable::decode(R"({"en": {"quit": {"text": "Quit"}}})"));
    EXPECT_FALSE(LocalizationTable::decode(R"({"en": {"quit": "Quit"}} trailing)"));
    EXPECT_FALSE(LocalizationTable::decode(R"({"en": {"quit": "Quit", "quit": "Exit"}})"));
    EXPECT_FALSE(LocalizationTable::decode("{\"en\": {\"quit\": \"Qu\xff\"}}"));
}

TEST(LocalizationTable, FallsBackToEnglishThenToTheKeyName) {
    auto table = LocalizationTable::decode(R"({
        "en": {"quit": "Quit", "settings": "Settings"},
        "fr": {"quit": "Quitter", "open": ""}
    })");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->text(Copy::quit, french), "Quitter");
    EXPECT_EQ(table->text(Copy::settings, french), "Settings");
    EXPECT_EQ(table->text(Copy::compact, french), "compact");
    EXPECT_EQ(table->text(Copy::quit, japanese), "Quit");
    EXPECT_EQ(table->text(Copy::open, french), "");
}

TEST(LocalizationTable, WithoutEnglishFallsToTheKeyName) {
    auto table = LocalizationTable::decode(R"({"de": {"quit": "Beenden"}})");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->text(Copy::quit, german), "Beenden");
    EXPECT_EQ(table->text(Copy::quit, english), "quit");
}

TEST(LocalizationTable, LoadsAFileAndRefusesAMissingOne) {
    testsupport::TemporaryDirectory folder;
    auto path = folder.path() / "Localizations.json";
    std::ofstream(path) << R"({"en": {"okay": "OK"}})";
    auto table = LocalizationTable::load(path);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->text(Copy::okay, korean), "OK");
    EXPECT_FALSE(LocalizationTable::load(folder.path() / "absent.json"));
}

using LocalizationTableDeathTest = ::testing::Test;

TEST_F(LocalizationTableDeathTest, MissingResourceStopsTheProcess) {
    testsupport::TemporaryDirectory folder;
    EXPECT_DEATH(loadLocalizationTableOrStop(foundation::Bundle(folder.path())),
                 "Missing localization resource");
}

TEST_F(LocalizationTableDeathTest, MalformedResourceStopsTheProcess) {
    testsupport::TemporaryDirectory folder;
    std::ofstream(folder.path() / "Localizations.json") << R"({"en": ["Quit"]})";
    EXPECT_DEATH(loadLocalizationTableOrStop(foundation::Bundle(folder.path())),
                 "Missing localization resource");
}

TEST(Localization, SharedLookupReadsTheBuiltResource) {
    auto shipped = LocalizationTable::load(PULSEDECK_SOURCE_DIR "/resources/Localizations.json");
    ASSERT_TRUE(shipped);
    for (auto language : allAppLanguages()) {
        EXPECT_EQ(text(Copy::quit, language), shipped->text(Copy::quit, language));
    }
}

} // namespace
} // namespace pulsedeck
