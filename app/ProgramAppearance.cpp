#include "app/ProgramAppearance.h"

#include "platform/dispatch/RunLoop.h"

namespace pulsedeck {

ProgramAppearance::ProgramAppearance(std::shared_ptr<SettingsStore> settings, IconSource icons)
    : settings_(std::move(settings)), icons_(std::move(icons)) {}

ProgramAppearance::~ProgramAppearance() = default;

void ProgramAppearance::onFlip(std::function<void(gfx::Appearance)> follower) {
    flipFollowers_.push_back(std::move(follower));
}

void ProgramAppearance::onDesktopChange(std::function<void()> follower) {
    desktopFollowers_.push_back(std::move(follower));
}

void ProgramAppearance::install(ui::Application& app) {
    app_ = &app;
    const std::weak_ptr<ProgramAppearance> weak = weak_from_this();
    desktop_ = app.observeEffectiveAppearance([weak](gfx::Appearance) {
        // The desktop's change reaches every view first; the program follows once it has.
        dispatch::RunLoop::main().queue().async([weak] {
            auto self = weak.lock();
            if (!self)
                return;
            self->update();
            for (const auto& follower : self->desktopFollowers_)
                follower();
        });
    });
    settings_->observe([weak](const SettingsChange& change) {
        if (auto self = weak.lock(); self && change.touches(PreferenceKey::appAppearance))
            self->update();
    });
    update();
}

bool ProgramAppearance::isDark() const {
    const bool desktopDark = app_ && app_->effectiveAppearance() == gfx::Appearance::dark;
    return appearsDark(settings_->main().look.appearance, desktopDark);
}

void ProgramAppearance::update() {
    const bool dark = isDark();
    if (shownDark_ == dark)
        return;
    shownDark_ = dark;
    if (icons_)
        if (auto icon = icons_(dark))
            icon_ = std::move(icon);
    const auto appearance = dark ? gfx::Appearance::dark : gfx::Appearance::light;
    for (const auto& follower : flipFollowers_)
        follower(appearance);
}

} // namespace pulsedeck
