#include "SampleStrip.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/StatusBar.h"
#include "statusbar/MenuBarContentView.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

using testsupport::Rgb;

// Channel difference allowed between the display and the headless render.
constexpr int tolerance = 4;

int luma(const Rgb& rgb) {
    return (rgb.red * 3 + rgb.green * 6 + rgb.blue) / 10;
}

int chroma(const Rgb& rgb) {
    return std::max({rgb.red, rgb.green, rgb.blue}) - std::min({rgb.red, rgb.green, rgb.blue});
}

// The root's colour: a slate blue that neither appearance draws, so white text shows against it
// and a cut-away pixel cannot pass for a drawn one.
constexpr Rgb rootColour{64, 96, 128};

// Without a compositing manager, and with no wallpaper published to lay it over, nothing tells
// what lies behind the bar: a pixel covering at least half shows its own colour at full strength,
// and any other is cut away, where the root shows.
Rgb expectedOnDisplay(const gfx::Rgba8& pixel) {
    if (pixel.alpha < 128)
        return rootColour;
    auto full = [&](int channel) {
        return std::min(255, (channel * 255 + pixel.alpha / 2) / pixel.alpha);
    };
    return {full(pixel.red), full(pixel.green), full(pixel.blue)};
}

struct Look {
    int scale;
    bool dark;
};

void PrintTo(const Look& look, std::ostream* out) {
    *out << "scale " << look.scale << (look.dark ? ", dark" : ", light");
}

std::string lookName(const ::testing::TestParamInfo<Look>& info) {
    return "Scale" + std::to_string(info.param.scale) + (info.param.dark ? "Dark" : "Light");
}

// Opens the view's own painting, so the reference goes through the same entry the window uses.
class PaintedStrip : public MenuBarContentView {
public:
    using MenuBarContentView::drawRect;
    using MenuBarContentView::MenuBarContentView;
};

// The strip with all six modules in the status bar of a private X server (no compositor), read
// back off the screen and set against the same view painted headless at the same scale.
class StripOnX11 : public testsupport::X11Fixture, public ::testing::WithParamInterface<Look> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openServer(GetParam().scale));
        Display* display = server->display();
        XSetWindowBackground(display, DefaultRootWindow(display),
                             std::uint32_t(rootColour.red) << 16 |
                                 std::uint32_t(rootColour.green) << 8 |
                                 std::uint32_t(rootColour.blue));
        XClearWindow(display, DefaultRootWindow(display));
        XFlush(display);

        const bool dark = GetParam().dark;
        strip = std::make_shared<PaintedStrip>(gfx::Rect{0, 0, 300, 24});
        strip->setAppearance(dark ? gfx::Appearance::dark : gfx::Appearance::light);
        striptest::fillSampleStrip(*strip, readings, dark);
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = app->statusBar().statusItem(strip->requiredWidth());
        item->setView(strip);
    }

    void TearDown() override {
        strip.reset();
        item.reset();
        X11Fixture::TearDown();
    }

    gfx::Bitmap headlessRender() {
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize(strip->bounds().size, GetParam().scale);
        gfx::Context context(bitmap,
                             GetParam().dark ? gfx::Appearance::dark : gfx::Appearance::light);
        strip->drawRect(context, strip->bounds());
        return bitmap;
    }

    striptest::SampleReadings readings;
    std::shared_ptr<PaintedStrip> strip;
    std::shared_ptr<ui::StatusItem> item;
};

TEST_P(StripOnX11, TheStripInTheStatusBarMatchesItsHeadlessRender) {
    const int scale = GetParam().scale;
    const bool dark = GetParam().dark;
    ASSERT_TRUE(runUntil([&] { return viewable(*app->statusBar().window()); }));
    settle(0.3);

    // The bar holds the one item, as wide as the strip, at the top right of the screen.
    const testsupport::PixelArea area =
        testsupport::rootArea(server->display(), *xWindow(*app->statusBar().window()));
    const int wide = int(std::ceil(strip->requiredWidth() * scale - 1e-6));
    EXPECT_EQ(area.y, 0);
    EXPECT_EQ(area.height, 24 * scale);
    EXPECT_NEAR(area.width, wide, 1);
    EXPECT_EQ(area.x + area.width, screenWidth);

    // The root's pixels, so whatever the bar's shape cuts away shows as the root does.
    const testsupport::Capture shown = captureRoot(area.x, area.y, area.width, area.height);
    ASSERT_EQ(shown.pixels.size(), std::size_t(area.width) * std::size_t(area.height));
    const gfx::Bitmap reference = headlessRender();
    const std::string stem = "strip-x11-" + std::to_string(scale) + (dark ? "-dark" : "-light");
    EXPECT_TRUE(shown.writePng(testsupport::artifactPath(stem + ".png")));
    EXPECT_TRUE(reference.writePng(testsupport::artifactPath(stem + "-headless.png").string()));

    // A pixel of the render against the same pixel on the screen.
    int compared = 0;
    auto probe = [&](int column, int row, const std::string& what) {
        const gfx::Rgba8 drawn = reference.pixel(column, row);
        if (column >= area.width || row >= area.height)
            return;
        ++compared;
        const Rgb expected = expectedOnDisplay(drawn);
        const Rgb actual = shown.at(column, row);
        EXPECT_TRUE(near(actual, expected, tolerance))
            << what << " at pixel (" << column << ", " << row << "): shown " << actual
            << ", rendered " << expected << " (alpha " << int(drawn.alpha) << ")";
    };

    ASSERT_EQ(strip->order().size(), allModuleKinds.size());
    for (ModuleKind kind : allModuleKinds) {
        const std::string name(toString(kind));
        // The strip fills the bar's height, so the view and the strip share coordinates.
        const gfx::Rect rect = strip->rect(kind);
        ASSERT_GT(rect.width(), 0) << name;
        const int left = int(std::ceil(rect.minX() * scale));
        const int right = int(std::floor(rect.maxX() * scale));
        const int top = int(std::ceil((24 - rect.maxY()) * scale));
        const int bottom = int(std::floor((24 - rect.minY()) * scale));

        // Ink: the most contrasting solid pixel of the module (text and figures); colour: its
        // most saturated solid pixel (charts, bars, the badge).
        int inkColumn = -1, inkRow = -1, colourColumn = -1, colourRow = -1;
        int inkContrast = -1, colourChroma = -1;
        for (int row = top; row < bottom; ++row) {
            for (int column = left; column < right; ++column) {
                const gfx::Rgba8 drawn = reference.pixel(column, row);
                if (drawn.alpha < 160)
                    continue;
                const Rgb solid = expectedOnDisplay(drawn);
                const int contrast = dark ? luma(solid) : 255 - luma(solid);
                if (contrast > inkContrast) {
                    inkContrast = contrast;
                    inkColumn = column;
                    inkRow = row;
                }
                if (chroma(solid) > colourChroma) {
                    colourChroma = chroma(solid);
                    colourColumn = column;
                    colourRow = row;
                }
            }
        }
        ASSERT_GE(inkColumn, 0) << name << " drew nothing solid";
        EXPECT_GT(inkContrast, 110) << name << " has no ink that stands out";
        probe(inkColumn, inkRow, name + " ink");
        probe(colourColumn, colourRow, name + " colour");

        // The capsule: a grid across the module, so an offset or a flip shows wherever the
        // module has detail, and its quiet parts must match too.
        for (double across : {0.1, 0.25, 0.4, 0.5, 0.6, 0.75, 0.9}) {
            for (double down : {0.25, 0.5, 0.75}) {
                probe(int(left + (right - left) * across), int(top + (bottom - top) * down),
                      name + " capsule");
            }
        }
    }

    // Between neighbouring modules nothing is drawn: the root shows through the bar's shape.
    int gaps = 0;
    for (std::size_t index = 1; index < strip->order().size(); ++index) {
        const gfx::Rect before = strip->rect(strip->order()[index - 1]);
        const gfx::Rect after = strip->rect(strip->order()[index]);
        const double middle = (before.maxX() + after.minX()) / 2;
        if (after.minX() - before.maxX() < 2)
            continue;
        ++gaps;
        const int column = int(middle * scale);
        const int row = 12 * scale;
        EXPECT_EQ(reference.pixel(column, row).alpha, 0) << "gap " << index;
        EXPECT_TRUE(near(shown.at(column, row), rootColour, tolerance))
            << "gap " << index << ": " << shown.at(column, row);
        probe(column, row, "gap " + std::to_string(index));
    }
    EXPECT_GE(gaps, 3);
    EXPECT_GT(compared, int(allModuleKinds.size()) * 15);
}

INSTANTIATE_TEST_SUITE_P(Looks, StripOnX11,
                         ::testing::Values(Look{1, false}, Look{1, true}, Look{2, false},
                                           Look{2, true}),
                         lookName);

} // namespace
} // namespace pulsedeck
