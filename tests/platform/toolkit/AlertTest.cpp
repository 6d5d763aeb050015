#include "platform/toolkit/Alert.h"

#include "ToolkitFixture.h"
#include "platform/dispatch/Timer.h"

#include <algorithm>

namespace {

using toolkittest::ToolkitFixture;

class AlertTest : public ToolkitFixture {
protected:
    void SetUp() override {
        alert.setMessageText("A new version is available");
        alert.setInformativeText("Version 2.0 brings a calmer strip and faster sampling.");
        alert.addButton("Install");
        alert.addButton("Later");
        alert.addButton("Cancel");
    }

    gfx::Point centreOfButton(std::size_t index) const {
        const auto& button = alert.buttons()[index];
        return alert.window()
            ->convertRectToScreen(button->convertRectToView(button->bounds(), nullptr))
            .center();
    }

    ui::Alert alert;
};

TEST_F(AlertTest, ReturnsTheScriptedButton) {
    server.answerNextModal("Later");
    EXPECT_EQ(alert.runModal(), ui::ModalResponse::alertSecondButton);
    EXPECT_EQ(server.modalSessions().size(), 1u);
    EXPECT_EQ(alert.window(), nullptr);
    EXPECT_EQ(app.modalWindow(), nullptr);
}

TEST_F(AlertTest, ClickingAButtonAnswersIt) {
    loop.queue().asyncAfter(0.2, [&] { server.click(centreOfButton(2)); });
    EXPECT_EQ(alert.runModal(), ui::ModalResponse::alertThirdButton);
}

TEST_F(AlertTest, ReturnPressesTheFirstButtonAndEscapeTheCancelButton) {
    loop.queue().asyncAfter(0.1, [&] { server.key(ui::KeyCode::returnKey, "\r"); });
    EXPECT_EQ(alert.runModal(), ui::ModalResponse::alertFirstButton);
    loop.queue().asyncAfter(0.1, [&] { server.key(ui::KeyCode::escape, "\x1b"); });
    EXPECT_EQ(alert.runModal(), ui::ModalResponse::alertThirdButton);
}

TEST_F(AlertTest, OtherWindowsGetNoInputWhileCommonTimersRun) {
    struct Counting : ui::View {
        using View::View;
        void mouseDown(const ui::Event&) override { ++presses; }
        int presses = 0;
    };
    auto other = std::make_shared<ui::Window>(gfx::Rect{0, 0, 100, 100}, ui::Style::titled);
    auto view = std::make_shared<Counting>(gfx::Rect{0, 0, 100, 100});
    other->contentView()->addSubview(view);
    other->orderFront();
    int commonTicks = 0, defaultTicks = 0;
    dispatch::Timer common(
        0.1, true, [&] { ++commonTicks; }, dispatch::commonModes, loop);
    dispatch::Timer defaultOnly(
        0.1, true, [&] { ++defaultTicks; }, dispatch::RunLoopMode::defaultMode, loop);
    loop.queue().asyncAfter(0.35, [&] {
        server.click({50, 50});
        server.key(ui::KeyCode::returnKey, "\r");
    });
    EXPECT_EQ(alert.runModal(), ui::ModalResponse::alertFirstButton);
    EXPECT_EQ(view->presses, 0);
    EXPECT_EQ(commonTicks, 3);
    EXPECT_EQ(defaultTicks, 0);
}

TEST_F(ToolkitFixture, AnAlertWithoutButtonsGetsAnOkButton) {
    ui::Alert alert;
    server.answerNextModal("OK");
    EXPECT_EQ(alert.runModal(), ui::ModalResponse::alertFirstButton);
}

TEST(AlertText, WrapsAtWordsWithinTheWidth) {
    auto measure = [](const std::string& text) { return double(text.size()); };
    EXPECT_EQ(ui::wrapText("one two three four", 9, measure),
              (std::vector<std::string>{"one two", "three", "four"}));
    EXPECT_EQ(ui::wrapText("unbreakableword x", 5, measure),
              (std::vector<std::string>{"unbreakableword", "x"}));
    EXPECT_EQ(ui::wrapText("first\n\nthird", 20, measure),
              (std::vector<std::string>{"first", "", "third"}));
    EXPECT_TRUE(ui::wrapText("", 20, measure).empty());
    EXPECT_EQ(ui::wrapText("  indented  and   spaced ", 13, measure),
              (std::vector<std::string>{"indented  and", "spaced"}));
}

// Chinese and Japanese have no spaces between words: lines end between characters, never before
// closing punctuation, and nothing is lost.
TEST(AlertText, WrapsChineseAndJapaneseBetweenCharacters) {
    // Code points: every byte that does not continue a UTF-8 sequence.
    auto characters = [](const std::string& text) {
        return double(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    };
    const std::string texts[] = {
        "メニューバーのアイコンをクリックすると、詳細が表示されます。右クリックで設定を開きます。",
        "点击菜单栏中的图标即可查看详细信息。右键点击可打开设置，拖动可重新排列模块。",
    };
    for (const auto& text : texts) {
        const auto lines = ui::wrapText(text, 10, characters);
        ASSERT_GE(lines.size(), 4u) << text;
        std::string joined;
        for (const auto& line : lines) {
            EXPECT_LE(characters(line), 10) << line;
            EXPECT_FALSE(line.starts_with("。") || line.starts_with("、") || line.starts_with("，"))
                << line;
            joined += line;
        }
        EXPECT_EQ(joined, text);
    }
    // Latin words inside stay whole.
    EXPECT_EQ(ui::wrapText("メモリ Memory 表示", 8, characters),
              (std::vector<std::string>{"メモリ", "Memory 表", "示"}));
}

} // namespace
