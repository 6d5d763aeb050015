#include "detail/DeviceCards.h"

#include "drawing/DeviceDrawing.h"
#include "platform/graphics/RecordingContext.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

constexpr double deviceCardWidth = 282;

ExternalDevice device(std::string id, std::string connection,
                      ExternalDeviceKind kind = ExternalDeviceKind::storage) {
    ExternalDevice d;
    d.id = std::move(id);
    d.name = "Backup Drive";
    d.connection = std::move(connection);
    d.bitsPerSecond = 5e9;
    d.kind = kind;
    return d;
}

struct DevicesCard {
    std::vector<ExternalDevice> devices;
    SectionContent content;

    explicit DevicesCard(std::vector<ExternalDevice> list,
                         DetailPresentation presentation = DetailPresentation::details)
        : devices(std::move(list)) {
        std::vector<bool> capacities;
        for (const ExternalDevice& d : devices)
            capacities.push_back(d.capacity.has_value());
        content.presentation = presentation;
        content.devices = devices;
        content.regions = sectionRegions(
            ModuleKind::devices, presentation, deviceCardWidth,
            detailSectionHeight(ModuleKind::devices, presentation, capacities), capacities);
    }

    gfx::DrawingRecorder draw() const {
        gfx::RecordingContext context({deviceCardWidth, 400});
        drawSectionContent(context, ModuleKind::devices, content);
        return context.log();
    }
};

TEST(DeviceCardsTest, AnEmptyListShowsOnlyTheMessageAndTheHint) {
    const DevicesCard card({});
    const auto log = card.draw();
    const gfx::TextRecord* message = log.text(text(Copy::noDevices, AppLanguage::english));
    ASSERT_TRUE(message);
    EXPECT_NEAR(message->bounds.midY(), card.content.regions.at("device0").midY(), 0.01);
    EXPECT_TRUE(log.text(text(Copy::deviceRateHint, AppLanguage::english)));
    EXPECT_TRUE(log.fills().empty());

    const auto overview = DevicesCard({}, DetailPresentation::overview).draw();
    EXPECT_TRUE(overview.text(text(Copy::noDevices, AppLanguage::english)));
    EXPECT_FALSE(overview.text(text(Copy::deviceRateHint, AppLanguage::english)));
}

TEST(DeviceCardsTest, ACardComesInFromSmallerAndFaintAndSettlesAtRest) {
    const struct {
        const char* name;
        std::optional<double> arrival;
        bool reduceMotion;
        double age;
    } cases[] = {
        {"just arrived", 10.0, false, 0},
        {"half way", 9.64, false, 0.36},
        {"done", 9.28, false, 0.72},
        {"long ago", 1.0, false, 9},
        {"arrival later than now counts as new", 12.0, false, 0},
        {"no arrival entry", std::nullopt, false, 0.72},
        {"reduce motion", 10.0, true, 0},
    };
    for (const auto& c : cases) {
        DevicesCard card({device("disk:1", "USB 3.2")});
        card.content.deviceCardNow = 10;
        card.content.reduceMotion = c.reduceMotion;
        if (c.arrival)
            card.content.deviceArrivals["disk:1"] = *c.arrival;
        const gfx::Rect r = card.content.regions.at("device0");
        const gfx::FillRecord background = card.draw().fills().front();

        const RevealState pose = revealCurve(c.reduceMotion, c.age);
        const double w = r.width() * pose.scale;
        const double h = r.height() * pose.scale;
        const gfx::Rect expected{r.midX() - w / 2, r.midY() + pose.offset - h / 2, w, h};
        EXPECT_NEAR(background.bounds.minX(), expected.minX(), 0.01) << c.name;
        EXPECT_NEAR(background.bounds.minY(), expected.minY(), 0.01) << c.name;
        EXPECT_NEAR(background.bounds.width(), expected.width(), 0.01) << c.name;
        EXPECT_NEAR(background.alpha, pose.opacity, 1e-9) << c.name;
        const bool atRest = c.reduceMotion || c.age >= 0.72;
        EXPECT_EQ(background.bounds == r && background.alpha == 1, atRest) << c.name;
    }
}

TEST(DeviceCardsTest, TheLinkIconFollowsTheConnection) {
    const struct {
        const char* connection;
        bool image;
        bool drawnInBox;
    } cases[] = {
        {"Thunderbolt 4", true, true},
        {"USB 3.2", false, true},
        {"SATA", false, false},
    };
    for (const auto& c : cases) {
        // A card device draws its kind icon as an image too; a phone's is away from the link box.
        const DevicesCard card({device("tb:1", c.connection, ExternalDeviceKind::phone)});
        const auto log = card.draw();
        const gfx::Rect r = card.content.regions.at("device0");
        std::optional<gfx::TextRecord> rate;
        for (const gfx::TextRecord& t : log.texts()) {
            if (t.font.monospacedDigits())
                rate = t;
        }
        ASSERT_TRUE(rate) << c.connection;
        EXPECT_NEAR(rate->bounds.maxX(), r.maxX() - 10, 0.01);
        const double rateWidth = std::min(rate->bounds.width(), 135.0);
        const gfx::Rect linkBox{r.maxX() - 10 - rateWidth - 17, r.minY() + 9, 12, 12};
        bool image = false;
        for (const gfx::ImageRecord& record : log.images())
            image = image || linkBox.insetBy(-0.01, -0.01).contains(record.destination);
        bool drawn = image;
        for (const gfx::StrokeRecord& record : log.strokes())
            drawn = drawn || linkBox.insetBy(-0.5, -0.5).contains(record.bounds);
        EXPECT_EQ(image, c.image) << c.connection;
        EXPECT_EQ(drawn, c.drawnInBox) << c.connection;
    }
}

TEST(DeviceCardsTest, ALongConnectionIsLimitedAndTheNameKeepsItsRoom) {
    ExternalDevice d = device("usb:7", "A connection label far longer than any bus would ever name",
                              ExternalDeviceKind::usb);
    d.name = "A device with a name just as long as its very long connection";
    d.capacity = 500'000'000'000;
    d.availableCapacity = 120'000'000'000;
    const DevicesCard card({d});
    const auto log = card.draw();
    const gfx::Rect r = card.content.regions.at("device0");
    const gfx::TextRecord* connection = log.text(d.connection);
    const gfx::TextRecord* name = log.text(d.name);
    ASSERT_TRUE(connection && name);
    EXPECT_LE(connection->bounds.width(), 102 + 0.01);
    EXPECT_NEAR(connection->bounds.maxX(), r.maxX() - 10, 0.5);
    EXPECT_EQ(name->origin.x, r.minX() + 31);
    EXPECT_LE(name->bounds.maxX(), r.maxX() - 10 - 102 - 8 + 0.01);
    EXPECT_GE(name->font.pointSize(), 8);
    // With a capacity the rate row moves up 12 pt, over the bar.
    const gfx::TextRecord* capacity = log.text(*d.capacityText(AppLanguage::english));
    ASSERT_TRUE(capacity);
    EXPECT_NEAR(capacity->bounds.midY(), r.minY() + 12 + 6 + 9, 0.01);
}

} // namespace
} // namespace pulsedeck
