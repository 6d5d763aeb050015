#include "floating/LiquidScene.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// A 200 × 20 strip hanging 100 pt below its anchor, held a quarter along: the attachment points
// are (150, 500.75) on the anchor and (150, 419.25) on the strip.
LiquidScene hangingScene() {
    LiquidScene scene;
    scene.anchor = {100, 500, 200, 20};
    scene.strip = {100, 400, 200, 20};
    scene.grab = 0.25;
    return scene;
}

void expectRect(const gfx::Rect& actual, const gfx::Rect& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.minX(), expected.minX(), tolerance);
    EXPECT_NEAR(actual.minY(), expected.minY(), tolerance);
    EXPECT_NEAR(actual.maxX(), expected.maxX(), tolerance);
    EXPECT_NEAR(actual.maxY(), expected.maxY(), tolerance);
}

TEST(LiquidScene, JellyStretchesTheBodyAboutItsCentreWithinItsClamp) {
    LiquidScene scene = hangingScene();
    const struct {
        double jelly;
        gfx::Rect body;
    } cases[] = {
        {0, {100, 400, 200, 20}},       {0.1, {101.8, 399, 196.4, 22}},
        {0.2, {103.6, 398, 192.8, 24}}, {0.5, {103.6, 398, 192.8, 24}},
        {-0.5, {96.4, 402, 207.2, 16}},
    };
    for (const auto& c : cases) {
        scene.jelly = c.jelly;
        SCOPED_TRACE(c.jelly);
        expectRect(scene.body(), c.body);
    }
}

TEST(LiquidScene, AttachmentPointsFaceEachOtherAcrossTheGap) {
    LiquidScene below = hangingScene();
    EXPECT_TRUE(below.hangsBelow());
    EXPECT_DOUBLE_EQ(below.stripAttachmentX(), 150);
    EXPECT_DOUBLE_EQ(below.stripAttachmentY(), 419.25);
    EXPECT_EQ(below.anchorAttachment(), (gfx::Point{150, 500.75}));

    LiquidScene above = hangingScene();
    above.strip = {100, 600, 200, 20};
    EXPECT_FALSE(above.hangsBelow());
    EXPECT_DOUBLE_EQ(above.stripAttachmentY(), 600.75);
    EXPECT_DOUBLE_EQ(above.anchorAttachment().y, 519.25);
}

TEST(LiquidScene, BoundsHoldAnchorBodyAndSixBubbleRadii) {
    LiquidScene scene = hangingScene();
    expectRect(scene.bounds(), {100, 400, 200, 120});
    scene.bubble = LiquidBubble{{50, 300}, 4, 0.3};
    expectRect(scene.bounds(), {38, 288, 262, 232});
}

TEST(LiquidScene, TheNeckNarrowsToItsWaistBetweenTheAttachmentPoints) {
    LiquidScene scene = hangingScene();
    scene.neck = 1;
    // Half widths 30 at the anchor, 26 at the strip, 7.2 at the waist (y 460).
    const auto neck = scene.neckPath();
    ASSERT_TRUE(neck);
    expectRect(neck->bounds(), {120, 419.25, 60, 81.5}, 1e-6);
    EXPECT_TRUE(neck->containsPoint({150 - 7.1, 460}));
    EXPECT_FALSE(neck->containsPoint({150 - 7.3, 460}));
    EXPECT_TRUE(neck->containsPoint({150 + 7.1, 460}));
    EXPECT_FALSE(neck->containsPoint({150 + 7.3, 460}));

    // A thin neck keeps a waist of 0.9 pt half width.
    scene.neck = 0.0005;
    const auto thin = scene.neckPath();
    ASSERT_TRUE(thin);
    EXPECT_TRUE(thin->containsPoint({150.85, 460}));
    EXPECT_FALSE(thin->containsPoint({150.95, 460}));
}

TEST(LiquidScene, NoNeckWhenTheAttachmentHeightsAreWithinHalfAPoint) {
    LiquidScene scene;
    scene.anchor = {0, 0, 100, 20};
    scene.neck = 1;
    scene.strip = {0, -19, 100, 20}; // attachment heights 0.25 and 0.75
    EXPECT_FALSE(scene.neckPath());
    EXPECT_EQ(scene.outline().size(), 1u);
    scene.strip = {0, -19.1, 100, 20};
    EXPECT_TRUE(scene.neckPath());
    EXPECT_EQ(scene.outline().size(), 2u);
}

TEST(LiquidScene, OutlineListsBodyNeckBumpsAndBubbleInOrder) {
    LiquidScene scene = hangingScene();
    scene.neck = 1;
    scene.anchorBump = 1;
    scene.stripBump = 1;
    scene.bubble = LiquidBubble{{150, 460}, 4, 0.35};
    const auto paths = scene.outline();
    ASSERT_EQ(paths.size(), 5u);
    expectRect(paths[0].bounds(), {100.5, 400.5, 199, 19}, 1e-6);
    expectRect(paths[1].bounds(), {120, 419.25, 60, 81.5}, 1e-6);
    // The anchor's bump points down towards the strip: half width 11, tip 6 below the base.
    expectRect(paths[2].bounds(), {139, 494.75, 22, 6.75}, 1e-6);
    // The strip's bump points up towards the anchor: half width 10, tip 5.2 above.
    expectRect(paths[3].bounds(), {140, 418.5, 20, 5.95}, 1e-6);
    // life 0.35: grown by 1 + 0.35·(1 − 0.5³), radius 5.225.
    expectRect(paths[4].bounds(), {144.775, 454.775, 10.45, 10.45}, 1e-6);
}

TEST(LiquidScene, FactorsAtOrBelowAThousandthAddNothing) {
    LiquidScene scene = hangingScene();
    scene.neck = 0.001;
    scene.anchorBump = 0.001;
    scene.stripBump = 0.001;
    EXPECT_EQ(scene.outline().size(), 1u);
    scene.stripBump = 0.0011;
    EXPECT_EQ(scene.outline().size(), 2u);
}

TEST(LiquidScene, TheBubbleGrowsThenShrinksAwayBeforeItsLifeEnds) {
    LiquidScene scene = hangingScene();
    const struct {
        double life;
        double radius; // 0: no bubble path
    } cases[] = {{0, 4}, {0.35, 5.225}, {0.7, 5.4}, {0.76, 2.7}, {0.82, 0}, {1, 0}, {1.2, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.life);
        scene.bubble = LiquidBubble{{150, 300}, 4, c.life};
        const auto paths = scene.outline();
        if (c.radius == 0) {
            EXPECT_EQ(paths.size(), 1u);
            continue;
        }
        ASSERT_EQ(paths.size(), 2u);
        EXPECT_NEAR(paths[1].bounds().width(), 2 * c.radius, 1e-6);
    }
}

} // namespace
} // namespace pulsedeck
