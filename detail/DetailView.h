#pragma once

#include "detail/LiveSettingsMenu.h"
#include "floating/FloatingMode.h"
#include "model/DetailLayout.h"
#include "model/Localization.h"
#include "model/ModuleColors.h"
#include "model/Modules.h"
#include "platform/toolkit/View.h"
#include "sources/ComputeDisplayMode.h"
#include "sources/ComputeSnapshot.h"
#include "sources/DisplayMode.h"
#include "sources/ExternalDevice.h"
#include "sources/FanDisplayMode.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureDisplayMode.h"
#include "sources/TemperatureSnapshot.h"
#include "updates/UpdateFrequency.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pulsedeck {

// The detail popover's content: the module cards, the settings they show and one closure per
// choice the user can make. The view never stores preferences: the controller writes every
// field below after each sample and each settings change, and fills the ...Action closures,
// which the view calls when the user chooses.
//
// This edition holds the state, the focus, collapse and sorting rules and the geometry figures
// the controller sizes the popover by; the cards, controls and drawing grow into it. Make it
// with std::make_shared. Main thread only.
class DetailView : public ui::View, public DetailSectionMetrics {
public:
    // The frame the controller makes both detail views with.
    static constexpr gfx::Rect initialFrame{0, 0, 318, 667};

    explicit DetailView(const gfx::Rect& frame);

    // What the view shows and how.
    DetailPresentation presentation = DetailPresentation::details;
    std::set<ModuleKind> collapsed;
    // Collapsed only while the details are focused on one module.
    std::set<ModuleKind> temporarilyCollapsed;
    std::optional<ModuleKind> priority;
    bool isSorting = false;
    bool loginFailed = false;
    bool memoryShowChart = true;
    bool networkShowChart = true;
    bool networkColored = false;
    bool normalBlue = false;
    TemperatureDisplayMode temperatureMode = TemperatureDisplayMode::chart;
    ComputeDisplayMode computeMode = ComputeDisplayMode::bars;
    FanDisplayMode fanMode = FanDisplayMode::ring;
    FanAnimationMode fanAnimation = FanAnimationMode::smooth;
    AppearanceMode appearanceMode = AppearanceMode::system;
    FloatingMode floatingMode = FloatingMode::none;
    double stripOpacity = 1;
    double fanGap = 8;
    double chartLength = 85;
    int historyCapacity = 60;
    bool memoryEnabled = true;
    bool fanEnabled = true;
    bool networkEnabled = true;
    bool temperatureEnabled = true;
    bool computeEnabled = true;
    bool devicesEnabled = true;
    bool fanAvailable = true;
    bool temperatureAvailable = true;
    bool hideInFullscreen = false;
    // The next layout change animates; only the controller sets it.
    bool animatedLayout = false;
    ModuleColors moduleColors;
    std::vector<ModuleKind> order{allModuleKinds.begin(), allModuleKinds.end()};
    AppLanguage language = AppLanguage::english;
    std::string languageSelection = "system";
    UpdateFrequency updateFrequency = UpdateFrequency::weekly;
    // The login item's status: 0 not registered, 1 enabled, 2 requires approval, 3 not found.
    int loginState = 0;

    // The readings, oldest history entry first.
    MemorySnapshot snapshot;
    std::vector<PressurePoint> history;
    NetworkSnapshot networkSnapshot;
    std::vector<NetworkSnapshot> networkHistory;
    TemperatureSnapshot temperatureSnapshot;
    std::vector<std::optional<double>> temperatureHistory;
    ComputeSnapshot computeSnapshot;
    std::vector<ComputeSnapshot> computeHistory;
    FanSnapshot fanSnapshot;
    std::vector<std::optional<double>> fanHistory;

    // The device list, observed: storing it notes when each newly listed device arrived.
    const std::vector<ExternalDevice>& devicesSnapshot() const { return devicesSnapshot_; }
    void setDevicesSnapshot(std::vector<ExternalDevice> devices);
    // Uptime at which each listed device was first seen in a row of lists.
    const std::map<std::string, double>& deviceArrivals() const { return deviceArrivals_; }

    // The memory style choice; its selected segment is the DisplayMode's number.
    struct SegmentChoice {
        int selectedSegment = 0;
    };
    SegmentChoice displayChoice;

    // The user's choices; each is skipped when not set.
    std::function<void(DetailPresentation)> presentationAction;
    std::function<void(ColorSlot, std::optional<PaletteColor>)> moduleColorAction;
    std::function<void(bool)> hideInFullscreenAction;
    std::function<void()> sensorAction;
    std::function<void()> dismissAction;
    std::function<void()> openAction;
    std::function<void(FloatingMode)> floatingAction;
    std::function<void()> sortingAction;
    std::function<void(double)> opacityAction;
    std::function<void(const std::vector<ModuleKind>&)> orderAction;
    std::function<void(const std::set<ModuleKind>&)> disclosureAction;
    std::function<void(AppearanceMode)> appearanceAction;
    std::function<void()> checkUpdatesAction;
    std::function<void(UpdateFrequency)> updateFrequencyAction;
    std::function<void(bool)> memoryChartAction;
    std::function<void(bool)> networkChartAction;
    std::function<void(TemperatureDisplayMode)> temperatureDisplayAction;
    std::function<void(bool)> devicesAction;
    std::function<void(bool)> computeAction;
    std::function<void(ComputeDisplayMode)> computeDisplayAction;
    std::function<void(bool)> networkColorAction;
    std::function<void(bool)> memoryAction;
    std::function<void(bool)> networkAction;
    std::function<void(bool)> temperatureAction;
    std::function<void(DisplayMode)> displayAction;
    std::function<void(double)> chartLengthAction;
    std::function<void(FanAnimationMode)> fanAnimationAction;
    std::function<void(FanDisplayMode)> fanAction;
    // The fan module's switch.
    std::function<void(bool)> enabledAction;
    std::function<void(double)> gapAction;
    // A language code or "system".
    std::function<void(const std::string&)> languageAction;
    std::function<void(bool)> loginAction;
    // The floating bar's details only: the settings menu its gear button shows.
    std::function<std::shared_ptr<ui::Menu>()> settingsMenuProvider;

    // Focuses the details on one module (collapsing the others for now) or on none; leaves
    // sorting first.
    void prioritize(std::optional<ModuleKind> module);
    // Shows a module's section again; reports the stored collapsed set when it changed.
    void expandSection(ModuleKind module);
    // While sorting: takes the strip's new order and reports it.
    void adoptStatusOrder(const std::vector<ModuleKind>& order);
    // While sorting: switches a module that is on off through its switch's closure.
    void hideModuleWhileSorting(ModuleKind module);
    // Applies the stored fields to what the view shows: marks it for redrawing.
    void refreshControls();

    // DetailSectionMetrics
    bool isSectionExpanded(ModuleKind module) const override;
    double sectionHeight(ModuleKind module) const override;

    // The order without the modules this machine cannot show.
    std::vector<ModuleKind> availableModules() const;
    // The available modules that are switched on.
    int visibleModuleCount() const;
    // The cards' total height.
    double contentHeight() const;
    // The bottom band's height: the sliders' rows.
    double footerHeight() const;
    // The height the popover asks for, capped by the screen.
    double preferredHeight() const;
    // 318 in the details; in the overview the width of up to two columns of cards that fit.
    double contentWidth() const;

    // The settings menu for the current settings and language.
    std::shared_ptr<LiveSettingsMenu> makeSettingsMenu();

private:
    bool isEnabled(ModuleKind module) const;
    std::optional<gfx::Rect> screenVisibleFrame() const;

    std::vector<ExternalDevice> devicesSnapshot_;
    std::map<std::string, double> deviceArrivals_;
};

} // namespace pulsedeck
