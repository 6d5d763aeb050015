#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/TerminationSignals.h"
#include "platform/foundation/TextFile.h"
#include "support/TestPaths.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <pwd.h>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using foundation::Data;
using foundation::Date;
using foundation::PropertyArray;
using foundation::PropertyDictionary;
using foundation::PropertyValue;
using foundation::UserDefaults;

constexpr const char* appDomain = "local.dorvettin.Pulsedeck";

UserDefaults::Options slowWrites() {
    UserDefaults::Options options;
    options.writeInterval = std::chrono::seconds(30);
    return options;
}

std::optional<PropertyDictionary> fileContents(const fs::path& file) {
    auto text = foundation::readTextFile(file);
    if (!text)
        return std::nullopt;
    return foundation::decodePropertyList(*text);
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UserDefaults, EveryKindRoundTripsThroughAReload) {
    testsupport::TemporaryDirectory dir;
    Data bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i));
    {
        UserDefaults defaults(dir.path(), appDomain);
        defaults.setBool(true, "bool");
        defaults.setInteger(std::numeric_limits<std::int64_t>::min(), "integer");
        defaults.setInteger(3, "three");
        defaults.setDouble(3.0, "threeReal");
        defaults.setDouble(0.1, "tenth");
        defaults.setDouble(-0.0, "negativeZero");
        defaults.setDouble(std::numeric_limits<double>::infinity(), "infinity");
        defaults.setDouble(-std::numeric_limits<double>::infinity(), "negativeInfinity");
        defaults.setDouble(std::numeric_limits<double>::quiet_NaN(), "nan");
        defaults.setObject("caf\xc3\xa9 \"quoted\" \\ \n", "string");
        defaults.setObject(Date{1765000000.25}, "date");
        defaults.setObject(bytes, "data");
        defaults.setObject(Data{}, "emptyData");
        defaults.setObject(PropertyArray{1, 2.5, "x", false, PropertyArray{}}, "array");
        defaults.setObject(PropertyDictionary{{"$real", "not a tag"},
                                              {"$$", 1},
                                              {"nested", PropertyDictionary{{"deep", 1.0}}}},
                           "dictionary");
    }
    ASSERT_TRUE(fs::exists(dir.path() / "local.dorvettin.Pulsedeck.json"));

    UserDefaults reloaded(dir.path(), appDomain);
    auto value = [&](const char* key) { return reloaded.objectForKey(key).value(); };
    EXPECT_EQ(value("bool"), PropertyValue(true));
    EXPECT_EQ(value("integer"), PropertyValue(std::numeric_limits<std::int64_t>::min()));
    EXPECT_TRUE(value("three").isInteger());
    EXPECT_TRUE(value("threeReal").isReal());
    EXPECT_EQ(value("threeReal"), PropertyValue(3.0));
    EXPECT_EQ(value("tenth"), PropertyValue(0.1));
    EXPECT_TRUE(std::signbit(*value("negativeZero").asDouble()));
    EXPECT_EQ(value("infinity"), PropertyValue(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(value("negativeInfinity"), PropertyValue(-std::numeric_limits<double>::infinity()));
    ASSERT_TRUE(value("nan").isReal());
    EXPECT_TRUE(std::isnan(*value("nan").asDouble()));
    EXPECT_EQ(value("string"), PropertyValue("caf\xc3\xa9 \"quoted\" \\ \n"));
    EXPECT_EQ(value("date"), PropertyValue(Date{1765000000.25}));
    EXPECT_EQ(value("data"), PropertyValue(bytes));
    EXPECT_EQ(value("emptyData"), PropertyValue(Data{}));
    EXPECT_EQ(value("array"), PropertyValue(PropertyArray{1, 2.5, "x", false, PropertyArray{}}));
    EXPECT_EQ(value("dictionary"),
              PropertyValue(PropertyDictionary{{"$real", "not a tag"},
                                               {"$$", 1},
                                               {"nested", PropertyDictionary{{"deep", 1.0}}}}));
}

TEST(UserDefaults, ASetIsReadBackAtOnceAndWrittenBySynchronize) {
    testsupport::TemporaryDirectory dir;
    auto file = dir.path() / "local.dorvettin.Pulsedeck.json";
    UserDefaults defaults(dir.path(), appDomain, slowWrites());

    defaults.setDouble(85, "chartLength");
    EXPECT_EQ(defaults.doubleForKey("chartLength"), 85);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(file)->at("chartLength"), PropertyValue(85.0));

    // Within the write interval nothing more reaches the disk until the flush.
    defaults.setDouble(100, "chartLength");
    defaults.setDouble(120, "chartLength");
    EXPECT_EQ(defaults.doubleForKey("chartLength"), 120);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(fileContents(file)->at("chartLength"), PropertyValue(85.0));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(file)->at("chartLength"), PropertyValue(120.0));
}

TEST(UserDefaults, TheWorkerWritesWithoutBeingAsked) {
    testsupport::TemporaryDirectory dir;
    auto file = dir.path() / "local.dorvettin.Pulsedeck.json";
    UserDefaults::Options quick;
    quick.writeInterval = std::chrono::milliseconds(10);
    UserDefaults defaults(dir.path(), appDomain, quick);
    defaults.setInteger(7, "fanAnimation");
    // Bounded for a loaded machine; it ends as soon as the file holds the change.
    const auto written = [&] {
        const auto contents = fileContents(file);
        return contents && contents->count("fanAnimation") &&
               contents->at("fanAnimation") == PropertyValue(7);
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!written() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(written()) << "the worker wrote the change";
}

TEST(UserDefaults, DestructionFlushesPendingChanges) {
    testsupport::TemporaryDirectory dir;
    {
        UserDefaults defaults(dir.path(), appDomain, slowWrites());
        defaults.setBool(true, "first");
        defaults.synchronize();
        defaults.setBool(true, "second");
    }
    UserDefaults reloaded(dir.path(), appDomain);
    EXPECT_TRUE(reloaded.boolForKey("second"));
}

TEST(UserDefaults, TypedGettersFollowThePlatformRules) {
    testsupport::TemporaryDirectory dir;
    UserDefaults defaults(dir.path(), appDomain);
    defaults.setObject("text", "text");
    defaults.setDouble(2.0, "integralReal");
    defaults.setDouble(2.5, "fractionalReal");
    defaults.setDouble(std::numeric_limits<double>::quiet_NaN(), "nan");
    defaults.setDouble(1e300, "huge");
    defaults.setInteger(2, "two");
    defaults.setInteger(0, "zero");
    defaults.setBool(true, "yes");
    defaults.setObject(PropertyArray{"a", "b"}, "strings");
    defaults.setObject(PropertyArray{"a", 1}, "mixed");
    defaults.setObject(PropertyDictionary{{"memory", 3}}, "colors");

    // A value of another kind reads as absent.
    EXPECT_FALSE(defaults.boolForKey("text"));
    EXPECT_EQ(defaults.integerForKey("text"), 0);
    EXPECT_EQ(defaults.doubleForKey("text"), 0.0);
    EXPECT_FALSE(defaults.stringForKey("two"));
    EXPECT_FALSE(defaults.arrayForKey("colors"));
    EXPECT_FALSE(defaults.dictionaryForKey("strings"));
    EXPECT_FALSE(defaults.dataForKey("text"));
    EXPECT_FALSE(defaults.objectForKey("missing"));
    EXPECT_FALSE(defaults.boolForKey("missing"));

    // An integral real reads as an integer; others do not.
    EXPECT_EQ(defaults.integerForKey("integralReal"), 2);
    EXPECT_EQ(defaults.objectForKey("integralReal")->asInteger(), 2);
    EXPECT_FALSE(defaults.objectForKey("fractionalReal")->asInteger());
    EXPECT_FALSE(defaults.objectForKey("huge")->asInteger());
    EXPECT_FALSE(defaults.objectForKey("nan")->asInteger());
    EXPECT_EQ(defaults.doubleForKey("two"), 2.0);
    EXPECT_EQ(defaults.integerForKey("yes"), 1);

    // A non-zero number reads as true.
    EXPECT_TRUE(defaults.boolForKey("two"));
    EXPECT_TRUE(defaults.boolForKey("fractionalReal"));
    EXPECT_FALSE(defaults.boolForKey("zero"));
    EXPECT_FALSE(defaults.boolForKey("nan"));
    // ... while the kind itself stays visible to callers that need a stored Boolean.
    EXPECT_FALSE(defaults.objectForKey("two")->isBool());
    EXPECT_TRUE(defaults.objectForKey("yes")->isBool());

    EXPECT_EQ(defaults.stringArrayForKey("strings"), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(defaults.stringArrayForKey("mixed"));
    EXPECT_EQ(defaults.arrayForKey("mixed")->size(), 2u);
    EXPECT_EQ(defaults.dictionaryForKey("colors")->at("memory"), PropertyValue(3));

    defaults.removeObjectForKey("two");
    EXPECT_FALSE(defaults.objectForKey("two"));
}

TEST(UserDefaults, RegisteredDefaultsAnswerOnlyForMissingKeysAndAreNeverStored) {
    testsupport::TemporaryDirectory dir;
    {
        UserDefaults defaults(dir.path(), appDomain);
        defaults.registerDefaults({{"fanGap", 8.0}, {"memoryEnabled", true}});
        defaults.setDouble(12, "fanGap");
        EXPECT_EQ(defaults.doubleForKey("fanGap"), 12);
        EXPECT_TRUE(defaults.boolForKey("memoryEnabled"));
        defaults.removeObjectForKey("fanGap");
        EXPECT_EQ(defaults.doubleForKey("fanGap"), 8);
    }
    UserDefaults reloaded(dir.path(), appDomain);
    EXPECT_FALSE(reloaded.objectForKey("memoryEnabled"));
}

TEST(UserDefaults, ReadsAndReplacesPersistentDomains) {
    testsupport::TemporaryDirectory dir;
    const char* legacy = "local.dorvettin.Quillmeter";
    {
        UserDefaults defaults(dir.path(), appDomain);
        EXPECT_FALSE(defaults.persistentDomainForName(legacy));
        EXPECT_FALSE(defaults.persistentDomainForName(appDomain));
        defaults.setPersistentDomain({{"chartLength", 40.0}, {"swapOnly", true}}, legacy);
        defaults.setDouble(90, "chartLength");
        EXPECT_EQ(defaults.persistentDomainForName(appDomain),
                  (PropertyDictionary{{"chartLength", 90.0}}));
    }
    UserDefaults defaults(dir.path(), appDomain);
    auto old = defaults.persistentDomainForName(legacy);
    ASSERT_TRUE(old);
    EXPECT_EQ(*old, (PropertyDictionary{{"chartLength", 40.0}, {"swapOnly", true}}));

    // Replacing the application's own domain is seen by the getters at once.
    PropertyDictionary merged = *old;
    merged.insert_or_assign("chartLength", 90.0);
    merged.insert_or_assign("didMigrateLegacyPreferences", true);
    defaults.setPersistentDomain(merged, appDomain);
    EXPECT_TRUE(defaults.boolForKey("didMigrateLegacyPreferences"));
    EXPECT_TRUE(defaults.boolForKey("swapOnly"));
    EXPECT_EQ(defaults.doubleForKey("chartLength"), 90);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(fileContents(dir.path() / "local.dorvettin.Pulsedeck.json"), merged);
    EXPECT_TRUE(fs::exists(dir.path() / "local.dorvettin.Quillmeter.json"));

    // An empty domain exists; a removed one does not, and its file goes.
    defaults.setPersistentDomain({}, "empty");
    EXPECT_EQ(defaults.persistentDomainForName("empty"), PropertyDictionary{});
    defaults.removePersistentDomainForName(legacy);
    EXPECT_FALSE(defaults.persistentDomainForName(legacy));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_FALSE(fs::exists(dir.path() / "local.dorvettin.Quillmeter.json"));
    EXPECT_TRUE(fs::exists(dir.path() / "empty.json"));

    // Names that are not file names find and change nothing.
    for (const char* name : {"", ".", "..", "../outside", "a/b"}) {
        defaults.setPersistentDomain({{"x", 1}}, name);
        EXPECT_FALSE(defaults.persistentDomainForName(name)) << name;
    }
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"empty.json", "local.dorvettin.Pulsedeck.json"}));
}

// Runs `body` in a child process with its standard error going to `errors`; its exit status, or
// nothing when it had not finished within `timeout` (it is then killed).
std::optional<int> inChild(const fs::path& errors, std::chrono::milliseconds timeout,
                           const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) {
        int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        _exit(body());
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::size_t occurrences(const std::string& text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(UserDefaults, AFileThatIsNotOneObjectIsKeptAsideSaidOnceAndTheDomainStartsEmpty) {
    const std::string broken[] = {
        "{\"chartLength\": 40",                            // cut short
        "[1, 2]",                                          // not a dictionary
        "\xff\xfe{}",                                      // not UTF-8 outside any text
        "{\"a\": 1} {}",                                   // more after the object
        "{\"a\": \"open, \"chartLength\": 40}",            // a text left open
        "{\"a\" 1, \"chartLength\": 40}",                  // no colon
        "{\"a\": [[1], \"chartLength\": 40}",              // a bracket left open
        "{\"a\": \"" + std::string(4u << 20, 'x') + "\"}", // too large
    };
    for (const auto& text : broken) {
        testsupport::TemporaryDirectory dir;
        auto file = dir.path() / "local.dorvettin.Pulsedeck.json";
        std::ofstream(file, std::ios::binary) << text;
        const auto label = text.substr(0, 40);
        auto status = inChild(dir.path() / "errors", std::chrono::seconds(20), [&] {
            UserDefaults defaults(dir.path(), appDomain);
            bool ok = !defaults.persistentDomainForName(appDomain) &&
                      !defaults.objectForKey("chartLength");
            defaults.objectForKey("again");
            defaults.setDouble(50, "chartLength");
            return ok && defaults.synchronize() ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << label;

        auto names = filesIn(dir.path());
        ASSERT_EQ(names.size(), 3u) << label;
        EXPECT_EQ(names[0], "errors");
        EXPECT_EQ(names[1], "local.dorvettin.Pulsedeck.json");
        EXPECT_TRUE(names[2].starts_with("local.dorvettin.Pulsedeck.json.corrupt-")) << names[2];
        EXPECT_EQ(foundation::readTextFile(dir.path() / names[2], 8u << 20), text);
        EXPECT_EQ(fileContents(file)->at("chartLength"), PropertyValue(50.0));
        const auto errors = foundation::readTextFile(dir.path() / "errors").value_or("");
        EXPECT_EQ(occurrences(errors, "moved aside"), 1u) << errors;
        EXPECT_NE(errors.find(names[2]), std::string::npos) << errors;
    }
}

// Whatever a file held, what is written is read back whole at the next start: indented while that
// fits the reader's limit, on one line with every entry when only that fits, and without the
// entries the program does not use, largest first, when even that would not; a file refused for
// its size alone, in bytes or in values, is said to be too large.
TEST(UserDefaults, WhatIsWrittenIsReadBackWholeFromUnknownKeysUpToTheLimitAndOverIt) {
    constexpr std::size_t limit = 64u << 10;
    // `count` entries no program setting reads, the two the run below uses, and a text padding
    // the file to `size` bytes.
    auto fileOf = [](int count, const std::string& value, std::size_t size = 0) {
        std::string text = R"({"moduleOrder":["memory","fan","network","temperature","compute",)"
                           R"("devices"],"chartLength":40,"$$tagLike":{"$real":"inf"})";
        char key[16];
        for (int n = 0; n < count; ++n) {
            std::snprintf(key, sizeof key, ",\"k%05d\":", n);
            text += key + value;
        }
        const std::size_t padding = std::string(R"(,"padding":""})").size() + 1;
        if (size > 0)
            text += R"(,"padding":")" + std::string(size - text.size() - padding, 'x') + "\"";
        return text + "}\n";
    };
    struct Case {
        const char* name;
        std::string text;
        bool indented;
        bool keepsEveryEntry;
        const char* said;
    };
    const Case cases[] = {
        {"a few unknown keys", fileOf(10, "[1,1]"), true, true, ""},
        {"unknown keys filling the limit on one line", fileOf(3000, "[1,1]", limit), false, true,
         ""},
        {"unknown keys too many to indent", fileOf(3500, "[1,1]"), false, true, ""},
        {"numbers written longer than they were read", fileOf(5000, "1e9"), false, false,
         "entries are left out, first those this program does not use"},
        {"one byte over the limit", fileOf(3000, "[1,1]", limit + 1), true, false,
         "is larger than a preferences file can be (65537 bytes, at most 65536): moved aside"},
        {"unknown keys at the limit of values", fileOf(2729, "[[[],[]]]"), false, true, ""},
        {"one value over the limit", fileOf(2729, "[[[],[]]]", limit), true, false,
         "is larger than a preferences file can be (16385 values, at most 16384): moved aside"},
    };
    UserDefaults::Options options;
    options.maxFileSize = limit;
    options.maxValues = 16384;
    for (const auto& test : cases) {
        testsupport::TemporaryDirectory dir;
        const auto file = dir.path() / "local.dorvettin.Pulsedeck.json";
        std::ofstream(file, std::ios::binary) << test.text;
        ASSERT_LE(test.text.size(), limit + (test.text.size() > limit)) << test.name;
        const auto status = inChild(dir.path() / "errors", std::chrono::seconds(20), [&] {
            UserDefaults defaults(dir.path(), appDomain, options);
            defaults.objectForKey("moduleOrder");
            defaults.setInteger(50, "chartLength");
            const bool saved = defaults.synchronize();
            // What the first write left out is gone from memory too: the second says nothing.
            defaults.setInteger(50, "chartLength");
            return saved && defaults.synchronize() ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << test.name;

        const auto written = foundation::readTextFile(file, 2 * limit).value_or("");
        EXPECT_LE(written.size(), limit) << test.name;
        EXPECT_EQ(written.find("\n  ") != std::string::npos, test.indented) << test.name;
        const auto decoded = foundation::decodePropertyListEntries(written);
        ASSERT_TRUE(decoded) << test.name;
        EXPECT_EQ(decoded->droppedEntries, 0u) << test.name;
        EXPECT_EQ(decoded->values.at("chartLength"), PropertyValue(50)) << test.name;
        const bool setAside = std::string_view(test.said).ends_with("moved aside");
        EXPECT_EQ(decoded->values.contains("moduleOrder"), !setAside) << test.name;
        if (test.keepsEveryEntry) {
            auto expected = foundation::decodePropertyListEntries(test.text)->values;
            expected.insert_or_assign("chartLength", 50);
            EXPECT_EQ(decoded->values, expected) << test.name;
        }
        {
            UserDefaults reloaded(dir.path(), appDomain, options);
            EXPECT_EQ(reloaded.persistentDomainForName(appDomain), decoded->values) << test.name;
        }
        EXPECT_EQ(filesIn(dir.path()).size(), setAside ? 3u : 2u) << test.name;
        const auto errors = foundation::readTextFile(dir.path() / "errors").value_or("");
        EXPECT_TRUE(!*test.said || occurrences(errors, test.said) == 1)
            << test.name << ": " << errors;
        EXPECT_EQ(errors.find("not a preferences file"), std::string::npos) << test.name;
        EXPECT_EQ(errors.empty(), *test.said == 0) << test.name << ": " << errors;
    }
}

// One bad value costs only its own entry: every other setting, the floating bar's place and the
// first-launch flags included, is kept, and nothing is moved aside.
TEST(UserDefaults, AnEntryThatDoesNotDecodeIsDroppedAndTheOthersKept) {
    // The file's object counts as one of the 256 levels a value may take.
    const auto nested = [](int levels) {
        return std::string(levels, '[') + "1" + std::string(levels, ']');
    };
    PropertyValue deepest = 1;
    for (int level = 0; level < 255; ++level)
        deepest = PropertyArray{deepest};
    const std::string texts[] = {
        "{\"a\": \"caf\xe9\", \"chartLength\": 40}",               // a text that is not UTF-8
        "{\"caf\xe9\": 1, \"chartLength\": 40}",                   // a key that is not UTF-8
        "{\"a\": \"\\ud800\", \"chartLength\": 40}",               // a lone surrogate escape
        "{\"a\": [\"\\udc00x\"], \"chartLength\": 40}",            // one further in
        "{\"a\": \"\xed\xa0\x80\", \"chartLength\": 40}",          // an encoded surrogate
        "{\"a\": " + nested(256) + ", \"chartLength\": 40}",       // nested deeper than 256
        "{\"a\": \"tab\there\", \"chartLength\": 40}",             // a raw control character
        "{\"a\": tru, \"chartLength\": 40}",                       // not a JSON value
        "{\"a\": null, \"chartLength\": 40}",                      // a kind that is never stored
        "{\"a\": {\"$real\": \"infinite\"}, \"chartLength\": 40}", // a malformed tag
        "{\"a\": [{\"$unknown\": 1}], \"chartLength\": 40}",       // an unknown tag inside
        "{\"a\": {\"$data\": \"***\"}, \"chartLength\": 40}",      // bad base64
        "{\"$unknown\": 1, \"chartLength\": 40}",                  // an unescaped tag-like key
        "{\"a\": 1, \"chartLength\": 40, \"a\": 2}",               // the same key twice
        "{\"a\": {\"b\": 1, \"b\": 2}, \"chartLength\": 40}",      // twice, further in
    };
    const std::string kept = R"("hasLaunched": true, "floatingDockAnchors": {"1": "top-left"})"
                             ", \"deepest\": " +
                             nested(255);
    for (const auto& text : texts) {
        testsupport::TemporaryDirectory dir;
        std::ofstream(dir.path() / "local.dorvettin.Pulsedeck.json", std::ios::binary)
            << text.substr(0, text.size() - 1) << ", " << kept << "}";
        UserDefaults defaults(dir.path(), appDomain);
        EXPECT_EQ(
            defaults.persistentDomainForName(appDomain),
            (PropertyDictionary{{"chartLength", 40},
                                {"hasLaunched", true},
                                {"deepest", deepest},
                                {"floatingDockAnchors", PropertyDictionary{{"1", "top-left"}}}}))
            << text.substr(0, 40);
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"local.dorvettin.Pulsedeck.json"});
    }
}

// A file of the preferences writer's thread in /proc.
std::string writerFile(const char* name) {
    for (const auto& task : fs::directory_iterator("/proc/self/task"))
        if (foundation::readTextFile(task.path() / "comm") == "pd-defaults\n")
            return foundation::readTextFile(task.path() / name).value_or("");
    return {};
}

// How often the preferences writer has woken up so far.
long writerWakeUps() {
    const auto status = writerFile("status");
    auto at = status.find("voluntary_ctxt_switches:");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 24);
}

// The processor time it has taken so far, in clock ticks: its user and system times, the 14th
// and 15th fields of its stat.
long writerTicks() {
    const auto stat = writerFile("stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
        fields >> skipped;
    long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
}

// A file that is there but cannot be read says nothing of what the user had: it is neither moved
// nor overwritten, and the run goes on with defaults, saying so once.
TEST(UserDefaults, AFileThatCannotBeReadIsLeftAloneAndNeverOverwritten) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& file)> prepare;
        // In the child, before the file is read; returns whether it could.
        std::function<bool(const fs::path& folder)> beforeRead;
    };
    const std::string good = "{\"chartLength\": 40}";
    const Case cases[] = {
        {"no permission",
         [&](const fs::path& file) {
             std::ofstream(file) << good;
             fs::permissions(file, fs::perms::none);
         },
         [](const fs::path& folder) {
             // The superuser reads any file: run as nobody, who owns the folder but not the file.
             if (geteuid() != 0)
                 return true;
             return chown(folder.c_str(), 65534, 65534) == 0 && setgid(65534) == 0 &&
                    setuid(65534) == 0;
         }},
        {"no descriptors left", [&](const fs::path& file) { std::ofstream(file) << good; },
         [](const fs::path&) {
             // The writer has started and waits: a sanitizer's check of a thread's start needs a
             // descriptor of its own.
             const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             while (writerWakeUps() < 1 && std::chrono::steady_clock::now() < deadline)
                 std::this_thread::sleep_for(std::chrono::milliseconds(1));
             rlimit limit{};
             getrlimit(RLIMIT_NOFILE, &limit);
             limit.rlim_cur = 64;
             if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
                 return false;
             while (::open("/dev/null", O_RDONLY) >= 0) {
             }
             return errno == EMFILE;
         }},
        {"a FIFO", [](const fs::path& file) { mkfifo(file.c_str(), 0600); },
         [](const fs::path&) { return true; }},
        {"a folder", [](const fs::path& file) { fs::create_directory(file); },
         [](const fs::path&) { return true; }},
    };
    for (const auto& test : cases) {
        testsupport::TemporaryDirectory dir;
        const auto folder = dir.path() / "config";
        fs::create_directory(folder);
        auto file = folder / "local.dorvettin.Pulsedeck.json";
        test.prepare(file);
        auto status = inChild(dir.path() / "errors", std::chrono::seconds(10), [&] {
            UserDefaults defaults(folder, appDomain, slowWrites());
            if (!test.beforeRead(folder))
                return 2;
            if (defaults.objectForKey("chartLength") || defaults.objectForKey("again"))
                return 3;
            defaults.setDouble(50, "chartLength");
            return defaults.synchronize() ? 4 : 0;
        });
        ASSERT_TRUE(status) << test.name << ": reading blocked";
        EXPECT_EQ(*status, 0) << test.name;
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"local.dorvettin.Pulsedeck.json"})
            << test.name;
        if (fs::is_regular_file(file)) {
            fs::permissions(file, fs::perms::owner_read);
            EXPECT_EQ(foundation::readTextFile(file), good) << test.name;
        }
        const auto errors = foundation::readTextFile(dir.path() / "errors").value_or("");
        EXPECT_EQ(occurrences(errors, "cannot be read"), 1u) << test.name << ": " << errors;
    }
}

// A file is replaced with its owner, group and mode kept, through a symbolic link too (a dotfiles
// folder keeps the link); a link to a file of another user is not written through, and the user is
// told while what they set stays in memory.
TEST(UserDefaults, AFileKeepsItsOwnerAndModeAndNoLinkLeadsToAnotherUsersFile) {
    struct Case {
        const char* name;
        bool throughLink;
        // Another user's file: only the superuser can make one.
        bool ownedByAnother;
        fs::perms mode;
        bool written;
    };
    const auto readable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    const Case cases[] = {
        {"a link to the user's own file", true, false, readable, true},
        {"another user's file run as the superuser", false, true, readable | fs::perms::others_read,
         true},
        {"a link to another user's file", true, true,
         fs::perms::owner_read | fs::perms::owner_write, false},
    };
    for (const auto& test : cases) {
        if (test.ownedByAnother && geteuid() != 0)
            continue;
        testsupport::TemporaryDirectory dir;
        fs::create_directories(dir.path() / "dotfiles");
        fs::create_directories(dir.path() / "config");
        const auto file = dir.path() / "config" / "local.dorvettin.Pulsedeck.json";
        const auto target = test.throughLink ? dir.path() / "dotfiles" / "pulsedeck.json" : file;
        std::ofstream(target) << "{\"chartLength\": 40}";
        if (test.throughLink)
            fs::create_symlink("../dotfiles/pulsedeck.json", file);
        fs::permissions(target, test.mode);
        // Owned by nobody, or by a group other than the user's own where the user may give one.
        const uid_t owner = test.ownedByAnother ? 65534 : geteuid();
        const gid_t group = geteuid() == 0 ? 65534 : getegid();
        ASSERT_EQ(chown(target.c_str(), owner, group), 0) << test.name;
        const auto status = inChild(dir.path() / "errors", std::chrono::seconds(20), [&] {
            UserDefaults defaults(dir.path() / "config", appDomain);
            if (defaults.integerForKey("chartLength") != 40)
                return 2;
            defaults.setInteger(60, "chartLength");
            const bool saved = defaults.synchronize();
            return saved == test.written && defaults.integerForKey("chartLength") == 60 ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << test.name;
        EXPECT_EQ(fs::is_symlink(file), test.throughLink) << test.name;
        EXPECT_EQ(fileContents(target)->at("chartLength"), PropertyValue(test.written ? 60 : 40))
            << test.name;
        struct stat info {};
        ASSERT_EQ(stat(target.c_str(), &info), 0) << test.name;
        EXPECT_EQ(info.st_uid, owner) << test.name;
        EXPECT_EQ(info.st_gid, group) << test.name;
        EXPECT_EQ(fs::status(target).permissions(), test.mode) << test.name;
        EXPECT_EQ(filesIn(dir.path() / "dotfiles"), test.throughLink
                                                        ? std::vector<std::string>{"pulsedeck.json"}
                                                        : std::vector<std::string>{})
            << test.name;
        const auto errors = foundation::readTextFile(dir.path() / "errors").value_or("");
        EXPECT_EQ(occurrences(errors, file.string() +
                                          " cannot be saved (the file belongs to another user)"),
                  test.written ? 0u : 1u)
            << test.name << ": " << errors;
    }
}

TEST(UserDefaults, AnUnwritableFolderKeepsTheChangeRetriesRarelyAndWritesOnceItCan) {
    testsupport::TemporaryDirectory dir;
    auto folder = dir.path() / "config";
    std::ofstream(folder) << "x";
    UserDefaults::Options quick;
    quick.writeInterval = std::chrono::milliseconds(20);
    UserDefaults defaults(folder, appDomain, quick);
    defaults.setBool(true, "hasLaunched");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(defaults.boolForKey("hasLaunched"));

    // Retrying at the write interval would wake it 225 times in these four and a half seconds,
    // and at a wait that never grows four times; one that doubles from a second (after one, two
    // and four) wakes it once or twice, never waits a minute and never spins.
    const long before = writerWakeUps();
    const long ticks = writerTicks();
    ASSERT_GE(before, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(4500));
    EXPECT_GE(writerWakeUps() - before, 1);
    EXPECT_LE(writerWakeUps() - before, 3);
    EXPECT_LE(writerTicks() - ticks, sysconf(_SC_CLK_TCK) / 2);

    const auto file = folder / "local.dorvettin.Pulsedeck.json";
    fs::remove(folder);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_TRUE(fileContents(file)->at("hasLaunched") == PropertyValue(true));
    // Saved again, a change waits for the write interval, no longer for the retry that was due
    // at the earliest a second and a half on.
    defaults.setBool(false, "hasLaunched");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (fileContents(file)->at("hasLaunched") != PropertyValue(false) &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(fileContents(file)->at("hasLaunched"), PropertyValue(false));
    EXPECT_TRUE(defaults.synchronizeBeforeExit());
}

// Failing saves are said once, and again after a save in between succeeded.
TEST(UserDefaults, EachRunOfFailingSavesIsSaidOnceWithThePathAndTheReason) {
    testsupport::TemporaryDirectory dir;
    const auto folder = dir.path() / "config";
    const auto file = folder / "local.dorvettin.Pulsedeck.json";
    std::ofstream(folder) << "x";
    const auto errors = dir.path() / "errors";
    auto status = inChild(errors, std::chrono::seconds(20), [&] {
        UserDefaults defaults(folder, appDomain);
        bool failed = true;
        for (int attempt = 0; attempt < 3; ++attempt) {
            defaults.setInteger(attempt, "chartLength");
            failed = !defaults.synchronize() && failed;
        }
        fs::remove(folder);
        defaults.setInteger(3, "chartLength");
        const bool saved = defaults.synchronize();
        fs::remove(file);
        fs::create_directory(file);
        defaults.setInteger(4, "chartLength");
        return failed && saved && !defaults.synchronize() ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    const auto said = foundation::readTextFile(errors).value_or("");
    EXPECT_EQ(occurrences(said, file.string() + " cannot be saved"), 2u) << said;
    EXPECT_NE(said.find(std::strerror(ENOTDIR)), std::string::npos) << said;
    EXPECT_NE(said.find(std::strerror(EISDIR)), std::string::npos) << said;
}

// A save that fails for a folder that cannot be made names that as the reason, not the write's
// "No such file or directory" after it; as the program quits, a change that could not be saved is
// said to be lost, once, since the message before promised another try.
TEST(UserDefaults, AFolderThatCannotBeMadeIsTheReasonAndAnUnsavedChangeIsSaidLostAtQuit) {
    struct Case {
        const char* name;
        // Makes what stands in the way; gives the settings folder.
        std::function<fs::path(const fs::path& dir)> prepare;
    };
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_exec;
    const Case cases[] = {
        {"a home that does not exist, in a folder the user cannot write",
         [&](const fs::path& dir) {
             fs::create_directory(dir / "home");
             fs::permissions(dir / "home", readOnly);
             return dir / "home" / "missing" / ".config" / "pulsedeck";
         }},
        {"a read-only settings folder",
         [&](const fs::path& dir) {
             fs::create_directory(dir / "config");
             fs::permissions(dir / "config", readOnly);
             return dir / "config";
         }},
    };
    for (const auto& test : cases) {
        testsupport::TemporaryDirectory dir;
        fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
        const auto folder = test.prepare(dir.path());
        const auto errors = dir.path() / "errors";
        auto status = inChild(errors, std::chrono::seconds(20), [&] {
            // The superuser writes anywhere: run as nobody.
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                return 2;
            UserDefaults defaults(folder, appDomain);
            defaults.setInteger(40, "chartLength");
            const bool failed = !defaults.synchronize();
            defaults.setInteger(50, "chartLength");
            // Quitting; the destructor tries once more.
            return failed && !defaults.synchronizeBeforeExit() ? 0 : 1;
        });
        EXPECT_EQ(status, 0) << test.name;
        const auto said = foundation::readTextFile(errors).value_or("");
        const auto file = (folder / "local.dorvettin.Pulsedeck.json").string();
        const std::string reason = std::strerror(EACCES);
        EXPECT_EQ(occurrences(said, file + " cannot be saved ("), 1u) << test.name << ": " << said;
        EXPECT_EQ(occurrences(said, file + " was not saved ("), 1u) << test.name << ": " << said;
        EXPECT_EQ(occurrences(said, reason), 2u) << test.name << ": " << said;
        EXPECT_EQ(said.find(std::strerror(ENOENT)), std::string::npos) << test.name << ": " << said;
    }
}

TEST(UserDefaults, WithoutAFolderNothingIsReadOrWritten) {
    testsupport::TemporaryDirectory dir;
    const auto previous = fs::current_path();
    fs::current_path(dir.path());
    {
        UserDefaults defaults({}, appDomain);
        defaults.setBool(true, "hasLaunched");
        EXPECT_TRUE(defaults.boolForKey("hasLaunched"));
        EXPECT_FALSE(defaults.synchronize());
    }
    fs::current_path(previous);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

// Sets an environment variable for one scope, then puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* saved = std::getenv(name))
            previous_ = saved;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable() {
        if (previous_)
            setenv(name_, previous_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(UserDefaults, DefaultDirectoryFollowsXdgConfigHomeThenTheHomeFolder) {
    ScopedVariable home("HOME", "/home/someone");
    {
        ScopedVariable config("XDG_CONFIG_HOME", "/somewhere/config");
        EXPECT_EQ(UserDefaults::defaultDirectory(), fs::path("/somewhere/config/pulsedeck"));
    }
    ScopedVariable config("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(UserDefaults::defaultDirectory(), fs::path("/home/someone/.config/pulsedeck"));

    // Without HOME the password database names the folder; never the root of the file system.
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative", "/", "//"}) {
        ScopedVariable noHome("HOME", unusable);
        const passwd* user = getpwuid(getuid());
        ASSERT_TRUE(user);
        auto expected = fs::path(user->pw_dir) == "/"
                            ? std::nullopt
                            : std::optional(fs::path(user->pw_dir) / ".config" / "pulsedeck");
        EXPECT_EQ(UserDefaults::defaultDirectory(), expected);
        EXPECT_NE(UserDefaults::defaultDirectory(), fs::path("/.config/pulsedeck"));
    }
}

// The payload that goes with counter n, so a reader can tell a torn or mixed file.
std::string payloadFor(std::int64_t n) {
    return std::string(2000 + static_cast<std::size_t>(n % 3000), static_cast<char>('a' + n % 26));
}

[[noreturn]] void writeForever(const fs::path& folder) {
    UserDefaults::Options options;
    options.writeInterval = std::chrono::milliseconds(0);
    UserDefaults defaults(folder, appDomain, options);
    std::int64_t n = defaults.integerForKey("counter");
    while (true) {
        ++n;
        defaults.setPersistentDomain({{"counter", n}, {"payload", payloadFor(n)}}, appDomain);
        // Half the writes come from the worker, half from an explicit flush.
        if (n % 2 == 0)
            defaults.synchronize();
    }
}

TEST(UserDefaults, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    testsupport::TemporaryDirectory dir;
    auto file = dir.path() / "local.dorvettin.Pulsedeck.json";
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delay(0, 12000);
    std::int64_t lastSeen = 0;
    int rounds = 0;
    for (; rounds < 60; ++rounds) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            writeForever(dir.path());
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + delay(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        if (!fs::exists(file)) {
            ASSERT_EQ(lastSeen, 0) << "a written file vanished";
            continue;
        }
        auto contents = fileContents(file);
        ASSERT_TRUE(contents) << "round " << rounds << ": the file does not parse";
        auto counter = contents->at("counter").asInteger().value();
        EXPECT_GE(counter, lastSeen);
        EXPECT_EQ(contents->at("payload"), PropertyValue(payloadFor(counter)));
        lastSeen = counter;
    }
    EXPECT_GT(lastSeen, 0);

    // Loading the domain clears what killed writers left behind.
    UserDefaults defaults(dir.path(), appDomain);
    EXPECT_EQ(defaults.integerForKey("counter"), lastSeen);
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"local.dorvettin.Pulsedeck.json"});
}

TEST(TerminationSignals, EachStopSignalFlushesTheDefaultsAndStillEndsTheProcess) {
    testsupport::TemporaryDirectory dir;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            UserDefaults defaults(dir.path(), appDomain, slowWrites());
            foundation::TerminationSignals flush([&](int) { defaults.synchronize(); });
            defaults.synchronize();
            defaults.setInteger(signal, "lastSignal");
            kill(getpid(), signal);
            pause();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        auto contents = fileContents(dir.path() / "local.dorvettin.Pulsedeck.json");
        ASSERT_TRUE(contents);
        EXPECT_EQ(contents->at("lastSignal"), PropertyValue(signal));
    }
}

} // namespace
