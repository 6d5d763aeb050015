#include "platform/foundation/PreferredLanguages.h"

#include <gtest/gtest.h>

namespace {

using foundation::preferredLanguages;
using Languages = std::vector<std::string>;

TEST(PreferredLanguages, LanguageListComesFirstThenTheMessagesLocale) {
    EXPECT_EQ(preferredLanguages({{"LANGUAGE", "pt_BR:ko_KR.UTF-8::en"},
                                  {"LANG", "de_DE.UTF-8"},
                                  {"LC_MESSAGES", "fr_FR.UTF-8"}}),
              (Languages{"pt-BR", "ko-KR", "en", "fr-FR"}));
}

TEST(PreferredLanguages, FirstSetLocaleVariableDecides) {
    EXPECT_EQ(preferredLanguages({{"LC_ALL", "ja_JP.eucJP"}, {"LANG", "de_DE.UTF-8"}}),
              (Languages{"ja-JP"}));
    EXPECT_EQ(preferredLanguages({{"LC_ALL", ""}, {"LC_MESSAGES", "zh_TW.UTF-8"}, {"LANG", "de"}}),
              (Languages{"zh-TW"}));
    EXPECT_EQ(preferredLanguages({{"LANG", "sr_RS.UTF-8@latin"}}), (Languages{"sr-RS"}));
}

TEST(PreferredLanguages, SkipsCAndPosixAndRepeats) {
    EXPECT_EQ(preferredLanguages({{"LANGUAGE", "C:POSIX:de_DE:de_DE.UTF-8"}, {"LANG", "C.UTF-8"}}),
              (Languages{"de-DE"}));
    EXPECT_EQ(preferredLanguages({{"LANG", "POSIX"}}), Languages{});
    EXPECT_EQ(preferredLanguages(foundation::Environment{}), Languages{});
    EXPECT_EQ(preferredLanguages({{"LANGUAGE", ":::"}, {"LANG", ".UTF-8"}}), Languages{});
}

} // namespace
