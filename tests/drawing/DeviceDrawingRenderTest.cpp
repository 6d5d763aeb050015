#include "drawing/DeviceDrawing.h"
#include "model/AccentColor.h"
#include "platform/graphics/RecordingContext.h"
#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace pulsedeck;

namespace {

constexpr std::uint64_t gigabyte = 1'000'000'000;
constexpr gfx::Rect barRect{10, 10, 120, 6};
const gfx::Color barFill = gfx::Color::srgb(1, 0, 0);

ExternalDevice disk(std::optional<std::uint64_t> capacity, std::optional<std::uint64_t> available) {
    ExternalDevice device;
    device.id = "disk:1";
    device.name = "Disk";
    device.capacity = capacity;
    device.availableCapacity = available;
    return device;
}

std::vector<ExternalDevice> devices(std::size_t count) {
    return std::vector<ExternalDevice>(count, disk(std::nullopt, std::nullopt));
}

// Red's share of a probed pixel (premultiplied, 0…255) against its alpha tells the used fill
// (red) from the grey track.
bool isReddish(const gfx::Rgba8& pixel) {
    return pixel.alpha > 0 && pixel.red > pixel.green + 40;
}

} // namespace

TEST(CapacityBar, FreeSpaceAboveCapacityDrawsOnlyTheTrack) {
    gfx::RecordingContext context({140, 30}, 2);
    drawCapacityBar(context, disk(500 * gigabyte, 600 * gigabyte), barFill, barRect);
    ASSERT_EQ(context.log().fills().size(), 1u);
    EXPECT_TRUE(context.log().strokes().empty());
    const gfx::Rgba8 inside = context.bitmap().pixelAtPoint({70, 13});
    EXPECT_GT(inside.alpha, 0);
    EXPECT_LT(inside.alpha, 40) << "the track is the label colour at 0.1";
    EXPECT_FALSE(isReddish(inside));
    EXPECT_EQ(context.bitmap().pixelAtPoint({70, 20}).alpha, 0) << "nothing outside the bar";
}

TEST(CapacityBar, UsedShareFillsFromTheLeft) {
    gfx::RecordingContext context({140, 30}, 2);
    drawCapacityBar(context, disk(400 * gigabyte, 100 * gigabyte), barFill, barRect);
    const auto fills = context.log().fills();
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_NEAR(fills[1].bounds.width(), 0.75 * barRect.width(), 1e-6);
    EXPECT_NEAR(fills[1].color.alpha(), 0.8, 1e-9);
    EXPECT_TRUE(isReddish(context.bitmap().pixelAtPoint({40, 13})));
    EXPECT_TRUE(isReddish(context.bitmap().pixelAtPoint({95, 13})));
    EXPECT_FALSE(isReddish(context.bitmap().pixelAtPoint({110, 13})));
    EXPECT_TRUE(context.log().strokes().empty());
}

TEST(CapacityBar, UnknownFreeSpaceHatchesTheTrack) {
    for (const ExternalDevice& unknown :
         {disk(500 * gigabyte, std::nullopt), disk(std::nullopt, 5), disk(0, 0)}) {
        gfx::RecordingContext context({140, 30}, 4);
        drawCapacityBar(context, unknown, barFill, barRect);
        EXPECT_EQ(context.log().fills().size(), 1u) << "never a partly filled bar";
        const auto strokes = context.log().strokes();
        ASSERT_EQ(strokes.size(), 1u);
        EXPECT_DOUBLE_EQ(strokes[0].lineWidth, 0.7);
        EXPECT_NEAR(strokes[0].color.alpha(), 0.16, 1e-9);
        // Strokes every 6 pt from minX − height while their start lies left of maxX.
        EXPECT_DOUBLE_EQ(strokes[0].bounds.minX(), barRect.minX() - barRect.height());
        EXPECT_DOUBLE_EQ(strokes[0].bounds.maxX(), 130) << "the last stroke starts at 124";
        // A stroke passes the bar's middle half a height right of its start; between two
        // strokes the track shows alone.
        const gfx::Rgba8 onStroke = context.bitmap().pixelAtPoint({4 + 6 * 5 + 3, 13});
        const gfx::Rgba8 between = context.bitmap().pixelAtPoint({4 + 6 * 5 + 6, 13});
        EXPECT_GT(onStroke.alpha, between.alpha);
        EXPECT_EQ(context.bitmap().pixelAtPoint({8, 13}).alpha, 0) << "clipped to the track";
    }
}

TEST(CapacityBar, AnUnboundedRectDrawsNoHatch) {
    gfx::RecordingContext context({10, 10});
    drawCapacityBar(context, disk(std::nullopt, std::nullopt), barFill,
                    gfx::Rect(0, 0, std::numeric_limits<double>::infinity(), 6));
    EXPECT_TRUE(context.log().strokes().empty());
}

TEST(RevealCurve, SpringsFromNinetyFourPercentToRest) {
    const RevealState start = revealCurve(false, 0);
    EXPECT_NEAR(start.scale, 0.94, 1e-12);
    EXPECT_NEAR(start.opacity, 0.45, 1e-12);
    EXPECT_NEAR(start.offset, -3, 1e-12);
    EXPECT_EQ(revealCurve(false, 0.72), RevealState{});
    EXPECT_EQ(revealCurve(false, 5), RevealState{});
    EXPECT_EQ(revealCurve(true, 0), RevealState{}) << "reduce motion shows the end state";

    bool overshoots = false;
    for (double t = 0; t < 0.72; t += 0.01) {
        const RevealState state = revealCurve(false, t);
        overshoots = overshoots || (state.scale > 1 && state.offset > 0);
        EXPECT_GE(state.opacity, 0.45);
        EXPECT_LE(state.opacity, 1.0 + 1e-12);
    }
    EXPECT_TRUE(overshoots) << "the spring passes rest before it settles";
    EXPECT_NEAR(revealCurve(false, 0.72 * 0.45).opacity, 1.0, 1e-12) << "faded in by 45 %";
}

TEST(DeviceCountBadge, TextWidthAndFontFollowTheCount) {
    EXPECT_EQ(deviceCountBadge(7), (DeviceCountBadge{"7", {19, 11, 11, 10}, 7.2}));
    EXPECT_EQ(deviceCountBadge(10), (DeviceCountBadge{"10", {15, 11, 15, 10}, 7.2}));
    EXPECT_EQ(deviceCountBadge(99), (DeviceCountBadge{"99", {15, 11, 15, 10}, 7.2}));
    EXPECT_EQ(deviceCountBadge(100), (DeviceCountBadge{"99+", {15, 11, 15, 10}, 5.8}));
    EXPECT_EQ(deviceCountBadge(100000).text, "99+");
}

TEST(DevicesIcon, BadgeTextIsCentredInItsFont) {
    for (const std::size_t count : {std::size_t{1}, std::size_t{7}, std::size_t{100}}) {
        gfx::RecordingContext context({34, 24}, 2, gfx::Appearance::dark);
        drawDevicesIcon(context, gfx::Color::white(), std::nullopt, devices(count), true);
        const DeviceCountBadge badge = deviceCountBadge(count);
        const gfx::TextRecord* text = context.log().text(badge.text);
        ASSERT_TRUE(text) << count;
        EXPECT_DOUBLE_EQ(text->font.pointSize(), badge.fontSize);
        EXPECT_TRUE(text->font.monospacedDigits());
        EXPECT_NEAR(text->bounds.midX(), badge.rect.midX(), 1e-6);
        EXPECT_NEAR(text->bounds.midY(), badge.rect.midY(), 1e-6);
        EXPECT_EQ(text->color, gfx::Color::white());

        const auto strokes = context.log().strokes();
        ASSERT_FALSE(strokes.empty());
        EXPECT_EQ(strokes.back().bounds, badge.rect);
        EXPECT_DOUBLE_EQ(strokes.back().lineWidth, 0.5);
        EXPECT_NEAR(strokes.back().color.alpha(), 0.16, 1e-9);
        // The dark badge fill shows between the text and the border.
        const gfx::Rgba8 fill =
            context.bitmap().pixelAtPoint({badge.rect.minX() + 1.2, badge.rect.midY()});
        EXPECT_NEAR(fill.red, 64, 6);
        EXPECT_EQ(fill.alpha, 255);
    }
}

TEST(DevicesIcon, DriveSymbolIsFittedAndTakesTheAccentWithoutAColour) {
    gfx::RecordingContext accent({34, 24}, 2);
    drawDevicesIcon(accent, gfx::Color::black(), std::nullopt, devices(1), false);
    const auto images = accent.log().images();
    ASSERT_EQ(images.size(), 1u);
    const gfx::Rect drawn = images[0].destination;
    EXPECT_NEAR(drawn.midX(), 14.5, 1e-9);
    EXPECT_NEAR(drawn.midY(), 12, 1e-9);
    EXPECT_TRUE(std::abs(drawn.width() - 21) < 1e-9 || std::abs(drawn.height() - 18) < 1e-9)
        << "fitted to the box by its longer side";
    EXPECT_LE(drawn.width(), 21 + 1e-9);
    EXPECT_LE(drawn.height(), 18 + 1e-9);

    const auto dominant = [](const gfx::Bitmap& bitmap) {
        long red = 0, green = 0, blue = 0;
        for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
            for (int column = 0; column < 26; ++column) {
                const gfx::Rgba8 pixel = bitmap.pixel(column, row);
                red += pixel.red;
                green += pixel.green;
                blue += pixel.blue;
            }
        }
        return std::array<long, 3>{red, green, blue};
    };
    const auto accentSums = dominant(accent.bitmap());
    EXPECT_GT(accentSums[2], accentSums[0] * 3) << "the accent is blue";

    gfx::RecordingContext tinted({34, 24}, 2);
    drawDevicesIcon(tinted, gfx::Color::black(), gfx::Color::srgb(1, 0, 0), devices(1), false);
    const auto tintSums = dominant(tinted.bitmap());
    EXPECT_GT(tintSums[0], tintSums[2] * 3) << "the slot colour wins when given";
}

TEST(USBSymbol, StrokesTheTridentAndFillsItsEnds) {
    gfx::RecordingContext context({14, 14}, 4);
    drawUSBSymbol(context, gfx::Color::srgb(0, 0, 1));
    ASSERT_EQ(context.log().strokes().size(), 1u);
    EXPECT_EQ(context.log().fills().size(), 4u);
    EXPECT_GT(context.bitmap().pixelAtPoint({7, 8}).blue, 0) << "the shaft";
    EXPECT_GT(context.bitmap().pixelAtPoint({11, 10}).blue, 200) << "the square end";
    EXPECT_GT(context.bitmap().pixelAtPoint({7, 2}).blue, 200) << "the round foot";
    EXPECT_EQ(context.bitmap().pixelAtPoint({12, 2}).alpha, 0);
    // The sheet people look at, at scale 4: bars a quarter used, three quarters used, free space
    // above capacity and free space unknown; then the trident.
    gfx::Bitmap sheet = gfx::Bitmap::forPointSize({160, 70}, 4);
    gfx::Context sheetContext(sheet);
    sheetContext.setFillColor(gfx::Color::white());
    sheetContext.fillRect(gfx::Rect(0, 0, 160, 70));
    const std::array<ExternalDevice, 4> bars = {
        disk(400 * gigabyte, 300 * gigabyte), disk(400 * gigabyte, 100 * gigabyte),
        disk(500 * gigabyte, 600 * gigabyte), disk(500 * gigabyte, std::nullopt)};
    for (std::size_t i = 0; i < bars.size(); ++i) {
        drawCapacityBar(sheetContext, bars[i], initialAccentColor,
                        gfx::Rect(6, 58 - 12.0 * static_cast<double>(i), 120, 6));
    }
    sheetContext.translate(136, 6);
    drawUSBSymbol(sheetContext, gfx::Color::grey(0.2));
    ASSERT_TRUE(sheet.writePng(testsupport::artifactPath("device-drawing.png").string()));
}

TEST(SameList, ComparesElementsInOrder) {
    const std::vector<ExternalDevice> list = {disk(1, 2), disk(3, std::nullopt)};
    EXPECT_TRUE(sameList(list, list));
    std::vector<ExternalDevice> copy = list;
    EXPECT_TRUE(sameList(list, copy));
    copy[1].availableCapacity = 0;
    EXPECT_FALSE(sameList(list, copy));
    EXPECT_FALSE(sameList(list, std::vector<ExternalDevice>{list[1], list[0]}));
    EXPECT_TRUE(sameList(std::vector<ModuleKind>{ModuleKind::fan, ModuleKind::devices},
                         std::vector<ModuleKind>{ModuleKind::fan, ModuleKind::devices}));
    int a = 0, b = 0;
    EXPECT_FALSE(sameList(std::vector<const int*>{&a}, std::vector<const int*>{&b}))
        << "views compare by identity";
}
