#include "../statusbar/SampleStrip.h"
#include "../statusbar/StripFixture.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingPreferences.h"
#include "floating/FloatingStripSettings.h"
#include "floating/FloatingSurface.h"
#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/TextFile.h"
#include "sources/MemorySnapshot.h"
#include "statusbar/StripInputs.h"
#include "support/TestPaths.h"

namespace pulsedeck {
namespace {

// The floating bar as the user sees it: the strip configured from a stored preferences file and
// sample readings, drawn by its surface in its panel.
class FloatingStripRender : public striptest::StripFixture {
protected:
    striptest::SampleReadings samples;
    std::shared_ptr<MenuBarContentView> strip = makeStrip();
    std::shared_ptr<FloatingPanel> panel;
    FloatingPreferences preferences;

    void SetUp() override {
        const auto stored =
            foundation::readTextFile(testsupport::fixturePath("floating/floatingPreferences.json"));
        ASSERT_TRUE(stored);
        const auto dictionary = foundation::decodePropertyList(*stored);
        ASSERT_TRUE(dictionary);
        preferences = FloatingPreferences(*dictionary, FloatingPreferences());
    }

    StripReadings readings() const {
        StripReadings readings;
        readings.memory = memoryPlaceholder();
        readings.memory.physical = "32.00 GB";
        readings.memory.used = "18.42 GB";
        readings.memory.cached = "9.10 GB";
        readings.memory.swap = "0.50 GB";
        readings.memory.pressure = 1;
        readings.memory.height = 0.58;
        readings.memory.usedFraction = 0.58;
        readings.memoryHistory = samples.memoryHistory;
        readings.fan.model = "Desktop";
        readings.fan.fans = {{0, 2600.0, 5000.0}};
        readings.fan.detectedCount = 1;
        readings.fanHistory = samples.fanHistory;
        readings.network = {1.2e6, 86000, {"eth0"}};
        readings.networkHistory = samples.networkHistory;
        readings.temperature.celsius = 67;
        readings.temperature.sensorCount = 4;
        readings.temperatureHistory = samples.temperatureHistory;
        readings.compute = {43.0, 12.0, 8, 32, "GPU"};
        readings.computeHistory = samples.computeHistory;
        return readings;
    }

    gfx::Bitmap present(bool systemDark) {
        StripEnvironment environment = floatingStripEnvironment(24);
        environment.systemDark = systemDark;
        strip->setInputs(stripInputs(floatingStripSettings(preferences.look, PaletteColor::blue, true),
                                     readings(), environment));
        const gfx::Rect frame{200, 500, strip->requiredWidth(), *strip->presentationHeight()};
        strip->setFrameSize(frame.size);
        panel = std::make_shared<FloatingPanel>(frame, ui::Style::nonactivatingPanel);
        panel->setOpaque(false);
        panel->setBackgroundColor(gfx::Color::clear());
        auto surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, frame.size});
        surface->setOwner(strip);
        surface->setOpacity(preferences.look.opacity);
        strip->setEditingSurfacePresented(true);
        strip->editingDisplayAction = [surface] { surface->redraw(); };
        strip->editingRectAction = [surface](const gfx::Rect& rect) { surface->redraw(rect); };
        surface->applyMaterial();
        panel->setContentView(surface);
        panel->orderFront();
        loop.runUntilIdle();
        return *server.windowImage(*panel->windowNumber());
    }

    gfx::Point gapAfter(ModuleKind kind) const {
        return {strip->rect(kind).maxX() + strip->fanGap() / 2, strip->bounds().midY()};
    }
};

TEST_F(FloatingStripRender, TheStoredBarInLightAndDark) {
    for (const bool dark : {false, true}) {
        const gfx::Bitmap image = present(dark);
        EXPECT_TRUE(image.writePng(
            testsupport::artifactPath(dark ? "floating-strip-dark.png" : "floating-strip-light.png")
                .string()));
        EXPECT_EQ(image.size().height, 29);
        // The stored order, devices hidden: compute first, temperature last.
        EXPECT_LT(strip->rect(ModuleKind::compute).minX(), strip->rect(ModuleKind::memory).minX());
        EXPECT_FALSE(strip->moduleWidth(ModuleKind::devices));
        // The glass between modules: near white or near black, at the stored 0.85 opacity
        // (cubed, as the strip's background takes it).
        const gfx::Rgba8 gap = image.pixelAtPoint(gapAfter(ModuleKind::memory));
        EXPECT_GT(gap.alpha, 100);
        if (dark)
            EXPECT_LT(gap.red, 60);
        else
            EXPECT_GT(gap.red, 200);
        // The ends are round: the corners stay clear.
        EXPECT_EQ(image.pixelAtPoint({0.5, 0.5}).alpha, 0);
    }
}

// A new memory reading repaints the memory module's column of the bar and nothing else, though
// the bar's material is applied again after every rebuild.
TEST_F(FloatingStripRender, ANewReadingRepaintsOnlyItsModule) {
    present(false);
    const gfx::Point memory{strip->rect(ModuleKind::memory).midX(), 14};
    const gfx::Point network{strip->rect(ModuleKind::network).midX(), 14};
    const gfx::Rgba8 magenta{255, 0, 255, 255};
    striptest::poison(*panel, memory);
    striptest::poison(*panel, network);

    StripReadings later = readings();
    later.memory.used = "19.01 GB";
    StripEnvironment environment = floatingStripEnvironment(24);
    strip->setInputs(stripInputs(floatingStripSettings(preferences.look, PaletteColor::blue, true),
                                 later, environment));
    dynamic_cast<FloatingSurface&>(*panel->contentView()).applyMaterial();
    loop.runUntilIdle();
    EXPECT_NE(panel->backing()->pixelAtPoint(memory), magenta);
    EXPECT_EQ(panel->backing()->pixelAtPoint(network), magenta);
}

} // namespace
} // namespace pulsedeck
