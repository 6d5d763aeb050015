#include "platform/foundation/ProcessRunner.h"
#include "platform/toolkit/TextView.h"
#include "platform/toolkit/Workspace.h"
#include "support/X11TestSupport.h"
#include "updates/SupportFeedback.h"

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <future>

namespace pulsedeck {
namespace {

class SupportFeedbackX11Test : public testsupport::X11Fixture {
protected:
    // Another program's clipboard call, run while our loop answers the selection.
    foundation::ProcessResult runWhileServing(std::vector<std::string> argv) {
        setenv("DISPLAY", xvfb.displayName().c_str(), 1);
        foundation::ProcessOptions options;
        options.timeLimit = std::chrono::seconds(5);
        auto result = std::async(std::launch::async,
                                 [argv, options] { return foundation::runProcess(argv, options); });
        runUntil(
            [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            8);
        return result.get();
    }

    // Types text through XTest; a character the keyboard lacks is put on a spare key first.
    void type(const std::string& text) {
        int low = 0, high = 0;
        XDisplayKeycodes(user, &low, &high);
        for (std::size_t i = 0; i < text.size();) {
            std::size_t length = 1;
            while (i + length < text.size() && (text[i + length] & 0xc0) == 0x80)
                ++length;
            const std::string character = text.substr(i, length);
            i += length;
            KeySym symbol = character == " " ? XK_space : XStringToKeysym(character.c_str());
            if (character == "é")
                symbol = XK_eacute;
            KeyCode code = XKeysymToKeycode(user, symbol);
            if (!code) {
                code = KeyCode(high);
                XChangeKeyboardMapping(user, code, 1, &symbol, 1);
                XSync(user, False);
                settle(0.1);
            }
            const bool upper = symbol >= XK_A && symbol <= XK_Z;
            if (upper)
                key(XK_Shift_L, true);
            XTestFakeKeyEvent(user, code, True, CurrentTime);
            XTestFakeKeyEvent(user, code, False, CurrentTime);
            XFlush(user);
            if (upper)
                key(XK_Shift_L, false);
            settle(0.03);
        }
    }

    // A point of the panel's content (y up from its bottom) in root pixels.
    std::pair<int, int> rootPixelOf(const ui::Window& panel, double x, double y) {
        return {int(panel.frame().minX() + x), int(screenHeight - (panel.frame().minY() + y))};
    }
};

TEST_F(SupportFeedbackX11Test, TypedMessageIsCopiedToTheClipboardAndPastedBack) {
    const std::string systemLine = "Debian GNU/Linux 12 (bookworm)";
    SupportFeedback feedback("2.1.0", systemLine);
    app->workspace().setOpener([](const std::vector<std::string>&) { return true; });
    feedback.show(AppLanguage::english);
    const auto panel = feedback.panel();
    ASSERT_TRUE(runUntil([&] { return viewable(*panel); }));
    settle(0.2);

    type("Hi é");
    ASSERT_TRUE(runUntil([&] { return feedback.message().string() == "Hi é"; }))
        << feedback.message().string();

    const auto [copyX, copyY] = rootPixelOf(*panel, 278, 67);
    click(copyX, copyY);
    ASSERT_TRUE(runUntil([&] { return !feedback.status().empty(); }));
    const auto copied = runWhileServing({"xclip", "-o", "-selection", "clipboard"});
    ASSERT_TRUE(copied.succeeded()) << copied.standardOutput;
    EXPECT_EQ(copied.standardOutput, "Pulsedeck 2.1.0\n" + systemLine + "\n\nHi é");

    // Copied again, the clipboard holds the new text: the server's word that the first copy was
    // cleared comes after the second one took the clipboard, and must not drop it.
    type("a");
    click(copyX, copyY);
    ASSERT_TRUE(runUntil([&] { return feedback.message().string() == "Hi éa"; }));
    settle(0.2);
    const auto again = runWhileServing({"xclip", "-o", "-selection", "clipboard"});
    ASSERT_TRUE(again.succeeded()) << again.standardOutput << again.standardError;
    EXPECT_EQ(again.standardOutput, "Pulsedeck 2.1.0\n" + systemLine + "\n\nHi éa");

    panel->display();
    settle(0.2);
    const gfx::Rect frame = panel->frame();
    captureRoot(int(frame.minX()), int(screenHeight - frame.maxY()), int(frame.width()),
                int(frame.height()))
        .writePng(testsupport::artifactPath("feedback-panel-x11.png"));

    // Another program's text comes in through Control-V.
    testsupport::TemporaryDirectory folder;
    const auto source = folder.path() / "clip.txt";
    std::ofstream(source) << " — pasted ✓";
    auto offer = std::async(std::launch::async, [source] {
        foundation::ProcessOptions options;
        options.timeLimit = std::chrono::seconds(5);
        return foundation::runProcess(
            {"xclip", "-quiet", "-loops", "1", "-selection", "clipboard", "-i", source.string()},
            options);
    });
    settle(0.3);
    key(XK_Control_L, true);
    key(XK_v, true);
    key(XK_v, false);
    key(XK_Control_L, false);
    EXPECT_TRUE(runUntil([&] { return feedback.message().string() == "Hi éa — pasted ✓"; }, 5))
        << feedback.message().string();
    runUntil([&] { return offer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
             6);
}

// A dead key and the letter after it compose one character through the input method, with the
// locale's compose table (C.UTF-8 uses the one of en_US.UTF-8).
class ComposeX11Test : public SupportFeedbackX11Test {
protected:
    void SetUp() override {
        previous_ = std::setlocale(LC_CTYPE, nullptr);
        ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
        ASSERT_NO_FATAL_FAILURE(openServer(1));
    }
    void TearDown() override {
        SupportFeedbackX11Test::TearDown();
        std::setlocale(LC_CTYPE, previous_.c_str());
    }

private:
    std::string previous_;
};

TEST_F(ComposeX11Test, ADeadKeyComposesWithTheNextLetter) {
    SupportFeedback feedback("2.1.0", "Debian GNU/Linux 12 (bookworm)");
    feedback.show(AppLanguage::english);
    ASSERT_TRUE(runUntil([&] { return viewable(*feedback.panel()); }));
    settle(0.2);
    int low = 0, high = 0;
    XDisplayKeycodes(user, &low, &high);
    KeySym dead = XK_dead_acute;
    const KeyCode deadKey = KeyCode(high - 1);
    XChangeKeyboardMapping(user, deadKey, 1, &dead, 1);
    XSync(user, False);
    settle(0.1);
    XTestFakeKeyEvent(user, deadKey, True, CurrentTime);
    XTestFakeKeyEvent(user, deadKey, False, CurrentTime);
    XFlush(user);
    settle(0.05);
    type("e");
    EXPECT_TRUE(runUntil([&] { return feedback.message().string() == "é"; }))
        << "typed: " << feedback.message().string();
}

} // namespace
} // namespace pulsedeck
