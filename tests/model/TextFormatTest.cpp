#include "model/TextFormat.h"

#include "model/Localization.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

struct FormatCase {
    const char* format;
    std::vector<std::string> arguments;
    const char* expected;
};

TEST(TextFormat, FillsPlaceholdersAndNeverInterpretsAnythingElse) {
    const std::vector<FormatCase> cases = {
        {"Pulsedeck %@ is available. You have %@.",
         {"2.1.0", "2.0"},
         "Pulsedeck 2.1.0 is available. You have 2.0."},
        {"%2$@ before %1$@", {"one", "two"}, "two before one"},
        {"%1$@ and %1$@ again", {"x"}, "x and x again"},
        // Sequential and positional placeholders count apart, as translators expect.
        {"%@ %2$@ %@", {"a", "b"}, "a b b"},
        {"100%% sure: %@", {"yes"}, "100% sure: yes"},
        // Missing arguments leave the placeholder empty; extra arguments are dropped.
        {"needs %@ and %@", {"13.0"}, "needs 13.0 and "},
        {"needs %@", {}, "needs "},
        {"no placeholder", {"extra", "more"}, "no placeholder"},
        {"%3$@|%0$@|%99999999999999999999999$@", {"a", "b"}, "||"},
        // printf directives in a translation are text, not formats.
        {"%s %d %n %x %.1f %", {"a"}, "%s %d %n %x %.1f %"},
        {"trailing %1$", {"a"}, "trailing %1$"},
        {"%1$s", {"a"}, "%1$s"},
        // Arguments go in as they are, placeholders inside them included.
        {"%@ then %@", {"%@", "%%"}, "%@ then %%"},
        {"", {"a"}, ""},
        {"%", {}, "%"},
        {"%%%@%%", {"—"}, "%—%"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(formatText(entry.format, entry.arguments), entry.expected)
            << "format \"" << entry.format << "\"";
    }
}

TEST(TextFormat, EveryShippedUpdateMessageNamesBothVersions) {
    const std::vector<std::string> versions = {"9.8.7", "6.5.4"};
    for (AppLanguage language : allAppLanguages()) {
        const std::string message =
            formatText(text(Copy::updateAvailableMessage, language), versions);
        EXPECT_NE(message.find("9.8.7"), std::string::npos) << toString(language);
        EXPECT_NE(message.find("6.5.4"), std::string::npos) << toString(language);
        EXPECT_EQ(message.find('%'), std::string::npos) << toString(language);
    }
}

} // namespace
} // namespace pulsedeck
