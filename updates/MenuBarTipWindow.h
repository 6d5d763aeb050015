#pragma once

#include "model/Localization.h"
#include "platform/toolkit/Window.h"

#include <functional>
#include <memory>

namespace pulsedeck {

// The first-run tip: a plain window with the welcome title, its text and an OK button. The
// window is made at once and shown by the owner (makeKeyAndOrderFront); OK closes it and then,
// on the main queue, calls `finish`. Main thread.
class MenuBarTipWindow {
public:
    explicit MenuBarTipWindow(AppLanguage language);
    ~MenuBarTipWindow();
    MenuBarTipWindow(const MenuBarTipWindow&) = delete;
    MenuBarTipWindow& operator=(const MenuBarTipWindow&) = delete;

    // Called once when the tip ends; the owner usually drops the tip here.
    std::function<void()> finish;

    const std::shared_ptr<ui::Window>& window() const { return window_; }

    // What OK does.
    void dismiss();

private:
    std::shared_ptr<ui::Window> window_;
};

} // namespace pulsedeck
