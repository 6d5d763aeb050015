#pragma once

#include "app/SettingsStore.h"
#include "platform/graphics/Appearance.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Application.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pulsedeck {

// The program's light or dark: the menu bar's look over the desktop's appearance, the one flag the
// details and the first-run tip follow, and the icon that goes with it. Main thread only.
class ProgramAppearance final : public std::enable_shared_from_this<ProgramAppearance> {
public:
    // The program's icon for a dark or a light appearance; none answered: the icon stays.
    using IconSource = std::function<std::optional<gfx::Image>(bool dark)>;

    ProgramAppearance(std::shared_ptr<SettingsStore> settings, IconSource icons);
    ~ProgramAppearance();
    ProgramAppearance(const ProgramAppearance&) = delete;
    ProgramAppearance& operator=(const ProgramAppearance&) = delete;

    // Told the program's appearance when it flips, and first at install.
    void onFlip(std::function<void(gfx::Appearance)> follower);
    // Told when the desktop's appearance changed, whether or not the program's flipped.
    void onDesktopChange(std::function<void()> follower);
    // Follows the desktop's appearance and the menu bar's look, and applies the first appearance.
    void install(ui::Application& app);

    bool isDark() const;
    // The icon as the last flip brought it; none before the first.
    const std::optional<gfx::Image>& icon() const { return icon_; }

private:
    // Reads the flag again; on a flip, the icon and then the followers.
    void update();

    std::shared_ptr<SettingsStore> settings_;
    IconSource icons_;
    ui::Application* app_ = nullptr;
    std::optional<ui::Application::Observation> desktop_;
    std::optional<bool> shownDark_;
    std::optional<gfx::Image> icon_;
    std::vector<std::function<void(gfx::Appearance)>> flipFollowers_;
    std::vector<std::function<void()>> desktopFollowers_;
};

} // namespace pulsedeck
