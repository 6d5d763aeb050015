#include "platform/graphics/AlphaBlur.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace gfx {
namespace {

// Bilinear weights at a factor of four fall at 1/8, 3/8, 5/8 and 7/8 of the way across a step
// from 0 to 255; the ramp, then the far side, from the first target pixel past the step's start.
constexpr std::uint8_t stepRamp[] = {32, 96, 159, 223, 255};

// Nine source columns widen to 36, so every row runs through both the 16-pixel blocks and the
// four-pixel rest.
constexpr int sourceWidth = 9;
constexpr int factor = 4;
constexpr int targetWidth = sourceWidth * factor;

std::vector<std::uint8_t> upsampled(const std::vector<std::uint8_t>& source, int sourceHeight) {
    std::vector<std::uint8_t> target(std::size_t(targetWidth) * sourceHeight * factor, 7);
    upsampleAlphaMask(source.data(), sourceWidth, sourceHeight, sourceWidth, factor, target.data(),
                      targetWidth, sourceHeight * factor, targetWidth);
    return target;
}

TEST(AlphaBlurTest, UpsamplingKeepsOpaqueOpaqueAndRampsStepsEvenly) {
    // Fully opaque stays exactly 255 everywhere: the largest sums the blend can meet.
    for (std::uint8_t value : upsampled(std::vector<std::uint8_t>(sourceWidth * 2, 255), 2))
        ASSERT_EQ(value, 255);

    // A step between source columns 4 and 5 ramps over target columns 18 to 22, inside the
    // second block; the columns before it stay clear.
    std::vector<std::uint8_t> columns(sourceWidth * 2, 0);
    for (int row = 0; row < 2; ++row)
        for (int column = 5; column < sourceWidth; ++column)
            columns[std::size_t(row) * sourceWidth + column] = 255;
    const std::vector<std::uint8_t> across = upsampled(columns, 2);
    for (int row = 0; row < 2 * factor; ++row) {
        const std::uint8_t* line = across.data() + std::size_t(row) * targetWidth;
        for (int column = 0; column < 18; ++column)
            EXPECT_EQ(line[column], 0) << row << "," << column;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(line[18 + i], stepRamp[i]) << row << "," << 18 + i;
        EXPECT_EQ(line[targetWidth - 1], 255);
    }

    // The same step between two source rows ramps down the target rows, on every column alike.
    std::vector<std::uint8_t> rows(sourceWidth * 2, 0);
    std::fill(rows.begin() + sourceWidth, rows.end(), 255);
    const std::vector<std::uint8_t> down = upsampled(rows, 2);
    const std::uint8_t expected[] = {0, 0, 32, 96, 159, 223, 255, 255};
    for (int row = 0; row < 2 * factor; ++row)
        for (int column = 0; column < targetWidth; ++column)
            EXPECT_EQ(down[std::size_t(row) * targetWidth + column], expected[row])
                << row << "," << column;
}

} // namespace
} // namespace gfx
