#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/graphics/Bitmap.h"
#include "platform/toolkit/WindowServer.h"

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

// A window server in memory, for tests and for drawing without a display: screens are whatever
// the test configures (none, one, two, ...), windows are offscreen surfaces stacked by level and
// order, input is injected by the test, and any window or whole screen can be composed into a
// bitmap or a PNG. Events are stamped on the given clock and delivered at once.
class HeadlessWindowServer final : public WindowServer {
public:
    explicit HeadlessWindowServer(const dispatch::Clock& clock = dispatch::uptimeClock());
    HeadlessWindowServer(std::vector<ScreenDescription> screens, const dispatch::Clock& clock);

    // A screen whose top `menuBarHeight` points are outside the visible frame, as our status bar
    // (24 pt) reserves them.
    static ScreenDescription makeScreen(const gfx::Rect& frame, int displayNumber,
                                        double menuBarHeight = 24, double backingScale = 1);

    void setScreens(std::vector<ScreenDescription> screens) { screens_ = std::move(screens); }

    // WindowServer
    NativeWindowId createWindow(const gfx::Rect& frame,
                                const NativeWindowAttributes& attributes) override;
    void destroyWindow(NativeWindowId window) override;
    void setFrame(NativeWindowId window, const gfx::Rect& frame) override;
    void setLevel(NativeWindowId window, int level) override;
    void setAlpha(NativeWindowId window, double alpha) override;
    void setIgnoresMouseEvents(NativeWindowId window, bool ignores) override;
    void setCollectionBehavior(NativeWindowId window, unsigned behavior) override;
    void orderFront(NativeWindowId window) override;
    void orderOut(NativeWindowId window) override;
    void makeKey(NativeWindowId window) override;
    void present(NativeWindowId window, cairo_surface_t* backing, const gfx::Rect& dirty) override;
    std::vector<ScreenDescription> screens() const override { return screens_; }
    gfx::Point pointerLocation() const override { return pointer_; }
    unsigned pressedMouseButtons() const override { return buttons_; }
    void setCursor(CursorKind cursor) override { cursor_ = cursor; }
    void modalSessionBegan(NativeWindowId window) override;

    // What a test can inspect.
    struct WindowState {
        gfx::Rect frame;
        NativeWindowAttributes attributes;
        int level = 0;
        double alpha = 1;
        bool visible = false;
        bool ignoresMouseEvents = false;
        std::uint64_t stackOrder = 0;
        int presentCount = 0;
        std::shared_ptr<gfx::Bitmap> surface;
    };
    const WindowState* window(NativeWindowId window) const;
    // Visible windows, frontmost first.
    std::vector<NativeWindowId> visibleWindows() const;
    // The frontmost visible window at a point that takes mouse events.
    std::optional<NativeWindowId> windowAt(gfx::Point point) const;
    std::optional<NativeWindowId> keyWindow() const { return key_; }
    CursorKind cursor() const { return cursor_; }
    // Modal sessions begun, oldest first.
    const std::vector<NativeWindowId>& modalSessions() const { return modalSessions_; }
    // What each modal session's window said, as it tells assistive clients: its message, a line
    // break, its informative text.
    const std::vector<std::string>& modalTexts() const { return modalTexts_; }
    // Scripted answers: each modal session that begins presses, right after it starts, the
    // button titled with the next queued title, as an assistive client would.
    void answerNextModal(std::string buttonTitle) {
        modalAnswers_.push_back(std::move(buttonTitle));
    }

    // Input. Mouse events go to the window under the point (drags and releases to the window
    // the press began in), keys to the key window; events outside every window are delivered
    // without one, as other applications' events reach global monitors.
    void inject(EventType type, gfx::Point location, ModifierFlags modifiers = 0);
    void movePointer(gfx::Point location, ModifierFlags modifiers = 0);
    void mouseDown(gfx::Point location, ModifierFlags modifiers = 0);
    void mouseUp(gfx::Point location, ModifierFlags modifiers = 0);
    void click(gfx::Point location, ModifierFlags modifiers = 0);
    void rightClick(gfx::Point location, ModifierFlags modifiers = 0);
    void key(int keyCode, std::string characters, ModifierFlags modifiers = 0);
    // Any event as given; only the missing time stamp and top-left location are filled in.
    void inject(NativeEvent event);
    // The desktop asks to close the window, as a window manager's close does.
    void closeFromDesktop(NativeWindowId window) { requestClose(window); }
    // The desktop shows the window elsewhere, as a window manager that moves it its own way does.
    void placeFromDesktop(NativeWindowId window, const gfx::Rect& frame) {
        setFrame(window, frame);
        reportFrame(window, frame);
    }

    // Composition: the screen's desktop with every visible window on it, by level and order.
    gfx::Bitmap composeScreen(std::size_t index) const;
    std::optional<gfx::Bitmap> windowImage(NativeWindowId window) const;
    bool writeScreenPng(std::size_t index, const std::filesystem::path& path) const;
    bool writeWindowPng(NativeWindowId window, const std::filesystem::path& path) const;

private:
    Event::Fields fieldsFor(EventType type, gfx::Point location, ModifierFlags modifiers) const;
    std::optional<gfx::Point> topLeft(gfx::Point location) const;

    const dispatch::Clock& clock_;
    std::vector<ScreenDescription> screens_;
    std::map<NativeWindowId, WindowState> windows_;
    NativeWindowId nextId_ = 1;
    std::uint64_t nextStackOrder_ = 1;
    std::optional<NativeWindowId> key_;
    std::optional<NativeWindowId> grab_;
    gfx::Point pointer_;
    unsigned buttons_ = 0;
    CursorKind cursor_ = CursorKind::arrow;
    std::vector<NativeWindowId> modalSessions_;
    std::vector<std::string> modalTexts_;
    std::deque<std::string> modalAnswers_;
};

} // namespace ui
