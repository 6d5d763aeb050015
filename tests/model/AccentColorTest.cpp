#include "model/AccentColor.h"

#include "model/ModuleColors.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

// Declared first: the accent is process-wide, and this case sees it before any replacement.
TEST(AccentColor, StartsAsThePaletteBlueWithBlackText) {
    EXPECT_EQ(accentColor(), gfx::Color::srgb(0.16, 0.58, 1.0));
    EXPECT_EQ(accentColor(), toColor(PaletteColor::blue));
    EXPECT_EQ(contrastingTextColor(), gfx::Color::black());
}

TEST(AccentColor, ReplacementReportsOnlyARealChange) {
    ASSERT_TRUE(applyAccentColor(toColor(PaletteColor::red)));
    EXPECT_EQ(accentColor(), toColor(PaletteColor::red));
    EXPECT_FALSE(applyAccentColor(toColor(PaletteColor::red)));
    EXPECT_FALSE(applyAccentColor(gfx::Color::srgb(1.0, 0.23, 0.19)));
    EXPECT_TRUE(applyAccentColor(initialAccentColor));
    EXPECT_EQ(accentColor(), initialAccentColor);
}

TEST(AccentColor, ThemeColourDecidesTheTextColour) {
    ModuleColors colors{{{"theme", rawValue(PaletteColor::yellow)}}};
    applyAccentColor(toColor(colors.color(ColorSlot::theme, true)));
    EXPECT_EQ(contrastingTextColor(), gfx::Color::black());

    colors.setColor(PaletteColor::indigo, ColorSlot::theme);
    applyAccentColor(toColor(colors.color(ColorSlot::theme, true)));
    EXPECT_EQ(contrastingTextColor(), gfx::Color::white());
    applyAccentColor(initialAccentColor);
}

TEST(AccentColor, ContrastFollowsTheLuminanceThreshold) {
    EXPECT_EQ(contrastingTextColor(gfx::Color::white()), gfx::Color::black());
    EXPECT_EQ(contrastingTextColor(gfx::Color::black()), gfx::Color::white());
    // Grey 0.46 lies just under the threshold, 0.47 just over it.
    EXPECT_EQ(contrastingTextColor(gfx::Color::grey(0.46)), gfx::Color::white());
    EXPECT_EQ(contrastingTextColor(gfx::Color::grey(0.47)), gfx::Color::black());
    // A colour with no sRGB form is read as the initial accent.
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(contrastingTextColor(gfx::Color::srgb(nan, 0, 0)), gfx::Color::black());
}

// Notes every invalidation it gets, by name, into a shared log.
class RecordingView : public ui::View {
public:
    RecordingView(std::string name, std::vector<std::string>& log)
        : View(gfx::Rect(0, 0, 10, 10)), name_(std::move(name)), log_(log) {}
    void setNeedsDisplay(bool flag) override {
        log_.push_back(name_);
        View::setNeedsDisplay(flag);
    }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class AccentRedraw : public ::testing::Test {
protected:
    void SetUp() override {
        applyAccentColor(initialAccentColor);
        for (auto* name : {"first", "second"}) {
            auto window =
                std::make_shared<ui::Window>(gfx::Rect(0, 0, 100, 100), ui::Style::borderless);
            auto root = std::make_shared<RecordingView>(std::string(name) + ".root", log);
            auto child = std::make_shared<RecordingView>(std::string(name) + ".child", log);
            auto grandchild =
                std::make_shared<RecordingView>(std::string(name) + ".grandchild", log);
            auto sibling = std::make_shared<RecordingView>(std::string(name) + ".sibling", log);
            child->addSubview(grandchild);
            root->addSubview(child);
            root->addSubview(sibling);
            window->setContentView(root);
            windows.push_back(window);
        }
        log.clear();
    }
    void TearDown() override { applyAccentColor(initialAccentColor); }

    dispatch::VirtualClock clock{100.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};
    std::vector<std::shared_ptr<ui::Window>> windows;
    std::vector<std::string> log;
};

TEST_F(AccentRedraw, AnotherColourRedrawsEveryWindowOnceDepthFirst) {
    EXPECT_TRUE(applyAccentColor(toColor(PaletteColor::pink)));
    EXPECT_EQ(log, (std::vector<std::string>{"first.root", "first.child", "first.grandchild",
                                             "first.sibling", "second.root", "second.child",
                                             "second.grandchild", "second.sibling"}));
    EXPECT_TRUE(windows[0]->contentView()->subviews()[0]->needsDisplay());
}

TEST_F(AccentRedraw, TheSameColourRedrawsNothing) {
    EXPECT_FALSE(applyAccentColor(initialAccentColor));
    EXPECT_TRUE(log.empty());
}

TEST(PaletteColor, ComponentsAreExact) {
    EXPECT_EQ(toColor(PaletteColor::green), gfx::Color::srgb(0.0, 0.82, 0.09));
    EXPECT_EQ(toColor(PaletteColor::indigo), gfx::Color::srgb(0.37, 0.36, 0.90));
    for (auto color : allPaletteColors) {
        EXPECT_EQ(toColor(color).alpha(), 1.0);
    }
}

} // namespace
} // namespace pulsedeck
