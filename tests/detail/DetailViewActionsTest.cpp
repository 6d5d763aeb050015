#include "controls/ThemeSlider.h"
#include "detail/ActivityIconButton.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "detail/SettingsIconButton.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <variant>

namespace pulsedeck {
namespace {

using Reported =
    std::variant<std::monostate, bool, double, DetailPresentation, DisplayMode, ComputeDisplayMode,
                 FanAnimationMode, FanDisplayMode, TemperatureDisplayMode, AppearanceMode,
                 FloatingMode, UpdateFrequency, std::string>;

// Every closure of a view, each recording what it was called with.
struct Recorder {
    std::vector<std::pair<std::string, Reported>> calls;

    void install(DetailView& view) {
        auto record = [this](std::string name) {
            return [this, name](auto value) { calls.emplace_back(name, Reported(value)); };
        };
        view.memoryAction = record("memory");
        view.enabledAction = record("fan");
        view.networkAction = record("network");
        view.temperatureAction = record("temperature");
        view.computeAction = record("compute");
        view.devicesAction = record("devices");
        view.networkChartAction = record("networkChart");
        view.memoryChartAction = record("memoryChart");
        view.networkColorAction = record("networkColor");
        view.displayAction = record("display");
        view.computeDisplayAction = record("computeDisplay");
        view.fanAnimationAction = record("fanAnimation");
        view.fanAction = record("fanMode");
        view.temperatureDisplayAction = record("temperatureDisplay");
        view.chartLengthAction = record("chartLength");
        view.gapAction = record("gap");
        view.opacityAction = record("opacity");
        view.presentationAction = record("presentation");
        view.appearanceAction = record("appearance");
        view.floatingAction = record("floating");
        view.updateFrequencyAction = record("updateFrequency");
        view.loginAction = record("login");
        view.hideInFullscreenAction = record("fullscreen");
        view.languageAction = [this](const std::string& code) {
            calls.emplace_back("language", Reported(code));
        };
        view.sortingAction = [this] { calls.emplace_back("sorting", Reported()); };
        view.dismissAction = [this] { calls.emplace_back("dismiss", Reported()); };
        view.openAction = [this] { calls.emplace_back("open", Reported()); };
    }
};

// The view with its drawing open to the test.
class DrawnDetailView : public DetailView {
public:
    using DetailView::DetailView;
    using DetailView::drawRect;
};

class DetailViewActionsTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 667}, ui::Style::borderless);
        window->setContentView(view);
        view->refreshControls();
    }
    static void flip(CompactSwitch& toggle, bool on) {
        toggle.setState(on ? ui::ControlState::on : ui::ControlState::off);
        toggle.sendAction();
    }
    static void pick(ThemeSegments& choice, int segment) {
        choice.setSelectedSegment(segment);
        choice.sendAction();
    }
    static void slide(ThemeSlider& slider, double value) {
        slider.setDoubleValue(value);
        slider.sendAction();
    }

    std::shared_ptr<DrawnDetailView> view =
        std::make_shared<DrawnDetailView>(DetailView::initialFrame);
    std::shared_ptr<ui::Window> window;
    Recorder recorder;
};

TEST_F(DetailViewActionsTest, EveryControlReportsItsValueToItsClosure) {
    recorder.install(*view);
    struct Case {
        std::function<void(DetailView&)> operate;
        std::string closure;
        Reported value;
    };
    const std::vector<Case> cases = {
        {[](DetailView& v) { flip(*v.memorySwitch, false); }, "memory", false},
        {[](DetailView& v) { flip(*v.fanSwitch, false); }, "fan", false},
        {[](DetailView& v) { flip(*v.networkSwitch, false); }, "network", false},
        {[](DetailView& v) { flip(*v.temperatureSwitch, true); }, "temperature", true},
        {[](DetailView& v) { flip(*v.computeSwitch, false); }, "compute", false},
        {[](DetailView& v) { flip(*v.devicesSwitch, false); }, "devices", false},
        {[](DetailView& v) { flip(*v.networkChartSwitch, false); }, "networkChart", false},
        {[](DetailView& v) { pick(*v.memoryChartChoice, 1); }, "memoryChart", false},
        {[](DetailView& v) { pick(*v.memoryChartChoice, 0); }, "memoryChart", true},
        {[](DetailView& v) { pick(*v.networkColorChoice, 1); }, "networkColor", true},
        {[](DetailView& v) { pick(*v.displayChoice, 2); }, "display", DisplayMode::pair},
        {[](DetailView& v) { pick(*v.computeChoice, 1); }, "computeDisplay",
         ComputeDisplayMode::chart},
        {[](DetailView& v) { pick(*v.animationChoice, 1); }, "fanAnimation",
         FanAnimationMode::efficient},
        {[](DetailView& v) { pick(*v.fanChoice, 1); }, "fanMode", FanDisplayMode::graph},
        {[](DetailView& v) { pick(*v.fanChoice, 0); }, "fanMode", FanDisplayMode::ring},
        {[](DetailView& v) { pick(*v.temperatureChoice, 0); }, "temperatureDisplay",
         TemperatureDisplayMode::thermometer},
        {[](DetailView& v) { pick(*v.temperatureChoice, 1); }, "temperatureDisplay",
         TemperatureDisplayMode::chart},
        {[](DetailView& v) { pick(*v.presentationChoice, 1); }, "presentation",
         DetailPresentation::overview},
        {[](DetailView& v) { slide(*v.chartLengthSlider, 84.5); }, "chartLength", 85.0},
        {[](DetailView& v) { slide(*v.gapSlider, 12.4); }, "gap", 12.0},
        {[](DetailView& v) { slide(*v.opacitySlider, 0.55); }, "opacity", 0.55},
        {[](DetailView& v) { v.menuFullscreen(); }, "fullscreen", true},
        {[](DetailView& v) { v.menuLanguage(std::string("de")); }, "language", std::string("de")},
        {[](DetailView& v) { v.menuAppearance(std::string("dark")); }, "appearance",
         AppearanceMode::dark},
        {[](DetailView& v) { v.doFloating(std::string("none")); }, "floating", FloatingMode::none},
        {[](DetailView& v) { v.menuUpdateFrequency(std::string("quarterly")); }, "updateFrequency",
         UpdateFrequency::quarterly},
        {[](DetailView& v) { v.activityIcon->sendAction(); }, "open", std::monostate{}},
    };
    for (const auto& c : cases) {
        recorder.calls.clear();
        c.operate(*view);
        ASSERT_EQ(recorder.calls.size(), 1u) << c.closure;
        EXPECT_EQ(recorder.calls[0].first, c.closure);
        EXPECT_EQ(recorder.calls[0].second, c.value) << c.closure;
    }
}

TEST_F(DetailViewActionsTest, ChoicesThatNameNothingReportNothing) {
    recorder.install(*view);
    pick(*view->displayChoice, -1);
    pick(*view->computeChoice, -1);
    view->menuAppearance(std::string("sepia"));
    view->doFloating(42);
    view->menuUpdateFrequency(std::any());
    EXPECT_TRUE(recorder.calls.empty());

    // A view no one gave closures shows everything and ignores every action.
    auto bare = std::make_shared<DetailView>(DetailView::initialFrame);
    flip(*bare->memorySwitch, false);
    slide(*bare->gapSlider, 3);
    bare->menuLogin();
    bare->cancelOperation(ui::Event());
    EXPECT_FALSE(bare->memorySwitch->isHidden());
}

TEST_F(DetailViewActionsTest, LaunchAtLoginTogglesFromTheLoginState) {
    recorder.install(*view);
    for (auto [state, asked] : {std::pair{0, true}, {1, false}, {2, false}, {3, true}}) {
        recorder.calls.clear();
        view->loginState = state;
        view->menuLogin();
        ASSERT_EQ(recorder.calls.size(), 1u);
        EXPECT_EQ(recorder.calls[0].second, Reported(asked)) << "state " << state;
    }
}

TEST_F(DetailViewActionsTest, CheckingForUpdatesFallsBackToAnAlertOnlyWithoutTheChecker) {
    server.answerNextModal(text(Copy::okay, AppLanguage::english));
    view->doCheckUpdates();
    EXPECT_EQ(server.modalSessions().size(), 1u) << "no checker: the alert says so";
    int checks = 0;
    view->checkUpdatesAction = [&] { ++checks; };
    view->doCheckUpdates();
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(server.modalSessions().size(), 1u);
}

TEST_F(DetailViewActionsTest, EscapeEndsSortingFirstThenCloses) {
    recorder.install(*view);
    view->isSorting = true;
    view->cancelOperation(ui::Event());
    EXPECT_FALSE(view->isSorting);
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].first, "sorting");
    view->cancelOperation(ui::Event());
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[1].first, "dismiss");
}

TEST_F(DetailViewActionsTest, ALanguageSwitchRelabelsEveryControlAndKeepsTheSelections) {
    view->computeMode = ComputeDisplayMode::compact;
    view->presentation = DetailPresentation::overview;
    view->displayChoice->setSelectedSegment(1);
    view->refreshControls();
    view->language = AppLanguage::german;
    view->refreshControls();
    const auto de = [](Copy key) { return text(key, AppLanguage::german); };
    EXPECT_EQ(view->presentationChoice->label(1), de(Copy::overview));
    EXPECT_EQ(view->computeChoice->label(1), de(Copy::fanGraph));
    EXPECT_EQ(view->temperatureChoice->label(1), de(Copy::fanGraph)) << "the chart's shared word";
    EXPECT_EQ(view->displayChoice->label(0), de(Copy::allFour));
    EXPECT_EQ(view->animationChoice->label(0), de(Copy::fanAnimationOff));
    EXPECT_EQ(view->settingsButton->toolTip(), de(Copy::settings));
    EXPECT_EQ(view->gapSlider->accessibility().label, de(Copy::blockSpacing));
    EXPECT_EQ(view->devicesSwitch->accessibility().label, de(Copy::devicesEnabled));
    EXPECT_EQ(view->themeColorLabel->stringValue(), de(Copy::themeColor));
    EXPECT_EQ(view->computeChoice->selectedSegment(), 2);
    EXPECT_EQ(view->presentationChoice->selectedSegment(), 1);
    EXPECT_EQ(view->displayChoice->selectedSegment(), 1) << "the controller's selection stays";
}

TEST_F(DetailViewActionsTest, FansOffHidesTheAnimationChoiceAndSwitchesFollowTheFlags) {
    view->fanEnabled = false;
    view->devicesEnabled = false;
    view->refreshControls();
    EXPECT_TRUE(view->animationChoice->isHidden());
    EXPECT_TRUE(view->fanChoice->isHidden());
    EXPECT_EQ(view->fanSwitch->state(), ui::ControlState::off);
    EXPECT_EQ(view->devicesSwitch->state(), ui::ControlState::off);
    EXPECT_EQ(view->memorySwitch->state(), ui::ControlState::on);
    view->fanEnabled = true;
    view->refreshControls();
    EXPECT_FALSE(view->animationChoice->isHidden());
}

TEST_F(DetailViewActionsTest, TheAccentFollowsTheThemeAndRedrawsOnlyOnAChange) {
    // Another window of the application: only an accent change reaches it.
    auto other = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, ui::Style::borderless);
    auto bystander = std::make_shared<ui::View>(gfx::Rect{0, 0, 50, 50});
    other->contentView()->addSubview(bystander);
    other->makeKeyAndOrderFront();
    view->moduleColors.setColor(PaletteColor::orange, ColorSlot::theme);
    view->refreshControls();
    EXPECT_EQ(accentColor(), toColor(PaletteColor::orange));
    other->displayIfNeeded();
    ASSERT_FALSE(bystander->needsDisplay());
    view->refreshControls();
    EXPECT_FALSE(bystander->needsDisplay()) << "an equal accent redraws no window";
    view->moduleColors.setColor(PaletteColor::teal, ColorSlot::theme);
    view->refreshControls();
    EXPECT_TRUE(bystander->needsDisplay());
}

TEST_F(DetailViewActionsTest, TheDevicesCardSpeaksItsList) {
    EXPECT_EQ(view->cards.at(ModuleKind::devices)->content().accessibility().label,
              text(Copy::noDevices, AppLanguage::english));
    ExternalDevice disk;
    disk.id = "a";
    disk.name = "Backup";
    disk.connection = "USB";
    ExternalDevice mic = disk;
    mic.id = "b";
    mic.name = "Mic";
    const std::string label = devicesAccessibilityLabel({disk, mic}, AppLanguage::english);
    const std::string rate = disk.rateText(AppLanguage::english);
    EXPECT_EQ(label, "Backup, USB, " + rate + ", ; Mic, USB, " + rate + ", ");
}

TEST_F(DetailViewActionsTest, TheBandsDrawTheFiguresAndOnlyTheShownSliderRows) {
    EXPECT_EQ(percentText(0.625), "63%");
    EXPECT_EQ(percentText(1.0), "100%");
    EXPECT_EQ(percentText(std::numeric_limits<double>::quiet_NaN()), "—");
    EXPECT_EQ(pointsText(84.9), "84 pt");
    EXPECT_EQ(pointsText(std::numeric_limits<double>::infinity()), "— pt");

    auto drawnTexts = [&] {
        gfx::RecordingContext context(view->bounds().size);
        view->drawRect(context, view->bounds());
        std::vector<std::string> texts;
        for (const auto& run : context.log().texts())
            texts.push_back(run.text);
        return texts;
    };
    auto has = [](const std::vector<std::string>& texts, const std::string& wanted) {
        return std::find(texts.begin(), texts.end(), wanted) != texts.end();
    };
    view->stripOpacity = 0.625;
    view->refreshControls();
    auto texts = drawnTexts();
    EXPECT_TRUE(has(texts, "63%"));
    EXPECT_TRUE(has(texts, "85 pt"));
    EXPECT_TRUE(has(texts, "8 pt"));
    EXPECT_TRUE(has(texts, view->appTitle));
    EXPECT_TRUE(has(texts, text(Copy::blockSpacing, AppLanguage::english)));

    // One module on: the gap row goes, the opacity row stays.
    view->fanEnabled = view->networkEnabled = view->temperatureEnabled = false;
    view->computeEnabled = view->devicesEnabled = false;
    view->refreshControls();
    texts = drawnTexts();
    EXPECT_FALSE(has(texts, text(Copy::blockSpacing, AppLanguage::english)));
    EXPECT_FALSE(has(texts, "8 pt"));
    EXPECT_TRUE(has(texts, "63%"));
}

} // namespace
} // namespace pulsedeck
