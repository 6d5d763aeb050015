#include "detail/ModuleFigures.h"
#include "detail/SectionContentDrawing.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "support/DetailReadings.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

void fillBackdrop(gfx::Context& context, const gfx::Rect& rect) {
    context.setFillColor(gfx::Color::dynamic(gfx::Color::grey(0.94), gfx::Color::grey(0.17)));
    context.fillRect(rect);
}

// Pixels of a rectangle (in points) that stand out from the backdrop colour at its corner.
int inkIn(const gfx::Bitmap& bitmap, const gfx::Rect& rect) {
    const gfx::Rgba8 backdrop = bitmap.pixelAtPoint({rect.minX() + 0.5, rect.minY() + 0.5});
    int count = 0;
    for (double x = rect.minX() + 0.25; x < rect.maxX(); x += 0.5)
        for (double y = rect.minY() + 0.25; y < rect.maxY(); y += 0.5) {
            const gfx::Rgba8 p = bitmap.pixelAtPoint({x, y});
            count += std::max({std::abs(p.red - backdrop.red), std::abs(p.green - backdrop.green),
                               std::abs(p.blue - backdrop.blue)}) > 60;
        }
    return count;
}

// Every module's content, one column per fixture, each section on a faint card as in the view.
gfx::Bitmap renderSheet(DetailPresentation presentation, gfx::Appearance appearance,
                        const std::vector<detailreadings::Readings>& fixtures) {
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
    const std::vector<detailreadings::Readings> fixtures{detailreadings::liveReadings(),
                                                         detailreadings::dashReadings(),
                                                         detailreadings::fanlessReadings()};
    for (const auto presentation : {DetailPresentation::details, DetailPresentation::overview}) {
        for (const auto appearance : {gfx::Appearance::light, gfx::Appearance::dark}) {
            const gfx::Bitmap sheet = renderSheet(presentation, appearance, fixtures);
            const std::string name = "section-content-" + std::string(toString(presentation)) +
                                     (appearance == gfx::Appearance::dark ? "-dark" : "-light") +
                                     ".png";
            ASSERT_TRUE(sheet.writePng(testsupport::artifactPath(name).string()));

            // Each section of each column shows its figures, labels and controls' places.
            const double width = cardContentWidth(presentation, nullptr);
            double top = sheet.size().height - 20;
            for (const ModuleKind kind : allModuleKinds) {
                const double section = detailSectionHeight(kind, presentation, {});
                for (std::size_t column = 0; column < fixtures.size(); ++column)
                    EXPECT_GT(inkIn(sheet, {(width + 36) * double(column) + 18, top - section,
                                            width, section}),
                              40)
                        << toString(kind) << " column " << column;
                top -= section + 20;
            }
        }
    }
}

// The devices card with 0, 1 and 5 devices side by side; in the last column the newest device
// is a third of the way into its entrance.
gfx::Bitmap renderDevicesSheet(DetailPresentation presentation, gfx::Appearance appearance) {
    const double width = cardContentWidth(presentation, nullptr);
    const std::vector<std::vector<ExternalDevice>> lists{detailreadings::deviceFixture(0),
                                                         detailreadings::deviceFixture(1),
                                                         detailreadings::deviceFixture(5)};
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
            const gfx::Bitmap sheet = renderDevicesSheet(presentation, appearance);
            ASSERT_TRUE(sheet.writePng(testsupport::artifactPath(name).string()));
            // More devices, more rows drawn: none, one, five.
            const double columnWidth = cardContentWidth(presentation, nullptr) + 36;
            int before = -1;
            for (int column = 0; column < 3; ++column) {
                const int ink = inkIn(sheet, {columnWidth * column + 18, 16, columnWidth - 36,
                                              sheet.size().height - 32});
                EXPECT_GT(ink, before) << "column " << column;
                before = ink;
            }
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
