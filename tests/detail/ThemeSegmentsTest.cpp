#include "detail/ThemeSegments.h"

#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <gtest/gtest.h>

namespace {

using pulsedeck::ThemeSegments;

TEST(ThemeSegmentsTest, SegmentsShareTheWidthByWeight) {
    struct Case {
        std::vector<double> widths;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {{40, 0}, {97.56, 2.44}}, {{0, 0}, {50, 50}}, {{0, 0, 0}, {33.33, 33.33, 33.33}},
        {{0.5, 3}, {25, 75}},     {{}, {}},
    };
    for (const Case& c : cases) {
        const auto frames = pulsedeck::neutralSegmentFrames({10, 0, 100, 24}, c.widths);
        ASSERT_EQ(frames.size(), c.expected.size());
        double x = 10;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_NEAR(frames[i].width(), c.expected[i], 0.005);
            EXPECT_NEAR(frames[i].minX(), x, 1e-9) << "segments abut";
            x = frames[i].maxX();
        }
    }
}

class ThemeSegmentsClickTest : public toolkittest::ToolkitFixture {};

TEST_F(ThemeSegmentsClickTest, AClickHitsTheSegmentDrawnUnderIt) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 100}, ui::Style::titled);
    window->makeKeyAndOrderFront();
    std::vector<int> chosen;
    auto segments = std::make_shared<ThemeSegments>(
        std::vector<std::string>{"Chart", "Off"}, ui::SegmentTracking::selectOne,
        [&](ui::Control& sender) {
            chosen.push_back(static_cast<ThemeSegments&>(sender).selectedSegment());
        });
    segments->setFrame({0, 0, 100, 24});
    segments->setWidth(40, 0);
    window->contentView()->addSubview(segments);

    // The standard layout would end the first segment at 40; this one is drawn to 97.56.
    server.click({100 + 97, 112});
    server.click({100 + 98, 112});
    EXPECT_EQ(chosen, (std::vector<int>{0, 1}));
}

} // namespace
