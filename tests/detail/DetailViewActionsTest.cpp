#include "detail/DetailView.h"
#include "model/AccentColor.h"
#include "platform/foundation/Bundle.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/DetailViewProbe.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <variant>

namespace pulsedeck {
namespace {

using Reported = std::variant<std::monostate, bool, FloatingMode, UpdateFrequency, std::string>;

// Every closure of a view, each recording what it was called with; a choice of the look is kept
// as the look it makes of the one the view shows.
struct Recorder {
    std::vector<std::pair<std::string, Reported>> calls;
    std::vector<StripLook> looks;

    void install(DetailView& view) {
        auto record = [this](std::string name) {
            return [this, name](auto value) { calls.emplace_back(name, Reported(value)); };
        };
        view.lookAction = [this, &view](const LookEdit& edit) {
            StripLook look = view.state().look;
            edit(look);
            looks.push_back(std::move(look));
        };
        view.floatingAction = record("floating");
        view.updateFrequencyAction = record("updateFrequency");
        view.loginAction = record("login");
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
    DetailViewProbe probe{*view};
    Recorder recorder;
};

TEST_F(DetailViewActionsTest, EveryLookControlReportsItsChoiceAsAnEditOfTheLook) {
    recorder.install(*view);
    struct Case {
        const char* name;
        std::function<void(DetailView&, DetailViewProbe&)> operate;
        // What the choice makes of the look shown.
        LookEdit expected;
    };
    std::vector<Case> cases = {
        {"network chart", [](auto&, auto& p) { flip(p.networkChartSwitch(), false); },
         [](StripLook& l) { l.modules.styles.networkShowChart = false; }},
        {"memory chart off", [](auto&, auto& p) { pick(p.memoryChartChoice(), 1); },
         [](StripLook& l) { l.modules.styles.memoryShowChart = false; }},
        {"network colour", [](auto&, auto& p) { pick(p.networkColorChoice(), 1); },
         [](StripLook& l) { l.modules.styles.networkColored = true; }},
        {"memory style", [](auto&, auto& p) { pick(p.displayChoice(), 2); },
         [](StripLook& l) { l.modules.styles.memoryMode = DisplayMode::pair; }},
        {"compute style", [](auto&, auto& p) { pick(p.computeChoice(), 1); },
         [](StripLook& l) { l.modules.styles.computeMode = ComputeDisplayMode::chart; }},
        {"fan animation", [](auto&, auto& p) { pick(p.animationChoice(), 1); },
         [](StripLook& l) { l.modules.styles.fanAnimation = FanAnimationMode::efficient; }},
        {"fan graph", [](auto&, auto& p) { pick(p.fanChoice(), 1); },
         [](StripLook& l) { l.modules.styles.fanMode = FanDisplayMode::graph; }},
        {"thermometer", [](auto&, auto& p) { pick(p.temperatureChoice(), 0); },
         [](StripLook& l) {
             l.modules.styles.temperatureMode = TemperatureDisplayMode::thermometer;
         }},
        {"overview", [](auto&, auto& p) { pick(p.presentationChoice(), 1); },
         [](StripLook& l) { l.presentation = DetailPresentation::overview; }},
        {"chart length rounded", [](auto&, auto& p) { slide(p.chartLengthSlider(), 84.5); },
         [](StripLook& l) { l.modules.chartLength = 85; }},
        {"gap rounded", [](auto&, auto& p) { slide(p.gapSlider(), 12.4); },
         [](StripLook& l) { l.modules.gap = 12; }},
        {"opacity", [](auto&, auto& p) { slide(p.opacitySlider(), 0.55); },
         [](StripLook& l) { l.opacity = 0.55; }},
        {"full-screen hiding", [](DetailView& v, auto&) { v.menuFullscreen(); },
         [](StripLook& l) { l.hideInFullscreen = true; }},
        {"appearance", [](DetailView& v, auto&) { v.menuAppearance(std::string("dark")); },
         [](StripLook& l) { l.appearance = AppearanceMode::dark; }},
    };
    // Each module's switch turned away from where it stands.
    for (ModuleKind kind : allModuleKinds) {
        const bool on = probe.moduleSwitch(kind).state() == ui::ControlState::off;
        cases.push_back({"switch", [kind, on](auto&, auto& p) { flip(p.moduleSwitch(kind), on); },
                         [kind, on](StripLook& l) { l.modules.setShown(kind, on); }});
    }
    for (const auto& c : cases) {
        recorder.looks.clear();
        c.operate(*view, probe);
        StripLook expected = view->state().look;
        c.expected(expected);
        ASSERT_EQ(recorder.looks.size(), 1u) << c.name;
        EXPECT_EQ(recorder.looks[0], expected) << c.name;
        EXPECT_TRUE(recorder.calls.empty()) << c.name;
    }
}

TEST_F(DetailViewActionsTest, EveryOtherControlReportsItsValueToItsClosure) {
    recorder.install(*view);
    const struct {
        std::function<void(DetailView&, DetailViewProbe&)> operate;
        std::string closure;
        Reported value;
    } cases[] = {
        {[](DetailView& v, auto&) { v.menuLanguage(std::string("de")); }, "language",
         std::string("de")},
        {[](DetailView& v, auto&) { v.doFloating(std::string("none")); }, "floating",
         FloatingMode::none},
        {[](DetailView& v, auto&) { v.menuUpdateFrequency(std::string("quarterly")); },
         "updateFrequency", UpdateFrequency::quarterly},
        {[](auto&, auto& p) { p.activityIcon().sendAction(); }, "open", std::monostate{}},
    };
    for (const auto& c : cases) {
        recorder.calls.clear();
        c.operate(*view, probe);
        ASSERT_EQ(recorder.calls.size(), 1u) << c.closure;
        EXPECT_EQ(recorder.calls[0].first, c.closure);
        EXPECT_EQ(recorder.calls[0].second, c.value) << c.closure;
        EXPECT_TRUE(recorder.looks.empty()) << c.closure;
    }
}

TEST_F(DetailViewActionsTest, ChoicesThatNameNothingReportNothing) {
    recorder.install(*view);
    pick(probe.displayChoice(), -1);
    pick(probe.computeChoice(), -1);
    view->menuAppearance(std::string("sepia"));
    view->doFloating(42);
    view->menuUpdateFrequency(std::any());
    EXPECT_TRUE(recorder.calls.empty());
    EXPECT_TRUE(recorder.looks.empty());

    // A view no one gave closures shows everything and ignores every action.
    auto bare = std::make_shared<DetailView>(DetailView::initialFrame);
    DetailViewProbe bareProbe{*bare};
    flip(bareProbe.moduleSwitch(ModuleKind::memory), false);
    slide(bareProbe.gapSlider(), 3);
    bare->menuLogin();
    bare->cancelOperation(ui::Event());
    EXPECT_FALSE(bareProbe.moduleSwitch(ModuleKind::memory).isHidden());
}

TEST_F(DetailViewActionsTest, LaunchAtLoginTogglesFromTheLoginState) {
    recorder.install(*view);
    using S = LoginItemStatus;
    for (auto [status, asked] : {std::pair{S::notRegistered, true},
                                 {S::enabled, false},
                                 {S::requiresApproval, false},
                                 {S::notFound, true}}) {
        recorder.calls.clear();
        probe.change([status = status](DetailState& s) { s.loginStatus = status; });
        view->menuLogin();
        ASSERT_EQ(recorder.calls.size(), 1u);
        EXPECT_EQ(recorder.calls[0].second, Reported(asked)) << static_cast<int>(status);
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
    view->setSorting(true);
    view->cancelOperation(ui::Event());
    EXPECT_FALSE(view->isSorting());
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].first, "sorting");
    view->cancelOperation(ui::Event());
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[1].first, "dismiss");
}

TEST_F(DetailViewActionsTest, ALanguageSwitchRelabelsEveryControlAndKeepsTheSelections) {
    probe.change([](DetailState& s) {
        s.look.modules.styles.computeMode = ComputeDisplayMode::compact;
        s.look.modules.styles.memoryMode = DisplayMode::automatic;
        s.look.presentation = DetailPresentation::overview;
    });
    probe.change([](DetailState& s) { s.language = AppLanguage::german; });
    const auto de = [](Copy key) { return text(key, AppLanguage::german); };
    EXPECT_EQ(probe.presentationChoice().label(1), de(Copy::overview));
    EXPECT_EQ(probe.computeChoice().label(1), de(Copy::fanGraph));
    EXPECT_EQ(probe.temperatureChoice().label(1), de(Copy::fanGraph)) << "the chart's shared word";
    EXPECT_EQ(probe.displayChoice().label(0), de(Copy::allFour));
    EXPECT_EQ(probe.animationChoice().label(0), de(Copy::fanAnimationOff));
    EXPECT_EQ(probe.settingsButton().toolTip(), de(Copy::settings));
    EXPECT_EQ(probe.gapSlider().accessibility().label, de(Copy::blockSpacing));
    EXPECT_EQ(probe.moduleSwitch(ModuleKind::devices).accessibility().label,
              de(Copy::devicesEnabled));
    EXPECT_EQ(probe.themeColorLabel().stringValue(), de(Copy::themeColor));
    EXPECT_EQ(probe.computeChoice().selectedSegment(), 2);
    EXPECT_EQ(probe.presentationChoice().selectedSegment(), 1);
    EXPECT_EQ(probe.displayChoice().selectedSegment(), 1);
}

// A new value touches only the controls that show it, and no text is given anew.
TEST_F(DetailViewActionsTest, ANewStateRedrawsOnlyTheControlsItChanges) {
    window->makeKeyAndOrderFront();
    window->displayIfNeeded();
    for (const auto& control : probe.controls())
        ASSERT_FALSE(control->needsDisplay());
    probe.change([](DetailState& s) {
        s.look.modules.chartLength = 120;
        s.look.modules.styles.fanMode = FanDisplayMode::graph;
    });
    std::vector<ui::Control*> dirty;
    for (const auto& control : probe.controls())
        if (control->needsDisplay())
            dirty.push_back(control.get());
    EXPECT_EQ(dirty, (std::vector<ui::Control*>{&probe.fanChoice(), &probe.chartLengthSlider()}));
    EXPECT_EQ(probe.chartLengthSlider().doubleValue(), 120);
    EXPECT_EQ(probe.fanChoice().selectedSegment(), 1);
}

// The refresh after each step of a drag brings the stored value, which may lag or be clamped:
// the knob stays under the pointer until it is let go.
TEST_F(DetailViewActionsTest, ASliderBeingDraggedKeepsItsValue) {
    window->makeKeyAndOrderFront();
    ThemeSlider& slider = probe.opacitySlider();
    const gfx::Rect knob = slider.convertRectToView(slider.knobRect(), nullptr);
    const gfx::Point grab{window->frame().minX() + knob.midX(),
                          window->frame().minY() + knob.midY()};
    server.mouseDown(grab);
    server.inject(ui::EventType::leftMouseDragged, {grab.x - 60, grab.y});
    const double dragged = slider.doubleValue();
    ASSERT_LT(dragged, 1);
    probe.change([](DetailState& s) { s.look.opacity = 0.9; });
    EXPECT_EQ(slider.doubleValue(), dragged);
    server.mouseUp({grab.x - 60, grab.y});
    probe.change([](DetailState& s) { s.look.opacity = 0.4; });
    EXPECT_EQ(slider.doubleValue(), 0.4);
}

TEST_F(DetailViewActionsTest, FansOffHidesTheAnimationChoiceAndSwitchesFollowTheFlags) {
    probe.change([](DetailState& s) {
        s.look.modules.setShown(ModuleKind::fan, false);
        s.look.modules.setShown(ModuleKind::devices, false);
    });
    EXPECT_TRUE(probe.animationChoice().isHidden());
    EXPECT_TRUE(probe.fanChoice().isHidden());
    EXPECT_EQ(probe.moduleSwitch(ModuleKind::fan).state(), ui::ControlState::off);
    EXPECT_EQ(probe.moduleSwitch(ModuleKind::devices).state(), ui::ControlState::off);
    EXPECT_EQ(probe.moduleSwitch(ModuleKind::memory).state(), ui::ControlState::on);
    probe.change([](DetailState& s) { s.look.modules.setShown(ModuleKind::fan, true); });
    EXPECT_FALSE(probe.animationChoice().isHidden());
}

TEST_F(DetailViewActionsTest, TheAccentFollowsTheThemeAndRedrawsOnlyOnAChange) {
    // Another window of the application: only an accent change reaches it.
    auto other = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, ui::Style::borderless);
    auto bystander = std::make_shared<ui::View>(gfx::Rect{0, 0, 50, 50});
    other->contentView()->addSubview(bystander);
    other->makeKeyAndOrderFront();
    const auto theme = [&](PaletteColor color) {
        probe.change(
            [color](DetailState& s) { s.look.modules.colors.setColor(color, ColorSlot::theme); });
    };
    theme(PaletteColor::orange);
    EXPECT_EQ(accentColor(), toColor(PaletteColor::orange));
    other->displayIfNeeded();
    ASSERT_FALSE(bystander->needsDisplay());
    theme(PaletteColor::orange);
    EXPECT_FALSE(bystander->needsDisplay()) << "an equal accent redraws no window";
    theme(PaletteColor::teal);
    EXPECT_TRUE(bystander->needsDisplay());
}

TEST_F(DetailViewActionsTest, TheDevicesCardSpeaksItsList) {
    EXPECT_EQ(probe.card(ModuleKind::devices).content().accessibility().label,
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
    probe.change([](DetailState& s) { s.look.opacity = 0.625; });
    auto texts = drawnTexts();
    EXPECT_TRUE(has(texts, "63%"));
    EXPECT_TRUE(has(texts, "85 pt"));
    EXPECT_TRUE(has(texts, "8 pt"));
    EXPECT_TRUE(has(texts, foundation::Bundle::main().displayName()));
    EXPECT_TRUE(has(texts, text(Copy::blockSpacing, AppLanguage::english)));

    // One module on: the gap row goes, the opacity row stays.
    probe.change([](DetailState& s) {
        for (ModuleKind kind : allModuleKinds)
            s.look.modules.setShown(kind, kind == ModuleKind::memory);
    });
    texts = drawnTexts();
    EXPECT_FALSE(has(texts, text(Copy::blockSpacing, AppLanguage::english)));
    EXPECT_FALSE(has(texts, "8 pt"));
    EXPECT_TRUE(has(texts, "63%"));
}

} // namespace
} // namespace pulsedeck
