#include "app/AppDelegate.h"
#include "controls/SliderTracking.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/ModuleSectionView.h"
#include "detail/ThemeSegments.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/ViewController.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/DetailViewProbe.h"
#include "support/ProgramX11Fixture.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/keysym.h>
// clang-format on

namespace pulsedeck {
namespace {

// The whole program on a private X server: the user clicks the status item, works the popover's
// controls and closes it with Escape.
class DetailPopoverX11 : public testing::ProgramX11Fixture {
protected:
    void clickPoint(const ui::View& view, gfx::Point point) {
        const auto [x, y] =
            pixel(view.window()->convertPointToScreen(view.convertPointToView(point, nullptr)));
        click(x, y);
    }
    gfx::Size popoverSize() const { return delegate->details().popover()->window()->frame().size; }
    void photograph(const std::string& name) {
        EXPECT_TRUE(captureScreen(delegate->details().popover()->window()->frame())
                        .writePng(testsupport::artifactPath(name)));
    }
    std::optional<bool> storedMemorySwitch() const {
        std::ifstream file(config.path() / (std::string(domain) + ".json"));
        const auto stored = nlohmann::json::parse(file, nullptr, false);
        if (!stored.is_object() || !stored.contains("memoryEnabled"))
            return std::nullopt;
        return stored["memoryEnabled"].is_boolean()
                   ? std::optional<bool>(stored["memoryEnabled"].get<bool>())
                   : std::nullopt;
    }
};

TEST_F(DetailPopoverX11, ThePopoverShowsTheDetailsAndEveryChoiceReachesTheProgram) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::memory));

    DetailView& view = *delegate->details().view();
    const DetailViewProbe probe(view);
    EXPECT_EQ(delegate->details().popover()->contentViewController()->view().get(), &view);
    EXPECT_EQ(view.window(), delegate->details().popover()->window().get());
    EXPECT_EQ(popoverSize().width, 318);
    EXPECT_EQ(popoverSize().height, view.preferredHeight());
    photograph("DetailPopoverX11-details-light.png");

    // The memory card's switch turns the module off on the strip and in the preferences file.
    ASSERT_TRUE(probe.moduleSwitch(ModuleKind::memory).window());
    clickScreen(centreOnScreen(probe.moduleSwitch(ModuleKind::memory)));
    ASSERT_TRUE(runUntil(
        [&] { return !delegate->settings().main().look.modules.shows(ModuleKind::memory); }));
    EXPECT_FALSE(delegate->statusStrip().view()->moduleWidth(ModuleKind::memory));
    EXPECT_EQ(probe.moduleSwitch(ModuleKind::memory).state(), ui::ControlState::off);
    EXPECT_TRUE(runUntil([&] { return storedMemorySwitch() == false; }));
    EXPECT_TRUE(delegate->details().popover()->isShown()) << "it stays for the next choice";

    // The overview asks for a wider popover (once the popover has taken its new height).
    settle(0.5);
    const gfx::Rect choice = probe.presentationChoice().bounds();
    clickPoint(probe.presentationChoice(), {choice.maxX() - 20, choice.midY()});
    ASSERT_TRUE(runUntil(
        [&] {
            return delegate->settings().main().look.presentation == DetailPresentation::overview;
        },
        3));
    ASSERT_TRUE(runUntil([&] { return popoverSize().width == view.contentWidth(); }));
    EXPECT_GT(popoverSize().width, 318);
    EXPECT_EQ(defaults->stringForKey(PreferenceKey::detailPresentation), "overview");
    settle(0.4);
    photograph("DetailPopoverX11-overview-light.png");

    delegate->details().view()->editLook(
        [=](StripLook& l) { l.appearance = AppearanceMode::dark; });
    settle(0.4);
    photograph("DetailPopoverX11-overview-dark.png");
    clickPoint(probe.presentationChoice(), {20, probe.presentationChoice().bounds().midY()});
    ASSERT_TRUE(runUntil([&] { return popoverSize().width == 318; }));
    settle(0.4);
    photograph("DetailPopoverX11-details-dark.png");

    // Escape closes it.
    escape();
    EXPECT_TRUE(runUntil([&] { return !delegate->details().popover()->isShown(); }));
}

TEST_F(DetailPopoverX11, TheCardsShowLiveFiguresThatMoveOnFromSecondToSecond) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::memory));

    DetailView& view = *delegate->details().view();
    const DetailViewProbe probe(view);
    // The memory card's figures are the machine's, not the empty dashes.
    EXPECT_NE(view.state().readings.memory.physical, "\u2014");
    const std::size_t samples = view.state().readings.memoryHistory.size();
    const gfx::Rect chart = probe.regions(ModuleKind::memory).at("memoryChart");
    const gfx::Rect onScreen = delegate->details().popover()->window()->convertRectToScreen(
        probe.card(ModuleKind::memory).content().convertRectToView(chart, nullptr));
    photograph("DetailCardsX11-first.png");
    const auto first = captureScreen(onScreen);
    ASSERT_TRUE(
        runUntil([&] { return view.state().readings.memoryHistory.size() >= samples + 3; }, 6));
    settle(0.3);
    photograph("DetailCardsX11-later.png");

    // The memory chart took three more samples: its card shows them.
    const auto later = captureScreen(onScreen);
    int changed = 0;
    for (int row = 0; row < first.height; ++row)
        for (int column = 0; column < first.width; ++column)
            changed += !(first.at(column, row) == later.at(column, row));
    EXPECT_GT(changed, 10);
}

// The chart length widens the strip, which grows leftwards under the details: the details stay
// where the click put them, so the knob stays under the pointer through the whole drag.
TEST_F(DetailPopoverX11, TheChartLengthKnobStaysUnderThePointerWhileTheStripWidens) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::memory));
    const DetailViewProbe probe(*delegate->details().view());
    ThemeSlider& slider = probe.chartLengthSlider();
    ASSERT_EQ(slider.doubleValue(), 85);
    const gfx::Rect popoverBefore = delegate->details().popover()->window()->frame();
    const double stripBefore = delegate->statusStrip().view()->frame().width();
    const auto knobOnScreen = [&](double value) {
        const gfx::Rect bounds = slider.bounds();
        const double centre =
            sliderKnobCentre(value, slider.minValue(), slider.maxValue(), bounds.width());
        return slider.window()->convertPointToScreen(
            slider.convertPointToView({bounds.minX() + centre, bounds.midY()}, nullptr));
    };
    const gfx::Point start = knobOnScreen(85);
    const gfx::Point end = knobOnScreen(120);
    moveScreen(start);
    settle(0.05);
    button(1, true);
    constexpr int steps = 12;
    for (int step = 1; step <= steps; ++step) {
        const double x = start.x + (end.x - start.x) * step / steps;
        moveScreen({x, start.y});
        settle(0.12);
        SCOPED_TRACE(step);
        EXPECT_NEAR(knobOnScreen(slider.doubleValue()).x, x, 1) << "the knob is under the pointer";
        EXPECT_EQ(delegate->details().popover()->window()->frame(), popoverBefore);
    }
    // The strip and the details, with the pointer (which a capture leaves out) drawn as a red
    // cross.
    const gfx::Rect area = delegate->details().popover()->window()->frame().unionWith(
        *delegate->statusStrip().view()->statusItemScreenFrame());
    auto shot = captureScreen(area);
    const auto [areaX, areaY] = pixel({area.minX(), area.maxY() - 1});
    const auto [pointerX, pointerY] = pixel({end.x, end.y});
    for (int d = -8; d <= 8; ++d)
        for (const auto& [column, row] : {std::pair{pointerX - areaX + d, pointerY - areaY},
                                          std::pair{pointerX - areaX, pointerY - areaY + d}})
            if (column >= 0 && row >= 0 && column < shot.width && row < shot.height)
                shot.pixels[std::size_t(row * shot.width + column)] = 0xff0000;
    EXPECT_TRUE(shot.writePng(testsupport::artifactPath("DetailPopoverX11-chart-length-120.png")));
    button(1, false);
    EXPECT_TRUE(
        runUntil([&] { return delegate->settings().main().look.modules.chartLength == 120; }, 3))
        << delegate->settings().main().look.modules.chartLength;
    EXPECT_GT(delegate->statusStrip().view()->frame().width(), stripBefore) << "the strip widened";
}

TEST_F(DetailPopoverX11, AHeaderDragReordersTheCardsTheStripAndThePreferences) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::memory));

    // Focused on memory, the other cards show only their headers; the chevron closes memory's.
    DetailView& view = *delegate->details().view();
    const DetailViewProbe probe(view);
    ModuleSectionView& memoryCard = probe.card(ModuleKind::memory);
    clickScreen(centreOnScreen(*memoryCard.disclosure()));
    ASSERT_TRUE(runUntil([&] { return !view.isSectionExpanded(ModuleKind::memory); }));
    settle(0.5);
    photograph("CardDragX11-0-headers.png");

    // Press on the memory header's icon and drag it over the fan's header, then the network's.
    auto onScreen = [&](gfx::Point inBody) {
        return pixel(
            view.window()->convertPointToScreen(probe.body().convertPointToView(inBody, nullptr)));
    };
    auto headerOf = [&](ModuleKind kind) {
        return gfx::Point{27, probe.card(kind).frame().minY() + 20};
    };
    const gfx::Point start = headerOf(ModuleKind::memory);
    const gfx::Point overFan = headerOf(ModuleKind::fan);
    const gfx::Point overNetwork = headerOf(ModuleKind::network);
    const auto [startX, startY] = onScreen(start);
    moveTo(startX, startY);
    button(1, true);
    settle(0.1);
    for (gfx::Point step : {gfx::Point{start.x, start.y + 2}, gfx::Point{start.x, start.y + 8},
                            overFan, overNetwork}) {
        const auto [stepX, stepY] = onScreen(step);
        moveTo(stepX, stepY);
        settle(0.15);
        if (step == overFan)
            photograph("CardDragX11-1-over-fan.png");
    }
    EXPECT_EQ(probe.draggedModule(), ModuleKind::memory);
    photograph("CardDragX11-2-over-network.png");
    button(1, false);
    ASSERT_TRUE(runUntil([&] { return !probe.draggedModule(); }));
    settle(0.4);
    photograph("CardDragX11-3-dropped.png");

    const std::vector<ModuleKind> leading{ModuleKind::fan, ModuleKind::network, ModuleKind::memory};
    ASSERT_GE(view.state().look.modules.order.size(), 3u);
    EXPECT_EQ(std::vector<ModuleKind>(view.state().look.modules.order.begin(),
                                      view.state().look.modules.order.begin() + 3),
              leading);
    EXPECT_TRUE(runUntil(
        [&] {
            const auto stored = defaults->stringArrayForKey(PreferenceKey::moduleOrder);
            return stored && stored->size() >= 3 && (*stored)[0] == "fan" &&
                   (*stored)[1] == "network" && (*stored)[2] == "memory";
        },
        3));
    EXPECT_TRUE(runUntil(
        [&] {
            return delegate->statusStrip().view()->rect(ModuleKind::network).minX() <
                   delegate->statusStrip().view()->rect(ModuleKind::memory).minX();
        },
        3))
        << "the strip follows";
}

} // namespace
} // namespace pulsedeck
