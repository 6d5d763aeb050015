#pragma once

#include "detail/DetailGeometry.h"
#include "detail/DetailState.h"
#include "detail/LiveSettingsMenu.h"
#include "model/DetailLayout.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/TextField.h"
#include "platform/toolkit/View.h"

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
struct SectionContent;

// The detail popover's content: a top band (title, presentation switch, theme colour), the
// module cards in a scroll view, and a bottom band of strip sliders and the gear button. The view
// takes what it shows as one value, setState(), and refreshes only the parts that differ; each
// control reports through one ...Action closure the controller fills (none: the choice does
// nothing). What the user changes in the view itself (sections, order) it shows at once and
// reports, and the controller's next state agrees with it.
//
// Every control is made once, here. Make it with std::make_shared. Main thread only.
class DetailView : public ui::View, public DetailSectionMetrics {
public:
    // The frame the controller makes both detail views with.
    static constexpr gfx::Rect initialFrame{0, 0, 318, 667};
    // How long a newly listed device's card takes to come in, in seconds.
    static constexpr double deviceArrivalDuration = 0.72;

    explicit DetailView(const gfx::Rect& frame);
    ~DetailView() override;

    const DetailState& state() const { return state_; }
    // Shows `state`: texts anew only for a new language, a relayout only when the cards move
    // (animated when asked), a control touched only when its value changed, a card redrawn only
    // when its reading or look changed. A slider being dragged keeps the value under the pointer.
    void setState(DetailState state, bool animated = false);

    // The module the details are focused on.
    std::optional<ModuleKind> priority() const { return priority_; }
    bool isSorting() const { return isSorting_; }
    // Enters or leaves sorting without reporting it.
    void setSorting(bool sorting);

    // The user's choices; each is skipped when not set.
    // Every choice of the look the details show: a module's switch, a style, a colour, a slider,
    // the order, the open sections, the presentation, the appearance and full-screen hiding.
    std::function<void(const LookEdit&)> lookAction;
    std::function<void()> sensorAction;
    std::function<void()> dismissAction;
    std::function<void()> openAction;
    std::function<void(FloatingMode)> floatingAction;
    std::function<void()> sortingAction;
    std::function<void()> checkUpdatesAction;
    std::function<void(UpdateFrequency)> updateFrequencyAction;
    // A language code or "system".
    std::function<void(const std::string&)> languageAction;
    std::function<void(bool)> loginAction;
    // Reports a choice of the look to the owner, when there is one.
    void editLook(LookEdit edit) const;
    // The floating bar's details only: the settings menu its gear button shows.
    std::function<std::shared_ptr<ui::Menu>()> settingsMenuProvider;

    // Focuses the details on one module (collapsing the others for now) or on none; leaves
    // sorting first.
    void prioritize(std::optional<ModuleKind> module);
    // The chevron: closes an open section or opens a closed one of a module that is on, in the
    // details only; reports the collapsed set and relays out with animation.
    void toggleSection(ModuleKind module);
    // Shows a module's section again; reports the collapsed set when it changed.
    void expandSection(ModuleKind module);
    // While sorting: takes the strip's new order and reports it.
    void adoptStatusOrder(const std::vector<ModuleKind>& order);
    // While sorting: switches a module that is on off through its switch's closure.
    void hideModuleWhileSorting(ModuleKind module);
    // Lays a picture of the cards as they are over them and fades it out, so the presentation
    // the caller switches to next shows through it; nothing outside a window or under Reduce
    // Motion.
    void fadeFromSnapshot();

    // DetailSectionMetrics
    bool isSectionExpanded(ModuleKind module) const override;
    double sectionHeight(ModuleKind module) const override;

    // The height the popover asks for, capped by the screen.
    double preferredHeight() const;
    // 318 in the details; in the overview the width of up to two columns of cards that fit.
    double contentWidth() const;

    // The settings menu for the current settings and language.
    std::shared_ptr<LiveSettingsMenu> makeSettingsMenu();

    // The actions the settings menu's items run.
    void doCheckUpdates();
    void doApproval();
    void doFeedback();
    void doPrivacy();
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
    friend class ModuleSectionView;
    friend class DetailViewProbe;
    friend SectionContent sectionContent(const DetailView& view, ModuleKind kind, double width,
                                         double now);

    static bool reduceMotionOn();
    void refresh(const DetailChanges& changes, bool animated);
    void relabel();
    void showValues(const DetailChanges& changes);
    // Notes when each newly listed device arrived, against the list shown before.
    void noteDeviceArrivals(const std::vector<ExternalDevice>& previous);
    // Starts the device cards' entrance clock when it has work: in a window with a screen, the
    // devices card expanded, an arrival pending, Reduce Motion off and no clock running.
    void startDeviceCardClock();
    void tickDeviceCardClock(double now);
    void stopDeviceCardClock();
    // The collapsed set as shown: the stored one less the sections a focus opened.
    std::set<ModuleKind> shownCollapsed() const;
    // Shows and reports a new collapsed set.
    void reportCollapsed(std::set<ModuleKind> collapsed);
    // Scrolls the focused card's top to the top of the visible area as far as the document
    // allows; to the top without a focused card.
    void scrollToPriority();

    // A card's header was dragged from a point in the body: the card dims, a picture of it
    // follows the pointer. False while another drag is under way or for a module without a card.
    bool beginCardDrag(ModuleKind module, gfx::Point point);
    // Moves the picture; crossing another card moves the dragged module to that card's place,
    // relays out with animation and reports the new order at once.
    void moveCardDrag(gfx::Point point);
    // Drops the picture back onto the card's place; nothing without a drag.
    void endCardDrag();

    // Geometry. Places every card, control and region for the current state. A relayout of an
    // unchanged state changes no view.
    void layoutSections(bool animated);
    // The scroller's visibility, knob and value for the clip view's offset.
    void syncScroller();
    // The order without the modules this machine cannot show.
    std::vector<ModuleKind> availableModules() const;
    // The available modules that are switched on.
    int visibleModuleCount() const;
    // The cards' total height.
    double contentHeight() const;
    // The bottom band's height: the sliders' rows.
    double footerHeight() const;
    std::optional<gfx::Rect> screenVisibleFrame() const;
    std::vector<bool> devicesWithCapacity() const;
    void layoutSection(ModuleKind kind, double width, bool animated);
    void placeCardControls(ModuleKind kind, const SectionRegions& regions, double width);
    void placeColorRows(ModuleKind kind, const SectionRegions& regions, double width);
    std::vector<std::shared_ptr<ui::Control>> allControls() const;

    // The controls' actions.
    void doSwitch(ModuleKind module);
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
    void doOpen();
    void doFinishSorting();
    void doSettings();

    DetailState state_;
    // The title drawn in the top band: the bundle's display name.
    std::string appTitle_;
    std::optional<ModuleKind> priority_;
    // Collapsed only while the details are focused on one module.
    std::set<ModuleKind> temporarilyCollapsed_;
    // Stored as collapsed, opened by a focus on them until the next report of the set.
    std::set<ModuleKind> openedByFocus_;
    bool isSorting_ = false;

    // The controls: the cards' own (their switches are the cards'), then the bands'.
    std::shared_ptr<CompactSwitch> networkChartSwitch_;
    std::shared_ptr<ThemeSegments> presentationChoice_;
    // The memory style: its segment is the DisplayMode's number.
    std::shared_ptr<ThemeSegments> displayChoice_;
    std::shared_ptr<ThemeSegments> memoryChartChoice_;
    std::shared_ptr<ThemeSegments> fanChoice_;
    std::shared_ptr<ThemeSegments> animationChoice_;
    std::shared_ptr<ThemeSegments> networkColorChoice_;
    std::shared_ptr<ThemeSegments> temperatureChoice_;
    std::shared_ptr<ThemeSegments> computeChoice_;
    // Finishes sorting; kept hidden (the strip has its own finish button).
    std::shared_ptr<ThemeSegments> sortDone_;
    std::shared_ptr<ThemeSlider> chartLengthSlider_;
    std::shared_ptr<ThemeSlider> gapSlider_;
    std::shared_ptr<ThemeSlider> opacitySlider_;
    std::shared_ptr<ui::TextField> syncStatus_;
    std::shared_ptr<ui::TextField> themeColorLabel_;
    std::shared_ptr<ActivityIconButton> activityIcon_;
    std::shared_ptr<SettingsIconButton> settingsButton_;
    std::shared_ptr<ModuleColorButton> colorChoice_;
    std::map<ColorSlot, std::shared_ptr<ModuleColorButton>> colorButtons_;

    // The scrolling card list.
    std::shared_ptr<ui::ScrollView> scroll_;
    std::shared_ptr<SlimScroller> slimScroller_;
    std::shared_ptr<DetailDocumentView> body_;
    std::map<ModuleKind, std::shared_ptr<ModuleSectionView>> cards_;
    // Named rectangles of each card's content, in its content view's space; the cards draw in
    // them.
    std::map<ModuleKind, SectionRegions> sectionRegions_;
    // Transient image views over the cards (a drag ghost, a fading snapshot): the layout keeps
    // them in the body until their owner removes them.
    std::shared_ptr<ui::View> dragGhost_;
    // The card being dragged to a new place in the order; none between drags.
    std::optional<ModuleKind> draggedModule_;
    // Where the pointer holds the dragged card, from the card's top-left.
    gfx::Point dragOffset_;

    // Uptime at which each listed device was first seen in a row of lists.
    std::map<std::string, double> deviceArrivals_;
    // The uptime of the entrance clock's latest frame; device cards measure their age from it.
    double deviceCardNow_ = 0;
    std::unique_ptr<anim::AnimationFrameClock> deviceCardClock_;
    bool initializedLayout_ = false;
    // Whether the latest layout was asked to animate (it animates only in a window, after the
    // first layout, without Reduce Motion).
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
