#include "detail/ModuleFigures.h"
#include "detail/SectionContentDrawing.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// Readings of a busy laptop over the last minute.
struct Fixture {
    std::string name;
    MemorySnapshot memory;
    std::vector<PressurePoint> memoryHistory;
    FanSnapshot fan;
    std::vector<std::optional<double>> fanHistory;
    NetworkSnapshot network;
    std::vector<NetworkSnapshot> networkHistory;
    ComputeSnapshot compute;
    std::vector<ComputeSnapshot> computeHistory;
    TemperatureSnapshot temperature;
    std::vector<std::optional<double>> temperatureHistory;

    SectionContent content(ModuleKind kind, DetailPresentation presentation) const {
        SectionContent c;
        c.presentation = presentation;
        c.width = cardContentWidth(presentation, nullptr);
        c.regions = sectionRegions(kind, presentation, c.width,
                                   detailSectionHeight(kind, presentation, {}), {});
        c.memory = memory;
        c.memoryHistory = memoryHistory;
        c.fan = fan;
        c.fanHistory = fanHistory;
        c.network = network;
        c.networkHistory = networkHistory;
        c.compute = compute;
        c.computeHistory = computeHistory;
        c.temperature = temperature;
        c.temperatureHistory = temperatureHistory;
        return c;
    }
};

Fixture liveFixture() {
    Fixture f;
    f.name = "live";
    f.memory.physical = "16.00 GB";
    f.memory.used = "9.42 GB";
    f.memory.cached = "3.10 GB";
    f.memory.swap = "0.0 MB";
    f.fan.fans = {{0, 1850.0, 5900.0}, {1, 1920.0, 5900.0}};
    f.fan.detectedCount = 2;
    for (int i = 0; i < 60; ++i) {
        const double wave = 0.5 + 0.4 * std::sin(i / 7.0);
        f.memoryHistory.push_back({0.35 + 0.3 * wave, i > 40 && i < 50 ? 2 : 1});
        f.fanHistory.push_back(i == 30 ? std::nullopt : std::optional(0.2 + 0.5 * wave));
        NetworkSnapshot rate;
        rate.download = 40'000 + 900'000 * wave * wave;
        rate.upload = 20'000 + 150'000 * (1 - wave);
        f.networkHistory.push_back(rate);
        ComputeSnapshot load;
        load.cpu = 10 + 70 * wave;
        load.gpu = 5 + 30 * (1 - wave);
        f.computeHistory.push_back(load);
        f.temperatureHistory.push_back(45 + 50 * wave);
    }
    f.network = f.networkHistory.back();
    f.compute = f.computeHistory.back();
    f.temperature.celsius = f.temperatureHistory.back();
    f.temperature.sensorCount = 7;
    return f;
}

// A machine whose readers gave nothing yet.
Fixture emptyFixture() {
    Fixture f;
    f.name = "dashes";
    return f;
}

Fixture fanlessFixture() {
    Fixture f = liveFixture();
    f.name = "fanless";
    f.fan = {};
    f.fan.detectedCount = 0;
    f.fanHistory.clear();
    return f;
}

void fillBackdrop(gfx::Context& context, const gfx::Rect& rect) {
    context.setFillColor(gfx::Color::dynamic(gfx::Color::grey(0.94), gfx::Color::grey(0.17)));
    context.fillRect(rect);
}

// Every module's content, one column per fixture, each section on a faint card as in the view.
gfx::Bitmap renderSheet(DetailPresentation presentation, gfx::Appearance appearance,
                        const std::vector<Fixture>& fixtures) {
    const double width = cardContentWidth(presentation, nullptr);
    double height = 20;
    for (const ModuleKind kind : allModuleKinds)
        height += detailSectionHeight(kind, presentation, {}) + 20;
    const double columnWidth = width + 36;
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({columnWidth * fixtures.size(), height}, 2);
    gfx::Context context(bitmap, appearance);
    fillBackdrop(context, {0, 0, columnWidth * fixtures.size(), height});
    for (std::size_t column = 0; column < fixtures.size(); ++column) {
        double top = height - 20;
        for (const ModuleKind kind : allModuleKinds) {
            const double section = detailSectionHeight(kind, presentation, {});
            gfx::Context::SavedState saved(context);
            context.translate(columnWidth * column + 18, top - section);
            context.setFillColor(gfx::Color::label().withAlpha(0.035));
            context.fill(gfx::Path::roundedRect({-10, -6, width + 20, section + 12}, 12, 12));
            drawSectionContent(context, kind, fixtures[column].content(kind, presentation));
            top -= section + 20;
        }
    }
    return bitmap;
}

int channelDistance(gfx::Rgba8 a, gfx::Rgba8 b) {
    return std::max({std::abs(a.red - b.red), std::abs(a.green - b.green),
                     std::abs(a.blue - b.blue), std::abs(a.alpha - b.alpha)});
}

TEST(SectionContentRenderTest, SheetsOfEveryCardInBothPresentationsLightAndDark) {
    const std::vector<Fixture> fixtures{liveFixture(), emptyFixture(), fanlessFixture()};
    for (const auto presentation : {DetailPresentation::details, DetailPresentation::overview}) {
        for (const auto appearance : {gfx::Appearance::light, gfx::Appearance::dark}) {
            const gfx::Bitmap sheet = renderSheet(presentation, appearance, fixtures);
            const std::string name = "section-content-" + std::string(toString(presentation)) +
                                     (appearance == gfx::Appearance::dark ? "-dark" : "-light") +
                                     ".png";
            ASSERT_TRUE(sheet.writePng(testsupport::artifactPath(name).string()));
        }
    }
}

std::vector<ExternalDevice> deviceFixture(std::size_t count) {
    const struct {
        const char* name;
        const char* connection;
        ExternalDeviceKind kind;
        std::optional<double> bits;
        std::optional<std::uint64_t> capacity;
        std::optional<std::uint64_t> available;
    } rows[] = {
        {"Archive SSD", "Thunderbolt 4", ExternalDeviceKind::storage, 40e9, 2'000'000'000'000,
         1'250'000'000'000},
        {"Studio Microphone", "USB", ExternalDeviceKind::microphone, 480e6, std::nullopt,
         std::nullopt},
        {"Camera Card", "SD Card Reader", ExternalDeviceKind::card, std::nullopt, 64'000'000'000,
         std::nullopt},
        {"Wireless Headphones", "USB 2.0", ExternalDeviceKind::headphones, 12e6, std::nullopt,
         std::nullopt},
        {"Keyboard", "USB", ExternalDeviceKind::usb, 1.5e6, std::nullopt, std::nullopt},
    };
    std::vector<ExternalDevice> devices;
    for (std::size_t i = 0; i < count && i < std::size(rows); ++i) {
        ExternalDevice d;
        d.id = "usb:" + std::to_string(i);
        d.name = rows[i].name;
        d.connection = rows[i].connection;
        d.kind = rows[i].kind;
        d.bitsPerSecond = rows[i].bits;
        d.capacity = rows[i].capacity;
        d.availableCapacity = rows[i].available;
        devices.push_back(d);
    }
    return devices;
}

// The devices card with 0, 1 and 5 devices side by side; in the last column the newest device
// is a third of the way into its entrance.
gfx::Bitmap renderDevicesSheet(DetailPresentation presentation, gfx::Appearance appearance) {
    const double width = cardContentWidth(presentation, nullptr);
    const std::vector<std::vector<ExternalDevice>> lists{deviceFixture(0), deviceFixture(1),
                                                         deviceFixture(5)};
    const auto capacities = [](const std::vector<ExternalDevice>& devices) {
        std::vector<bool> flags;
        for (const ExternalDevice& d : devices)
            flags.push_back(d.capacity.has_value());
        return flags;
    };
    double height = 0;
    for (const auto& list : lists)
        height = std::max(height,
                          detailSectionHeight(ModuleKind::devices, presentation, capacities(list)));
    const double columnWidth = width + 36;
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({columnWidth * lists.size(), height + 32}, 2);
    gfx::Context context(bitmap, appearance);
    fillBackdrop(context, {0, 0, columnWidth * lists.size(), height + 32});
    for (std::size_t column = 0; column < lists.size(); ++column) {
        const double section =
            detailSectionHeight(ModuleKind::devices, presentation, capacities(lists[column]));
        SectionContent content;
        content.presentation = presentation;
        content.width = width;
        content.regions = sectionRegions(ModuleKind::devices, presentation, width, section,
                                         capacities(lists[column]));
        content.devices = lists[column];
        if (lists[column].size() == 5) {
            content.deviceCardNow = 100;
            content.deviceArrivals["usb:4"] = 100 - 0.24;
        }
        gfx::Context::SavedState saved(context);
        context.translate(columnWidth * column + 18, height + 16 - section);
        context.setFillColor(gfx::Color::label().withAlpha(0.035));
        context.fill(gfx::Path::roundedRect({-10, -6, width + 20, section + 12}, 12, 12));
        drawSectionContent(context, ModuleKind::devices, content);
    }
    return bitmap;
}

TEST(SectionContentRenderTest, DeviceCardsWithNoneOneAndFiveDevices) {
    for (const auto presentation : {DetailPresentation::details, DetailPresentation::overview}) {
        for (const auto appearance : {gfx::Appearance::light, gfx::Appearance::dark}) {
            const std::string name = "device-cards-" + std::string(toString(presentation)) +
                                     (appearance == gfx::Appearance::dark ? "-dark" : "-light") +
                                     ".png";
            ASSERT_TRUE(renderDevicesSheet(presentation, appearance)
                            .writePng(testsupport::artifactPath(name).string()));
        }
    }
}

// One chart card alone on white (light) or black (dark), at scale 1.
struct ProbedCard {
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({300, 200}, 1);
    gfx::Rect card;

    ProbedCard(const SectionContent& content, ModuleKind kind, gfx::Appearance appearance) {
        gfx::Context context(bitmap, appearance);
        context.setFillColor(appearance == gfx::Appearance::dark ? gfx::Color::black()
                                                                 : gfx::Color::white());
        context.fillRect({0, 0, 300, 200});
        drawSectionContent(context, kind, content);
    }
    gfx::Rgba8 at(double x, double y) const { return bitmap.pixelAtPoint({x, y}); }
};

SectionContent chartOnly(const char* region, DetailPresentation presentation) {
    SectionContent content;
    content.presentation = presentation;
    content.regions = {{region, gfx::Rect{20, 20, 200, 120}}};
    return content;
}

TEST(SectionContentRenderTest, TheCardFillAndTheChartBandAreFaintOnScreen) {
    for (const auto appearance : {gfx::Appearance::light, gfx::Appearance::dark}) {
        const bool dark = appearance == gfx::Appearance::dark;
        SectionContent content = chartOnly("temperatureChart", DetailPresentation::overview);
        const std::vector<std::optional<double>> steady(60, 55.0);
        content.temperatureHistory = steady;
        const ProbedCard probe(content, ModuleKind::temperature, appearance);
        // The card at 0.04 of the label colour over the window.
        const std::uint8_t card = dark ? 10 : 245;
        EXPECT_LE(channelDistance(probe.at(120, 130), {card, card, card, 255}), 1);
        // Under the 55 °C line (half the height) the band is the base colour at 0.22.
        const gfx::Color green = toColor(PaletteColor::green);
        const auto blend = [&](double c) {
            return std::uint8_t(std::lround(card + (c * 255 - card) * 0.22));
        };
        EXPECT_LE(channelDistance(probe.at(120, 40), {blend(green.red()), blend(green.green()),
                                                      blend(green.blue()), 255}),
                  2);
    }
}

TEST(SectionContentRenderTest, AChartIsClippedToItsRoundedCard) {
    SectionContent content = chartOnly("temperatureChart", DetailPresentation::overview);
    const std::vector<std::optional<double>> hot(60, 120.0);
    content.temperatureHistory = hot;
    const ProbedCard probe(content, ModuleKind::temperature, gfx::Appearance::light);
    const gfx::Rgba8 white{255, 255, 255, 255};
    // Outside the 10-pt corners the window shows; along the top edge the chart reaches the card.
    EXPECT_EQ(probe.at(20.5, 139.5), white);
    EXPECT_EQ(probe.at(219.5, 139.5), white);
    EXPECT_EQ(probe.at(20.5, 20.5), white);
    EXPECT_GT(channelDistance(probe.at(120, 139.5), white), 40);
    // Nothing beyond the card.
    EXPECT_EQ(probe.at(120, 141), white);
    EXPECT_EQ(probe.at(221, 80), white);

    // In details the top 25 pt are the title's band: no chart there.
    content.presentation = DetailPresentation::details;
    const ProbedCard titled(content, ModuleKind::temperature, gfx::Appearance::light);
    EXPECT_LE(channelDistance(titled.at(200, 130), {245, 245, 245, 255}), 1);
    EXPECT_GT(channelDistance(titled.at(200, 110), {245, 245, 245, 255}), 40);
}

} // namespace
} // namespace pulsedeck
