#pragma once

#include "controls/ThemeSlider.h"
#include "model/Localization.h"
#include "model/StripLook.h"
#include "platform/toolkit/TextField.h"
#include "platform/toolkit/View.h"

#include <functional>
#include <memory>
#include <string>

namespace pulsedeck {

// The opacity row of the floating bar's context menu: a title, the slider over 0.2…1.0 and the
// value as a whole percentage at the right.
class FloatingOpacityRow : public ui::View {
public:
    FloatingOpacityRow(AppLanguage language, double opacity);

    const std::shared_ptr<ThemeSlider>& slider() const { return slider_; }
    const std::shared_ptr<ui::TextField>& percentage() const { return percentage_; }
    // Called with the slider's new value at every step of a drag.
    std::function<void(double)> changed;

    // "56%" for 0.555: the value × 100 rounded half away from zero.
    static std::string percentText(double opacity);

private:
    void updateValue();

    std::shared_ptr<ThemeSlider> slider_;
    std::shared_ptr<ui::TextField> percentage_;
};

} // namespace pulsedeck
