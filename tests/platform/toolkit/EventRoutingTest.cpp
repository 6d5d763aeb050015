#include "ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <string>
#include <vector>

namespace {

using toolkittest::ToolkitFixture;

// Logs every event that reaches it as "name:type".
class LoggingView : public ui::View {
public:
    LoggingView(std::string name, const gfx::Rect& frame, std::vector<std::string>& log)
        : View(frame), name_(std::move(name)), log_(log) {}

    bool swallowRightUp = false;
    std::vector<ui::Event> received;

protected:
    void note(const ui::Event& event, const char* what) {
        log_.push_back(name_ + ":" + what);
        received.push_back(event);
    }
    void mouseDown(const ui::Event& e) override { note(e, "down"); }
    void mouseUp(const ui::Event& e) override { note(e, "up"); }
    void mouseDragged(const ui::Event& e) override { note(e, "dragged"); }
    void mouseEntered(const ui::Event& e) override { note(e, "entered"); }
    void mouseExited(const ui::Event& e) override { note(e, "exited"); }
    void mouseMoved(const ui::Event& e) override { note(e, "moved"); }
    void rightMouseDown(const ui::Event& e) override { note(e, "rightDown"); }
    void keyDown(const ui::Event& e) override { note(e, "key"); }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

// Takes nothing itself, so its events travel on to its superview.
class PassingView : public ui::View {
public:
    using View::View;
};

class EventRoutingTest : public ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 100}, ui::Style::titled);
        left = std::make_shared<LoggingView>("left", gfx::Rect{0, 0, 100, 100}, log);
        right = std::make_shared<LoggingView>("right", gfx::Rect{100, 0, 100, 100}, log);
        window->contentView()->addSubview(left);
        window->contentView()->addSubview(right);
        window->makeKeyAndOrderFront();
        app.activateIgnoringOtherApps(true);
    }

    std::vector<std::string> log;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<LoggingView> left, right;
};

TEST_F(EventRoutingTest, ClicksReachTheViewUnderThePointerWithItsWindowAndTime) {
    clock.advance(2.5);
    server.click({150, 150});
    server.click({250, 120});
    EXPECT_EQ(log, (std::vector<std::string>{"left:down", "left:up", "right:down", "right:up"}));
    const ui::Event& down = left->received.front();
    EXPECT_EQ(down.window(), window);
    EXPECT_EQ(down.locationInWindow(), (gfx::Point{50, 50}));
    EXPECT_EQ(down.screenLocation(), (gfx::Point{150, 150}));
    EXPECT_EQ(down.topLeftLocation(), (gfx::Point{150, 900 - 150}));
    EXPECT_DOUBLE_EQ(down.timestamp(), 1002.5);
}

TEST_F(EventRoutingTest, DragsAndReleaseStayWithThePressedView) {
    server.mouseDown({150, 150});
    server.movePointer({260, 150});
    EXPECT_EQ(ui::Event::pressedMouseButtons() & ui::MouseButton::left, ui::MouseButton::left);
    EXPECT_EQ(ui::Event::mouseLocation(), (gfx::Point{260, 150}));
    server.mouseUp({260, 150});
    EXPECT_EQ(log, (std::vector<std::string>{"left:down", "left:dragged", "left:up"}));
    EXPECT_EQ(app.pressedMouseButtons(), 0u);
    EXPECT_EQ(app.mouseLocation(), (gfx::Point{260, 150}));
}

TEST_F(EventRoutingTest, UnhandledEventsTravelToTheSuperview) {
    auto inner = std::make_shared<PassingView>(gfx::Rect{10, 10, 20, 20});
    left->addSubview(inner);
    server.click({115, 115});
    EXPECT_EQ(log, (std::vector<std::string>{"left:down", "left:up"}));
}

TEST_F(EventRoutingTest, ClicksPassThroughATransparentView) {
    struct Glass : ui::View {
        using View::View;
        View* hitTest(gfx::Point) override { return nullptr; }
    };
    window->contentView()->addSubview(std::make_shared<Glass>(gfx::Rect{0, 0, 200, 100}));
    server.click({150, 150});
    EXPECT_EQ(log, (std::vector<std::string>{"left:down", "left:up"}));
}

TEST_F(EventRoutingTest, KeysGoToTheFirstResponderOfTheKeyWindow) {
    window->makeFirstResponder(right.get());
    server.key(ui::KeyCode::escape, "\x1b");
    EXPECT_EQ(log, (std::vector<std::string>{"right:key"}));
    EXPECT_EQ(right->received.back().keyCode(), ui::KeyCode::escape);
}

TEST_F(EventRoutingTest, EscapeBecomesCancelOperationAlongTheSuperviews) {
    struct Cancelling : ui::View {
        using View::View;
        void cancelOperation(const ui::Event&) override { ++cancels; }
        int cancels = 0;
    };
    auto outer = std::make_shared<Cancelling>(gfx::Rect{0, 0, 200, 100});
    auto inner = std::make_shared<PassingView>(gfx::Rect{0, 0, 10, 10});
    window->contentView()->addSubview(outer);
    outer->addSubview(inner);
    window->makeFirstResponder(inner.get());
    server.key(ui::KeyCode::escape, "\x1b");
    server.key(ui::KeyCode::returnKey, "\r");
    EXPECT_EQ(outer->cancels, 1);
}

TEST_F(EventRoutingTest, LocalMonitorsSeeEventsFirstAndMaySwallowThem) {
    std::vector<std::string> seen;
    app.addLocalMonitor(ui::EventMasks::leftMouseDown, [&](const ui::Event& event) {
        seen.push_back("first");
        return std::optional(event);
    });
    const auto swallowing =
        app.addLocalMonitor(ui::EventMasks::leftMouseDown, [&](const ui::Event&) {
            seen.push_back("swallow");
            return std::optional<ui::Event>();
        });
    app.addLocalMonitor(ui::EventMasks::leftMouseDown, [&](const ui::Event& event) {
        seen.push_back("after");
        return std::optional(event);
    });
    app.addLocalMonitor(ui::EventMasks::keyDown, [&](const ui::Event& event) {
        seen.push_back("key");
        return std::optional(event);
    });

    server.click({150, 150});
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "swallow"}));
    EXPECT_EQ(log, (std::vector<std::string>{"left:up"}));

    app.removeMonitor(swallowing);
    seen.clear();
    log.clear();
    server.mouseDown({150, 150});
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "after"}));
    EXPECT_EQ(log, (std::vector<std::string>{"left:down"}));
}

TEST_F(EventRoutingTest, QuitKeyStyleMonitorSeesKeysWithoutAKeyWindow) {
    window->orderOut();
    std::vector<ui::ModifierFlags> flags;
    app.addLocalMonitor(ui::EventMasks::keyDown, [&](const ui::Event& event) {
        flags.push_back(event.modifierFlags() & ui::Modifier::deviceIndependentMask);
        return event.charactersIgnoringModifiers() == "q" ? std::optional<ui::Event>()
                                                          : std::optional(event);
    });
    server.key(ui::KeyCode::q, "q", ui::Modifier::command | 0x8);
    EXPECT_EQ(flags, (std::vector<ui::ModifierFlags>{ui::Modifier::command}));
}

TEST_F(EventRoutingTest, GlobalMonitorsSeeOnlyEventsOutsideOurWindows) {
    std::vector<gfx::Point> outside;
    std::vector<ui::EventType> types;
    app.addGlobalMonitor(ui::EventMasks::leftMouseDown | ui::EventMasks::rightMouseDown |
                             ui::EventMasks::otherMouseDown,
                         [&](const ui::Event& event) {
                             EXPECT_EQ(event.window(), nullptr);
                             outside.push_back(event.screenLocation());
                             types.push_back(event.type());
                         });
    server.click({150, 150});
    server.click({700, 500});
    server.rightClick({10, 10});
    server.inject(ui::EventType::otherMouseDown, {20, 20});
    EXPECT_EQ(outside, (std::vector<gfx::Point>{{700, 500}, {10, 10}, {20, 20}}));
    EXPECT_EQ(types, (std::vector{ui::EventType::leftMouseDown, ui::EventType::rightMouseDown,
                                  ui::EventType::otherMouseDown}));
    EXPECT_EQ(log, (std::vector<std::string>{"left:down", "left:up"}));
}

TEST_F(EventRoutingTest, WindowsThatIgnoreMouseEventsAreClickedThrough) {
    auto glass = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 100}, ui::Style::borderless);
    glass->setLevel(ui::WindowLevel::floating);
    glass->setIgnoresMouseEvents(true);
    glass->orderFront();
    server.click({150, 150});
    EXPECT_EQ(log, (std::vector<std::string>{"left:down", "left:up"}));
}

TEST_F(EventRoutingTest, TrackingAreasReportEnterMoveAndExit) {
    left->addTrackingArea(std::make_shared<ui::TrackingArea>(
        gfx::Rect{},
        ui::Tracking::mouseEnteredAndExited | ui::Tracking::mouseMoved |
            ui::Tracking::activeAlways | ui::Tracking::inVisibleRect,
        left.get()));
    right->addTrackingArea(std::make_shared<ui::TrackingArea>(
        gfx::Rect{0, 0, 50, 50}, ui::Tracking::mouseEnteredAndExited | ui::Tracking::activeAlways,
        right.get()));

    server.movePointer({50, 50});
    server.movePointer({150, 150});
    server.movePointer({160, 150});
    server.movePointer({220, 120});
    server.movePointer({280, 180});
    server.movePointer({500, 500});
    EXPECT_EQ(log, (std::vector<std::string>{"left:entered", "left:moved", "left:moved",
                                             "left:exited", "right:entered", "right:exited"}));
}

TEST_F(EventRoutingTest, LeavingTheWindowExitsItsAreas) {
    left->addTrackingArea(std::make_shared<ui::TrackingArea>(
        gfx::Rect{0, 0, 100, 100}, ui::Tracking::mouseEnteredAndExited | ui::Tracking::activeAlways,
        left.get()));
    server.movePointer({150, 150});
    window->orderOut();
    EXPECT_EQ(log, (std::vector<std::string>{"left:entered", "left:exited"}));
}

TEST_F(EventRoutingTest, CursorRectsAndTheCursorStack) {
    struct Handed : ui::View {
        using View::View;
        void resetCursorRects() override {
            addCursorRect(bounds(), ui::Cursor::openHand());
            addCursorRect({0, 0, 10, 10}, ui::Cursor::pointingHand());
        }
    };
    auto handed = std::make_shared<Handed>(gfx::Rect{0, 0, 50, 50});
    left->addSubview(handed);
    window->invalidateCursorRectsForView(handed.get());

    server.movePointer({130, 130});
    EXPECT_EQ(server.cursor(), ui::CursorKind::openHand);
    server.movePointer({105, 105});
    EXPECT_EQ(server.cursor(), ui::CursorKind::pointingHand);
    ui::Cursor::closedHand().push();
    EXPECT_EQ(server.cursor(), ui::CursorKind::closedHand);
    server.movePointer({180, 180});
    EXPECT_EQ(server.cursor(), ui::CursorKind::closedHand);
    ui::Cursor::pop();
    EXPECT_EQ(server.cursor(), ui::CursorKind::arrow);
    server.movePointer({130, 130});
    EXPECT_EQ(server.cursor(), ui::CursorKind::openHand);
    server.movePointer({700, 700});
    EXPECT_EQ(server.cursor(), ui::CursorKind::arrow);
}

TEST_F(EventRoutingTest, CurrentEventIsTheOneBeingHandled) {
    std::optional<ui::EventType> during;
    app.addLocalMonitor(ui::EventMasks::leftMouseDown, [&](const ui::Event& event) {
        during = app.currentEvent()->type();
        return std::optional(event);
    });
    server.mouseDown({150, 150});
    EXPECT_EQ(during, ui::EventType::leftMouseDown);
    EXPECT_FALSE(app.currentEvent().has_value());
}

TEST(EventMasks, MatchThePlatformNumbers) {
    EXPECT_EQ(ui::EventMasks::leftMouseDown | ui::EventMasks::leftMouseUp |
                  ui::EventMasks::leftMouseDragged,
              0x46u);
    EXPECT_EQ(ui::EventMasks::leftMouseDown | ui::EventMasks::rightMouseDown |
                  ui::EventMasks::otherMouseDown,
              0x200000Au);
    EXPECT_EQ(ui::EventMasks::keyDown, 1u << 10);
}

} // namespace
