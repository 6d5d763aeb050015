#include "model/PrivacyPolicy.h"

#include "model/SafeWebURL.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pulsedeck {
namespace {

class PrivacyPolicy : public ::testing::Test {
protected:
    dispatch::VirtualClock clock{100.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};
};

// The privacy page goes to the browser; where nothing opens it (xdg-open fails for want of a
// browser, or there is no xdg-open), the user is told so and given the address.
TEST_F(PrivacyPolicy, GoesToTheBrowserOrTellsWhereToFindIt) {
    const std::string page = std::string(productWebsite) + "/privacy";
    struct Case {
        const char* name;
        // What the desktop's opener answers; none: there is no xdg-open at all.
        std::optional<bool> opens;
    };
    const Case cases[] = {{"a browser opens it", true},
                          {"xdg-open finds no browser", false},
                          {"there is no xdg-open", std::nullopt}};
    for (const Case& c : cases) {
        std::atomic<bool> called = false;
        std::vector<std::string> argv;
        testsupport::TemporaryDirectory emptyPath;
        std::optional<testsupport::ScopedEnvironment> path;
        if (c.opens) {
            app.workspace().setOpener([&, opens = *c.opens](const std::vector<std::string>& run) {
                argv = run;
                called = true;
                return opens;
            });
        } else {
            path.emplace("PATH", emptyPath.path().string());
            app.workspace() = ui::Workspace();
        }
        const auto alerts = server.modalSessions().size();
        server.answerNextModal("OK");
        EXPECT_EQ(openPrivacyPolicy(AppLanguage::english), c.opens.has_value()) << c.name;
        for (int i = 0; i < 400 && server.modalSessions().size() == alerts; ++i) {
            loop.runUntilIdle();
            if (called && c.opens == true)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (c.opens) {
            EXPECT_EQ(argv, (std::vector<std::string>{"xdg-open", page})) << c.name;
        }
        if (c.opens == true) {
            loop.runUntilIdle();
            EXPECT_EQ(server.modalSessions().size(), alerts) << c.name << ": nothing to tell";
            continue;
        }
        ASSERT_EQ(server.modalSessions().size(), alerts + 1) << c.name;
        EXPECT_NE(server.modalTexts().back().find(page), std::string::npos)
            << c.name << ": " << server.modalTexts().back();
    }
}

} // namespace
} // namespace pulsedeck
