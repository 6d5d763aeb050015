#pragma once

#include "platform/dispatch/Timer.h"

#include <memory>
#include <string>

namespace ui {

class Application;
class View;
class Window;

// Shows a view's tool tip in a small window once the pointer has rested over the view for the
// usual delay, and hides it when the pointer leaves the view or a button goes down. Where the
// window server may not tell that the pointer left, the tip goes a while after the pointer last
// moved over the view: it would stay over whatever the pointer went to.
class ToolTipController {
public:
    static constexpr double delay = 1.0;
    static constexpr double untoldLinger = 3.0;

    explicit ToolTipController(Application& app);
    ~ToolTipController();

    // The view under the pointer that has a tool tip (or none).
    void pointerOver(std::shared_ptr<View> view);
    void hide();

    // The tip on show, for tests: its window and text.
    const std::shared_ptr<Window>& window() const { return window_; }
    const std::string& shownText() const { return shownText_; }

private:
    void show();
    // Hides the tip once `seconds` have passed, where the server may not tell of the pointer
    // leaving.
    void lingerFor(double seconds);

    Application& app_;
    std::weak_ptr<View> view_;
    std::unique_ptr<dispatch::Timer> timer_;
    std::unique_ptr<dispatch::Timer> linger_;
    std::shared_ptr<Window> window_;
    std::string shownText_;
};

} // namespace ui
