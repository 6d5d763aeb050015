#include "model/PrivacyPolicy.h"

#include "model/SafeWebURL.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

class PrivacyPolicy : public ::testing::Test {
protected:
    void SetUp() override {
        app.workspace().setOpener([this](const std::vector<std::string>& argv) {
            opened.push_back(argv);
            return openerSucceeds;
        });
    }

    dispatch::VirtualClock clock{100.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};
    std::vector<std::vector<std::string>> opened;
    bool openerSucceeds = true;
};

TEST_F(PrivacyPolicy, OpensThePrivacyPageInTheBrowser) {
    EXPECT_TRUE(openPrivacyPolicy());
    ASSERT_EQ(opened.size(), 1u);
    ASSERT_FALSE(opened[0].empty());
    EXPECT_EQ(opened[0].back(), std::string(productWebsite) + "/privacy");
}

TEST_F(PrivacyPolicy, ReportsABrowserThatCouldNotOpen) {
    openerSucceeds = false;
    EXPECT_FALSE(openPrivacyPolicy());
    EXPECT_EQ(opened.size(), 1u);
}

} // namespace
} // namespace pulsedeck
