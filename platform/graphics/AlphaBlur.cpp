#include "platform/graphics/AlphaBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace gfx {

namespace {

// Divides a window's sum by its size with a multiply and a shift, which the compiler can
// vectorise; exact to within one level of 255.
class Average {
public:
    explicit Average(int radius)
        : multiplier_((1u << shift) / unsigned(2 * radius + 1)), half_(1u << (shift - 1)) {}
    std::uint8_t operator()(int sum) const {
        return std::uint8_t(std::min(255u, (unsigned(sum) * multiplier_ + half_) >> shift));
    }

private:
    static constexpr unsigned shift = 16;
    unsigned multiplier_;
    unsigned half_;
};

// One box pass along a row, through a scratch copy; the window is clamped to the row (outside
// counts as transparent).
void horizontalPass(std::uint8_t* row, int width, int radius, std::vector<std::uint8_t>& scratch) {
    std::copy(row, row + width, scratch.begin());
    Average average(radius);
    int sum = 0;
    for (int i = 0; i < std::min(radius, width); ++i) {
        sum += scratch[i];
    }
    for (int i = 0; i < width; ++i) {
        if (i + radius < width) {
            sum += scratch[i + radius];
        }
        if (i - radius - 1 >= 0) {
            sum -= scratch[i - radius - 1];
        }
        row[i] = average(sum);
    }
}

// One box pass down every column at once, row by row, so memory is walked in order.
void verticalPass(std::uint8_t* data, int width, int height, int stride, int radius,
                  std::vector<std::uint8_t>& copy, std::vector<int>& sums) {
    for (int row = 0; row < height; ++row) {
        std::copy(data + std::size_t(row) * stride, data + std::size_t(row) * stride + width,
                  copy.begin() + std::size_t(row) * width);
    }
    std::fill(sums.begin(), sums.end(), 0);
    Average average(radius);
    for (int row = 0; row < std::min(radius, height); ++row) {
        const std::uint8_t* source = copy.data() + std::size_t(row) * width;
        for (int column = 0; column < width; ++column) {
            sums[column] += source[column];
        }
    }
    for (int row = 0; row < height; ++row) {
        if (row + radius < height) {
            const std::uint8_t* entering = copy.data() + std::size_t(row + radius) * width;
            for (int column = 0; column < width; ++column) {
                sums[column] += entering[column];
            }
        }
        if (row - radius - 1 >= 0) {
            const std::uint8_t* leaving = copy.data() + std::size_t(row - radius - 1) * width;
            for (int column = 0; column < width; ++column) {
                sums[column] -= leaving[column];
            }
        }
        std::uint8_t* target = data + std::size_t(row) * stride;
        for (int column = 0; column < width; ++column) {
            target[column] = average(sums[column]);
        }
    }
}

// out = (upper·(256 − weight) + lower·weight + 32768) / 65536 for 16-bit fixed-point rows, on
// explicit 16-bit lanes (the build's -O2 leaves such loops scalar and this one runs for every
// pixel of every shadow). Each value splits into high and low bytes so no product leaves 16 bits:
// with H and L the blends of the high and low bytes, the sum is 256·H + L + 32768, whose top
// byte is H / 256 plus the carry out of (H mod 256) + L / 256 + 128.
void blendRows(const std::uint16_t* upper, const std::uint16_t* lower, unsigned weight,
               std::uint8_t* out, int count) {
    using Lanes = std::uint16_t __attribute__((vector_size(32)));
    using Bytes = std::uint8_t __attribute__((vector_size(16)));
    constexpr int lanes = 16;
    const Lanes keep = Lanes{} + std::uint16_t(256 - weight);
    const Lanes take = Lanes{} + std::uint16_t(weight);
    int x = 0;
    for (; x + lanes <= count; x += lanes) {
        Lanes a, b;
        std::memcpy(&a, upper + x, sizeof a);
        std::memcpy(&b, lower + x, sizeof b);
        const Lanes high = (a >> 8) * keep + (b >> 8) * take;
        const Lanes low = (a & 255) * keep + (b & 255) * take;
        const Lanes sum = (high >> 8) + (((high & 255) + (low >> 8) + 128) >> 8);
        const Bytes result = __builtin_convertvector(sum, Bytes);
        std::memcpy(out + x, &result, sizeof result);
    }
    for (; x < count; ++x) {
        out[x] = std::uint8_t((upper[x] * (256 - weight) + lower[x] * weight + 32768) >> 16);
    }
}

} // namespace

void blurAlphaMask(std::uint8_t* data, int width, int height, int stride, int radius) {
    if (radius <= 0 || width <= 0 || height <= 0) {
        return;
    }
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(width));
    std::vector<std::uint8_t> copy(std::size_t(width) * std::size_t(height));
    std::vector<int> sums(static_cast<std::size_t>(width));
    for (int pass = 0; pass < 3; ++pass) {
        for (int row = 0; row < height; ++row) {
            horizontalPass(data + std::size_t(row) * stride, width, radius, scratch);
        }
        verticalPass(data, width, height, stride, radius, copy, sums);
    }
}

void upsampleAlphaMask(const std::uint8_t* source, int sourceWidth, int sourceHeight,
                       int sourceStride, int factor, std::uint8_t* target, int targetWidth,
                       int targetHeight, int targetStride) {
    if (sourceWidth <= 0 || sourceHeight <= 0 || factor <= 0) {
        return;
    }
    // Source coordinate of each target column in 8-bit fixed point, with its two neighbours.
    struct Tap {
        int first, second, weight;
    };
    auto taps = [factor](int count, int sourceCount) {
        std::vector<Tap> result(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            int position = ((2 * i + 1) * 256) / (2 * factor) - 128;
            int first = position >> 8;
            int weight = position & 255;
            int second = first + 1;
            result[i] = {std::clamp(first, 0, sourceCount - 1),
                         std::clamp(second, 0, sourceCount - 1), weight};
        }
        return result;
    };
    std::vector<Tap> columns = taps(targetWidth, sourceWidth);
    std::vector<Tap> rows = taps(targetHeight, sourceHeight);
    // Each source row is widened once, kept at 16-bit precision, and every target row only blends
    // two widened rows: a target row costs a plain loop the compiler vectorises rather than four
    // taps per pixel, with the same rounding as blending all four at once.
    std::vector<std::uint16_t> widened(std::size_t(sourceHeight) * std::size_t(targetWidth));
    for (int y = 0; y < sourceHeight; ++y) {
        const std::uint8_t* in = source + std::size_t(y) * sourceStride;
        std::uint16_t* out = widened.data() + std::size_t(y) * targetWidth;
        for (int x = 0; x < targetWidth; ++x) {
            const Tap& tap = columns[x];
            out[x] =
                std::uint16_t(in[tap.first] * (256 - tap.weight) + in[tap.second] * tap.weight);
        }
    }
    for (int y = 0; y < targetHeight; ++y) {
        const std::uint16_t* upper = widened.data() + std::size_t(rows[y].first) * targetWidth;
        const std::uint16_t* lower = widened.data() + std::size_t(rows[y].second) * targetWidth;
        const unsigned vertical = unsigned(rows[y].weight);
        std::uint8_t* out = target + std::size_t(y) * targetStride;
        blendRows(upper, lower, vertical, out, targetWidth);
    }
}

int boxRadiusForBlur(double blurPixels) {
    if (!(blurPixels > 0)) {
        return 0;
    }
    // Three passes of radius r have a variance of r(r+1); a shadow's blur radius b spreads
    // like a Gaussian of σ = b/2.
    double sigma = blurPixels / 2;
    return std::max(1, int(std::lround((std::sqrt(1 + 4 * sigma * sigma) - 1) / 2)));
}

} // namespace gfx
