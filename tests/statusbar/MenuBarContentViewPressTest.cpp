#include "StripPressFixture.h"
#include "statusbar/MenuBarContentView.h"
#include "support/MenuBarContentViewProbe.h"

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using striptest::StripPressFixture;

class StripPress : public StripPressFixture {
protected:
    // The event a global monitor would see for the press that just happened.
    ui::Event outsideCopy(ui::EventType type, gfx::Point point, double timestamp) {
        ui::Event::Fields fields;
        fields.type = type;
        fields.timestamp = timestamp;
        fields.screenLocation = point;
        return ui::Event(fields);
    }
};

TEST_F(StripPress, AMoveOfExactlyEightPointsIsAClick) {
    const gfx::Point start = centreOf(ModuleKind::network);
    server.mouseDown(start);
    server.movePointer({start.x + 8, start.y});
    server.mouseUp({start.x + 8, start.y});
    EXPECT_TRUE(drags.empty());
    ASSERT_EQ(moduleClicks.size(), 1u);
    EXPECT_EQ(moduleClicks[0], ModuleKind::network);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], start);
    EXPECT_FALSE(Probe::pressPending(*strip));
    EXPECT_FALSE(Probe::pressPolls(*strip));
}

TEST_F(StripPress, JustPastEightPointsIsADragThatEndsWithoutAClick) {
    const gfx::Point start = centreOf(ModuleKind::network);
    const gfx::Point first{start.x + 8.01, start.y};
    const gfx::Point away{start.x - 30, start.y - 200};
    server.mouseDown(start);
    server.movePointer(first);
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(drags[0].start, start);
    EXPECT_EQ(drags[0].current, first);
    EXPECT_FALSE(drags[0].ended);
    EXPECT_TRUE(Probe::dragsStripOut(*strip));

    server.movePointer(away);
    server.mouseUp(away);
    ASSERT_GE(drags.size(), 3u);
    EXPECT_EQ(drags.back().start, start);
    EXPECT_EQ(drags.back().current, away);
    EXPECT_TRUE(drags.back().ended);
    EXPECT_EQ(std::count_if(drags.begin(), drags.end(), [](auto& d) { return d.ended; }), 1);
    EXPECT_TRUE(moduleClicks.empty());
    EXPECT_TRUE(clicks.empty());
    EXPECT_FALSE(Probe::dragsStripOut(*strip));
}

TEST_F(StripPress, ControlGivesOnlyTheContextMenu) {
    const gfx::Point start = centreOf(ModuleKind::memory);
    server.mouseDown(start, ui::Modifier::control);
    server.mouseUp(start, ui::Modifier::control);
    ASSERT_EQ(contextMenus.size(), 1u);
    EXPECT_EQ(contextMenus[0].type(), ui::EventType::leftMouseDown);
    EXPECT_TRUE(moduleClicks.empty());
    EXPECT_TRUE(clicks.empty());
}

TEST_F(StripPress, ControlCountsAsItWasWhenThePressBegan) {
    const gfx::Point start = centreOf(ModuleKind::memory);
    clock.advance(1);
    server.mouseDown(start, ui::Modifier::control);
    server.mouseUp(start);
    EXPECT_EQ(contextMenus.size(), 1u);
    EXPECT_TRUE(moduleClicks.empty());

    clock.advance(1);
    server.mouseDown(start);
    server.mouseUp(start, ui::Modifier::control);
    EXPECT_EQ(contextMenus.size(), 1u);
    EXPECT_EQ(moduleClicks.size(), 1u);
}

TEST_F(StripPress, TheRightButtonOpensTheMenuAtOnce) {
    server.rightClick(centreOf(ModuleKind::devices));
    ASSERT_EQ(contextMenus.size(), 1u);
    EXPECT_EQ(contextMenus[0].type(), ui::EventType::rightMouseDown);
    EXPECT_FALSE(Probe::pressPending(*strip));
    EXPECT_TRUE(moduleClicks.empty());
}

TEST_F(StripPress, OnePressThroughTheViewAndTheMonitorStartsOnce) {
    const gfx::Point start = centreOf(ModuleKind::network);
    server.mouseDown(start);
    const double pressed = clock.now();
    ASSERT_TRUE(Probe::pressPending(*strip));
    Probe::handlePointerEvent(*strip, outsideCopy(ui::EventType::leftMouseDown, start, pressed));
    EXPECT_TRUE(Probe::pressPending(*strip));

    clock.advance(0.05);
    server.mouseUp(start);
    Probe::handlePointerEvent(*strip, outsideCopy(ui::EventType::leftMouseUp, start, clock.now()));
    // The monitor's copy of the press arriving late starts nothing either.
    Probe::handlePointerEvent(*strip, outsideCopy(ui::EventType::leftMouseDown, start, pressed));
    EXPECT_FALSE(Probe::pressPending(*strip));
    EXPECT_EQ(moduleClicks.size(), 1u);
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(StripPress, OnePressThroughTheMonitorAndThenTheViewStartsOnce) {
    const gfx::Point start = centreOf(ModuleKind::memory);
    server.movePointer(start);
    Probe::handlePointerEvent(*strip,
                              outsideCopy(ui::EventType::leftMouseDown, start, clock.now()));
    ASSERT_TRUE(Probe::pressPending(*strip));
    server.mouseDown(start);
    server.mouseUp(start);
    Probe::handlePointerEvent(*strip, outsideCopy(ui::EventType::leftMouseUp, start, clock.now()));
    EXPECT_EQ(moduleClicks, (std::vector<std::optional<ModuleKind>>{ModuleKind::memory}));
}

TEST_F(StripPress, TheButtonPollCarriesAndEndsAPressNoEventReports) {
    const gfx::Point start = centreOf(ModuleKind::network);
    const gfx::Point outside{200, 200};
    // The button goes down somewhere else; only the poll sees what follows.
    server.mouseDown(outside);
    Probe::beginPress(*strip, ModuleKind::network,
                      outsideCopy(ui::EventType::leftMouseDown, start, clock.now()), start);
    ASSERT_TRUE(Probe::pressPolls(*strip));
    server.movePointer({start.x, start.y - 20});
    runFor(0.02);
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_FALSE(drags[0].ended);

    server.mouseUp({start.x, start.y - 30});
    runFor(0.02);
    ASSERT_EQ(drags.size(), 2u);
    EXPECT_TRUE(drags[1].ended);
    EXPECT_EQ(drags[1].current, (gfx::Point{start.x, start.y - 20}));
    EXPECT_FALSE(Probe::pressPolls(*strip));
    EXPECT_TRUE(clicks.empty());
}

TEST_F(StripPress, AnAccessibilityPressRightAfterAPhysicalOneIsIgnored) {
    const gfx::Point start = centreOf(ModuleKind::network);
    server.click(start);
    ASSERT_EQ(moduleClicks.size(), 1u);
    clock.advance(0.24);
    EXPECT_TRUE(strip->accessibilityPerformPress());
    EXPECT_EQ(moduleClicks.size(), 1u);

    clock.advance(0.02);
    server.movePointer({200, 200});
    EXPECT_TRUE(strip->accessibilityPerformPress());
    ASSERT_EQ(moduleClicks.size(), 2u);
    EXPECT_EQ(moduleClicks[1], ModuleKind::memory);
    EXPECT_EQ(clicks.back(), std::nullopt);
}

TEST_F(StripPress, AnAccessibilityPressOverAModuleReportsItAndThePoint) {
    const gfx::Point over = centreOf(ModuleKind::devices);
    server.movePointer(over);
    EXPECT_TRUE(strip->accessibilityPerformPress());
    EXPECT_EQ(moduleClicks, (std::vector<std::optional<ModuleKind>>{ModuleKind::devices}));
    EXPECT_EQ(clicks, (std::vector<std::optional<gfx::Point>>{over}));
    // A physical press at the same instant is the same press.
    server.click(over);
    EXPECT_EQ(moduleClicks.size(), 1u);
}

TEST_F(StripPress, AnAccessibilityPressWithNothingShownReportsNoModule) {
    strip->setModuleImage(ModuleKind::memory, std::nullopt);
    strip->setModuleImage(ModuleKind::network, std::nullopt);
    strip->setModuleImage(ModuleKind::devices, std::nullopt);
    EXPECT_TRUE(strip->accessibilityPerformPress());
    EXPECT_EQ(moduleClicks, (std::vector<std::optional<ModuleKind>>{std::nullopt}));
}

TEST_F(StripPress, APressOnTheGapStartsNothing) {
    const gfx::Point gap =
        onScreen(ModuleKind::memory, strip->rect(ModuleKind::memory).width() + 4, 12);
    server.click(gap);
    EXPECT_FALSE(Probe::pressPending(*strip));
    EXPECT_TRUE(moduleClicks.empty());
}

} // namespace
} // namespace pulsedeck
