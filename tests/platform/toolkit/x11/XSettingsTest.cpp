#include "platform/toolkit/x11/XSettings.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace ui::x11;

// Builds a settings blob the way an XSETTINGS manager writes it.
class Blob {
public:
    explicit Blob(bool bigEndian = false) : bigEndian_(bigEndian) {
        bytes_ = {std::uint8_t(bigEndian ? 1 : 0), 0, 0, 0};
        card32(7);
        countAt_ = bytes_.size();
        card32(0);
    }
    Blob& integer(const std::string& name, std::int32_t value) {
        header(0, name);
        card32(std::uint32_t(value));
        return *this;
    }
    Blob& string(const std::string& name, const std::string& value) {
        header(1, name);
        card32(std::uint32_t(value.size()));
        padded(value);
        return *this;
    }
    Blob& color(const std::string& name) {
        header(2, name);
        for (int i = 0; i < 8; ++i)
            bytes_.push_back(0xff);
        return *this;
    }
    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out = bytes_;
        put(out, countAt_, count_, 4);
        return out;
    }

private:
    void header(std::uint8_t type, const std::string& name) {
        ++count_;
        bytes_.push_back(type);
        bytes_.push_back(0);
        std::vector<std::uint8_t> length(2);
        put(length, 0, std::uint32_t(name.size()), 2);
        bytes_.insert(bytes_.end(), length.begin(), length.end());
        padded(name);
        card32(1);
    }
    void padded(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        while (bytes_.size() % 4)
            bytes_.push_back(0);
    }
    void card32(std::uint32_t value) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + 4);
        put(bytes_, at, value, 4);
    }
    void put(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value,
             std::size_t width) const {
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t shift = 8 * (bigEndian_ ? width - 1 - i : i);
            out[at + i] = std::uint8_t(value >> shift);
        }
    }

    bool bigEndian_;
    std::vector<std::uint8_t> bytes_;
    std::size_t countAt_ = 0;
    std::uint32_t count_ = 0;
};

TEST(XSettings, ReadsIntegersAndStringsInEitherByteOrder) {
    for (bool bigEndian : {false, true}) {
        const auto bytes = Blob(bigEndian)
                               .integer("Gdk/WindowScalingFactor", 2)
                               .color("Gtk/Color")
                               .string("Net/ThemeName", "Adwaita-dark")
                               .integer("Xft/DPI", -1)
                               .bytes();
        const auto settings = parseXSettings(bytes);
        ASSERT_TRUE(settings) << "big endian " << bigEndian;
        EXPECT_EQ(settings->integers.at("Gdk/WindowScalingFactor"), 2);
        EXPECT_EQ(settings->integers.at("Xft/DPI"), -1);
        EXPECT_EQ(settings->strings.at("Net/ThemeName"), "Adwaita-dark");
    }
}

TEST(XSettings, RejectsBlobsCutShortOrWithUnknownTypes) {
    const auto whole = Blob().string("Net/ThemeName", "Adwaita").integer("A", 1).bytes();
    ASSERT_TRUE(parseXSettings(whole));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + long(length));
        EXPECT_FALSE(parseXSettings(cut)) << "cut at " << length;
    }
    auto unknown = Blob().integer("A", 1).bytes();
    unknown[12] = 7;
    EXPECT_FALSE(parseXSettings(unknown));
    // A count far beyond what the blob holds.
    auto boastful = Blob().integer("A", 1).bytes();
    boastful[8] = 0xff;
    boastful[9] = 0xff;
    EXPECT_FALSE(parseXSettings(boastful));
    EXPECT_TRUE(parseXSettings(Blob().bytes()));
}

TEST(XSettings, ScaleComesFromTheScalingFactorThenTheDpiThenOne) {
    const auto doubled = parseXSettings(Blob().integer("Gdk/WindowScalingFactor", 2).bytes());
    EXPECT_EQ(backingScaleFrom(doubled, 96.0), 2);
    EXPECT_EQ(backingScaleFrom(std::nullopt, 192.0), 2);
    EXPECT_EQ(backingScaleFrom(std::nullopt, 140.0), 1);
    EXPECT_EQ(backingScaleFrom(std::nullopt, 150.0), 2);
    EXPECT_EQ(backingScaleFrom(std::nullopt, 30.0), 1);
    EXPECT_EQ(backingScaleFrom(std::nullopt, std::nullopt), 1);
    const auto zero = parseXSettings(Blob().integer("Gdk/WindowScalingFactor", 0).bytes());
    EXPECT_EQ(backingScaleFrom(zero, 192.0), 2);
    const auto huge = parseXSettings(Blob().integer("Gdk/WindowScalingFactor", 1000).bytes());
    EXPECT_EQ(backingScaleFrom(huge, std::nullopt), 8);
}

TEST(XSettings, XftDpiIsReadFromTheResourceDatabase) {
    EXPECT_EQ(xftDpiFromResources("Xcursor.size:\t24\nXft.dpi:\t192\n"), 192.0);
    EXPECT_EQ(xftDpiFromResources("Xft.dpi: 96.5"), 96.5);
    EXPECT_EQ(xftDpiFromResources("Xft.dpi:\tlarge\n"), std::nullopt);
    EXPECT_EQ(xftDpiFromResources("Xft.dpi:\t-96\n"), std::nullopt);
    EXPECT_EQ(xftDpiFromResources("Xft.antialias:\t1\n"), std::nullopt);
    EXPECT_EQ(xftDpiFromResources(""), std::nullopt);
}

TEST(XSettings, DarkThemeNamesAndDisabledAnimations) {
    EXPECT_TRUE(
        themeIsDark(parseXSettings(Blob().string("Net/ThemeName", "Adwaita-Dark").bytes())));
    EXPECT_FALSE(themeIsDark(parseXSettings(Blob().string("Net/ThemeName", "Adwaita").bytes())));
    EXPECT_FALSE(themeIsDark(std::nullopt));
    EXPECT_TRUE(
        animationsDisabled(parseXSettings(Blob().integer("Gtk/EnableAnimations", 0).bytes())));
    EXPECT_FALSE(
        animationsDisabled(parseXSettings(Blob().integer("Gtk/EnableAnimations", 1).bytes())));
    EXPECT_FALSE(animationsDisabled(std::nullopt));
}

} // namespace
