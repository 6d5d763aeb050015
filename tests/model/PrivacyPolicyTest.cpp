#include "model/PrivacyPolicy.h"

#include "model/SafeWebURL.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

class PrivacyPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        // The workspace may run its opener on another thread; the first call is what counts.
        app.workspace().setOpener([this](const std::vector<std::string>& argv) {
            std::call_once(once, [&] { opened.set_value(argv); });
            return true;
        });
    }

    dispatch::VirtualClock clock{100.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};
    std::once_flag once;
    std::promise<std::vector<std::string>> opened;
};

TEST_F(PrivacyPolicy, HandsThePrivacyPageToTheBrowser) {
    auto argv = opened.get_future();
    EXPECT_TRUE(openPrivacyPolicy());
    ASSERT_EQ(argv.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    auto arguments = argv.get();
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(arguments.back(), std::string(productWebsite) + "/privacy");
}

} // namespace
} // namespace pulsedeck
