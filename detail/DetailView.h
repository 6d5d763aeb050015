#pragma once

#include "detail/DetailGeometry.h"
#include "detail/LiveSettingsMenu.h"
#include "floating/FloatingMode.h"
#include "model/DetailLayout.h"
#include "model/Localization.h"
#include "model/ModuleColors.h"
#include "model/Modules.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/TextField.h"
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

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace anim {
class AnimationFrameClock;
}

namespace pulsedeck {

class ActivityIconButton;
class CompactSwitch;
class DetailDocumentView;
class ModuleColorButton;
class ModuleSectionView;
class SettingsIconButton;
class SlimScroller;
class ThemeSegments;
class ThemeSlider;

// The detail popover's content: a top band (title, presentation switch, theme colour), the
// module cards in a scroll view, and a bottom band of strip sliders and the gear button. The view
// never stores preferences: the controller writes every field below after each sample and each
// settings change and then calls refreshControls(); each control reports through one ...Action
// closure the controller fills (none: the choice does nothing).
//
// Every control is made once, here, with empty texts; refreshControls() gives them their texts
// and values, and layoutSections() their places. Make it with std::make_shared. Main thread only.
class DetailView : public ui::View, public DetailSectionMetrics {
public:
    // The frame the controller makes both detail views with.
    static constexpr gfx::Rect initialFrame{0, 0, 318, 667};
    // How long a newly listed device's card takes to come in, in seconds.
    static constexpr double deviceArrivalDuration = 0.72;

    explicit DetailView(const gfx::Rect& frame);
    ~DetailView() override;

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
    // The next layout change animates; a one-shot request the layout consumes.
    bool animatedLayout = false;
    // Whether the latest layout was asked to animate (it animates only in a window, after the
    // first layout, without Reduce Motion).
    bool lastLayoutRequestedAnimation() const { return lastLayoutRequestedAnimation_; }
    ModuleColors moduleColors;
    std::vector<ModuleKind> order{allModuleKinds.begin(), allModuleKinds.end()};
    AppLanguage language = AppLanguage::english;
    std::string languageSelection = "system";
    // The title drawn in the top band: the bundle's display name.
    std::string appTitle;
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

    // The device list, observed: storing it notes when each newly listed device arrived and
    // starts the cards' entrance clock.
    const std::vector<ExternalDevice>& devicesSnapshot() const { return devicesSnapshot_; }
    void setDevicesSnapshot(std::vector<ExternalDevice> devices);
    // Uptime at which each listed device was first seen in a row of lists.
    const std::map<std::string, double>& deviceArrivals() const { return deviceArrivals_; }
    // The uptime of the entrance clock's latest frame; device cards measure their age from it.
    double deviceCardNow = 0;
    bool deviceCardClockRunning() const { return deviceCardClock_ != nullptr; }
    // Starts the device cards' entrance clock when it has work: in a window with a screen, the
    // devices card expanded, an arrival pending, Reduce Motion off and no clock running.
    void startDeviceCardClock();

    // The controls. Module switches, then the choices, sliders, labels and buttons.
    std::shared_ptr<CompactSwitch> memorySwitch;
    std::shared_ptr<CompactSwitch> fanSwitch;
    std::shared_ptr<CompactSwitch> networkSwitch;
    std::shared_ptr<CompactSwitch> temperatureSwitch;
    std::shared_ptr<CompactSwitch> computeSwitch;
    std::shared_ptr<CompactSwitch> devicesSwitch;
    std::shared_ptr<CompactSwitch> networkChartSwitch;
    std::shared_ptr<ThemeSegments> presentationChoice;
    // The memory style; the controller selects its segment (the DisplayMode's number).
    std::shared_ptr<ThemeSegments> displayChoice;
    std::shared_ptr<ThemeSegments> memoryChartChoice;
    std::shared_ptr<ThemeSegments> fanChoice;
    std::shared_ptr<ThemeSegments> animationChoice;
    std::shared_ptr<ThemeSegments> networkColorChoice;
    std::shared_ptr<ThemeSegments> temperatureChoice;
    std::shared_ptr<ThemeSegments> computeChoice;
    // Finishes sorting; kept hidden (the strip has its own finish button).
    std::shared_ptr<ThemeSegments> sortDone;
    std::shared_ptr<ThemeSlider> chartLengthSlider;
    std::shared_ptr<ThemeSlider> gapSlider;
    std::shared_ptr<ThemeSlider> opacitySlider;
    std::shared_ptr<ui::TextField> syncStatus;
    std::shared_ptr<ui::TextField> themeColorLabel;
    std::shared_ptr<ActivityIconButton> activityIcon;
    std::shared_ptr<SettingsIconButton> settingsButton;
    std::shared_ptr<ModuleColorButton> colorChoice;
    std::map<ColorSlot, std::shared_ptr<ModuleColorButton>> colorButtons;

    // The scrolling card list.
    std::shared_ptr<ui::ScrollView> scroll;
    std::shared_ptr<SlimScroller> slimScroller;
    std::shared_ptr<DetailDocumentView> body;
    std::map<ModuleKind, std::shared_ptr<ModuleSectionView>> cards;
    // Named rectangles of each card's content, in its content view's space; the cards draw in
    // them.
    std::map<ModuleKind, SectionRegions> sectionRegions;
    // Transient image views over the cards (a drag ghost, a fading snapshot): the layout keeps
    // them in the body until their owner removes them.
    std::shared_ptr<ui::View> dragGhost;
    // The card being dragged to a new place in the order; none between drags.
    std::optional<ModuleKind> draggedModule;
    // Where the pointer holds the dragged card, from the card's top-left.
    gfx::Point dragOffset;

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
    // The switch closure of a module's card: memoryAction, …, enabledAction for the fan.
    std::function<void(bool)>& switchAction(ModuleKind module);

    // Focuses the details on one module (collapsing the others for now) or on none; leaves
    // sorting first.
    void prioritize(std::optional<ModuleKind> module);
    // The chevron: closes an open section or opens a closed one of a module that is on, in the
    // details only; reports the stored collapsed set and relays out with animation.
    void toggleSection(ModuleKind module);
    // Shows a module's section again; reports the stored collapsed set when it changed.
    void expandSection(ModuleKind module);
    // While sorting: takes the strip's new order and reports it.
    void adoptStatusOrder(const std::vector<ModuleKind>& order);
    // While sorting: switches a module that is on off through its switch's closure.
    void hideModuleWhileSorting(ModuleKind module);
    // A card's header was dragged from a point in the body: the card dims, a picture of it
    // follows the pointer. False while another drag is under way or for a module without a card.
    bool beginCardDrag(ModuleKind module, gfx::Point point);
    // Moves the picture; crossing another card moves the dragged module to that card's place,
    // relays out with animation and reports the new order at once.
    void moveCardDrag(gfx::Point point);
    // Drops the picture back onto the card's place; nothing without a drag.
    void endCardDrag();
    // Lays a picture of the cards as they are over them and fades it out, so the presentation
    // the caller switches to next shows through it; nothing outside a window or under Reduce
    // Motion.
    void fadeFromSnapshot();
    // Brings every control in line with the stored fields and language, replaces the accent
    // colour, lays out and redraws: the path by which new readings reach the screen.
    void refreshControls();

    // Geometry.
    // Places every card, control and region for the current state. A relayout of an unchanged
    // state changes no view.
    void layoutSections();
    // The scroller's visibility, knob and value for the clip view's offset.
    void syncScroller();

    // DetailSectionMetrics
    bool isSectionExpanded(ModuleKind module) const override;
    double sectionHeight(ModuleKind module) const override;

    bool isModuleEnabled(ModuleKind module) const;
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

    // The actions the controls and menu items run.
    void doMemory();
    void doEnabled();
    void doNetwork();
    void doTemperature();
    void doCompute();
    void doDevices();
    void doNetworkChart();
    void doDisplay();
    void doComputeDisplay();
    void doAnimation();
    void doMemoryChart();
    void doTemperatureDisplay();
    void doFan();
    void doNetworkColor();
    void doChartLength();
    void doGap();
    void doOpacity();
    void doPresentation();
    void doSensors();
    void doOpen();
    void doFinishSorting();
    void doCheckUpdates();
    void doApproval();
    void doFeedback();
    void doPrivacy();
    void doSettings();
    void menuLogin();
    void menuFullscreen();
    // Menu items carry their choice as a text; a text that names no choice does nothing.
    void menuLanguage(const std::any& representedObject);
    void menuAppearance(const std::any& representedObject);
    void doFloating(const std::any& representedObject);
    void menuUpdateFrequency(const std::any& representedObject);

    bool acceptsFirstResponder() const override { return true; }
    // Escape: ends sorting, or else closes the popover.
    void cancelOperation(const ui::Event& event) override;
    void setFrameSize(gfx::Size size) override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void viewDidMoveToWindow() override;

private:
    static bool reduceMotionOn();
    std::optional<gfx::Rect> screenVisibleFrame() const;
    std::vector<bool> devicesWithCapacity() const;
    void layoutSection(ModuleKind kind, double width, bool animated);
    void placeCardControls(ModuleKind kind, const SectionRegions& regions, double width);
    void placeColorRows(ModuleKind kind, const SectionRegions& regions, double width);
    std::vector<std::shared_ptr<ui::Control>> allControls() const;
    void tickDeviceCardClock(double now);
    // Scrolls the focused card's top to the top of the visible area as far as the document
    // allows; to the top without a focused card.
    void scrollToPriority();
    void stopDeviceCardClock();

    std::vector<ExternalDevice> devicesSnapshot_;
    std::map<std::string, double> deviceArrivals_;
    std::unique_ptr<anim::AnimationFrameClock> deviceCardClock_;
    bool initializedLayout_ = false;
    bool lastLayoutRequestedAnimation_ = false;
    // A focus asked for before the view had the presentation's width: the cards move when the
    // width arrives, so the scroll to the focused card waits for it.
    bool focusAwaitsWidth_ = false;
};

// "63%" for 0.625: the fraction as a whole percentage, halves away from zero; "—" when not
// finite.
std::string percentText(double fraction);
// "85 pt": the value cut to a whole number; "— pt" when not finite.
std::string pointsText(double value);
// The devices card's spoken text: per device its name, connection, rate and capacity, devices
// apart by "; "; the no-devices text for none.
std::string devicesAccessibilityLabel(const std::vector<ExternalDevice>& devices,
                                      AppLanguage language);

} // namespace pulsedeck
