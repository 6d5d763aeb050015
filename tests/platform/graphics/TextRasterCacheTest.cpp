#include "platform/graphics/TextRasterCache.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/graphics/TextEngine.h"
#include "tests/support/TestPaths.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace gfx {
namespace {

// Switches this thread's masks off for a scope: text then goes through pango's renderer, as it
// always did before the masks.
class DirectDrawing {
public:
    DirectDrawing() { TextRasterCache::forThisThread().setEnabled(false); }
    ~DirectDrawing() { TextRasterCache::forThisThread().setEnabled(true); }
    DirectDrawing(const DirectDrawing&) = delete;
    DirectDrawing& operator=(const DirectDrawing&) = delete;
};

struct Scene {
    Size size{160, 60};
    double scale = 2;
    bool flipped = false;
    Appearance appearance = Appearance::light;
    std::function<void(Context&)> draw;
};

// Something under the text for it to blend with: a part-transparent band and an opaque one.
void paintBackdrop(Context& context, Size size) {
    context.setFillColor(Color::srgb(0.9, 0.5, 0.2, 0.6));
    context.fillRect({0, 0, size.width / 2, size.height});
    context.setFillColor(Color::srgb(0.1, 0.2, 0.45));
    context.fillRect({size.width / 2, size.height / 3, size.width / 2, size.height / 3});
}

Bitmap render(const Scene& scene) {
    Bitmap bitmap = Bitmap::forPointSize(scene.size, scene.scale);
    Context context(bitmap, scene.appearance);
    paintBackdrop(context, scene.size);
    if (scene.flipped) {
        context.translate(0, scene.size.height);
        context.scale(1, -1);
    }
    scene.draw(context);
    return bitmap;
}

Bitmap renderDirectly(const Scene& scene) {
    DirectDrawing direct;
    return render(scene);
}

// Where two renderings first differ, or nothing when every pixel is the same.
std::optional<std::string> firstDifference(const Bitmap& a, const Bitmap& b) {
    if (a.pixelsWide() != b.pixelsWide() || a.pixelsHigh() != b.pixelsHigh()) {
        return "sizes differ";
    }
    int count = 0;
    std::string first;
    for (int row = 0; row < a.pixelsHigh(); ++row) {
        for (int column = 0; column < a.pixelsWide(); ++column) {
            Rgba8 p = a.pixel(column, row), q = b.pixel(column, row);
            if (!(p == q)) {
                if (count++ == 0) {
                    first = "(" + std::to_string(column) + ", " + std::to_string(row) +
                            "): " + std::to_string(p.alpha) + "/" + std::to_string(q.alpha);
                }
            }
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    return std::to_string(count) + " pixels differ, first at " + first;
}

int inkedPixels(const Bitmap& bitmap) {
    int count = 0;
    for (int row = 0; row < bitmap.pixelsHigh(); ++row) {
        for (int column = 0; column < bitmap.pixelsWide(); ++column) {
            count += bitmap.pixel(column, row).alpha != 0;
        }
    }
    return count;
}

// Renders the scene directly and then twice as usual (a line gets its mask the second time it
// is drawn), and expects the very same pixels each time; returns the lines rendered meanwhile.
std::size_t expectSameAsDirect(const Scene& scene, const std::string& name) {
    Bitmap direct = renderDirectly(scene);
    TextRasterCache& cache = TextRasterCache::forThisThread();
    std::size_t before = cache.renderCount();
    for (int pass = 1; pass <= 3; ++pass) {
        Bitmap masked = render(scene);
        std::optional<std::string> difference = firstDifference(masked, direct);
        EXPECT_FALSE(difference) << name << ", pass " << pass << ": " << *difference;
    }
    return cache.renderCount() - before;
}

TextAttributes valueStyle(Color color = Color::black()) {
    return {.font = Font::monospacedDigitSystem(10.2, FontWeight::medium), .color = color};
}

TextAttributes titleStyle(Color color = Color::black().withAlpha(0.55)) {
    return {.font = Font::system(8.3, FontWeight::medium), .color = color};
}

const char* const samples[] = {"6.61 GB", "Used", "↓ 12.4 KB/s", "42°C", "Wg|jy", "99+"};

TEST(TextRasterCache, DrawsTheSamePixelsAsPangoAtEveryPhase) {
    std::vector<TextAttributes> styles = {valueStyle(),
                                          titleStyle(),
                                          {.font = Font::system(13), .color = Color::white()},
                                          {.font = Font::system(9), .kern = 0.6},
                                          {.font = Font::system(11), .baselineOffset = 1.5}};
    for (double scale : {1.0, 1.5, 2.0}) {
        for (bool flipped : {false, true}) {
            Scene scene{.size = {320, 110}, .scale = scale, .flipped = flipped, .draw = {}};
            scene.draw = [&](Context& context) {
                int step = 0;
                for (const TextAttributes& style : styles) {
                    for (const char* text : samples) {
                        // Origins spread over many sub-pixel phases both ways.
                        Point origin{2 + std::fmod(step * 9.173, 300),
                                     1 + std::fmod(step * 3.37, 96)};
                        drawText(context, text, origin, style);
                        ++step;
                    }
                }
            };
            std::string name = "scale " + std::to_string(scale) + (flipped ? " flipped" : " y-up");
            EXPECT_GT(expectSameAsDirect(scene, name), 0u) << name;
            if (scale == 2 && !flipped) {
                render(scene).writePng(testsupport::artifactPath("TextRasterCache-masks.png"));
                renderDirectly(scene).writePng(
                    testsupport::artifactPath("TextRasterCache-direct.png"));
            }
        }
    }
}

TEST(TextRasterCache, OriginsInOneStepShareOneMaskAndStillMatch) {
    TextRasterCache& cache = TextRasterCache::forThisThread();
    // 10.25 pt is 20.5 px at scale 2; 1/8192 px more stays within the same 1/4096 step.
    for (double x : {10.25, 10.25 + 0.5 / 8192}) {
        Scene scene{.size = {80, 24}, .draw = {}};
        scene.draw = [x](Context& context) {
            drawText(context, "Step 1234", Point{x, 3.3}, valueStyle());
        };
        Bitmap direct = renderDirectly(scene);
        std::size_t before = cache.renderCount();
        for (int pass = 0; pass < 3; ++pass) {
            EXPECT_FALSE(firstDifference(render(scene), direct)) << x;
        }
        EXPECT_LE(cache.renderCount() - before, 1u);
    }
}

TEST(TextRasterCache, KeepsClipsTruncationAlphaColoursShadowsAndOperations) {
    std::vector<std::pair<std::string, Scene>> scenes;
    auto add = [&](std::string name, std::function<void(Context&)> draw,
                   Appearance appearance = Appearance::light) {
        for (bool flipped : {false, true}) {
            for (double scale : {1.0, 2.0}) {
                scenes.push_back(
                    {name + (flipped ? " flipped" : "") + " at " + std::to_string(int(scale)),
                     Scene{.scale = scale,
                           .flipped = flipped,
                           .appearance = appearance,
                           .draw = draw}});
            }
        }
    };
    add("truncated in a rect", [](Context& context) {
        drawText(context, "A rather long label that will not fit", Rect{10.3, 5.2, 60.7, 20},
                 titleStyle(Color::black()));
    });
    add("fractional clip", [](Context& context) {
        context.clipToRect({12.3, 4.6, 30.35, 9.1});
        drawText(context, "Clipped 88.8", Point{8.6, 3.1}, valueStyle());
    });
    add("fractional clip around the text", [](Context& context) {
        context.clipToRect({0.3, 0.2, 150.35, 50.1});
        drawText(context, "Inside 88.8", Point{20.6, 13.1}, valueStyle());
    });
    add("capsule around the text", [](Context& context) {
        context.clip(Path::roundedRect({1, 0.5, 150.3, 40}, 12, 12));
        drawText(context, "In a capsule 7.5 GB", Point{13.4, 12.3}, valueStyle());
        drawText(context, "Corner", Point{0.4, 0.35}, titleStyle());
    });
    add("rounded clip", [](Context& context) {
        context.clip(Path::roundedRect({20.2, 2.5, 40.4, 14.2}, 6, 6));
        drawText(context, "Round 4.20 GB", Point{14.4, 5.35}, valueStyle(Color::white()));
    });
    add("context alpha", [](Context& context) {
        context.setAlpha(0.45);
        drawText(context, "Faded 6.61 GB", Point{5.7, 8.45}, valueStyle());
    });
    add(
        "dark label colours",
        [](Context& context) {
            drawText(context, "Label", Point{3.3, 20.1}, valueStyle(Color::label()));
            drawText(context, "Secondary", Point{50.1, 20.7}, titleStyle(Color::secondaryLabel()));
            drawText(context, "Red", Point{100.45, 20.7}, titleStyle(Color::systemRed()));
        },
        Appearance::dark);
    add("narrow shadow", [](Context& context) {
        context.setShadow(Shadow{.blurRadius = 1, .offset = {1, -1}});
        drawText(context, "Shadowed 17%", Point{6.2, 20.4}, valueStyle(Color::white()));
    });
    add("wide shadow", [](Context& context) {
        context.setShadow(
            Shadow{.color = Color::black().withAlpha(0.6), .blurRadius = 6, .offset = {}});
        drawText(context, "Glow 99+", Point{16.6, 18.8}, valueStyle(Color::white()));
    });
    for (CompositingOperation operation :
         {CompositingOperation::sourceAtop, CompositingOperation::plusLighter,
          CompositingOperation::copy, CompositingOperation::destinationOut,
          CompositingOperation::xorOperation, CompositingOperation::sourceIn,
          CompositingOperation::destinationIn}) {
        add("operation " + std::to_string(int(operation)), [operation](Context& context) {
            context.setCompositingOperation(operation);
            drawText(context, "Operated 3.14", Point{60.3, 22.2}, valueStyle(Color::systemRed()));
        });
    }
    add("inside an image's drawing", [](Context& context) {
        Image badge = Image::withDrawingHandler({70, 20}, false, [](Context& inner, const Rect&) {
            inner.setFillColor(Color::srgb(0.2, 0.7, 0.3, 0.5));
            inner.fillRect({0, 0, 70, 20});
            drawText(inner, "In an image", Point{4.35, 5.1}, valueStyle());
            return true;
        });
        badge.draw(context, Rect{30.5, 12.25, 70, 20});
        badge.draw(context, Point{3.3, 33.7});
    });
    for (const auto& [name, scene] : scenes) {
        expectSameAsDirect(scene, name);
    }
}

// Paints one line through a cache with a cairo_t set up the way drawing text leaves it.
struct Canvas {
    Bitmap bitmap{200, 60, {200, 60}};
    cairo_t* cr = cairo_create(bitmap.surface());
    Canvas() {
        cairo_translate(cr, 20.3, 10.6);
        cairo_scale(cr, 2, 2);
        cairo_move_to(cr, 0, 0);
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
    }
    ~Canvas() { cairo_destroy(cr); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
};

std::shared_ptr<const ShapedText> shaped(const std::string& text) {
    return shapeText({{text, valueStyle()}});
}

TEST(TextRasterCache, RefusesWhatAMaskCouldNotMatch) {
    TextRasterCache cache;
    auto refuses = [&](const std::function<void(Canvas&)>& setUp,
                       const ShapedText& text = *shaped("Refused 12")) {
        Canvas canvas;
        setUp(canvas);
        bool painted = cache.paint(canvas.cr, text);
        EXPECT_EQ(inkedPixels(canvas.bitmap), 0);
        return !painted;
    };
    EXPECT_TRUE(refuses([](Canvas& c) { cairo_rotate(c.cr, 0.1); }));
    EXPECT_TRUE(refuses([](Canvas& c) { cairo_scale(c.cr, 1.1, 1.1); }));
    EXPECT_TRUE(refuses([](Canvas& c) { cairo_scale(c.cr, 1e6, 1e6); }));
    EXPECT_TRUE(refuses([](Canvas& c) { cairo_translate(c.cr, 1e9, 0); }));
    EXPECT_TRUE(refuses([](Canvas& c) { cairo_set_operator(c.cr, CAIRO_OPERATOR_IN); }));
    EXPECT_TRUE(refuses([](Canvas& c) { cairo_set_operator(c.cr, CAIRO_OPERATOR_DEST_IN); }));
    std::shared_ptr<const ShapedText> coloured =
        shapeText({{"Two", valueStyle(Color::black())}, {"colours", valueStyle(Color::white())}});
    ASSERT_TRUE(coloured->coloured);
    EXPECT_TRUE(refuses([](Canvas&) {}, *coloured));
    // A line too large for the budget.
    std::shared_ptr<const ShapedText> huge =
        shapeText({{std::string(200, 'W'), {.font = Font::system(40)}}});
    EXPECT_TRUE(refuses([](Canvas&) {}, *huge));
    EXPECT_EQ(cache.entryCount(), 0u);

    // A target that is not an image surface draws its glyphs its own way.
    cairo_surface_t* recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* cr = cairo_create(recording);
    EXPECT_FALSE(cache.paint(cr, *shaped("Recorded")));
    cairo_destroy(cr);
    cairo_surface_destroy(recording);

    // A clip that cuts pixels under the line; one that cuts pixels only away from it is fine.
    auto clipTo = [](cairo_t* cr, double x, double y, double width, double height) {
        cairo_matrix_t matrix;
        cairo_get_matrix(cr, &matrix);
        cairo_identity_matrix(cr);
        cairo_rectangle(cr, x, y, width, height);
        cairo_clip(cr);
        cairo_set_matrix(cr, &matrix);
        cairo_move_to(cr, 0, 0);
    };
    auto paintClipped = [&](double x, const std::string& text) {
        Canvas canvas;
        clipTo(canvas.cr, x, 0.5, 150.25, 59);
        bool painted = cache.paint(canvas.cr, *shaped(text));
        return std::pair{painted, inkedPixels(canvas.bitmap)};
    };
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(paintClipped(40.5, "Clipped 12"), (std::pair{false, 0}));
    }
    paintClipped(0.5, "Clipped 34");
    auto [painted, ink] = paintClipped(0.5, "Clipped 34");
    EXPECT_TRUE(painted);
    EXPECT_GT(ink, 50);

    // So is a curved clip that holds the line wholly.
    auto paintInCircle = [&](const std::string& text) {
        Canvas canvas;
        cairo_matrix_t matrix;
        cairo_get_matrix(canvas.cr, &matrix);
        cairo_identity_matrix(canvas.cr);
        cairo_arc(canvas.cr, 80, 30, 79, 0, 2 * M_PI);
        cairo_clip(canvas.cr);
        cairo_set_matrix(canvas.cr, &matrix);
        cairo_move_to(canvas.cr, 0, 0);
        return cache.paint(canvas.cr, *shaped(text));
    };
    paintInCircle("Round 56");
    EXPECT_TRUE(paintInCircle("Round 56"));

    cache.setEnabled(false);
    EXPECT_TRUE(refuses([](Canvas&) {}));
    cache.setEnabled(true);
    std::size_t renders = cache.renderCount();
    // Drawn directly the first time, from a mask from then on.
    Canvas first;
    EXPECT_FALSE(cache.paint(first.cr, *shaped("Accepted 12")));
    EXPECT_EQ(inkedPixels(first.bitmap), 0);
    Canvas second;
    EXPECT_TRUE(cache.paint(second.cr, *shaped("Accepted 12")));
    EXPECT_GT(inkedPixels(second.bitmap), 50);
    EXPECT_EQ(cache.renderCount(), renders + 1);
}

TEST(TextRasterCache, DropsTheLeastRecentlyUsedBeyondItsBudget) {
    constexpr std::size_t budget = 24 * 1024;
    TextRasterCache cache(budget);
    // Twice, for a mask is made the second time a line is drawn.
    auto paint = [&](const std::string& text) {
        for (int pass = 0; pass < 2; ++pass) {
            Canvas canvas;
            cache.paint(canvas.cr, *shaped(text));
        }
    };
    for (int i = 0; i < 100; ++i) {
        paint("Figure " + std::to_string(i));
        EXPECT_LE(cache.byteSize(), budget);
    }
    std::size_t kept = cache.entryCount();
    ASSERT_GT(kept, 2u);
    ASSERT_LT(kept, 100u);
    EXPECT_EQ(cache.renderCount(), 100u);

    // The newest is kept; the oldest was dropped.
    paint("Figure 99");
    EXPECT_EQ(cache.renderCount(), 100u);
    paint("Figure 0");
    EXPECT_EQ(cache.renderCount(), 101u);

    // A use makes an entry the newest: insertions drop the ones after it instead.
    int oldest = 100 - int(cache.entryCount()) + 1;
    paint("Figure " + std::to_string(oldest));
    EXPECT_EQ(cache.renderCount(), 101u);
    for (const char* fresh : {"Fresh 1", "Fresh 2", "Fresh 3"}) {
        paint(fresh);
    }
    EXPECT_EQ(cache.renderCount(), 104u);
    paint("Figure " + std::to_string(oldest));
    EXPECT_EQ(cache.renderCount(), 104u);
    paint("Figure " + std::to_string(oldest + 1));
    EXPECT_EQ(cache.renderCount(), 105u);
    EXPECT_LE(cache.byteSize(), budget);
}

TEST(TextRasterCache, BlankOrImpossibleLinesDrawNothingOrAsBefore) {
    TextRasterCache cache;
    for (int pass = 0; pass < 2; ++pass) {
        Canvas canvas;
        EXPECT_EQ(cache.paint(canvas.cr, *shaped("   ")), pass == 1);
        EXPECT_EQ(inkedPixels(canvas.bitmap), 0);
    }
    EXPECT_EQ(cache.entryCount(), 1u);

    double nan = std::numeric_limits<double>::quiet_NaN();
    double infinity = std::numeric_limits<double>::infinity();
    Scene scene;
    scene.draw = [&](Context& context) {
        drawText(context, "nowhere", Point{nan, 3}, valueStyle());
        drawText(context, "nowhere", Point{4, infinity}, valueStyle());
        drawText(context, "far away", Point{1e12, 3}, valueStyle());
        {
            Context::SavedState saved(context);
            context.scale(3000, 3000);
            drawText(context, "huge", Point{0, 0}, valueStyle());
        }
        {
            Context::SavedState saved(context);
            context.scale(0, 1);
            drawText(context, "flat", Point{3, 3}, valueStyle());
        }
        drawText(context, std::string(300, 'M'), Point{1.5, 30.25}, {.font = Font::system(30)});
    };
    expectSameAsDirect(scene, "impossible lines");
}

TEST(TextRasterCache, AbsurdlyLargeTextDrawsNothingAndSpoilsNothingAfterIt) {
    // Glyphs of millions of pixels once left the thread's font broken: later text came out blank.
    for (bool masks : {false, true}) {
        TextRasterCache::forThisThread().setEnabled(masks);
        {
            RecordingContext context({40, 40}, 2);
            context.scale(1e5, 1e5);
            drawText(context, "huge", Point{0, 0}, valueStyle());
            EXPECT_EQ(context.log().texts().size(), 1u);
            EXPECT_EQ(inkedPixels(context.bitmap()), 0);
        }
        Bitmap bitmap = Bitmap::forPointSize({80, 24}, 2);
        Context context(bitmap);
        drawText(context, "After 12.3", Point{3.5, 4.25}, valueStyle());
        EXPECT_GT(inkedPixels(bitmap), 50) << masks;
    }
    TextRasterCache::forThisThread().setEnabled(true);
}

TEST(TextRasterCache, RecorderStillSeesEveryRun) {
    RecordingContext context({120, 24}, 2);
    AttributedString pair("12.3", valueStyle());
    pair.append(" GB", valueStyle());
    for (int pass = 0; pass < 3; ++pass) {
        pair.draw(context, Point{10.5, 3.25});
    }
    std::vector<TextRecord> texts = context.log().texts();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[4].text, "12.3");
    EXPECT_EQ(texts[4].origin, (Point{10.5, 3.25}));
    EXPECT_EQ(texts[5].text, " GB");
    EXPECT_GT(inkedPixels(context.bitmap()), 50);
}

TEST(TextRasterCache, EachThreadKeepsItsOwn) {
    TextRasterCache& mine = TextRasterCache::forThisThread();
    std::size_t entries = mine.entryCount();
    std::size_t renders = mine.renderCount();
    std::size_t theirs = 0;
    std::thread other([&] {
        Bitmap bitmap = Bitmap::forPointSize({80, 24}, 2);
        Context context(bitmap);
        drawText(context, "Elsewhere 5.5", Point{3.3, 4.4}, valueStyle());
        drawText(context, "Elsewhere 5.5", Point{3.3, 4.4}, valueStyle());
        theirs = TextRasterCache::forThisThread().renderCount();
    });
    other.join();
    EXPECT_EQ(theirs, 1u);
    EXPECT_EQ(mine.entryCount(), entries);
    EXPECT_EQ(mine.renderCount(), renders);
}

} // namespace
} // namespace gfx
