#include "app/CommandLine.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <vector>

namespace pulsedeck {
namespace {

using Action = CommandLine::Action;

CommandLine parsed(std::vector<const char*> words) {
    words.insert(words.begin(), "pulsedeck");
    return CommandLine::parse(words);
}

// Each line is parsed after the others, as getopt_long would go on from where the last one left.
TEST(CommandLine, EachLineIsParsedAfreshAndTheFirstDecisiveOptionWins) {
    const struct {
        std::vector<const char*> words;
        CommandLine expected;
    } cases[] = {
        {{}, {}},
        {{"--check-updates", "https://a.example/m.json"},
         {Action::checkUpdates, "https://a.example/m.json", {}}},
        {{"--check-updates=https://b.example/m.json"},
         {Action::checkUpdates, "https://b.example/m.json", {}}},
        {{"--check-upd", "u"}, {Action::checkUpdates, "u", {}}},
        {{"--vers"}, {Action::version, {}, {}}},
        {{"--check-updates", "u", "-h", "--bogus"}, {Action::help, {}, {}}},
        {{"--bogus", "--help"}, {Action::invalid, {}, "unknown option '--bogus'"}},
        {{"-hx"}, {Action::help, {}, {}}},
        {{"-x"}, {Action::invalid, {}, "unknown option '-x'"}},
        {{"--check-updates"}, {Action::invalid, {}, "option '--check-updates' needs a URL"}},
        {{"--check-updates="}, {Action::invalid, {}, "option '--check-updates' needs a URL"}},
        {{"--help=yes"}, {Action::invalid, {}, "option '--help' takes no value"}},
        {{"--version=2"}, {Action::invalid, {}, "option '--version' takes no value"}},
        {{"details"}, {Action::invalid, {}, "unexpected argument 'details'"}},
        {{"--check-updates", "u", "--", "--help"},
         {Action::invalid, {}, "unexpected argument '--help'"}},
    };
    for (const auto& test : cases) {
        std::string line;
        for (const char* word : test.words)
            line += std::string(word) + " ";
        SCOPED_TRACE(line);
        const auto result = parsed(test.words);
        EXPECT_EQ(result.action, test.expected.action);
        EXPECT_EQ(result.manifestURL, test.expected.manifestURL);
        EXPECT_EQ(result.error, test.expected.error);
    }
}

// The manual page and --help describe the same options and files; without a home folder --help
// says there are none.
TEST(CommandLine, TheManualPageNamesEveryOptionAndFileTheUsageNames) {
    std::ifstream in(std::filesystem::path(PULSEDECK_SOURCE_DIR) / "packaging/pulsedeck.1.in");
    std::stringstream manual;
    manual << in.rdbuf();
    // The page writes "-" as "\-".
    const std::string page = std::regex_replace(manual.str(), std::regex(R"(\\-)"), "-");
    ASSERT_FALSE(page.empty());

    const auto usage = usageText({"/home/u/.config/pulsedeck/local.dorvettin.Pulsedeck.json",
                                  "/home/u/.config/autostart/local.dorvettin.Pulsedeck.desktop"});
    const std::regex option(R"((^|[ ,])(--?[a-z][a-z-]*))");
    int options = 0;
    for (std::sregex_iterator it(usage.begin(), usage.end(), option), end; it != end; ++it) {
        ++options;
        EXPECT_NE(page.find((*it)[2].str()), std::string::npos) << (*it)[2];
    }
    EXPECT_EQ(options, 4) << usage;
    for (const char* file : {"pulsedeck/local.dorvettin.Pulsedeck.json",
                             "autostart/local.dorvettin.Pulsedeck.desktop"})
        EXPECT_NE(page.find(file), std::string::npos) << file;

    const auto homeless = usageText({});
    EXPECT_NE(homeless.find("settings                 none: there is no home folder"),
              std::string::npos)
        << homeless;
}

} // namespace
} // namespace pulsedeck
