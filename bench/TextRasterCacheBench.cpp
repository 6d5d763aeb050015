#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/TextRasterCache.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

using namespace gfx;

// The strip's value text (10.2 pt medium, monospaced digits) drawn into a status image at scale
// 2 in y-up space, at a fractional origin. The argument switches this thread's text masks on (1)
// or off (0: every draw runs through pango's renderer).
TextAttributes valueAttributes() {
    return {.font = Font::monospacedDigitSystem(10.2, FontWeight::medium),
            .color = Color::white().withAlpha(0.85)};
}

class MasksSwitched {
public:
    explicit MasksSwitched(bool on) { TextRasterCache::forThisThread().setEnabled(on); }
    ~MasksSwitched() { TextRasterCache::forThisThread().setEnabled(true); }
    MasksSwitched(const MasksSwitched&) = delete;
    MasksSwitched& operator=(const MasksSwitched&) = delete;
};

// A figure that stays the same from one second to the next.
void BM_DrawRepeatedFigure(benchmark::State& state) {
    MasksSwitched masks(state.range(0) != 0);
    Bitmap bitmap = Bitmap::forPointSize({120, 24}, 2);
    Context context(bitmap);
    TextAttributes value = valueAttributes();
    for (auto _ : state) {
        drawText(context, "6.61 GB", Point{30.3, 6.25}, value);
    }
    benchmark::DoNotOptimize(bitmap.surface());
}
BENCHMARK(BM_DrawRepeatedFigure)->ArgName("masks")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A figure that changes every time (a download rate): shaped, and with masks on rendered, anew
// each draw.
void BM_DrawChangingFigure(benchmark::State& state) {
    MasksSwitched masks(state.range(0) != 0);
    Bitmap bitmap = Bitmap::forPointSize({120, 24}, 2);
    Context context(bitmap);
    TextAttributes value = valueAttributes();
    std::vector<std::string> figures;
    for (int i = 0; i < 1000; ++i) {
        figures.push_back(std::to_string(100 + i) + " KB/s");
    }
    std::size_t next = 0;
    for (auto _ : state) {
        drawText(context, figures[next], Point{30.3, 6.25}, value);
        next = (next + 1) % figures.size();
    }
    benchmark::DoNotOptimize(bitmap.surface());
}
BENCHMARK(BM_DrawChangingFigure)->ArgName("masks")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A memory image's eight runs: four labels and four figures, one of which changes each second.
void BM_DrawMemoryRows(benchmark::State& state) {
    MasksSwitched masks(state.range(0) != 0);
    Bitmap bitmap = Bitmap::forPointSize({120, 24}, 2);
    Context context(bitmap);
    TextAttributes label{.font = Font::system(8.3, FontWeight::medium),
                         .color = Color::white().withAlpha(0.55)};
    TextAttributes value = valueAttributes();
    const char* labels[] = {"Used", "Cached", "Swap", "Total"};
    const char* figures[] = {"17.42 GB", "9.07 GB", "1.25 GB", "32.00 GB"};
    int second = 0;
    for (auto _ : state) {
        for (int row = 0; row < 4; ++row) {
            double x = row % 2 == 0 ? 2 : 60, y = row < 2 ? 13 : 2;
            drawText(context, labels[row], Point{x, y}, label);
            std::string figure =
                row == 0 ? std::to_string(17 + second % 3) + ".42 GB" : figures[row];
            drawText(context, figure, Point{x + 24.5, y}, value);
        }
        ++second;
    }
    benchmark::DoNotOptimize(bitmap.surface());
}
BENCHMARK(BM_DrawMemoryRows)->ArgName("masks")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
