#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/TerminationSignals.h"
#include "platform/foundation/TextFile.h"
#include "support/TestPaths.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <random>
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
    for (int i = 0; i < 500 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(fileContents(file).value().at("fanAnimation"), PropertyValue(7));
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

TEST(UserDefaults, ACorruptFileIsKeptAsideAndTheDomainStartsEmpty) {
    const char* broken[] = {
        "{\"chartLength\": 40",               // cut short
        "[1, 2]",                             // not a dictionary
        "{\"a\": null}",                      // a kind that is never stored
        "{\"a\": {\"$real\": \"infinite\"}}", // a malformed tag
        "{\"a\": {\"$data\": \"***\"}}",      // bad base64
        "{\"$unknown\": 1}",                  // an unescaped tag-like key
        "{\"a\": 1, \"a\": 2}",               // the same key twice
        "\xff\xfe{}",                         // not UTF-8
    };
    for (const char* text : broken) {
        testsupport::TemporaryDirectory dir;
        auto file = dir.path() / "local.dorvettin.Pulsedeck.json";
        std::ofstream(file, std::ios::binary) << text;
        UserDefaults defaults(dir.path(), appDomain);
        EXPECT_FALSE(defaults.persistentDomainForName(appDomain)) << text;
        EXPECT_FALSE(defaults.objectForKey("chartLength")) << text;

        auto names = filesIn(dir.path());
        ASSERT_EQ(names.size(), 1u) << text;
        EXPECT_TRUE(names[0].starts_with("local.dorvettin.Pulsedeck.json.corrupt-")) << names[0];
        EXPECT_EQ(foundation::readTextFile(dir.path() / names[0]), text);

        defaults.setDouble(50, "chartLength");
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_EQ(fileContents(file)->at("chartLength"), PropertyValue(50.0));
        EXPECT_EQ(filesIn(dir.path()).size(), 2u);
    }
}

TEST(UserDefaults, NestingBeyondTheLimitIsCorrupt) {
    testsupport::TemporaryDirectory dir;
    std::string deep = "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    std::ofstream(dir.path() / "deep.json") << deep;
    UserDefaults defaults(dir.path(), appDomain);
    EXPECT_FALSE(defaults.persistentDomainForName("deep"));
}

TEST(UserDefaults, AnUnwritableFolderReportsFailureAndKeepsTheChange) {
    testsupport::TemporaryDirectory dir;
    std::ofstream(dir.path() / "not-a-folder") << "x";
    UserDefaults defaults(dir.path() / "not-a-folder", appDomain, slowWrites());
    defaults.setBool(true, "hasLaunched");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(defaults.boolForKey("hasLaunched"));
}

TEST(UserDefaults, DefaultDirectoryFollowsXdgConfigHome) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    std::string previous = saved ? saved : "";
    setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(UserDefaults::defaultDirectory(), fs::path("/somewhere/config/pulsedeck"));
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(UserDefaults::defaultDirectory(), fs::path("/home/someone/.config/pulsedeck"));
    if (saved)
        setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
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

TEST(TerminationSignals, SigtermFlushesTheDefaultsAndStillEndsTheProcess) {
    testsupport::TemporaryDirectory dir;
    for (int signal : {SIGTERM, SIGINT}) {
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
