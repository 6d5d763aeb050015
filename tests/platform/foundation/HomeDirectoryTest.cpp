#include "platform/foundation/HomeDirectory.h"

#include <gtest/gtest.h>

namespace {

using foundation::HomeDirectory;

// One rule for HOME and the password database; when neither gives a home, the message says what
// is wrong with each.
TEST(HomeDirectory, OneRuleForHomeAndTheDatabaseAndWhatIsWrongWhenNeitherWill) {
    struct Case {
        const char* home;
        const char* database;
        const char* found;
        // What the message says when nothing is found.
        const char* problem;
    };
    const Case cases[] = {
        {"/home/a", "/home/b", "/home/a", nullptr},
        {nullptr, "/home/b", "/home/b", nullptr},
        {"relative", "/home/b", "/home/b", nullptr},
        {"/", "/home/b", "/home/b", nullptr},
        {"//", "/home/b", "/home/b", nullptr},
        {"/home/..", "/home/b", "/home/b", nullptr},
        {"/", "/", nullptr,
         "HOME is the root of the file system, and this user's home in the password database is "
         "the root of the file system"},
        {"relative", "", nullptr,
         "HOME is \"relative\", not a full path, and this user's home in the password database "
         "is empty"},
        {nullptr, nullptr, nullptr,
         "HOME is not set, and the password database does not list this user"},
        {"", "relative", nullptr,
         "HOME is empty, and this user's home in the password database "
         "is \"relative\", not a full path"},
    };
    for (const auto& test : cases) {
        const auto home = HomeDirectory::from(test.home, test.database);
        const auto label = std::string(test.home ? test.home : "(unset)") + " | " +
                           (test.database ? test.database : "(none)");
        if (test.found)
            EXPECT_EQ(home.path, std::filesystem::path(test.found)) << label;
        else
            EXPECT_EQ(home.path, std::nullopt) << label;
        EXPECT_EQ(home.problem, test.problem ? test.problem : "") << label;
    }
}

} // namespace
