#include "drawing/FanBladeGlyph.h"
#include "drawing/RenderedBitmapImage.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "sources/MemoryReader.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/NetworkStatusImage.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

// A sheet of every module image this folder draws, in both appearances, with sample readings
// (memory from this machine) and with empty ones, for people to look at.
struct Entry {
    std::string label;
    gfx::Image light;
    gfx::Image dark;
};

std::vector<PressurePoint> pressureHistory() {
    std::vector<PressurePoint> history;
    for (int i = 0; i < 60; ++i) {
        std::optional<std::int32_t> level = i < 35 ? 1 : i < 48 ? 2 : 4;
        std::optional<double> fraction = 0.35 + 0.3 * std::sin(i / 6.0) * std::sin(i / 6.0);
        if (i == 20 || i == 21) {
            fraction.reset();
        }
        history.push_back({fraction, level});
    }
    return history;
}

std::vector<NetworkSnapshot> networkHistory() {
    std::vector<NetworkSnapshot> history;
    for (int i = 0; i < 60; ++i) {
        double wave = std::fabs(std::sin(i / 5.0));
        history.push_back({2.0e6 * wave + 40e3,
                           i == 30 ? std::nullopt : std::optional<double>(3.0e5 * wave),
                           {"eth0"}});
    }
    return history;
}

std::vector<std::optional<double>> temperatureHistory() {
    std::vector<std::optional<double>> history;
    for (int i = 0; i < 60; ++i) {
        history.push_back(i == 40 ? std::nullopt : std::optional<double>(45 + i * 0.9));
    }
    return history;
}

MemorySnapshot liveMemory() {
    MemorySnapshot snapshot = SystemMemoryReader().sample();
    if (!snapshot.usedFraction) {
        snapshot.usedFraction = 0.62;
    }
    return snapshot;
}

gfx::Image temperatureChartImage(bool dark, std::span<const std::optional<double>> history,
                                 std::optional<double> celsius) {
    double chart = 85;
    char value[32];
    std::snprintf(value, sizeof value, "%.0f \u00B0C", celsius.value_or(0));
    double texts =
        std::max({textWidth(value, statusValueFont()), textWidth("Temp", statusTitleFont()),
                  textWidth("0 \u00B0C", statusValueFont())});
    double width = 5 + chart + 7 + std::ceil(texts) + 8;
    gfx::Image image = gfx::Image::withDrawingHandler(
        {width, 24}, false, [&](gfx::Context& context, const gfx::Rect& rect) {
            return drawCapsule(
                context, dark, rect, [&](const gfx::Color& foreground, const gfx::Rect& imageRect) {
                    drawGraphWithValue(context, foreground, imageRect, {5, 3, chart, 18}, history,
                                       std::nullopt, AppLanguage::english, celsius);
                });
        });
    return renderedBitmapImage(image, 2, dark);
}

gfx::Image rotorImage(bool dark, double rotation, bool fast) {
    gfx::Image image = gfx::Image::withDrawingHandler(
        {24, 24}, false, [=](gfx::Context& context, const gfx::Rect&) {
            gfx::Color color = dark ? gfx::Color::white() : gfx::Color::grey(0.42);
            gfx::Path arcs = *fanMotionArcs(fast, {12, 12}, 7.1, rotation);
            arcs.setLineWidth(0.45);
            context.setStrokeColor(color.withAlpha(dark ? 0.46 : 0.3));
            arcs.stroke(context);
            drawFanBlades(context, color, rotation, 0.9, {12, 12}, 7.1);
            return true;
        });
    return renderedBitmapImage(image, 2, dark);
}

bool hasInk(const gfx::Image& image) {
    const gfx::Bitmap* bitmap = image.bitmap();
    for (int row = 0; row < bitmap->pixelsHigh(); ++row) {
        for (int column = 0; column < bitmap->pixelsWide(); ++column) {
            if (bitmap->pixel(column, row).alpha > 128) {
                return true;
            }
        }
    }
    return false;
}

TEST(StatusImagesRender, SheetOfEveryImageInBothAppearances) {
    CapsuleCache capsules;
    MemorySnapshot memory = liveMemory();
    MemorySnapshot emptyMemory;
    std::vector<PressurePoint> pressure = pressureHistory();
    std::vector<PressurePoint> onePoint{{0.4, 1}};
    std::vector<NetworkSnapshot> network = networkHistory();
    std::vector<std::optional<double>> temperatures = temperatureHistory();

    std::vector<Entry> entries;
    struct MemoryCase {
        const char* name;
        DisplayMode mode;
        bool chart;
    };
    for (MemoryCase c : {MemoryCase{"automatic chart", DisplayMode::automatic, true},
                         MemoryCase{"automatic ring", DisplayMode::automatic, false},
                         MemoryCase{"pair chart", DisplayMode::pair, true},
                         MemoryCase{"pair", DisplayMode::pair, false},
                         MemoryCase{"four chart", DisplayMode::four, true},
                         MemoryCase{"four", DisplayMode::four, false}}) {
        for (bool empty : {false, true}) {
            auto make = [&](bool dark) {
                return memoryStatusImage(
                    capsules, {.dark = dark,
                               .showChart = c.chart,
                               .history = empty ? std::span<const PressurePoint>(onePoint)
                                                : std::span<const PressurePoint>(pressure),
                               .blue = true,
                               .snapshot = empty ? emptyMemory : memory,
                               .mode = c.mode,
                               .language = AppLanguage::english,
                               .chartLength = empty ? 22.0 : 85.0});
            };
            entries.push_back({std::string("memory ") + c.name + (empty ? " (empty)" : ""),
                               make(false), make(true)});
        }
    }
    struct NetworkCase {
        const char* name;
        bool graph;
        bool colored;
    };
    for (NetworkCase c :
         {NetworkCase{"network coloured", true, true}, NetworkCase{"network plain", true, false},
          NetworkCase{"network no graph", false, false}}) {
        for (bool empty : {false, true}) {
            auto make = [&](bool dark) {
                return networkStatusImage(
                    capsules, {.dark = dark,
                               .showsGraph = c.graph,
                               .history = empty ? std::span<const NetworkSnapshot>()
                                                : std::span<const NetworkSnapshot>(network),
                               .colors = {.blue = false,
                                          .colored = c.colored,
                                          .download = paletteBlue,
                                          .upload = gfx::Color::systemRed()},
                               .download = empty ? std::nullopt : std::optional<double>(1.234e6),
                               .upload = empty ? std::nullopt : std::optional<double>(5.6e3),
                               .chartLength = 85});
            };
            entries.push_back(
                {std::string(c.name) + (empty ? " (empty)" : ""), make(false), make(true)});
        }
    }
    entries.push_back({"temperature chart", temperatureChartImage(false, temperatures, 98.2),
                       temperatureChartImage(true, temperatures, 98.2)});
    entries.push_back({"temperature chart (empty)", temperatureChartImage(false, {}, std::nullopt),
                       temperatureChartImage(true, {}, std::nullopt)});
    entries.push_back({"app mark", appMarkImage(false), appMarkImage(true)});
    entries.push_back({"blades fast 0°", rotorImage(false, 0, true), rotorImage(true, 0, true)});
    entries.push_back({"blades 40°", rotorImage(false, 40, false), rotorImage(true, 40, false)});

    double labelWidth = 170, columnWidth = 0, rowHeight = 30;
    for (const Entry& entry : entries) {
        EXPECT_TRUE(hasInk(entry.light)) << entry.label;
        EXPECT_TRUE(hasInk(entry.dark)) << entry.label;
        EXPECT_EQ(entry.light.size(), entry.dark.size()) << entry.label;
        EXPECT_EQ(entry.light.size().height, 24) << entry.label;
        columnWidth = std::max(columnWidth, entry.light.size().width + 16);
    }

    gfx::Size sheetSize{labelWidth + 2 * columnWidth, rowHeight * entries.size()};
    gfx::Bitmap sheet = gfx::Bitmap::forPointSize(sheetSize, 2);
    gfx::Context context(sheet);
    context.setFillColor(gfx::Color::grey(0.93));
    context.fillRect({0, 0, labelWidth + columnWidth, sheetSize.height});
    context.setFillColor(gfx::Color::grey(0.16));
    context.fillRect({labelWidth + columnWidth, 0, columnWidth, sheetSize.height});
    for (std::size_t i = 0; i < entries.size(); ++i) {
        double y = sheetSize.height - rowHeight * static_cast<double>(i + 1) + 3;
        drawTextAt(context, entries[i].label, gfx::Font::system(10), gfx::Color::black(), 8, y + 6);
        entries[i].light.draw(context, gfx::Point{labelWidth + 8, y});
        entries[i].dark.draw(context, gfx::Point{labelWidth + columnWidth + 8, y});
    }
    std::filesystem::path path = testsupport::artifactPath("StatusImages.png");
    ASSERT_TRUE(sheet.writePng(path.string()));
    std::cout << "status image sheet: " << path << "\n";

    // The small glyphs enlarged pixel for pixel, to judge their shapes.
    const std::string small[] = {"memory automatic ring", "memory automatic ring (empty)",
                                 "app mark", "blades fast 0°", "blades 40°"};
    constexpr double zoom = 4;
    gfx::Bitmap zoomed = gfx::Bitmap::forPointSize({2 * 5 * 28 * zoom, 28 * zoom}, 1);
    gfx::Context zoomedContext(zoomed);
    zoomedContext.setFillColor(gfx::Color::grey(0.93));
    zoomedContext.fillRect({0, 0, 5 * 28 * zoom, 28 * zoom});
    zoomedContext.setFillColor(gfx::Color::grey(0.16));
    zoomedContext.fillRect({5 * 28 * zoom, 0, 5 * 28 * zoom, 28 * zoom});
    int slot = 0;
    for (bool dark : {false, true}) {
        for (const std::string& name : small) {
            auto found = std::find_if(entries.begin(), entries.end(),
                                      [&](const Entry& entry) { return entry.label == name; });
            ASSERT_NE(found, entries.end()) << name;
            const gfx::Image& image = dark ? found->dark : found->light;
            image.draw(zoomedContext,
                       gfx::Rect{(slot * 28 + 2) * zoom, 2 * zoom, image.size().width * zoom,
                                 image.size().height * zoom},
                       {.interpolation = gfx::ImageInterpolation::none});
            ++slot;
        }
    }
    ASSERT_TRUE(zoomed.writePng(testsupport::artifactPath("StatusImagesZoomed.png").string()));
}

} // namespace
} // namespace pulsedeck
