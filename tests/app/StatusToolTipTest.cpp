#include "app/StatusToolTip.h"

#include "sources/NetworkSnapshot.h"

#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

constexpr auto en = AppLanguage::english;

TEST(StatusToolTip, NothingVisibleLeavesTheHeadAlone) {
    EXPECT_EQ(statusToolTip({}), "Pulsedeck. ");
    StatusToolTipContent devicesOnly;
    devicesOnly.devices = std::vector<ExternalDevice>{};
    EXPECT_EQ(statusToolTip(devicesOnly), "Pulsedeck.  ");
}

TEST(StatusToolTip, PartsComeInTheirOwnOrder) {
    StatusToolTipContent content;
    content.compute = ComputeSnapshot{};
    content.compute->cpu = 12.4;
    content.temperature = TemperatureSnapshot{};
    content.network = NetworkSnapshot{};
    content.network->download = 1500;
    FanSnapshot fan;
    fan.model = "Desk";
    fan.fans = {FanReading{0, 2400, 6000}, FanReading{1, std::nullopt, std::nullopt}};
    content.fan = fan;
    EXPECT_EQ(statusToolTip(content),
              "Pulsedeck.  Desk. " + text(Copy::fanShort, en) + " 1: 2400 RPM, " +
                  text(Copy::fanMaximum, en) + ": 6000 RPM; " + text(Copy::fanShort, en) +
                  " 2: \u2014 RPM, " + text(Copy::fanMaximum, en) + ": \u2014 " +
                  text(Copy::download, en) + ": " + formatRate(1500.0) + ", " +
                  text(Copy::upload, en) + ": \u2014. " + text(Copy::cpuTemperature, en) +
                  ": \u2014 \u00b0C. CPU: 12%, GPU: \u2014.");
}

TEST(StatusToolTip, TemperatureIsWholeDegrees) {
    StatusToolTipContent content;
    content.temperature = TemperatureSnapshot{};
    content.temperature->celsius = 61.6;
    EXPECT_EQ(statusToolTip(content),
              "Pulsedeck.  " + text(Copy::cpuTemperature, en) + ": 62 \u00b0C.");
}

TEST(StatusToolTip, DeviceRatesInMbpsOrGbps) {
    ExternalDevice device;
    device.name = "Stick";
    device.connection = "USB";
    auto rate = [&](std::optional<double> bits) {
        device.bitsPerSecond = bits;
        return deviceToolTipText(device, en);
    };
    EXPECT_EQ(rate(1e9), "Stick: USB, 1 Gbps");
    EXPECT_EQ(rate(2.5e8), "Stick: USB, 250 Mbps");
    EXPECT_EQ(rate(1.5e9), "Stick: USB, 1.5 Gbps");
    EXPECT_EQ(rate(1.5e6), "Stick: USB, 1.5 Mbps");
    const std::string unknown = "Stick: USB, " + text(Copy::deviceRateUnknown, en);
    EXPECT_EQ(rate(0), unknown);
    EXPECT_EQ(rate(std::nullopt), unknown);
    EXPECT_EQ(rate(std::numeric_limits<double>::infinity()), unknown);
    EXPECT_EQ(rate(-5), unknown);

    StatusToolTipContent content;
    content.devices = std::vector<ExternalDevice>{device, device};
    device.bitsPerSecond = 1e9;
    content.devices->back() = device;
    EXPECT_EQ(statusToolTip(content), "Pulsedeck.  " + unknown + "; Stick: USB, 1 Gbps");
}

} // namespace
} // namespace pulsedeck
