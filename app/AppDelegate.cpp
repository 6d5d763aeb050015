#include "app/AppDelegate.h"

#include "app/AppIcon.h"
#include "app/ModuleActivity.h"
#include "model/MenuBarGeometry.h"
#include "platform/foundation/PreferredLanguages.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/DesktopNotificationCenter.h"
#include "sources/MachineIdentity.h"
#include "sources/SensorClient.h"
#include "statusbar/StatusLayout.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace pulsedeck {

namespace {

constexpr gfx::Rect stripFrame{0, 0, 300, 24};
// A menu-bar height outside these bounds is not believed.
constexpr double plausibleMenuBarMinimum = 18;
constexpr double plausibleMenuBarMaximum = 80;

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

AppDelegate::Environment AppDelegate::Environment::live(foundation::UserDefaults& defaults) {
    Environment environment;
    environment.defaults = &defaults;
    environment.fanless = MachineIdentity::current().isFanless();
    environment.preferredLanguages = [] { return foundation::preferredLanguages(); };
    environment.stopSensorClient = [] { SensorClient::shared().stop(); };
    environment.loginItem = LoginItem::live();
    environment.appIcon = [](bool dark) { return loadAppIcon(foundation::Bundle::main(), dark); };
    environment.fetchManifest = UpdateController::liveFetch();
    const foundation::Bundle bundle = foundation::Bundle::main();
    environment.notificationCenter = std::make_shared<sys::DesktopNotificationCenter>(
        dispatch::RunLoop::main(), foundation::sessionBusAddress(),
        sys::NotificationSender{bundle.displayName(), appIconURI(bundle), bundle.identifier()});
    return environment;
}

double statusPresentationHeight(const std::vector<ui::Screen>& screens, double thickness) {
    std::vector<double> heights;
    for (const auto& screen : screens) {
        double height = screen.frame().maxY() - screen.visibleFrame().maxY();
        if (height < plausibleMenuBarMinimum || height > plausibleMenuBarMaximum) {
            const double top = screen.safeAreaTop();
            height = top < 24 ? std::max(thickness, 24.0) : std::max(top, thickness);
        }
        heights.push_back(height);
    }
    return statusHeight(heights);
}

std::shared_ptr<AppDelegate> AppDelegate::create(Environment environment) {
    return std::shared_ptr<AppDelegate>(new AppDelegate(std::move(environment)));
}

AppDelegate::AppDelegate(Environment environment)
    : environment_(std::move(environment)),
      settings_(std::make_shared<SettingsStore>(*environment_.defaults)) {
    updates_ = std::make_shared<AppUpdates>(
        *environment_.defaults, *environment_.loop, environment_.fetchManifest,
        environment_.notificationCenter,
        AppUpdates::Hooks{.language = [this] { return resolvedLanguage(); },
                          .closeDetails = [this] { details_->close(); },
                          .frequencyChanged = [this] { refreshStatus(false); }});
    auto resources = environment_.makeResources();
    statusStrip_ = std::make_shared<StatusStripController>(
        settings_, sampling_, stripFrame,
        StatusStripController::Hooks{
            .surfacesReady = [this] { return nativeSurfacesReady; },
            .fullscreenDisplays = [this] { return floatingMode_->fullscreen().displayIDs(); },
            .dragOut = [this](gfx::Point start, gfx::Point current,
                              bool ended) { floatingBar_->dragOut(start, current, ended); },
            .redrawPreview =
                [this](std::optional<gfx::Rect> rect) {
                    if (rect)
                        floatingBar_->redrawPreview(*rect);
                    else
                        floatingBar_->redrawPreview();
                }});
    details_ = std::make_shared<DetailsController>(
        settings_, statusStrip_, *environment_.loop,
        DetailsController::Hooks{.refresh = [this](bool animated) { refreshStatus(animated); },
                                 .insideFloatingBar =
                                     [this](gfx::Point point) {
                                         return floatingBar_->panel() &&
                                                floatingBar_->panel()->frame().contains(point);
                                     },
                                 .language = [this] { return resolvedLanguage(); },
                                 .login = [this](bool on) { setLaunchAtLogin(on); },
                                 .setFloatingMode =
                                     [this](FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
                                         floatingMode_->set(mode, dropFrame);
                                     }});
    sampling_.fanAvailable = !environment_.fanless;
    sampler_ = std::make_unique<Sampler>(
        std::move(resources), mainQueue(),
        Sampler::Hooks{.flags =
                           [this] {
                               return requestFlags(prefs(), settings_->floating(),
                                                   sampling_.fanAvailable);
                           },
                       .apply = [this](const SampleResult& sample) { applySample(sample); }},
        environment_.samplingExecution);
    floatingBar_ = std::make_shared<FloatingBarController>(
        settings_, sampling_, *environment_.defaults, stripFrame,
        FloatingBarController::Hooks{
            .language = [this] { return resolvedLanguage(); },
            .statusStrip = [this] { return statusStrip_->view(); },
            .statusDetails = [this]() -> const DetailView& { return *details_->view(); },
            .closeStatusDetails = [this] { details_->close(); },
            .fullscreen = [this]() -> FullscreenMonitor& { return floatingMode_->fullscreen(); },
            .handOff =
                [this](DetailView& view, const FloatingPreferences& floating, bool open,
                       bool animated) {
                    handOffToDetails(view, &floating, open, animated, resolvedLanguage());
                },
            .setMode =
                [this](FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
                    floatingMode_->set(mode, dropFrame);
                },
            .moved = [this] { floatingMode_->applyVisibility(); }});
    floatingMode_ = std::make_unique<FloatingModeController>(
        settings_, statusStrip_, details_, floatingBar_, environment_.windowList,
        *environment_.loop,
        FloatingModeController::Hooks{
            .surfacesReady = [this] { return nativeSurfacesReady; },
            .refresh = [this] { refreshStatus(false); },
            .handOff = [this] { handOffToDetails(false, resolvedLanguage()); },
            .requestSample = [this] { sampler_->requestSample(); }});
    launchSequence_ = std::make_shared<LaunchSequence>(
        *environment_.defaults, *environment_.loop,
        LaunchSequence::Hooks{
            .itemPlaced =
                [this] { return statusStrip_->view()->statusItemScreenFrame().has_value(); },
            .showDetails =
                [this] {
                    if (!details_->popover()->isShown())
                        details_->show(std::nullopt);
                },
            .language = [this] { return resolvedLanguage(); },
            .dark = [this] { return isDark(); },
            .icon = [this] { return applicationIcon.value_or(appIconImage(isDark())); }});
}

AppDelegate::~AppDelegate() {
    // No reader may run while the controller is taken apart.
    sampler_->stop();
}

ui::Application& AppDelegate::application() const {
    return ui::Application::shared();
}

void AppDelegate::after(double seconds, std::function<void(AppDelegate&)> step) {
    mainQueue().asyncAfter(seconds, [weak = weak_from_this(), step = std::move(step)] {
        if (auto self = weak.lock())
            step(*self);
    });
}

AppLanguage AppDelegate::resolvedLanguage() const {
    return resolve(prefs().languageSelection, environment_.preferredLanguages
                                                  ? environment_.preferredLanguages()
                                                  : std::vector<std::string>{});
}

void AppDelegate::applicationDidFinishLaunching() {
    ui::Application& app = application();
    const std::weak_ptr<AppDelegate> weak = weak_from_this();

    app.setActivationPolicy(ui::ActivationPolicy::accessory);
    if (std::string error;
        environment_.loginItem && !environment_.loginItem->moveLegacyEntry(&error))
        std::fprintf(stderr,
                     "Pulsedeck: the login item of an earlier version stays as it was: %s\n",
                     error.c_str());
    // Drawn at each size the desktop is given, so even the task list's 16 pixels stay sharp.
    app.setApplicationIconImage(appIconImage(false));
    quitMonitor = app.addLocalMonitor(ui::EventMasks::keyDown,
                                      [weak](const ui::Event& event) -> std::optional<ui::Event> {
                                          if (auto self = weak.lock())
                                              return self->handleQuitKey(event);
                                          return event;
                                      });

    samplingResources()->devicesReader->setChangedAction([weak] {
        if (auto self = weak.lock())
            self->sampler_->requestSample();
    });

    statusStrip_->view()->setPresentationHeight(
        statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()));

    const StatusLayout layout = StatusLayout::measure(
        prefs().look.modules.styles.memoryMode, resolvedLanguage(), sampling_.latest,
        prefs().look.modules.styles.memoryShowChart, prefs().look.modules.chartLength);
    statusStrip_->install(app, layout.width);

    appearanceObservation = app.observeEffectiveAppearance([weak, this](gfx::Appearance) {
        mainQueue().async([weak] {
            if (auto self = weak.lock())
                self->refreshStatus(false);
        });
    });

    screensObservation =
        app.workspace().addObserver(ui::WorkspaceNotification::screenParametersDidChange, [weak] {
            if (auto self = weak.lock()) {
                self->details_->followScreens();
                self->floatingBar_->layoutPanel();
            }
        });

    details_->install();
    updates_->install(*details_->view());
    statusStrip_->installEditingPanels();

    settings_->observe([weak](const SettingsChange& change) {
        if (auto self = weak.lock())
            self->settingsChanged(change);
    });

    refreshStatus(false);
    sampler_->startTimer();
    floatingMode_->start();
    updates().schedule();
    after(surfacesReadyDelay, [](AppDelegate& self) { self.surfacesReady(); });
    launchSequence_->start();
}

std::optional<ui::Event> AppDelegate::handleQuitKey(const ui::Event& event) {
    const auto flags = event.modifierFlags() & ui::Modifier::deviceIndependentMask;
    if (flags == ui::Modifier::command && lowercased(event.charactersIgnoringModifiers()) == "q") {
        application().terminate();
        return std::nullopt;
    }
    return event;
}

void AppDelegate::surfacesReady() {
    nativeSurfacesReady = true;
    statusStrip_->refreshEditingPanels();
    if (prefs().floatingMode != FloatingMode::none)
        floatingMode_->set(prefs().floatingMode, std::nullopt);
}

bool AppDelegate::applicationShouldHandleReopen(bool) {
    if (prefs().floatingMode == FloatingMode::detached) {
        if (floatingBar_->panel())
            floatingBar_->panel()->orderFrontRegardless();
    } else if (!details_->popover()->isShown()) {
        details_->show(std::nullopt);
    }
    return false;
}

void AppDelegate::applicationWillTerminate() {
    if (screensObservation)
        application().workspace().removeObserver(*std::exchange(screensObservation, std::nullopt));
    floatingBar_->stopMotion();
    if (environment_.stopSensorClient)
        environment_.stopSensorClient();
    floatingMode_->stop();
    // Cancels the timer, joins the sampling worker and drops a sample that is still on its way.
    sampler_->stop();
    details_->removeOutsideClickMonitor();
}

void AppDelegate::applicationDidResignActive() {
    // Under XWayland a click on a native window reaches none of ours: the focus leaving is what
    // tells that the user went elsewhere.
    details_->close();
    if (floatingBar_->popover()->isShown())
        floatingBar_->popover()->performClose();
}

void AppDelegate::applySample(const SampleResult& sample) {
    sampling_.apply(sample, activeModules(prefs(), settings_->floating()), now());
    refreshStatus(false);
}

} // namespace pulsedeck
