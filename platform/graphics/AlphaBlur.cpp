#include "platform/graphics/AlphaBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gfx {

namespace {

// One box pass over n samples spaced step apart, through a scratch line; the window is clamped
// to the line (outside counts as transparent).
void boxPass(std::uint8_t* line, int n, int step, int radius, std::vector<std::uint8_t>& scratch) {
    for (int i = 0; i < n; ++i) {
        scratch[i] = line[std::size_t(i) * step];
    }
    int window = 2 * radius + 1;
    int sum = 0;
    for (int i = 0; i < std::min(radius, n); ++i) {
        sum += scratch[i];
    }
    for (int i = 0; i < n; ++i) {
        int entering = i + radius;
        if (entering < n) {
            sum += scratch[entering];
        }
        int leaving = i - radius - 1;
        if (leaving >= 0) {
            sum -= scratch[leaving];
        }
        line[std::size_t(i) * step] = std::uint8_t((sum + window / 2) / window);
    }
}

} // namespace

void blurAlphaMask(std::uint8_t* data, int width, int height, int stride, int radius) {
    if (radius <= 0 || width <= 0 || height <= 0) {
        return;
    }
    std::vector<std::uint8_t> scratch(std::size_t(std::max(width, height)));
    for (int pass = 0; pass < 3; ++pass) {
        for (int row = 0; row < height; ++row) {
            boxPass(data + std::size_t(row) * stride, width, 1, radius, scratch);
        }
        for (int column = 0; column < width; ++column) {
            boxPass(data + column, height, stride, radius, scratch);
        }
    }
}

int boxRadiusForBlur(double blurPixels) {
    if (!(blurPixels > 0)) {
        return 0;
    }
    // Three passes of radius r have a variance of r(r+1); the platform's blur radius b spreads
    // like a Gaussian of σ = b/2.
    double sigma = blurPixels / 2;
    return std::max(1, int(std::lround((std::sqrt(1 + 4 * sigma * sigma) - 1) / 2)));
}

} // namespace gfx
