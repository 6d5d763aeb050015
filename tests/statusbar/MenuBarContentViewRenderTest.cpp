#include "SampleStrip.h"
#include "StripFixture.h"
#include "model/AccentColor.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripOrnaments.h"
#include "support/MenuBarContentViewProbe.h"
#include "support/TestPaths.h"

#include <cmath>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using striptest::StripFixture;

// Opens the view's own painting to the test.
class PaintedStrip : public MenuBarContentView {
public:
    using MenuBarContentView::drawRect;
    using MenuBarContentView::MenuBarContentView;
};

// The strip painted into a bitmap at scale 2 over a plain menu-bar background.
gfx::Bitmap paint(MenuBarContentView& strip, bool dark, std::optional<gfx::Color> background) {
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize(
        {strip.requiredWidth(), strip.presentationHeight().value_or(strip.bounds().height())}, 2);
    gfx::Context context(bitmap, dark ? gfx::Appearance::dark : gfx::Appearance::light);
    if (background) {
        context.setFillColor(*background);
        context.fillRect({{0, 0}, bitmap.size()});
    }
    strip.drawStrip(context, true, {{0, 0}, bitmap.size()});
    return bitmap;
}

// Image records pass through the context's base transform, so they carry rounding noise.
void expectRect(const gfx::Rect& actual, const gfx::Rect& expected) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

// The devices' arrival pulse `progress` of its way through, on the fixture's virtual clock.
void pulseTo(MenuBarContentView& strip, dispatch::VirtualClock& clock, dispatch::RunLoop& loop,
             double progress) {
    Probe::startDeviceAttentionPulse(strip);
    if (progress <= 0)
        return;
    clock.advance(progress * 0.72);
    loop.advanceAndRunDue(0);
}

double alphaAt(const gfx::Bitmap& bitmap, gfx::Point point) {
    return bitmap.pixelAtPoint(point).alpha / 255.0;
}

TEST_F(StripFixture, TheSelectionIsACapsuleUnderTheActiveModule) {
    for (bool dark : {false, true}) {
        auto strip = makeStrip();
        strip->setAppearance(dark ? gfx::Appearance::dark : gfx::Appearance::light);
        strip->setModuleImage(ModuleKind::memory, blankImage(40));
        strip->setModuleImage(ModuleKind::network, blankImage(60));
        strip->setFanMode(FanDisplayMode::hidden);
        strip->relayout();
        strip->setActiveModule(ModuleKind::network);
        loop.advanceAndRunDue(0.2);
        const gfx::Rect network = strip->rect(ModuleKind::network);

        const gfx::Bitmap bitmap = paint(*strip, dark, std::nullopt);
        const gfx::Rgba8 middle = bitmap.pixelAtPoint(network.center());
        EXPECT_NEAR(middle.alpha / 255.0, dark ? 0.13 : 0.08, 0.01);
        EXPECT_EQ(middle.red, dark ? middle.alpha : 0);
        // Rounded ends: the corner stays clear, the memory module is not highlighted.
        EXPECT_EQ(alphaAt(bitmap, {network.minX() + 0.75, network.minY() + 0.25}), 0);
        EXPECT_EQ(alphaAt(bitmap, strip->rect(ModuleKind::memory).center()), 0);

        // Halfway through the fade in.
        strip->setActiveModule(ModuleKind::network);
        clock.advance(0.09);
        loop.advanceAndRunDue(0);
        ASSERT_NEAR(Probe::selectionOpacity(*strip), 0.5, 1e-9);
        EXPECT_NEAR(alphaAt(paint(*strip, dark, std::nullopt), network.center()),
                    (dark ? 0.13 : 0.08) / 2, 0.01);
    }
    // The sheets people look at: the whole sample strip with the network selected and the devices
    // glowing, in a 24- and a 30-pt bar.
    const striptest::SampleReadings readings;
    for (double height : {24.0, 30.0}) {
        for (bool dark : {false, true}) {
            auto strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 600, height});
            strip->setAppearance(dark ? gfx::Appearance::dark : gfx::Appearance::light);
            striptest::fillSampleStrip(*strip, readings, dark, &clock);
            pulseTo(*strip, clock, loop, 0.5);
            strip->setActiveModule(ModuleKind::network);

            const gfx::Bitmap bitmap = paint(*strip, dark, gfx::Color::grey(dark ? 0.16 : 0.92));
            const std::string name =
                "strip-" + std::to_string(int(height)) + "-" + (dark ? "dark" : "light") + ".png";
            EXPECT_TRUE(bitmap.writePng(testsupport::artifactPath(name).string()));
        }
    }
}

TEST_F(StripFixture, TheDeviceGlowRisesAroundTheModuleOnlyWhilePulsing) {
    auto strip = std::make_shared<MenuBarContentView>(gfx::Rect{0, 0, 300, 40});
    strip->setPresentationHeight(24);
    strip->setModuleImage(ModuleKind::devices, blankImage(34));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->relayout();
    const gfx::Rect devices = strip->rect(ModuleKind::devices);
    auto paintTall = [&] {
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({60, 40}, 2);
        gfx::Context context(bitmap);
        strip->drawStrip(context, true, {0, 0, 60, 40});
        return bitmap;
    };
    const gfx::Point above{devices.midX(), devices.maxY() + 2};

    const gfx::Bitmap rest = paintTall();
    EXPECT_EQ(alphaAt(rest, above), 0);
    EXPECT_EQ(alphaAt(rest, devices.center()), 0);

    pulseTo(*strip, clock, loop, 0.5);
    ASSERT_NEAR(Probe::deviceAttentionProgress(*strip), 0.5, 1e-9);
    const gfx::Bitmap peak = paintTall();
    EXPECT_GT(alphaAt(peak, above), 0);
    const gfx::Rgba8 inside = peak.pixelAtPoint(devices.center());
    // The fill at 0.18 over its own faint shadow.
    EXPECT_GE(inside.alpha / 255.0, 0.17);
    EXPECT_LE(inside.alpha / 255.0, 0.3);
    EXPECT_GT(inside.blue, inside.red);

    pulseTo(*strip, clock, loop, 0.05);
    EXPECT_LT(alphaAt(paintTall(), above), alphaAt(peak, above));
}

TEST_F(StripFixture, ThePulsingImageGrowsAndTurnsOpaqueInTheFirstPart) {
    auto strip = makeStrip();
    strip->setModuleImage(ModuleKind::devices, blankImage(34));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->relayout();
    const gfx::Rect devices = strip->rect(ModuleKind::devices);
    auto imageDrawn = [&](double progress) {
        pulseTo(*strip, clock, loop, progress);
        gfx::RecordingContext context({60, 24});
        strip->drawStrip(context, true, {0, 0, 60, 24});
        const auto images = context.log().images();
        EXPECT_EQ(images.size(), 1u);
        return images.empty() ? gfx::ImageRecord{} : images.front();
    };
    const gfx::ImageRecord start = imageDrawn(0);
    expectRect(start.destination, devices.insetBy(2, 1));
    EXPECT_DOUBLE_EQ(start.fraction, 0.65);
    const gfx::ImageRecord grown = imageDrawn(0.5);
    expectRect(grown.destination, devices);
    EXPECT_DOUBLE_EQ(grown.fraction, 1);
    EXPECT_DOUBLE_EQ(imageDrawn(1).fraction, 1);
}

TEST_F(StripFixture, TheDraggedModuleIsPaintedLastAndOnlyDirtyModulesArePainted) {
    auto strip = makeStrip();
    strip->setModuleImage(ModuleKind::memory, blankImage(40));
    strip->setModuleImage(ModuleKind::network, blankImage(60));
    strip->setModuleImage(ModuleKind::compute, blankImage(50));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->setEditableModules({ModuleKind::memory});
    strip->relayout();
    // Memory dragged 30 points right, over the network module.
    strip->setSorting(true);
    const double grip = strip->rect(ModuleKind::memory).midX();
    Probe::beginSortDrag(*strip, ModuleKind::memory, grip);
    Probe::moveSortDrag(*strip, grip + 30);
    ASSERT_TRUE(Probe::draggedRect(*strip));
    const gfx::Rect dragged = *Probe::draggedRect(*strip);
    std::vector<ModuleKind> shown;
    for (ModuleKind kind : strip->order())
        if (strip->moduleWidth(kind))
            shown.push_back(kind);
    ASSERT_EQ(shown.size(), 3u);
    const ModuleKind firstStill = shown[0] == ModuleKind::memory ? shown[1] : shown[0];

    gfx::RecordingContext context({200, 24});
    strip->drawStrip(context, true, {0, 0, 200, 24});
    auto images = context.log().images();
    ASSERT_EQ(images.size(), 3u);
    // The dragged module lies still at 90 % where the drag holds it.
    expectRect(images.back().destination,
               jiggleTransform(dragged, 0, clock.now(), false).apply(dragged));
    expectRect(images.front().destination, strip->rect(firstStill));

    context.log().clear();
    strip->drawStrip(context, true, strip->rect(ModuleKind::compute));
    images = context.log().images();
    ASSERT_EQ(images.size(), 1u);
    expectRect(images.front().destination, strip->rect(ModuleKind::compute));

    // Without the flag the layout decides, whatever is dragged or shown.
    context.log().clear();
    strip->drawStrip(context, false, {0, 0, 200, 24});
    images = context.log().images();
    ASSERT_EQ(images.size(), 3u);
    expectRect(images.front().destination, strip->layoutModuleRects().at(shown[0]));
    expectRect(images[1].destination, strip->layoutModuleRects().at(shown[1]));
    strip->setSorting(false);
}

TEST_F(StripFixture, SortingDrawsEditableModulesSmallerWithCloseBadges) {
    auto strip = makeStrip();
    strip->setModuleImage(ModuleKind::memory, blankImage(40));
    strip->setModuleImage(ModuleKind::network, blankImage(60));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->setEditableModules({ModuleKind::network});
    strip->relayout();
    strip->setSorting(true);
    const gfx::Rect memory = strip->rect(ModuleKind::memory);
    const gfx::Rect network = strip->rect(ModuleKind::network);
    const gfx::Rect badge = closeBadgeRect(network, 24);
    EXPECT_EQ(badge.width(), 12);

    // Reduce Motion: still, at 90 %, with the badge.
    app.workspace().setReduceMotion(true);
    gfx::RecordingContext still({200, 24});
    strip->drawStrip(still, true, {0, 0, 200, 24});
    auto images = still.log().images();
    ASSERT_EQ(images.size(), 2u);
    expectRect(images[0].destination, memory);
    expectRect(images[1].destination,
               jiggleTransform(network, 2, clock.now(), false).apply(network));
    EXPECT_NEAR(images[1].destination.width(), network.width() * 0.9, 1e-9);
    const auto fills = still.log().fills();
    ASSERT_FALSE(fills.empty());
    expectRect(fills.back().bounds, badge.insetBy(0.5, 0.5));
    EXPECT_NEAR(fills.back().color.alpha(), 0.98, 1e-9);
    EXPECT_NEAR(fills.back().color.red(), 0.97, 1e-9);
    ASSERT_EQ(still.log().strokes().size(), 2u);

    // With motion the module swings by its phase at the time of painting.
    app.workspace().setReduceMotion(false);
    loop.advanceAndRunDue(0.05);
    gfx::RecordingContext moving({200, 24});
    strip->drawStrip(moving, true, {0, 0, 200, 24});
    images = moving.log().images();
    ASSERT_EQ(images.size(), 2u);
    expectRect(images[1].destination,
               jiggleTransform(network, 2, clock.now(), true).apply(network));
    EXPECT_NE(images[1].destination, jiggleTransform(network, 2, 0, false).apply(network));

    strip->setSorting(false);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripFixture, OffTheMenuBarTheStripIsCentredInTheView) {
    auto strip = std::make_shared<PaintedStrip>(gfx::Rect{0, 0, 300, 30});
    strip->setPresentationHeight(24);
    strip->setModuleImage(ModuleKind::memory, blankImage(40));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->relayout();
    gfx::RecordingContext context({300, 30});
    strip->drawRect(context, {0, 0, 300, 30});
    const auto images = context.log().images();
    ASSERT_EQ(images.size(), 1u);
    expectRect(images.front().destination, strip->rect(ModuleKind::memory).offsetBy(0, 3));
}

TEST_F(StripFixture, WhileASurfaceShowsTheStripTheViewPaintsOnlyClearPixels) {
    auto strip = std::make_shared<PaintedStrip>(gfx::Rect{0, 0, 100, 24});
    strip->setModuleImage(ModuleKind::memory, blankImage(40));
    strip->setFanMode(FanDisplayMode::hidden);
    strip->setActiveModule(ModuleKind::memory);
    strip->relayout();
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({100, 24}, 2);
    gfx::Context context(bitmap);
    context.setFillColor(gfx::Color::black());
    context.fillRect({0, 0, 100, 24});
    strip->setEditingSurfacePresented(true);
    strip->drawRect(context, {0, 0, 60, 24});
    EXPECT_EQ(alphaAt(bitmap, {10, 12}), 0);
    EXPECT_EQ(alphaAt(bitmap, {59.5, 0.5}), 0);
    EXPECT_EQ(alphaAt(bitmap, {70, 12}), 1);
}

TEST_F(StripFixture, TheRotorFrameFollowsThePhaseClockAndTheGraphProgress) {
    auto strip = makeStrip();
    // 3000 RPM turn the rotor 1.65 times a second; midway through the morph to the graph.
    MenuBarContentView::FanInputs turning;
    turning.snapshot = {"Test", {{0, 3000.0, 6000.0}}, 1};
    strip->setFanInputs(turning);
    strip->setFanMode(FanDisplayMode::graph);
    strip->renderFanImage();
    strip->relayout();
    loop.advanceAndRunDue(0.1);
    const double progress = Probe::fanGraphProgress(*strip);
    ASSERT_GT(progress, 0);
    ASSERT_LT(progress, 1);
    const gfx::Rect fan = strip->rect(ModuleKind::fan);

    gfx::RecordingContext context({400, 24});
    strip->drawStrip(context, true, {0, 0, 400, 24});
    const auto images = context.log().images();
    ASSERT_EQ(images.size(), 2u);
    expectRect(images[0].destination, fan);
    const gfx::Rect rotor = rotorRect(fan, progress, Probe::heightScale(*strip));
    expectRect(images[1].destination, rotor);
    // 0.1 s × 1.65 turns/s = 59.4°: frame 29.
    EXPECT_EQ(rotorFrameIndex(Probe::rotorPhase(*strip).angle(clock.now()), 60), 29);
    strip->setFanMode(FanDisplayMode::hidden);
    strip->renderFanImage();
}

TEST_F(StripFixture, ARotorFrameHasThreefoldSymmetryAndArcsWhenLoaded) {
    auto render = [](int index, bool loaded) {
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({24, 24}, 4);
        gfx::Context context(bitmap);
        MenuBarContentView::renderRotorFrame(context, index, false, loaded, true);
        return bitmap;
    };
    const gfx::Bitmap frame = render(7, false);
    const double pi = std::acos(-1.0);
    auto covered = [&](double radius, double degrees) {
        const double r = degrees * pi / 180;
        return alphaAt(frame, {12 + radius * std::cos(r), 12 + radius * std::sin(r)}) > 0.5;
    };
    int samples = 0;
    int mismatches = 0;
    int blade = 0;
    for (double radius : {3.0, 5.0}) {
        for (double angle = 0; angle < 120; angle += 1) {
            ++samples;
            blade += covered(radius, angle);
            if (covered(radius, angle) != covered(radius, angle + 120) ||
                covered(radius, angle) != covered(radius, angle + 240))
                ++mismatches;
        }
    }
    EXPECT_GT(blade, samples / 6);
    EXPECT_LT(blade, samples);
    EXPECT_LE(mismatches, samples / 12);
    // The speed arcs lie outside the blades, from 52° + 14° on, at radius 7.6.
    const double r = (52 + 14 + 10) * pi / 180;
    const gfx::Point arc{12 + 7.6 * std::cos(r), 12 + 7.6 * std::sin(r)};
    EXPECT_EQ(alphaAt(frame, arc), 0);
    EXPECT_GT(alphaAt(render(7, true), arc), 0.2);
    EXPECT_TRUE(
        render(0, false).writePng(testsupport::artifactPath("strip-rotor-frame.png").string()));
}

TEST_F(StripFixture, RotorStepsRedrawOnlyTheFanModule) {
    auto strip = makeStrip();
    strip->relayout();
    std::vector<gfx::Rect> parts;
    strip->editingRectAction = [&](const gfx::Rect& rect) { parts.push_back(rect); };
    Probe::redrawFanModule(*strip);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0], strip->rect(ModuleKind::fan));
    EXPECT_TRUE(strip->needsDisplay());

    // Drawn elsewhere, the view clears itself once; then the steps go to the surfaces only.
    strip->setEditingSurfacePresented(true);
    EXPECT_TRUE(strip->needsDisplay());
    strip->setNeedsDisplay(false);
    parts.clear();
    Probe::redrawFanModule(*strip);
    EXPECT_EQ(parts, std::vector<gfx::Rect>{strip->rect(ModuleKind::fan)});
    EXPECT_FALSE(strip->needsDisplay());
}

TEST_F(StripFixture, TheFanGraphStrokeThinsFromRingToGraph) {
    const gfx::Path ring = MenuBarContentView::fanGraphStrokePath({{0, 0}, {5, 5}, {9, 2}}, 0);
    EXPECT_DOUBLE_EQ(ring.lineWidth(), 2.2);
    EXPECT_EQ(ring.lineCap(), gfx::LineCap::round);
    EXPECT_EQ(ring.lineJoin(), gfx::LineJoin::round);
    ASSERT_EQ(ring.elements().size(), 3u);
    EXPECT_EQ(ring.elements()[0].kind, gfx::Path::ElementKind::moveTo);
    EXPECT_EQ(ring.elements()[2].points[0], (gfx::Point{9, 2}));
    EXPECT_DOUBLE_EQ(MenuBarContentView::fanGraphStrokePath({}, 1).lineWidth(), 1.0);
    EXPECT_TRUE(MenuBarContentView::fanGraphStrokePath({}, 1).isEmpty());
}

} // namespace
} // namespace pulsedeck
