#include "platform/foundation/DisplayName.h"

#include <gtest/gtest.h>

namespace {

TEST(DisplayName, NamesOfOneServerGiveOneKey) {
    struct Case {
        const char* name;
        const char* key;
    };
    const Case cases[] = {
        {":0", ":0"},
        {":0.0", ":0"},
        {":0.1", ":0"},
        {"unix:0", ":0"},
        {"unix:0.0", ":0"},
        {"localhost:0", ":0"},
        {"tcp/localhost:00", ":0"},
        {"unix/:0", ":0"},
        {"127.0.0.1:0.0", ":0"},
        {"[::1]:0", ":0"},
        {"workstation:0", ":0"},
        {"WorkStation:0.0", ":0"},
        {":10", ":10"},
        {"localhost:10.0", ":10"},
        {"other.example.org:0.0", "other.example.org:0"},
        {"tcp/other.example.org:2", "other.example.org:2"},
        {"decnet::1", "decnet:1"},
        // Not display names: kept whole, so they never meet a real one.
        {"wayland-0", "wayland-0"},
        {":", ":"},
        {":x", ":x"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(foundation::displayServerKey(test.name, "workstation"), test.key) << test.name;
    EXPECT_EQ(foundation::displayServerKey("workstation:0", ""), "workstation:0");
}

} // namespace
