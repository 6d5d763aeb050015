#include "platform/animation/Layer.h"

#include "platform/animation/Transaction.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using anim::BasicAnimation;
using anim::Layer;
using anim::TimingFunction;

class LayerTest : public ::testing::Test {
protected:
    BasicAnimation opacity(std::optional<double> from, std::optional<double> to, double duration,
                           TimingFunction timing = TimingFunction::linear()) {
        BasicAnimation animation;
        animation.keyPath = anim::KeyPath::opacity;
        if (from)
            animation.fromValue = *from;
        if (to)
            animation.toValue = *to;
        animation.duration = duration;
        animation.timingFunction = timing;
        return animation;
    }
    void advance(double seconds) { loop.advanceAndRunDue(seconds); }

    dispatch::VirtualClock clock{500.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    Layer layer{loop};
};

TEST(TimingFunctionTest, CurvesMeetTheirKnownPoints) {
    struct Case {
        TimingFunction curve;
        double t;
        double expected;
    };
    const Case cases[] = {
        {TimingFunction::linear(), 0.3, 0.3},
        {TimingFunction::easeInEaseOut(), 0.5, 0.5},
        {TimingFunction::easeInEaseOut(), 0.25, 0.129},
        {TimingFunction::easeOut(), 0.5, 0.685},
        {TimingFunction::easeIn(), 0.5, 0.315},
        {TimingFunction(0.22, 0.8, 0.24, 1.0), 0.5, 0.939},
        {TimingFunction::easeOut(), -1, 0},
        {TimingFunction::easeOut(), 2, 1},
        {TimingFunction::easeOut(), std::nan(""), 0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(c.curve.value(c.t), c.expected, 0.002) << c.t;
}

TEST_F(LayerTest, PresentationFollowsTheAnimationAndModelShowsAfterIt) {
    layer.setOpacity(0);
    std::vector<bool> stops;
    BasicAnimation fade = opacity(1.0, std::nullopt, 0.2);
    fade.completion = [&](bool finished) { stops.push_back(finished); };
    layer.addAnimation(fade, "fade");

    EXPECT_DOUBLE_EQ(layer.opacity(), 0) << "adding never changes the model";
    EXPECT_DOUBLE_EQ(layer.presentationValues().opacity, 1);
    clock.advance(0.05);
    EXPECT_NEAR(layer.presentationValues().opacity, 0.75, 1e-9);
    advance(0.1);
    EXPECT_NEAR(layer.presentationValues().opacity, 0.25, 1e-9);
    EXPECT_TRUE(stops.empty());
    advance(0.1);
    EXPECT_FALSE(layer.isAnimating());
    EXPECT_DOUBLE_EQ(layer.presentationValues().opacity, 0);
    EXPECT_EQ(stops, std::vector<bool>{true});
}

TEST_F(LayerTest, ReplacingUnderAKeyContinuesFromWhatIsOnScreen) {
    layer.setBounds({0, 0, 100, 40});
    BasicAnimation grow;
    grow.keyPath = anim::KeyPath::bounds;
    grow.fromValue = gfx::Rect{0, 0, 100, 40};
    grow.toValue = gfx::Rect{0, 0, 100, 240};
    grow.duration = 0.32;
    grow.timingFunction = TimingFunction(0.22, 0.8, 0.24, 1.0);
    std::vector<bool> stops;
    grow.completion = [&](bool finished) { stops.push_back(finished); };
    layer.addAnimation(grow, "cardBounds");
    advance(0.1);
    const double midway = layer.presentationValues().bounds.height();
    ASSERT_GT(midway, 40);
    ASSERT_LT(midway, 240);

    // The retarget names no start: it starts where the first one was.
    BasicAnimation shrink;
    shrink.keyPath = anim::KeyPath::bounds;
    shrink.duration = 0.32;
    layer.setBounds({0, 0, 100, 40});
    layer.addAnimation(shrink, "cardBounds");
    EXPECT_DOUBLE_EQ(layer.presentationValues().bounds.height(), midway);
    EXPECT_EQ(stops, std::vector<bool>{false}) << "the replaced one stops unfinished";
    EXPECT_EQ(layer.animationKeys(), std::vector<std::string>{"cardBounds"});
    advance(0.16);
    EXPECT_NEAR(layer.presentationValues().bounds.height(), (midway + 40) / 2, 1e-6);
}

TEST_F(LayerTest, RemovingStopsUnfinishedAndWrongAnimationsAreIgnored) {
    int finished = 0, unfinished = 0;
    BasicAnimation fade = opacity(0.0, 1.0, 1);
    fade.completion = [&](bool done) { ++(done ? finished : unfinished); };
    layer.addAnimation(fade, "a");
    layer.addAnimation(fade, "b");
    layer.removeAnimation("a");
    layer.removeAnimation("missing");
    EXPECT_EQ(layer.animationKeys(), std::vector<std::string>{"b"});
    layer.removeAllAnimations();
    EXPECT_EQ(unfinished, 2);
    EXPECT_EQ(finished, 0);

    BasicAnimation wrongKind = opacity(std::nullopt, std::nullopt, 1);
    wrongKind.toValue = gfx::Point{1, 1};
    layer.addAnimation(wrongKind, "wrong");
    BasicAnimation unknown = opacity(0.0, 1.0, 1);
    unknown.keyPath = "backgroundColor";
    layer.addAnimation(unknown, "unknown");
    EXPECT_FALSE(layer.isAnimating());
}

TEST_F(LayerTest, TransactionCompletesOnceEveryAnimationInItHasStopped) {
    int completions = 0;
    {
        anim::Transaction transaction;
        transaction.setCompletionBlock([&] { ++completions; });
        BasicAnimation shortFade = opacity(0.0, 1.0, 0.1);
        shortFade.keepAlive = anim::Transaction::currentToken();
        BasicAnimation longFade = opacity(0.0, 1.0, 0.3);
        longFade.keepAlive = anim::Transaction::currentToken();
        layer.addAnimation(shortFade, "short");
        layer.addAnimation(longFade, "long");
    }
    advance(0.2);
    EXPECT_EQ(completions, 0);
    advance(0.2);
    EXPECT_EQ(completions, 1);

    {
        anim::Transaction empty;
        empty.setCompletionBlock([&] { ++completions; });
    }
    EXPECT_EQ(completions, 2) << "a transaction with no animation completes when it ends";
    EXPECT_EQ(anim::Transaction::currentToken(), nullptr);
}

} // namespace
