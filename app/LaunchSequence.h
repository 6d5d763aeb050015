#pragma once

#include "app/ProgramAppearance.h"
#include "app/SettingsStore.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Image.h"
#include "updates/MenuBarTipWindow.h"

#include <functional>
#include <memory>
#include <optional>

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

namespace testing {
struct AppDelegateProbe;
}

// What a user sees once, shortly after launch: the details opened at the very first launch, and
// the tip that points at the menu bar, in the program's appearance and language. Each is
// remembered in the defaults as soon as it is scheduled or shown, so a crash never shows it twice.
// The details belong to the owner, which it asks through Hooks that hold them weakly.
class LaunchSequence final : public std::enable_shared_from_this<LaunchSequence> {
public:
    struct Hooks {
        // The status item has a frame on a screen.
        std::function<bool()> itemPlaced;
        // Opens the status details, unless they are open.
        std::function<void()> showDetails;
        // Where the open status details stand on the screen; none while they are closed.
        std::function<std::optional<gfx::Rect>()> detailsFrame;
        std::function<void()> closeDetails;
    };

    // Delays after launch, in seconds.
    static constexpr double firstLaunchDelay = 0.5;
    static constexpr double firstLaunchRetryDelay = 0.1;
    static constexpr int firstLaunchAttempts = 40;
    static constexpr double menuBarTipDelay = 1.2;

    LaunchSequence(std::shared_ptr<const SettingsStore> settings,
                   std::shared_ptr<const ProgramAppearance> appearance, dispatch::RunLoop& loop,
                   Hooks hooks);

    // Schedules the tip and the first launch's details, each unless already seen.
    void start();
    // The shown tip follows the program's appearance.
    void setAppearance(gfx::Appearance appearance);

private:
    friend struct testing::AppDelegateProbe;
    // Retried while the status item has no place on screen.
    void presentFirstLaunchDetails(int attempt);
    void showMenuBarTip();
    // The tip stands beside the details, which open before it or just after; on a screen with no
    // room for both the details close, as at a press on the tip, so nothing covers its button.
    void keepTipClear();
    // Runs `step` on the main queue after `seconds` while the sequence still exists.
    void after(double seconds, std::function<void(LaunchSequence&)> step);

    foundation::UserDefaults& defaults_;
    std::shared_ptr<const SettingsStore> settings_;
    std::shared_ptr<const ProgramAppearance> appearance_;
    dispatch::RunLoop& loop_;
    Hooks hooks_;
    std::unique_ptr<MenuBarTipWindow> tip_;
};

} // namespace pulsedeck
