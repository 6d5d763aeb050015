#include "statusbar/NetworkStatusImage.h"

#include "statusbar/CapsuleImage.h"
#include "support/KeptImageSequence.h"

#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

namespace pulsedeck {
namespace {

// Each second's image, drawn from an earlier one, shows what a fresh image would, pixel for pixel:
// the graph moves and rescales, rates change unit, vanish to "—" and return, with and without the
// graph.
TEST(NetworkStatusImage, AnImageDrawnFromAnEarlierOneShowsTheNewSecond) {
    CapsuleCache capsules;
    const std::vector<std::pair<std::optional<double>, std::optional<double>>> rates{
        {1200, 300}, {1200, 300}, {86000, 300},        {1.2e6, 86000}, {std::nullopt, 86000},
        {9.9e9, 0},  {0, 0},      {512, std::nullopt}, {2.5e6, 2.5e6}, {2.5e6, 2.4e6},
    };
    for (bool dark : {false, true}) {
        for (bool showsGraph : {true, false}) {
            SCOPED_TRACE(testing::Message() << "dark " << dark << ", graph " << showsGraph);
            // Each content points into a history of its own that lives through the test.
            std::vector<std::vector<NetworkSnapshot>> histories;
            std::vector<NetworkSnapshot> history;
            for (const auto& [download, upload] : rates) {
                history.push_back({download, upload, {"eth0"}});
                histories.push_back(history);
            }
            std::vector<NetworkStatusContent> contents;
            for (const std::vector<NetworkSnapshot>& history : histories) {
                contents.push_back({.dark = dark,
                                    .showsGraph = showsGraph,
                                    .history = history,
                                    .download = history.back().download,
                                    .upload = history.back().upload,
                                    .chartLength = 40});
            }
            testsupport::expectKeptImagesDrawnFresh(
                std::span<const NetworkStatusContent>(contents),
                [&capsules](const NetworkStatusContent& drawn) {
                    return networkStatusImage(capsules, drawn);
                },
                [&capsules](const NetworkStatusContent& drawn, const NetworkStatusContent& before,
                            gfx::Image image) {
                    return networkStatusImage(capsules, drawn, before, std::move(image));
                });
        }
    }
}

} // namespace
} // namespace pulsedeck
