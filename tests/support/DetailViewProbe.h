#pragma once

#include "controls/ThemeSlider.h"
#include "detail/ActivityIconButton.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleColorButton.h"
#include "detail/ModuleSectionView.h"
#include "detail/SettingsIconButton.h"
#include "detail/SlimScroller.h"
#include "detail/ThemeSegments.h"

#include <utility>

namespace pulsedeck {

// What tests read and press inside a detail view: its controls, cards and layout figures.
class DetailViewProbe {
public:
    explicit DetailViewProbe(DetailView& view) : view_(view) {}

    // Changes a copy of the shown state and shows it.
    template <typename Change> void change(Change&& edit, bool animated = false) const {
        DetailState state = view_.state();
        std::forward<Change>(edit)(state);
        view_.setState(std::move(state), animated);
    }

    CompactSwitch& moduleSwitch(ModuleKind kind) const { return *card(kind).toggle(); }
    CompactSwitch& networkChartSwitch() const { return *view_.networkChartSwitch_; }
    ThemeSegments& presentationChoice() const { return *view_.presentationChoice_; }
    ThemeSegments& displayChoice() const { return *view_.displayChoice_; }
    ThemeSegments& memoryChartChoice() const { return *view_.memoryChartChoice_; }
    ThemeSegments& fanChoice() const { return *view_.fanChoice_; }
    ThemeSegments& animationChoice() const { return *view_.animationChoice_; }
    ThemeSegments& networkColorChoice() const { return *view_.networkColorChoice_; }
    ThemeSegments& temperatureChoice() const { return *view_.temperatureChoice_; }
    ThemeSegments& computeChoice() const { return *view_.computeChoice_; }
    ThemeSegments& sortDone() const { return *view_.sortDone_; }
    ThemeSlider& chartLengthSlider() const { return *view_.chartLengthSlider_; }
    ThemeSlider& gapSlider() const { return *view_.gapSlider_; }
    ThemeSlider& opacitySlider() const { return *view_.opacitySlider_; }
    ui::TextField& syncStatus() const { return *view_.syncStatus_; }
    ui::TextField& themeColorLabel() const { return *view_.themeColorLabel_; }
    ActivityIconButton& activityIcon() const { return *view_.activityIcon_; }
    SettingsIconButton& settingsButton() const { return *view_.settingsButton_; }
    ModuleColorButton& colorChoice() const { return *view_.colorChoice_; }
    ModuleColorButton& colorButton(ColorSlot slot) const { return *view_.colorButtons_.at(slot); }
    std::vector<std::shared_ptr<ui::Control>> controls() const { return view_.allControls(); }

    ui::ScrollView& scroll() const { return *view_.scroll_; }
    SlimScroller& slimScroller() const { return *view_.slimScroller_; }
    DetailDocumentView& body() const { return *view_.body_; }
    ModuleSectionView& card(ModuleKind kind) const { return *view_.cards_.at(kind); }
    const SectionRegions& regions(ModuleKind kind) const { return view_.sectionRegions_.at(kind); }
    std::shared_ptr<ui::View>& dragGhost() const { return view_.dragGhost_; }
    std::optional<ModuleKind> draggedModule() const { return view_.draggedModule_; }
    bool beginCardDrag(ModuleKind kind, gfx::Point point) const {
        return view_.beginCardDrag(kind, point);
    }
    void moveCardDrag(gfx::Point point) const { view_.moveCardDrag(point); }
    void endCardDrag() const { view_.endCardDrag(); }

    const std::map<std::string, double>& deviceArrivals() const { return view_.deviceArrivals_; }
    bool deviceCardClockRunning() const { return view_.deviceCardClock_ != nullptr; }
    double deviceCardNow() const { return view_.deviceCardNow_; }
    const std::set<ModuleKind>& temporarilyCollapsed() const { return view_.temporarilyCollapsed_; }
    bool lastLayoutRequestedAnimation() const { return view_.lastLayoutRequestedAnimation_; }
    void layoutSections(bool animated = false) const { view_.layoutSections(animated); }
    std::vector<ModuleKind> availableModules() const { return view_.availableModules(); }
    int visibleModuleCount() const { return view_.visibleModuleCount(); }
    double contentHeight() const { return view_.contentHeight(); }
    double footerHeight() const { return view_.footerHeight(); }

private:
    DetailView& view_;
};

// Keeps each look the view's choices make of the look it shows at the time.
inline void recordLooks(DetailView& view, std::vector<StripLook>& looks) {
    view.lookAction = [&view, &looks](const LookEdit& edit) {
        StripLook look = view.state().look;
        edit(look);
        looks.push_back(std::move(look));
    };
}

} // namespace pulsedeck
