#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/SymbolImage.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

using namespace gfx;

Image rotorFrame() {
    Image frame = Image::withDrawingHandler({24, 24}, false, [](Context& context, const Rect&) {
        context.setFillColor(Color::srgb(0.16, 0.58, 1));
        context.fillEllipse({4, 4, 16, 16});
        return true;
    });
    return renderedBitmapImage(frame, 2);
}

// A status image as the strip draws one every second: capsule, a chart path, a title and a value
// in the strip's fonts, and one pre-rendered bitmap, rendered at scale 2.
void BM_StatusImageAtScaleTwo(benchmark::State& state) {
    Image rotor = rotorFrame();
    TextAttributes title{.font = Font::system(8.3, FontWeight::medium),
                         .color = Color::black().withAlpha(0.65)};
    TextAttributes value{.font = Font::monospacedDigitSystem(10.2, FontWeight::medium),
                         .color = Color::black()};
    int second = 0;
    for (auto _ : state) {
        std::string reading = std::to_string(40 + second % 7) + ".2 GB";
        Image image =
            Image::withDrawingHandler({200, 24}, false, [&](Context& context, const Rect& rect) {
                context.setFillColor(Color::black().withAlpha(0.06));
                Path::roundedRect({1, 0, rect.width() - 2, 24}, 12, 12).fill(context);
                Path chart;
                chart.moveTo({5, 3});
                for (int i = 0; i < 60; ++i) {
                    chart.lineTo({5 + i * 1.4, 3 + 9 + 8 * ((i * 37 % 11) / 11.0 - 0.5)});
                }
                chart.lineTo({89, 3});
                chart.close();
                context.setFillColor(Color::srgb(0, 0.82, 0.09, 0.22));
                chart.fill(context);
                drawText(context, "Used", Point{150, 13}, title);
                drawText(context, reading, Point{130, 2}, value);
                rotor.draw(context, Rect{100, 0, 24, 24});
                return true;
            });
        Image rendered = renderedBitmapImage(image, 2);
        benchmark::DoNotOptimize(rendered.bitmap());
        ++second;
    }
}
BENCHMARK(BM_StatusImageAtScaleTwo)->Unit(benchmark::kMicrosecond);

// The strip compositing one rendered status image into a window at backing scale 1, scaled by
// 7/6 at a fractional position, filtered.
void BM_CompositeStatusBitmap(benchmark::State& state) {
    Image status = renderedBitmapImage(
        Image::withDrawingHandler({200, 24}, false,
                                  [](Context& context, const Rect& rect) {
                                      context.setFillColor(Color::black().withAlpha(0.3));
                                      Path::roundedRect(rect, 12, 12).fill(context);
                                      return true;
                                  }),
        2);
    Bitmap window = Bitmap::forPointSize({260, 30}, 1);
    Context context(window);
    for (auto _ : state) {
        status.draw(context, Rect{3.4, 1.2, 200 * 7.0 / 6, 28});
    }
}
BENCHMARK(BM_CompositeStatusBitmap)->Unit(benchmark::kMicrosecond);

void BM_MeasureCachedText(benchmark::State& state) {
    TextAttributes value{.font = Font::monospacedDigitSystem(10.2, FontWeight::medium)};
    for (auto _ : state) {
        benchmark::DoNotOptimize(textSize("12.3 GB", value));
    }
}
BENCHMARK(BM_MeasureCachedText);

void BM_MeasureNewText(benchmark::State& state) {
    TextAttributes value{.font = Font::monospacedDigitSystem(10.2, FontWeight::medium)};
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(textSize(std::to_string(n++) + " KB/s", value));
    }
}
BENCHMARK(BM_MeasureNewText);

// Figures as the status images show them, each new: a memory amount in the figure font, a
// percentage in the ring font, a rate in the label font.
std::string newFigure(int n, int kind) {
    switch (kind) {
    case 0:
        return std::to_string(n / 100) + "." + std::to_string(10 + n % 90) + " GB";
    case 1:
        return std::to_string(n % 1000) + " %";
    default:
        return std::to_string(n % 1000) + "." + std::to_string(n % 10) + " KB/s";
    }
}

const TextAttributes& figureStyle(int kind) {
    static const TextAttributes styles[] = {
        {.font = Font::monospacedDigitSystem(9.3, FontWeight::medium)},
        {.font = Font::monospacedDigitSystem(7.12, FontWeight::semibold)},
        {.font = Font::system(8.6, FontWeight::medium)}};
    return styles[kind];
}

void BM_MeasureNewFigure(benchmark::State& state) {
    int kind = int(state.range(0));
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(textSize(newFigure(n++, kind), figureStyle(kind)));
    }
}
BENCHMARK(BM_MeasureNewFigure)->DenseRange(0, 2);

// A new figure measured and drawn at scale 2, as a status image does once a second.
void BM_DrawNewFigure(benchmark::State& state) {
    Bitmap bitmap = Bitmap::forPointSize({60, 16}, 2);
    int n = 0;
    for (auto _ : state) {
        Context context(bitmap);
        context.clearRect({0, 0, 60, 16});
        drawText(context, newFigure(n++, 0), {2.5, 3}, figureStyle(0));
        benchmark::DoNotOptimize(bitmap.surface());
    }
}
BENCHMARK(BM_DrawNewFigure)->Unit(benchmark::kMicrosecond);

void BM_ShadowedCapsule(benchmark::State& state) {
    for (auto _ : state) {
        Bitmap bitmap = Bitmap::forPointSize({60, 30}, 2);
        Context context(bitmap);
        context.setShadow(Shadow{Color::black().withAlpha(0.4), 6, {}});
        Path::roundedRect({8, 8, 44, 14}, 7, 7).fill(context);
        benchmark::DoNotOptimize(bitmap.surface());
    }
}
BENCHMARK(BM_ShadowedCapsule)->Unit(benchmark::kMicrosecond);

void BM_SymbolAtSixteenPoints(benchmark::State& state) {
    for (auto _ : state) {
        Image symbol =
            *symbolImage("externaldrive", {.pointSize = 16, .palette = {Color::black()}});
        benchmark::DoNotOptimize(renderedBitmapImage(symbol, 2).bitmap());
    }
}
BENCHMARK(BM_SymbolAtSixteenPoints)->Unit(benchmark::kMicrosecond);

// Halving one module image at scale 2 for the strip's scale-1 draw, as every new image is once.
void BM_HalveModuleBitmap(benchmark::State& state) {
    Bitmap bitmap =
        renderedBitmapImage(
            Image::withDrawingHandler({121, 24}, false,
                                      [](Context& context, const Rect& rect) {
                                          context.setFillColor(Color::srgb(0.2, 0.6, 0.9, 0.7));
                                          Path::roundedRect(rect, 12, 12).fill(context);
                                          return true;
                                      }),
            2)
            .bitmap()
            ->copy();
    for (auto _ : state) {
        Bitmap half = bitmap.halved();
        benchmark::DoNotOptimize(half.surface());
    }
}
BENCHMARK(BM_HalveModuleBitmap)->Unit(benchmark::kMicrosecond);

} // namespace
