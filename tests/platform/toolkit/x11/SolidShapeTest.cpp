#include "platform/toolkit/x11/SolidShape.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace ui::x11;

std::uint32_t& pixel(cairo_surface_t* surface, int x, int y) {
    auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(row)[x];
}

// The desktop's picture, of one colour (0xRRGGBB), as large as the sources it lies under.
class Picture {
public:
    Picture(int width, int height, std::uint32_t colour)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)) {
        cairo_surface_flush(surface_);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixel(surface_, x, y) = colour;
        cairo_surface_mark_dirty(surface_);
    }
    ~Picture() { cairo_surface_destroy(surface_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    operator Backdrop() const { return {surface_}; }

private:
    cairo_surface_t* surface_;
};

class SolidShape : public ::testing::Test {
protected:
    void SetUp() override {
        cairo_t* cr = cairo_create(source);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(source);
    }
    void TearDown() override {
        cairo_surface_destroy(source);
        cairo_surface_destroy(solid);
    }
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 4);
    cairo_surface_t* solid = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 4);
    const Picture desktop{8, 4, 0x204060u};
};

// Row 1: an opaque red pixel, a half-covered blue (premultiplied), a faint shadow, a clear pixel,
// a glass of a fifth. Over the desktop's picture each is laid over it and only the clear one is
// cut; without one, the shadow and the glass are cut too (holding the root's colour) and the blue
// shows at full strength.
TEST_F(SolidShape, ClearPixelsAreCutAndCoveredOnesAreLaidOverThePictureOrShownWhole) {
    pixel(source, 2, 1) = 0xffff0000u;
    pixel(source, 3, 1) = 0x80000080u;
    pixel(source, 4, 1) = 0x10000000u;
    pixel(source, 6, 1) = 0x33333333u;
    cairo_surface_mark_dirty(source);
    struct Case {
        Backdrop backdrop;
        std::vector<PixelSpan> spans;
        std::vector<std::uint32_t> colours; // columns 2 to 6
    };
    const Case cases[] = {
        // The blue plus 0x204060 × 127 / 255, and so on.
        {desktop, {{2, 1, 3}, {6, 1, 1}}, {0xff0000u, 0x1020b0u, 0x1e3c5au, 0x204060u, 0x4d6680u}},
        {{nullptr, 0x204060u},
         {{2, 1, 2}},
         {0xff0000u, 0x0000ffu, 0x204060u, 0x204060u, 0x204060u}},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, test.backdrop), test.spans);
        for (int x = 2; x <= 6; ++x)
            EXPECT_EQ(pixel(solid, x, 1) & 0xffffffu, test.colours[std::size_t(x - 2)])
                << x << (test.backdrop.picture ? " over the picture" : " without one");
    }
}

TEST_F(SolidShape, RunsOfOneValueAndTheValuesAfterThemEachGetTheirOwnColour) {
    // A translucent glass run, a different translucent value, the glass again, a clear pixel, the
    // glass over another part of the desktop's picture, and an opaque one: the colour worked out
    // once for a run must not leak into its neighbours.
    const std::uint32_t glass = 0xc0303030u;
    const std::vector<std::uint32_t> row{glass, glass, 0xc0603000u, glass,
                                         0,     glass, glass,       0xff0000ffu};
    for (int x = 0; x < 8; ++x)
        pixel(source, x, 2) = row[std::size_t(x)];
    cairo_surface_mark_dirty(source);
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            pixel(picture, x, y) = x < 6 ? 0x000000u : 0xffffffu;
    cairo_surface_mark_dirty(picture);
    const auto spans = solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, {picture});
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0], (PixelSpan{0, 2, 4}));
    EXPECT_EQ(spans[1], (PixelSpan{5, 2, 3}));
    const std::vector<std::uint32_t> expected{0x303030u, 0x303030u, 0x603000u, 0x303030u,
                                              0x000000u, 0x303030u, 0x6f6f6fu, 0x0000ffu};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(pixel(solid, x, 2) & 0xffffffu, expected[std::size_t(x)]) << x;
    // The rows around it show the picture.
    EXPECT_EQ(pixel(solid, 3, 1) & 0xffffffu, 0u);
    EXPECT_EQ(pixel(solid, 7, 1) & 0xffffffu, 0xffffffu);
    cairo_surface_destroy(picture);
}

TEST_F(SolidShape, SpansAreRelativeToTheAreaAndStayInsideBothSurfaces) {
    for (int x = 0; x < 8; ++x)
        pixel(source, x, 3) = 0xff00ff00u;
    cairo_surface_mark_dirty(source);
    const auto spans = solidifyTranslucentPixels(source, 5, 2, 10, 10, solid, desktop);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0], (PixelSpan{0, 1, 3}));
    EXPECT_TRUE(solidifyTranslucentPixels(source, 9, 9, 4, 4, solid, desktop).empty());
    EXPECT_TRUE(solidifyTranslucentPixels(nullptr, 0, 0, 4, 4, solid, desktop).empty());
}

TEST_F(SolidShape, ReportsTheBoxOfPixelsThatChangedSinceTheLastSolidify) {
    PixelBox changed{1, 1, 1, 1};
    // The first pass turns the copy's unset pixels into the desktop: all of them change.
    solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, desktop, &changed);
    EXPECT_EQ(changed, (PixelBox{0, 0, 8, 4}));
    solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, desktop, &changed);
    EXPECT_TRUE(changed.isEmpty());

    // Two changes far apart: the box spans both; a pixel that stays clear changes nothing.
    pixel(source, 1, 0) = 0xff102030u;
    pixel(source, 6, 2) = 0x80400000u;
    pixel(source, 7, 3) = 0x00102030u;
    cairo_surface_mark_dirty(source);
    solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, desktop, &changed);
    EXPECT_EQ(changed, (PixelBox{1, 0, 6, 3}));

    // Relative to the area asked for (whose copy starts at the copy's corner): once settled,
    // a change inside it is reported from the area's corner.
    solidifyTranslucentPixels(source, 4, 2, 4, 2, solid, desktop, &changed);
    solidifyTranslucentPixels(source, 4, 2, 4, 2, solid, desktop, &changed);
    EXPECT_TRUE(changed.isEmpty());
    pixel(source, 6, 3) = 0xff00ff00u;
    cairo_surface_mark_dirty(source);
    solidifyTranslucentPixels(source, 4, 2, 4, 2, solid, desktop, &changed);
    EXPECT_EQ(changed, (PixelBox{2, 1, 1, 1}));
}

TEST(SolidShapeParts, ChangesFarApartAreSentAsFewBoxesThatHoldEveryChangedPixel) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> changes; // column, row
        std::vector<PixelBox> parts;
    };
    const std::vector<Case> cases{
        {"nothing changed", {}, {}},
        {"two figures far apart", {{2, 0}, {40, 3}}, {{2, 0, 1, 1}, {40, 3, 1, 1}}},
        {"a gap no wider than the limit joins",
         {{2, 1}, {3 + changedPartsGap, 2}},
         {{2, 1, 2 + changedPartsGap, 2}}},
        {"one column more splits",
         {{2, 1}, {4 + changedPartsGap, 2}},
         {{2, 1, 1, 1}, {4 + changedPartsGap, 2, 1, 1}}},
        {"past the most, the narrowest gaps join first",
         {{0, 0}, {20, 0}, {40, 0}, {60, 0}, {80, 0}, {100, 0}, {120, 0}, {140, 0}, {159, 3}},
         {{0, 0, 1, 1},
          {20, 0, 1, 1},
          {40, 0, 1, 1},
          {60, 0, 1, 1},
          {80, 0, 1, 1},
          {100, 0, 1, 1},
          {120, 0, 1, 1},
          {140, 0, 20, 4}}},
    };
    for (const Case& test : cases) {
        cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 4);
        cairo_surface_t* solid = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 4);
        std::vector<PixelBox> parts{{9, 9, 9, 9}};
        // The first pass settles the copy: every pixel of it changes, as one box.
        solidifyTranslucentPixels(source, 0, 0, 200, 4, solid, {}, nullptr, &parts);
        EXPECT_EQ(parts, (std::vector<PixelBox>{{0, 0, 200, 4}})) << test.name;
        for (const auto& [column, row] : test.changes)
            pixel(source, column, row) = 0xff204060u;
        cairo_surface_mark_dirty(source);
        PixelBox box;
        solidifyTranslucentPixels(source, 0, 0, 200, 4, solid, {}, &box, &parts);
        EXPECT_EQ(parts, test.parts) << test.name;
        for (const auto& [column, row] : test.changes)
            EXPECT_TRUE(std::any_of(parts.begin(), parts.end(),
                                    [column = column, row = row](const PixelBox& part) {
                                        return column >= part.x && column < part.x + part.width &&
                                               row >= part.y && row < part.y + part.height;
                                    }))
                << test.name;
        EXPECT_LE(parts.size(), changedPartsMost) << test.name;
        EXPECT_EQ(parts.empty(), box.isEmpty()) << test.name;
        cairo_surface_destroy(source);
        cairo_surface_destroy(solid);
    }
}

TEST_F(SolidShape, AnOpaquePixelChangingToAnotherIsSeenAndARepeatIsNot) {
    PixelBox changed;
    pixel(source, 3, 2) = 0xff000000u;
    cairo_surface_mark_dirty(source);
    solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, desktop, &changed);
    pixel(source, 3, 2) = 0xff000001u;
    cairo_surface_mark_dirty(source);
    solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, desktop, &changed);
    EXPECT_EQ(changed, (PixelBox{3, 2, 1, 1}));
    solidifyTranslucentPixels(source, 0, 0, 8, 4, solid, desktop, &changed);
    EXPECT_TRUE(changed.isEmpty());
}

// Every alpha against every channel value (even those above the alpha, which no premultiplied
// pixel should carry but a drawing may), over two pictures of the desktop and over none. Over a
// picture the colour must match the pixel plus the picture times what the pixel leaves uncovered,
// rounded to nearest (at most 255), a wholly clear pixel shows the picture alone, and every row
// but the wholly clear one is kept. Over none, a pixel covering less than half is cut (black in
// the copy), and any other shows its channels divided by its alpha, rounded (at most 255).
TEST(SolidShapeColours, MatchAPlainBlendOverThePictureOrFullStrengthWithoutOne) {
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 256, 256);
    cairo_surface_t* solid = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 256, 256);
    cairo_surface_flush(source);
    for (std::uint32_t alpha = 0; alpha < 256; ++alpha)
        for (std::uint32_t channel = 0; channel < 256; ++channel)
            pixel(source, int(channel), int(alpha)) =
                alpha << 24 | channel << 16 | (255 - channel) << 8 | (channel * 7 & 0xffu);
    cairo_surface_mark_dirty(source);
    for (const std::optional<std::uint32_t> under :
         {std::optional<std::uint32_t>{0x000000u}, std::optional<std::uint32_t>{0xc0208fu},
          std::optional<std::uint32_t>{}}) {
        const auto picture = under ? std::make_unique<Picture>(256, 256, *under) : nullptr;
        const auto spans = solidifyTranslucentPixels(source, 0, 0, 256, 256, solid,
                                                     picture ? Backdrop(*picture) : Backdrop{});
        const int firstKept = under ? 1 : int(keptCoverage);
        ASSERT_EQ(spans.size(), std::size_t(256 - firstKept));
        for (int row = firstKept; row < 256; ++row)
            EXPECT_EQ(spans[std::size_t(row - firstKept)], (PixelSpan{0, row, 256}));
        int mismatches = 0;
        for (std::uint32_t alpha = 0; alpha < 256; ++alpha)
            for (std::uint32_t channel = 0; channel < 256; ++channel) {
                const std::uint32_t in = pixel(source, int(channel), int(alpha));
                std::uint32_t expected = 0;
                for (int shift = 0; shift < 24 && (under || alpha >= keptCoverage); shift += 8) {
                    const std::uint32_t own = alpha == 0 ? 0 : (in >> shift) & 0xffu;
                    const std::uint32_t below = under ? (*under >> shift) & 0xffu : 0;
                    const std::uint32_t value = alpha == 255 ? own
                                                : under
                                                    ? own + (below * (255 - alpha) * 2 + 255) / 510
                                                    : (own * 255 * 2 + alpha) / (2 * alpha);
                    expected |= std::min<std::uint32_t>(255, value) << shift;
                }
                const std::uint32_t got = pixel(solid, int(channel), int(alpha)) & 0xffffffu;
                if (got != expected && ++mismatches <= 5)
                    ADD_FAILURE() << std::hex << "pixel " << in << " over "
                                  << (under ? *under : 0xffffffffu) << " gave " << got << ", not "
                                  << expected;
            }
        EXPECT_EQ(mismatches, 0);
    }
    cairo_surface_destroy(source);
    cairo_surface_destroy(solid);
}

// A second present over the same copy passes what it already shows in blocks: the spans must
// still come out whole and the box must hold exactly the pixels edited in between. The width
// is no multiple of four, runs start and end inside blocks and at the right edge, and the
// edits leave the rows between them alone.
TEST(SolidShapeSettledCopy, KeepsSpansAndFindsEachEditAmongShownPixels) {
    constexpr std::uint32_t o = 0xff808080u, c = 0, faint = 0x7f7f7f7fu, half = 0x80400000u;
    const std::vector<std::vector<std::uint32_t>> rows{{o, o, o, o, o, o, o, o, o, o, o},
                                                       {c, c, c, c, o, o, o, o, o, o, o},
                                                       {o, o, o, o, faint, half, half, c, c, c, c},
                                                       {o, o, o, o, c, c, c, c, o, o, o}};
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 11, 4);
    cairo_surface_t* solid = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 11, 4);
    cairo_surface_flush(source);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 11; ++x)
            pixel(source, x, y) = rows[std::size_t(y)][std::size_t(x)];
    struct Edit {
        int x, y;
        std::uint32_t value;
    };
    struct Pass {
        std::vector<Edit> edits;
        std::vector<PixelSpan> spans;
        PixelBox changed;
    };
    const std::vector<PixelSpan> first{{0, 0, 11}, {4, 1, 7}, {0, 2, 7}, {0, 3, 4}, {8, 3, 3}};
    const std::vector<Pass> passes{
        {{}, first, {0, 0, 11, 4}},
        {{}, first, {}},
        {{{9, 0, 0xff102030u}, {2, 3, c}},
         {{0, 0, 11}, {4, 1, 7}, {0, 2, 7}, {0, 3, 2}, {3, 3, 1}, {8, 3, 3}},
         {2, 0, 8, 4}},
        {{{10, 1, faint}, {6, 2, c}},
         {{0, 0, 11}, {4, 1, 7}, {0, 2, 6}, {0, 3, 2}, {3, 3, 1}, {8, 3, 3}},
         {6, 1, 5, 2}},
    };
    const Picture black{11, 4, 0};
    for (std::size_t index = 0; index < passes.size(); ++index) {
        for (const Edit& edit : passes[index].edits)
            pixel(source, edit.x, edit.y) = edit.value;
        cairo_surface_mark_dirty(source);
        PixelBox changed{1, 1, 1, 1};
        EXPECT_EQ(solidifyTranslucentPixels(source, 0, 0, 11, 4, solid, black, &changed),
                  passes[index].spans)
            << "pass " << index;
        EXPECT_EQ(changed, passes[index].changed) << "pass " << index;
    }
    EXPECT_EQ(pixel(solid, 9, 0) & 0xffffffu, 0x102030u);
    EXPECT_EQ(pixel(solid, 5, 2) & 0xffffffu, 0x400000u);
    EXPECT_EQ(pixel(solid, 10, 1) & 0xffffffu, 0x7f7f7fu);
    cairo_surface_destroy(source);
    cairo_surface_destroy(solid);
}

TEST(KeptPixelsTest, AnswersWhetherAnAreaChangedAndKeepsWhatLiesOutsideIt) {
    KeptPixels shape;
    EXPECT_FALSE(shape.replace(0, 0, 10, 4, {})) << "a new window's shape is empty";
    EXPECT_TRUE(shape.replace(0, 0, 10, 4, {{2, 1, 3}, {7, 1, 3}}));
    EXPECT_FALSE(shape.replace(0, 0, 10, 4, {{2, 1, 3}, {7, 1, 3}}));
    EXPECT_TRUE(shape.replace(0, 0, 10, 4, {{2, 1, 3}, {7, 2, 3}}));
    EXPECT_EQ(shape.spans(), (std::vector<PixelSpan>{{2, 1, 3}, {7, 2, 3}}));

    // An area in the middle: the runs it cuts keep their parts outside it.
    EXPECT_TRUE(shape.replace(3, 1, 5, 2, {}));
    EXPECT_EQ(shape.spans(), (std::vector<PixelSpan>{{2, 1, 1}, {8, 2, 2}}));
    // Rows beyond what was ever shaped (a window grown by a resize) start empty.
    EXPECT_FALSE(shape.replace(0, 10, 20, 5, {}));
    EXPECT_TRUE(shape.replace(0, 10, 20, 5, {{19, 4, 1}}));
    EXPECT_EQ(shape.spans().back(), (PixelSpan{19, 14, 1}));
}

TEST(KeptPixelsTest, RunsDrawnInNeighbouringAreasEqualOneRunAcrossBoth) {
    KeptPixels shape;
    EXPECT_TRUE(shape.replace(0, 0, 10, 1, {{5, 0, 5}}));
    EXPECT_TRUE(shape.replace(10, 0, 10, 1, {{0, 0, 5}}));
    EXPECT_EQ(shape.spans(), (std::vector<PixelSpan>{{5, 0, 10}}));
    EXPECT_FALSE(shape.replace(0, 0, 20, 1, {{5, 0, 10}}));
    EXPECT_TRUE(shape.replace(0, 0, 20, 1, {{5, 0, 9}}));
}

} // namespace
