#include "app/CommandLine.h"

#include "model/LoginItemEntry.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/UserDefaults.h"

#include <getopt.h>
#include <vector>

namespace pulsedeck {

namespace {

// getopt_long's answers for the options without a short form.
enum LongOnly : int { versionOption = 256, checkUpdatesOption };

constexpr option longOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, versionOption},
    {"check-updates", required_argument, nullptr, checkUpdatesOption},
    {nullptr, 0, nullptr, 0},
};

// How the user wrote the option getopt_long answered `value` for: "-h" or its long name.
std::string optionName(int value, const char* written) {
    if (written && written[0] == '-' && written[1] == '-') {
        const std::string word = written;
        return word.substr(0, word.find('='));
    }
    return value > 0 && value < 256 ? std::string("-") + static_cast<char>(value)
                                    : std::string(written ? written : "");
}

bool isLongOnly(int value) {
    return value == versionOption || value == checkUpdatesOption;
}

CommandLine invalid(std::string error) {
    return {CommandLine::Action::invalid, {}, std::move(error)};
}

std::string pathText(const std::optional<std::filesystem::path>& path) {
    return path ? path->string() : "none: there is no home folder";
}

} // namespace

CommandLine CommandLine::parse(std::span<const char* const> arguments) {
    // getopt_long reorders what it is given: it works on a copy.
    std::vector<std::string> words(arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    // Zero starts a fresh scan; our own messages replace the library's.
    optind = 0;
    opterr = 0;
    CommandLine line;
    for (;;) {
        const int before = optind == 0 ? 1 : optind;
        const int value = getopt_long(argc, argv.data(), ":h", longOptions, nullptr);
        if (value == -1)
            break;
        // The word just read: a long option's, or a short one's (then still at `before`).
        const char* written = optind > before ? argv[optind - 1] : argv[before];
        switch (value) {
        case 'h':
            return {Action::help, {}, {}};
        case versionOption:
            return {Action::version, {}, {}};
        case checkUpdatesOption:
            if (!*optarg)
                return invalid("option '" + optionName(value, written) + "' needs a URL");
            line = {Action::checkUpdates, optarg, {}};
            break;
        case ':':
            return invalid("option '" + optionName(optopt, written) + "' needs " +
                           (optopt == checkUpdatesOption ? "a URL" : "a value"));
        default:
            if (optopt == 'h' || isLongOnly(optopt))
                return invalid("option '" + optionName(optopt, written) + "' takes no value");
            return invalid("unknown option '" + optionName(optopt, written) + "'");
        }
    }
    if (optind < argc)
        return invalid("unexpected argument '" + words[optind] + "'");
    return line;
}

UserFiles UserFiles::live() {
    auto settings = foundation::UserDefaults::defaultDirectory();
    if (settings)
        *settings /= foundation::Bundle::main().identifier() + ".json";
    return {settings, liveLoginItemEntry()};
}

std::string usageText(const UserFiles& files) {
    return "Usage: pulsedeck [OPTION]\n"
           "A system monitor in a status bar at the top right of the screen: memory, fans,\n"
           "network, temperature, processor and graphics load and devices, with a one-minute\n"
           "chart of each. Started again while it runs, it asks the running copy to open its\n"
           "details.\n"
           "\n"
           "Options:\n"
           "  -h, --help               show this help and exit\n"
           "      --version            show the version and exit\n"
           "      --check-updates URL  check the release manifest at URL once, print the\n"
           "                           outcome and exit; no settings are read or written\n"
           "\n"
           "Files:\n"
           "  settings                 " +
           pathText(files.settings) +
           "\n"
           "  launch at login          " +
           pathText(files.autostartEntry) +
           "\n"
           "\n"
           "Control+Q quits; Super-click or the right button opens the context menu.\n"
           "See pulsedeck(1) for more.\n";
}

std::string versionText(const std::string& version, const std::optional<std::string>& build) {
    return "Pulsedeck " + (version.empty() ? std::string("(unknown version)") : version) +
           (build ? " (build " + *build + ")" : "") + "\n";
}

std::string errorText(const std::string& error) {
    return "pulsedeck: " + error + "\nTry 'pulsedeck --help' for more information.\n";
}

} // namespace pulsedeck
