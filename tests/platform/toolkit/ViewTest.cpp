#include "platform/toolkit/View.h"

#include "ToolkitFixture.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Window.h"

#include <optional>
#include <string>
#include <vector>

namespace {

using toolkittest::FlippedView;
using toolkittest::ToolkitFixture;

struct DrawCall {
    std::string name;
    gfx::Rect dirty;
};

// Fills its bounds with one colour and logs each draw with its dirty rect.
class PaintedView : public ui::View {
public:
    PaintedView(std::string name, const gfx::Rect& frame, gfx::Color color,
                std::vector<DrawCall>& log)
        : View(frame), name_(std::move(name)), color_(color), log_(log) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirty) override {
        log_.push_back({name_, dirty});
        context.setFillColor(color_);
        context.fillRect(bounds());
    }

private:
    std::string name_;
    gfx::Color color_;
    std::vector<DrawCall>& log_;
};

// Counts every invalidation it sees and passes each on to the base.
class CountingView : public ui::View {
public:
    using View::View;
    void setNeedsDisplay(bool flag) override {
        ++wholeViewInvalidations;
        View::setNeedsDisplay(flag);
    }
    void setNeedsDisplayInRect(const gfx::Rect& rect) override {
        rectInvalidations.push_back(rect);
        View::setNeedsDisplayInRect(rect);
    }
    int wholeViewInvalidations = 0;
    std::vector<gfx::Rect> rectInvalidations;
};

class TransparentView : public ui::View {
public:
    using View::View;
    View* hitTest(gfx::Point) override { return nullptr; }
};

const gfx::Color red = gfx::Color::srgb(1, 0, 0);
const gfx::Color blue = gfx::Color::srgb(0, 0, 1);
const gfx::Color green = gfx::Color::srgb(0, 1, 0);

bool isColor(gfx::Rgba8 pixel, gfx::Color color) {
    auto near = [](std::uint8_t value, double component) {
        return std::abs(int(value) - int(component * 255)) <= 2;
    };
    return near(pixel.red, color.red()) && near(pixel.green, color.green()) &&
           near(pixel.blue, color.blue()) && pixel.alpha == 255;
}

class ViewDrawingTest : public ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 100}, ui::Style::borderless);
        window->setBackgroundColor(gfx::Color::white());
        parent = std::make_shared<PaintedView>("parent", gfx::Rect{10, 10, 100, 60}, red, log);
        child = std::make_shared<PaintedView>("child", gfx::Rect{20, 20, 200, 200}, blue, log);
        sibling = std::make_shared<PaintedView>("sibling", gfx::Rect{150, 10, 40, 40}, green, log);
        parent->addSubview(child);
        window->contentView()->addSubview(parent);
        window->contentView()->addSubview(sibling);
        window->orderFront();
    }

    gfx::Rgba8 pixel(gfx::Point inWindow) const {
        return window->backing()->pixelAtPoint(inWindow);
    }

    std::vector<DrawCall> log;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<PaintedView> parent, child, sibling;
};

TEST_F(ViewDrawingTest, ChildrenDrawAfterParentsTranslatedAndClipped) {
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].name, "parent");
    EXPECT_EQ(log[1].name, "child");
    EXPECT_EQ(log[2].name, "sibling");
    // The child's own origin lands at parent origin + child origin.
    EXPECT_TRUE(isColor(pixel({10 + 20 + 2, 10 + 20 + 2}), blue));
    EXPECT_TRUE(isColor(pixel({10 + 5, 10 + 5}), red));
    // The child is larger than its parent, but nothing of it shows outside the parent.
    EXPECT_TRUE(isColor(pixel({10 + 100 + 5, 10 + 30}), gfx::Color::white()));
    EXPECT_TRUE(isColor(pixel({160, 20}), green));
    // The child's dirty rect is cut to what the parent lets it show.
    EXPECT_EQ(log[1].dirty, (gfx::Rect{0, 0, 80, 40}));
}

TEST_F(ViewDrawingTest, OnlyDirtyAreasRedraw) {
    log.clear();
    EXPECT_FALSE(window->viewsNeedDisplay());
    child->setNeedsDisplayInRect({0, 0, 10, 10});
    EXPECT_TRUE(child->needsDisplay());
    window->displayIfNeeded();
    EXPECT_FALSE(child->needsDisplay());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].name, "parent");
    EXPECT_EQ(log[0].dirty, (gfx::Rect{20, 20, 10, 10}));
    EXPECT_EQ(log[1].name, "child");
    EXPECT_EQ(log[1].dirty, (gfx::Rect{0, 0, 10, 10}));
}

// A view that knows which of its marks would draw the same pixels again takes them back just
// before the window draws; only what is left (and what others marked) is drawn.
class SettlingView : public PaintedView {
public:
    using PaintedView::PaintedView;
    std::optional<gfx::Rect> settleTo;
    int settled = 0;

protected:
    void viewWillDraw() override {
        ++settled;
        if (settleTo)
            replaceDirtyRect(*settleTo);
    }
};

TEST_F(ViewDrawingTest, AViewCanTakeBackItsMarksBeforeTheWindowDraws) {
    auto settling =
        std::make_shared<SettlingView>("settling", gfx::Rect{0, 80, 200, 20}, green, log);
    window->contentView()->addSubview(settling);
    window->displayIfNeeded();
    log.clear();

    // Narrowed to a column: the window draws that column only, under and over the view.
    settling->settleTo = gfx::Rect{50, 0, 10, 20};
    settling->setNeedsDisplay(true);
    window->displayIfNeeded();
    EXPECT_EQ(settling->settled, 2);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "settling");
    EXPECT_EQ(log[0].dirty, (gfx::Rect{50, 0, 10, 20}));
    EXPECT_FALSE(window->viewsNeedDisplay());

    // Taken back entirely: nothing is drawn, and nothing stays marked.
    log.clear();
    settling->settleTo = gfx::Rect{};
    settling->setNeedsDisplay(true);
    window->displayIfNeeded();
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(settling->needsDisplay());

    // Another view's marks are drawn whatever this one settles, through the same area.
    sibling->setNeedsDisplayInRect({0, 0, 10, 10});
    settling->setNeedsDisplay(true);
    window->displayIfNeeded();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "sibling");

    // A resize redraws the whole window, whatever the views settle.
    log.clear();
    window->setFrame({100, 100, 220, 100}, false);
    settling->setNeedsDisplay(true);
    window->displayIfNeeded();
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(ViewDrawingTest, MarksApartAreDrawnApart) {
    auto settling =
        std::make_shared<SettlingView>("settling", gfx::Rect{0, 80, 200, 20}, green, log);
    window->contentView()->addSubview(settling);
    window->displayIfNeeded();
    log.clear();

    // Two columns at either end: each drawn alone, the view between them left as it was.
    settling->setNeedsDisplayInRect({0, 0, 10, 20});
    settling->setNeedsDisplayInRect({180, 0, 10, 20});
    EXPECT_EQ(settling->dirtyRect(), (gfx::Rect{0, 0, 190, 20}));
    window->displayIfNeeded();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].dirty, (gfx::Rect{0, 0, 10, 20}));
    EXPECT_EQ(log[1].dirty, (gfx::Rect{180, 0, 10, 20}));
    EXPECT_FALSE(window->viewsNeedDisplay());

    // A whole mark is one draw.
    log.clear();
    settling->settleTo.reset();
    settling->setNeedsDisplay(true);
    window->displayIfNeeded();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].dirty, (gfx::Rect{0, 0, 200, 20}));
}

TEST_F(ViewDrawingTest, MarksAreDisplayedByTheRunLoop) {
    log.clear();
    sibling->setNeedsDisplay(true);
    EXPECT_TRUE(log.empty());
    loop.runUntilIdle();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "sibling");
}

TEST_F(ViewDrawingTest, HiddenAndTransparentViews) {
    sibling->setHidden(true);
    window->displayIfNeeded();
    EXPECT_TRUE(isColor(pixel({160, 20}), gfx::Color::white()));
    sibling->setHidden(false);
    sibling->setAlphaValue(0.5);
    window->displayIfNeeded();
    const gfx::Rgba8 half = pixel({160, 20});
    EXPECT_NEAR(half.red, 128, 3);
    EXPECT_NEAR(half.green, 255, 3);
}

TEST_F(ViewDrawingTest, CornerRadiusMasksToBounds) {
    parent->setCornerRadius(20);
    window->display();
    EXPECT_TRUE(isColor(pixel({10.5, 10.5}), gfx::Color::white()));
    EXPECT_TRUE(isColor(pixel({60, 15}), red));
}

// A round end is drawn aside and laid down once through the shape: with the view's opacity
// applied once, a child reaching into the end cut at the corner, and a repaint of part of an end
// touching nothing outside its dirty area.
TEST_F(ViewDrawingTest, TranslucentRoundEndsRepaintInPlace) {
    parent->setCornerRadius(20);
    parent->setAlphaValue(0.5);
    window->display();
    const auto halfOverWhite = [](gfx::Color color) {
        return gfx::Color::srgb((1 + color.red()) / 2, (1 + color.green()) / 2,
                                (1 + color.blue()) / 2);
    };
    EXPECT_TRUE(isColor(pixel({15, 40}), halfOverWhite(red)));
    EXPECT_TRUE(isColor(pixel({105, 60}), halfOverWhite(blue)));
    for (const gfx::Point corner : {gfx::Point{10.5, 10.5}, gfx::Point{109.5, 69.5}})
        EXPECT_TRUE(isColor(pixel(corner), gfx::Color::white()));

    const gfx::Bitmap whole = window->backing()->copy();
    for (int repaint = 0; repaint < 3; ++repaint) {
        parent->setNeedsDisplayInRect({91, 25, 7, 35});
        window->displayIfNeeded();
    }
    int changed = 0;
    for (int row = 0; row < whole.pixelsHigh(); ++row)
        for (int column = 0; column < whole.pixelsWide(); ++column)
            changed += window->backing()->pixel(column, row) != whole.pixel(column, row);
    EXPECT_EQ(changed, 0);
}

TEST_F(ViewDrawingTest, ImmediateDisplayDrawsWithoutMarks) {
    log.clear();
    sibling->display();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "sibling");
}

TEST(ViewInvalidation, NeedsDisplayHoldsWithoutAWindow) {
    ui::View view({0, 0, 10, 10});
    view.setNeedsDisplay(false);
    EXPECT_FALSE(view.needsDisplay());
    view.setNeedsDisplayInRect({2, 2, 3, 3});
    EXPECT_TRUE(view.needsDisplay());
    EXPECT_EQ(view.dirtyRect(), (gfx::Rect{2, 2, 3, 3}));
    view.setNeedsDisplayInRect({100, 100, 3, 3});
    EXPECT_EQ(view.dirtyRect(), (gfx::Rect{2, 2, 3, 3}));
}

TEST_F(ToolkitFixture, InvalidationOverrideSeesEveryInvalidationAndReachesTheBase) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 100, 100}, ui::Style::borderless);
    auto view = std::make_shared<CountingView>(gfx::Rect{0, 0, 50, 20});
    window->contentView()->addSubview(view);
    window->orderFront();
    view->wholeViewInvalidations = 0;
    view->rectInvalidations.clear();

    view->setFrameSize({60, 20});
    view->setAlphaValue(0.5);
    view->setHidden(true);
    view->setHidden(false);
    app.setAppearance(gfx::Appearance::dark);
    view->setNeedsDisplayInRect({1, 1, 2, 2});
    EXPECT_EQ(view->wholeViewInvalidations, 4);
    ASSERT_EQ(view->rectInvalidations.size(), 1u);
    EXPECT_TRUE(view->needsDisplay());
    EXPECT_TRUE(window->viewsNeedDisplay());

    window->displayIfNeeded();
    const int seen = view->wholeViewInvalidations;
    view->View::setNeedsDisplayInRect({0, 0, 5, 5});
    EXPECT_EQ(view->wholeViewInvalidations, seen);
    EXPECT_EQ(view->rectInvalidations.size(), 1u);
    EXPECT_TRUE(view->needsDisplay());
}

TEST(ViewGeometry, BaseFrameSizeBypassesAnOverride) {
    struct Reporting : ui::View {
        using View::View;
        void setFrameSize(gfx::Size size) override {
            ++reports;
            View::setFrameSize(size);
        }
        int reports = 0;
    } view({0, 0, 10, 10});
    view.setFrame({5, 5, 20, 10});
    EXPECT_EQ(view.reports, 1);
    view.View::setFrameSize({30, 10});
    EXPECT_EQ(view.reports, 1);
    EXPECT_EQ(view.frame(), (gfx::Rect{5, 5, 30, 10}));
    EXPECT_EQ(view.bounds(), (gfx::Rect{0, 0, 30, 10}));
}

TEST(ViewGeometry, FlippedAndPlainConversionsRoundTrip) {
    auto root = std::make_shared<ui::View>(gfx::Rect{0, 0, 300, 200});
    auto flipped = std::make_shared<FlippedView>(gfx::Rect{10, 10, 100, 50});
    auto inner = std::make_shared<ui::View>(gfx::Rect{5, 5, 20, 10});
    root->addSubview(flipped);
    flipped->addSubview(inner);

    // A flipped view's origin is its top-left corner.
    EXPECT_EQ(flipped->convertPointToView({0, 0}, nullptr), (gfx::Point{10, 60}));
    EXPECT_EQ(flipped->convertPointToView({0, 50}, nullptr), (gfx::Point{10, 10}));
    // A plain view inside it sits 5 pt below the flipped view's top, drawn y-up itself.
    EXPECT_EQ(inner->convertRectToView(inner->bounds(), root.get()), (gfx::Rect{15, 45, 20, 10}));

    for (gfx::Point p : {gfx::Point{0, 0}, gfx::Point{3.5, 7.25}, gfx::Point{-4, 90}}) {
        const gfx::Point there = inner->convertPointToView(p, root.get());
        const gfx::Point back = inner->convertPointFromView(there, root.get());
        EXPECT_NEAR(back.x, p.x, 1e-9);
        EXPECT_NEAR(back.y, p.y, 1e-9);
        const gfx::Point viaFlipped = flipped->convertPointFromView(
            inner->convertPointToView(p, flipped.get()), flipped.get());
        EXPECT_NEAR(viaFlipped.y, inner->convertPointToView(p, flipped.get()).y, 1e-9);
    }
    EXPECT_EQ(root->convertPointToView({15, 45}, inner.get()), (gfx::Point{0, 0}));
    EXPECT_EQ(inner->convertPointToView({0, 10}, flipped.get()), (gfx::Point{5, 5}));
}

TEST(ViewGeometry, BoundsSmallerThanFrameScaleTheContents) {
    auto root = std::make_shared<ui::View>(gfx::Rect{0, 0, 300, 200});
    auto scaled = std::make_shared<ui::View>(gfx::Rect{10, 10, 100, 50});
    root->addSubview(scaled);
    scaled->setBoundsSize({50, 25});
    EXPECT_EQ(scaled->convertPointToView({25, 25}, nullptr), (gfx::Point{60, 60}));
    scaled->setFrameSize({200, 100});
    EXPECT_EQ(scaled->bounds().size, (gfx::Size{100, 50}));
}

TEST(ViewGeometry, AutoresizingFollowsTheSuperview) {
    auto root = std::make_shared<ui::View>(gfx::Rect{0, 0, 100, 100});
    auto filling = std::make_shared<ui::View>(gfx::Rect{10, 10, 80, 80});
    auto pinned = std::make_shared<ui::View>(gfx::Rect{70, 70, 20, 20});
    filling->setAutoresizingMask(ui::Autoresizing::widthSizable | ui::Autoresizing::heightSizable);
    pinned->setAutoresizingMask(ui::Autoresizing::minXMargin | ui::Autoresizing::minYMargin);
    root->addSubview(filling);
    root->addSubview(pinned);
    root->setFrameSize({150, 120});
    EXPECT_EQ(filling->frame(), (gfx::Rect{10, 10, 130, 100}));
    EXPECT_EQ(pinned->frame(), (gfx::Rect{120, 90, 20, 20}));
}

TEST(ViewTree, InsertAboveBelowReplaceAndRemove) {
    auto root = std::make_shared<ui::View>(gfx::Rect{0, 0, 100, 100});
    auto a = std::make_shared<ui::View>();
    auto b = std::make_shared<ui::View>();
    auto c = std::make_shared<ui::View>();
    root->addSubview(a);
    root->addSubview(b, ui::Ordering::below, a.get());
    root->addSubview(c, ui::Ordering::above, b.get());
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<ui::View>>{b, c, a}));
    root->setSubviews({a, c});
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<ui::View>>{a, c}));
    c->removeFromSuperview();
    EXPECT_EQ(root->subviews(), (std::vector<std::shared_ptr<ui::View>>{a}));
    EXPECT_TRUE(a->isDescendantOf(root.get()));
    EXPECT_FALSE(c->isDescendantOf(root.get()));
}

TEST(ViewHitTesting, TransparentViewsLetThePointThrough) {
    auto root = std::make_shared<ui::View>(gfx::Rect{0, 0, 100, 100});
    auto target = std::make_shared<ui::View>(gfx::Rect{10, 10, 50, 50});
    auto glass = std::make_shared<TransparentView>(gfx::Rect{0, 0, 100, 100});
    root->addSubview(target);
    root->addSubview(glass);
    EXPECT_EQ(root->hitTest({20, 20}), target.get());
    EXPECT_EQ(root->hitTest({80, 80}), root.get());
    EXPECT_EQ(root->hitTest({200, 20}), nullptr);
    target->setHidden(true);
    EXPECT_EQ(root->hitTest({20, 20}), root.get());
}

TEST_F(ToolkitFixture, AppearanceIsInheritedAndReported) {
    struct Watching : ui::View {
        using View::View;
        void viewDidChangeEffectiveAppearance() override { ++changes; }
        int changes = 0;
    };
    auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 100, 100}, ui::Style::borderless);
    auto view = std::make_shared<Watching>(gfx::Rect{0, 0, 10, 10});
    window->contentView()->addSubview(view);
    std::vector<gfx::Appearance> observed;
    auto observation =
        app.observeEffectiveAppearance([&](gfx::Appearance now) { observed.push_back(now); });

    EXPECT_EQ(view->effectiveAppearance(), gfx::Appearance::light);
    app.setSystemAppearance(gfx::Appearance::dark);
    EXPECT_EQ(view->effectiveAppearance(), gfx::Appearance::dark);
    EXPECT_EQ(view->changes, 1);
    window->setAppearance(gfx::Appearance::light);
    EXPECT_EQ(view->changes, 2);
    view->setAppearance(gfx::Appearance::light);
    EXPECT_EQ(view->changes, 2);
    app.setSystemAppearance(gfx::Appearance::light);
    EXPECT_EQ(observed, (std::vector{gfx::Appearance::dark, gfx::Appearance::light}));
    EXPECT_EQ(view->changes, 2);
}

} // namespace
