#pragma once

#include "model/Localization.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Window.h"

#include <functional>
#include <memory>

namespace pulsedeck {

class MenuBarTipDemo;

// The first-run tip: the application's icon, a title, a short text, the animated menu-bar demo
// and one button, stacked in a floating window 420 pt wide. The owner shows the window
// (makeKeyAndOrderFront). Main thread.
//
// However the window goes away — the button, Return, the window manager's close, or being
// ordered out — the demo's clock stops at once and `finish` runs once, on the main queue.
class MenuBarTipWindow {
public:
    MenuBarTipWindow(AppLanguage language, gfx::Image icon);
    ~MenuBarTipWindow();
    MenuBarTipWindow(const MenuBarTipWindow&) = delete;
    MenuBarTipWindow& operator=(const MenuBarTipWindow&) = delete;

    // Called once when the tip ends; the owner usually drops the tip here.
    std::function<void()> finish;

    const std::shared_ptr<ui::Window>& window() const { return window_; }
    MenuBarTipDemo& demo() const { return *demo_; }

    // What the button does: closes the window, which then runs `finish`.
    void done();
    // Moves the tip beside `covered` (screen points) where that lies over it, on the side with
    // more room; false, and the tip left where it is, when the screen's visible area has too
    // little room there.
    bool standClearOf(const gfx::Rect& covered);

private:
    void windowOrderedOut();

    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<MenuBarTipDemo> demo_;
};

} // namespace pulsedeck
