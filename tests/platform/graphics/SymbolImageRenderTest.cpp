#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/SymbolImage.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace gfx {
namespace {

const char* const usedByTheProgram[] = {"externaldrive",
                                        "cable.connector",
                                        "sdcard",
                                        "mic",
                                        "headphones",
                                        "hifispeaker",
                                        "pencil.and.outline",
                                        "iphone",
                                        "ipad",
                                        "gearshape",
                                        "checkmark",
                                        "chevron.down",
                                        "chevron.right",
                                        "chart.xyaxis.line",
                                        "arrow.up.arrow.down",
                                        "thermometer.medium",
                                        "cpu",
                                        "bolt.fill",
                                        "xmark.circle",
                                        "launcher.grid",
                                        "wifi",
                                        "cloud",
                                        "music.note",
                                        "bubble.left"};

struct Ink {
    int pixels = 0;
    int primary = 0;
    int secondary = 0;
};

// Opaque pixels, and those that are clearly red (primary) or clearly blue (secondary).
Ink inkOf(const Image& image) {
    Image rendered = renderedBitmapImage(image, 2);
    const Bitmap& bitmap = *rendered.bitmap();
    Ink ink;
    for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
        for (int column = 0; column < bitmap.pixelsWide(); ++column) {
            Rgba8 p = bitmap.pixel(column, row);
            if (p.alpha < 200) {
                continue;
            }
            ++ink.pixels;
            if (p.red > 200 && p.green < 60) {
                ++ink.primary;
            }
            if (p.blue > 200 && p.red < 60) {
                ++ink.secondary;
            }
        }
    }
    return ink;
}

TEST(SymbolImageRender, EveryNameTheProgramUsesDrawsInkInsideItsImage) {
    for (const char* name : usedByTheProgram) {
        std::optional<Image> image = symbolImage(name, {.pointSize = 16});
        ASSERT_TRUE(image) << name;
        EXPECT_GT(image->size().width, 4) << name;
        EXPECT_LE(image->size().height, 16.01) << name;
        // Nothing reaches the image's outermost pixel ring, so nothing is cut off.
        Image rendered = renderedBitmapImage(*image, 2);
        const Bitmap& bitmap = *rendered.bitmap();
        int inked = 0, edge = 0;
        for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
            for (int column = 0; column < bitmap.pixelsWide(); ++column) {
                if (bitmap.pixel(column, row).alpha == 0) {
                    continue;
                }
                ++inked;
                if (row == 0 || column == 0 || row == bitmap.pixelsHigh() - 1 ||
                    column == bitmap.pixelsWide() - 1) {
                    ++edge;
                }
            }
        }
        EXPECT_GT(inked, 40) << name;
        EXPECT_EQ(edge, 0) << name;
    }
    EXPECT_EQ(symbolNames().size(), std::size(usedByTheProgram));
    // The sheet people look at: the 16-pt symbols as their pixels really are at scale 2, blown up
    // four times.
    std::vector<std::string_view> names = symbolNames();
    constexpr double cell = 28 * 4, zoom = 4;
    constexpr std::size_t columns = 7;
    std::size_t rows = (names.size() + columns - 1) / columns;
    Size sheet{cell * columns, 2 * cell * double(rows)};
    Bitmap bitmap = Bitmap::forPointSize(sheet, 1);
    Context context(bitmap);
    for (int panel = 0; panel < 2; ++panel) {
        bool dark = panel == 1;
        Color background = dark ? Color::grey(0.16) : Color::grey(0.97);
        Color foreground = dark ? Color::grey(0.92) : Color::grey(0.1);
        double panelTop = sheet.height - panel * cell * double(rows);
        context.setFillColor(background);
        context.fillRect({0, panelTop - cell * double(rows), sheet.width, cell * double(rows)});
        for (std::size_t i = 0; i < names.size(); ++i) {
            Image symbol = *symbolImage(names[i], {.pointSize = 16, .palette = {foreground}});
            Image pixels = renderedBitmapImage(symbol, 2);
            Size size{symbol.size().width * zoom, symbol.size().height * zoom};
            double cellX = cell * double(i % columns);
            double cellY = panelTop - cell * double(i / columns + 1);
            Point origin{cellX + (cell - size.width) / 2, cellY + (cell - size.height) / 2};
            pixels.draw(context, Rect{origin, size}, {.interpolation = ImageInterpolation::none});
        }
    }
    EXPECT_TRUE(bitmap.writePng(testsupport::artifactPath("symbol-pixels-16pt.png").string()));
}

TEST(SymbolImageRender, UnknownNameGivesNoImage) {
    EXPECT_FALSE(symbolImage("externaldrive.fill"));
    EXPECT_FALSE(symbolImage(""));
    EXPECT_FALSE(symbolImage("EXTERNALDRIVE"));
}

TEST(SymbolImageRender, SizeFollowsThePointSize) {
    Image small = *symbolImage("gearshape", {.pointSize = 12});
    Image large = *symbolImage("gearshape", {.pointSize = 24});
    EXPECT_NEAR(large.size().width, 2 * small.size().width, 1e-9);
    EXPECT_NEAR(large.size().height, 2 * small.size().height, 1e-9);
}

TEST(SymbolImageRender, HeavierWeightsDrawMoreInk) {
    Color red = Color::srgb(1, 0, 0);
    int regular = inkOf(*symbolImage("xmark.circle", {.pointSize = 16, .palette = {red}})).pixels;
    int bold = inkOf(*symbolImage("xmark.circle",
                                  {.pointSize = 16, .weight = FontWeight::bold, .palette = {red}}))
                   .pixels;
    EXPECT_GT(bold, regular * 1.2);
}

TEST(SymbolImageRender, PaletteColoursTheLayers) {
    Color red = Color::srgb(1, 0, 0);
    Color blue = Color::srgb(0, 0, 1);
    Image one = *symbolImage("cpu", {.pointSize = 24, .palette = {red}});
    Image two = *symbolImage("cpu", {.pointSize = 24, .palette = {red, blue}});
    EXPECT_FALSE(one.isTemplate());
    Ink single = inkOf(one);
    Ink layered = inkOf(two);
    EXPECT_GT(single.primary, 0);
    EXPECT_EQ(single.secondary, 0);
    EXPECT_GT(layered.primary, 0);
    EXPECT_GT(layered.secondary, 0);
    EXPECT_TRUE(symbolImage("cpu", {.pointSize = 24})->isTemplate());
    // The sheet people look at: every symbol at 16 pt and 40 pt, light and dark, at scale 2.
    std::vector<std::string_view> names = symbolNames();
    constexpr double rowHeight = 48, labelWidth = 130, panelWidth = 260;
    Size sheet{2 * panelWidth, rowHeight * double(names.size()) + 10};
    Bitmap bitmap = Bitmap::forPointSize(sheet, 2);
    Context context(bitmap);
    for (int panel = 0; panel < 2; ++panel) {
        bool dark = panel == 1;
        Color background = dark ? Color::grey(0.16) : Color::grey(0.97);
        Color foreground = dark ? Color::grey(0.92) : Color::grey(0.1);
        Color accent = dark ? Color::srgb(0.3, 0.65, 1) : Color::srgb(0.16, 0.58, 1);
        double x0 = panel * panelWidth;
        context.setFillColor(background);
        context.fillRect({x0, 0, panelWidth, sheet.height});
        for (std::size_t i = 0; i < names.size(); ++i) {
            double y = sheet.height - 5 - rowHeight * double(i + 1);
            drawText(context, names[i], Point{x0 + 8, y + 18},
                     {.font = Font::system(9), .color = foreground.withAlpha(0.7)});
            Image small = *symbolImage(names[i], {.pointSize = 16, .palette = {foreground}});
            small.draw(context, Point{x0 + labelWidth - 20, y + 16});
            Image tinted = *symbolImage(
                names[i], {.pointSize = 16, .palette = {accent, foreground.withAlpha(0.5)}});
            tinted.draw(context, Point{x0 + labelWidth + 10, y + 16});
            Image large =
                *symbolImage(names[i], {.pointSize = 40, .palette = {foreground, accent}});
            large.draw(context, Point{x0 + labelWidth + 50, y + 4});
        }
    }
    EXPECT_TRUE(bitmap.writePng(testsupport::artifactPath("symbol-gallery.png").string()));
}

} // namespace
} // namespace gfx
