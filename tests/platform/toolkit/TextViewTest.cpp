#include "platform/toolkit/TextView.h"

#include "platform/graphics/AttributedString.h"
#include "platform/toolkit/Pasteboard.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <memory>
#include <string>

namespace ui {
namespace {

constexpr int backspace = 51;
constexpr int keyA = 0, keyC = 8, keyV = 9, keyX = 7;

class TextViewTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<Window>(gfx::Rect{100, 100, 300, 120}, Style::titled);
        auto content = std::make_shared<View>(gfx::Rect{0, 0, 300, 120});
        view = std::make_shared<TextView>(gfx::Rect{0, 0, 300, 120});
        view->setTextContainerInset({12, 12});
        content->addSubview(view);
        window->setContentView(content);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(view.get());
    }

    void type(const std::string& text) {
        for (std::size_t i = 0; i < text.size();) {
            std::size_t length = 1;
            while (i + length < text.size() && (text[i + length] & 0xc0) == 0x80)
                ++length;
            server.key(-1, text.substr(i, length));
            i += length;
        }
    }

    gfx::Point screenPoint(gfx::Point inView) {
        // The view is flipped: y counts down from its top edge.
        return window->convertPointToScreen(view->convertPointToView(inView, nullptr));
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<TextView> view;
};

TEST_F(TextViewTest, TypingEditingAndMovingTheCaret) {
    type("Hi é😀");
    EXPECT_EQ(view->string(), "Hi é😀");
    server.key(backspace, "\x7f");
    EXPECT_EQ(view->string(), "Hi é") << "backspace removes the whole emoji";
    server.key(KeyCode::returnKey, "\r");
    type("x");
    EXPECT_EQ(view->string(), "Hi é\nx");
    server.key(KeyCode::upArrow, "\xef\x9c\x80");
    type("!");
    EXPECT_EQ(view->string(), "H!i é\nx") << "up keeps the column of the caret";
    server.key(KeyCode::leftArrow, "\xef\x9c\x82", Modifier::shift);
    server.key(KeyCode::leftArrow, "\xef\x9c\x82", Modifier::shift);
    EXPECT_EQ(view->selectedRange(), (TextSelection{2, 0}));
    type("Y");
    EXPECT_EQ(view->string(), "Yi é\nx");
    // Command keys and function-key characters never type themselves.
    server.key(KeyCode::q, "q", Modifier::control);
    server.key(KeyCode::rightArrow, "\xef\x9c\x83");
    EXPECT_EQ(view->string(), "Yi é\nx");
    EXPECT_EQ(view->selectedRange(), (TextSelection{2, 2}));
}

TEST_F(TextViewTest, ClipboardCopyCutAndPaste) {
    type("one two");
    server.key(keyA, "a", Modifier::command);
    EXPECT_EQ(view->selectedRange(), (TextSelection{0, 7}));
    server.key(keyC, "c", Modifier::command);
    std::optional<std::string> clipboard;
    Pasteboard::general().readString([&](std::optional<std::string> text) { clipboard = text; });
    loop.runUntilIdle();
    EXPECT_EQ(clipboard, "one two");

    view->setSelectedRange(3, 7);
    server.key(keyX, "x", Modifier::command);
    EXPECT_EQ(view->string(), "one");
    server.key(keyV, "v", Modifier::command);
    loop.runUntilIdle();
    EXPECT_EQ(view->string(), "one two");

    Pasteboard::general().setString("line\r\nbreak\a");
    view->setSelectedRange(0, 0);
    server.key(keyV, "v", Modifier::command);
    loop.runUntilIdle();
    EXPECT_EQ(view->string(), "line\nbreakone two") << "pasted text is cleaned like typed text";
}

TEST_F(TextViewTest, ClicksPlaceTheCaretAndDoubleClicksSelectAWord) {
    view->setString("alpha beta gamma");
    server.movePointer(screenPoint({13, 20}));
    EXPECT_EQ(server.cursor(), CursorKind::iBeam);
    server.click(screenPoint({13, 20}));
    EXPECT_EQ(view->selectedRange(), (TextSelection{0, 0}));
    server.click(screenPoint({290, 20}));
    EXPECT_EQ(view->selectedRange().caret, 16u) << "right of the text is its end";
    const gfx::Point beta =
        screenPoint({13 + gfx::textSize("alpha be", gfx::TextAttributes{view->font()}).width, 20});
    NativeEvent press;
    press.fields.type = EventType::leftMouseDown;
    press.fields.screenLocation = beta;
    press.fields.clickCount = 2;
    press.window = window->windowNumber();
    server.inject(press);
    EXPECT_EQ(view->selectedRange(), (TextSelection{6, 10}));
}

TEST_F(TextViewTest, LongTextScrollsToFollowTheCaret) {
    std::string lines;
    for (int i = 0; i < 30; ++i)
        lines += "line " + std::to_string(i) + "\n";
    view->setString(lines);
    EXPECT_EQ(view->scrollOffset(), 0);
    const double maximum = view->maximumScrollOffset();
    EXPECT_GT(maximum, 300);
    server.key(KeyCode::downArrow, "\xef\x9c\x81", Modifier::command);
    EXPECT_DOUBLE_EQ(view->scrollOffset(), maximum) << "the caret at the end is in view";
    server.key(KeyCode::upArrow, "\xef\x9c\x80", Modifier::command);
    EXPECT_EQ(view->scrollOffset(), 0);

    NativeEvent wheel;
    wheel.fields.type = EventType::scrollWheel;
    wheel.fields.screenLocation = screenPoint({100, 60});
    wheel.fields.scrollingDeltaY = -1000;
    wheel.window = window->windowNumber();
    server.inject(wheel);
    EXPECT_DOUBLE_EQ(view->scrollOffset(), maximum) << "a big wheel step stops at the end";
}

} // namespace
} // namespace ui
