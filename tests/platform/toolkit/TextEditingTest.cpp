#include "platform/toolkit/TextEditing.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ui {
namespace {

TEST(TextEditing, KeepsOnlyValidTextWithPlainLineBreaks) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"plain", "plain"},
        {"a\r\nb\rc\nd", "a\nb\nc\nd"},
        {"\r\r\n", "\n\n"},
        {"tab\tstays", "tab\tstays"},
        {std::string("bell\a nul\0 esc\x1b del\x7f", 20), "bell nul esc del"},
        {"\xff\xfe ok", "\xEF\xBF\xBD\xEF\xBF\xBD ok"},
        {"cut \xe2\x80", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},
        {"é — 😀", "é — 😀"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(TextEditing::sanitized(entry.input), entry.expected) << entry.input;
}

TEST(TextEditing, InsertReplacesTheSelectionAndEraseWorksEitherWay) {
    TextEditing editing;
    editing.setText("Hello world");
    EXPECT_EQ(editing.selection(), (TextSelection{11, 11}));
    editing.select(6, 11);
    EXPECT_EQ(editing.selectedText(), "world");
    editing.insert("there\r\nfriend");
    EXPECT_EQ(editing.text(), "Hello there\nfriend");
    EXPECT_EQ(editing.selection(), (TextSelection{18, 18}));
    editing.erase(11, 5);
    EXPECT_EQ(editing.text(), "Hello\nfriend");
    EXPECT_EQ(editing.selection(), (TextSelection{5, 5}));
    editing.selectAll();
    editing.insert("");
    EXPECT_EQ(editing.text(), "");
}

TEST(TextEditing, OffsetsNeverSplitACharacter) {
    TextEditing editing;
    editing.setText("a—b"); // the dash is three bytes, 1..3
    editing.select(2, 3);
    EXPECT_EQ(editing.selection(), (TextSelection{1, 1}));
    editing.select(0, 99);
    EXPECT_EQ(editing.selection(), (TextSelection{0, 5}));
    editing.erase(2, 5);
    EXPECT_EQ(editing.text(), "a");
}

TEST(TextEditing, WordAtFindsWordsAndRunsBetweenThem) {
    TextEditing editing;
    editing.setText("naïve café, 2024!\nnext");
    auto word = [&](std::size_t offset) {
        const TextSelection found = editing.wordAt(offset);
        return editing.text().substr(found.lower(), found.upper() - found.lower());
    };
    EXPECT_EQ(word(0), "naïve");
    EXPECT_EQ(word(3), "naïve");
    EXPECT_EQ(word(8), "café");
    EXPECT_EQ(word(12), ", ");
    EXPECT_EQ(word(15), "2024");
    EXPECT_EQ(word(editing.text().size()), "next");
    EXPECT_EQ(word(19), "!\n");
}

} // namespace
} // namespace ui
