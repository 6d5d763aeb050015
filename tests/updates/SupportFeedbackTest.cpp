#include "updates/SupportFeedback.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Pasteboard.h"
#include "platform/toolkit/TextView.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/RunUntil.h"
#include "support/TestPaths.h"
#include "updates/FeedbackButton.h"
#include "updates/FeedbackReport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace pulsedeck {
namespace {

const std::string systemLine = "Debian GNU/Linux 12 (bookworm)";

class SupportFeedbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.workspace().setOpener([this](const std::vector<std::string>& argv) {
            std::lock_guard lock(mutex);
            launched.push_back(argv);
            return !(argv.front() == "xdg-email" && mailFails) &&
                   !(argv.front() == "xdg-open" && browserFails);
        });
    }

    std::vector<std::vector<std::string>> launches() {
        std::lock_guard lock(mutex);
        return launched;
    }

    // Waits for the helpers the workspace started off the main thread, and their answers.
    void waitForLaunches(std::size_t count) {
        testsupport::runUntil(loop, [&] { return launches().size() >= count; });
        testsupport::settle(loop, 0.05);
    }

    std::optional<std::string> clipboard() {
        std::optional<std::string> text;
        ui::Pasteboard::general().readString([&](std::optional<std::string> got) { text = got; });
        loop.runUntilIdle();
        return text;
    }

    FeedbackButton* button(const std::string& title) {
        for (const auto& view : feedback.panel()->contentView()->subviews())
            if (auto* found = dynamic_cast<FeedbackButton*>(view.get());
                found && found->title() == title)
                return found;
        return nullptr;
    }

    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{{ui::HeadlessWindowServer::makeScreen({0, 0, 1280, 800}, 1)},
                                    dispatch::uptimeClock()};
    ui::Application app{server, loop};
    SupportFeedback feedback{"2.1.0", systemLine};
    std::mutex mutex;
    std::vector<std::vector<std::string>> launched;
    bool mailFails = false;
    bool browserFails = false;
};

TEST_F(SupportFeedbackTest, ABlankMessageOnlyReturnsTheCaretToIt) {
    feedback.show(AppLanguage::english);
    feedback.message().setString(" \n\t  \r\n");
    feedback.panel()->makeFirstResponder(nullptr);
    feedback.send();
    testsupport::settle(loop, 0.05);
    EXPECT_TRUE(launches().empty());
    EXPECT_EQ(feedback.status(), "");
    EXPECT_EQ(feedback.panel()->firstResponder(), &feedback.message());
}

TEST_F(SupportFeedbackTest, SendHandsTheMailLinkToTheMailHandler) {
    feedback.show(AppLanguage::english);
    feedback.message().setString("Hi & bye");
    ui::Pasteboard::general().setString("kept");
    button(text(Copy::feedbackSend, AppLanguage::english))->accessibilityPerformPress();
    waitForLaunches(1);
    const auto calls = launches();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{
                            "xdg-email",
                            feedbackMailURL("Pulsedeck 2.1.0\n" + systemLine + "\n\nHi & bye")}));
    EXPECT_EQ(feedback.status(), "");
    EXPECT_EQ(clipboard(), "kept");
}

TEST_F(SupportFeedbackTest, WithoutAMailHandlerTheReportGoesToTheClipboardAndSupportOpens) {
    mailFails = true;
    feedback.show(AppLanguage::english);
    feedback.message().setString("It froze");
    feedback.send();
    waitForLaunches(2);
    const auto calls = launches();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], (std::vector<std::string>{"xdg-open", *supportPageURL()}));
    EXPECT_EQ(clipboard(), feedback.report());
    EXPECT_EQ(feedback.status(), text(Copy::feedbackCopied, AppLanguage::english));
}

// Where nothing opens links, the support page's address reaches the user in an alert, as the
// other links' failures do; the report stays on the clipboard.
TEST_F(SupportFeedbackTest, ASupportPageNothingOpensIsToldWithItsAddress) {
    mailFails = true;
    browserFails = true;
    feedback.show(AppLanguage::english);
    feedback.message().setString("It froze");
    std::optional<ui::AccessibilityProperties> told;
    std::function<void()> look = [&] {
        if (ui::Window* alert = app.modalWindow()) {
            told = alert->contentView()->accessibility();
            server.key(ui::KeyCode::returnKey, "\r");
            return;
        }
        loop.queue().asyncAfter(0.01, look);
    };
    look();
    feedback.send();
    ASSERT_TRUE(testsupport::runUntil(loop, [&] { return told.has_value(); }));
    EXPECT_EQ(told->label, text(Copy::linkOpenFailed, AppLanguage::english));
    EXPECT_EQ(told->value,
              text(Copy::linkOpenFailedInfo, AppLanguage::english) + "\n" + *supportPageURL());
    EXPECT_EQ(server.modalSessions().size(), 1u);
    EXPECT_EQ(clipboard(), feedback.report());
    EXPECT_EQ(feedback.status(), text(Copy::feedbackCopied, AppLanguage::english));
}

TEST_F(SupportFeedbackTest, ShowingAgainKeepsTextsAndMessageAndLaterStatusFollowsTheLanguage) {
    feedback.show(AppLanguage::english);
    const auto panel = feedback.panel();
    EXPECT_EQ(panel->title(), "Pulsedeck — " + text(Copy::feedback, AppLanguage::english));
    EXPECT_EQ(panel->firstResponder(), &feedback.message());
    feedback.message().insertText("Merci");
    panel->close();
    EXPECT_FALSE(panel->isVisible());

    feedback.show(AppLanguage::french);
    EXPECT_EQ(feedback.panel(), panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(feedback.message().string(), "Merci");
    EXPECT_TRUE(button(text(Copy::feedbackSend, AppLanguage::english)))
        << "built texts stay as built";
    feedback.copyReport();
    EXPECT_EQ(feedback.status(), text(Copy::feedbackCopied, AppLanguage::french));
    EXPECT_EQ(clipboard(), "Pulsedeck 2.1.0\n" + systemLine + "\n\nMerci");

    feedback.message().setString("");
    feedback.copyReport();
    EXPECT_EQ(clipboard(), "Pulsedeck 2.1.0\n" + systemLine + "\n\n")
        << "an empty message is copied too";
}

// A message longer than one command-line argument may be cannot reach the mail handler: the
// launch itself fails, and the report must still reach the user.
TEST_F(SupportFeedbackTest, AMessageTooLongToHandOnTakesTheClipboardWay) {
    testsupport::TemporaryDirectory folder;
    const auto marker = folder.path() / "opened";
    for (const char* helper : {"xdg-email", "xdg-open"}) {
        std::ofstream script(folder.path() / helper);
        script << "#!/bin/sh\necho \"$0 $1\" >> '" << marker.string() << "'\n";
        script.close();
        std::filesystem::permissions(folder.path() / helper, std::filesystem::perms::owner_all);
    }
    const std::string previousPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (folder.path().string() + ":" + previousPath).c_str(), 1);
    ui::Workspace workspace;
    // The application's workspace, with its real launcher.
    app.workspace() = workspace;

    feedback.show(AppLanguage::english);
    feedback.message().setString(std::string(200 * 1024, 'x'));
    feedback.send();
    const bool copied = testsupport::runUntil(loop, [&] { return !feedback.status().empty(); });
    testsupport::runUntil(loop, [&] { return std::filesystem::exists(marker); });
    setenv("PATH", previousPath.c_str(), 1);
    EXPECT_TRUE(copied);
    EXPECT_EQ(clipboard(), feedback.report());
    std::ifstream opened(marker);
    std::string line;
    std::getline(opened, line);
    EXPECT_EQ(line, folder.path().string() + "/xdg-open " + *supportPageURL());
}

} // namespace
} // namespace pulsedeck
