#include "app/AppDelegate.h"

#include "app/AppIcon.h"
#include "app/ModuleActivity.h"
#include "platform/foundation/PreferredLanguages.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/system/DesktopNotificationCenter.h"
#include "sources/MachineIdentity.h"
#include "sources/SensorClient.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace pulsedeck {

namespace {

constexpr gfx::Rect stripFrame{0, 0, 300, 24};

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Calls `step` with the object while it lives.
template <typename Object, typename Step>
auto whileAlive(const std::shared_ptr<Object>& object, Step step) {
    return [weak = std::weak_ptr<Object>(object), step](auto&&... arguments) {
        if (auto self = weak.lock())
            step(*self, arguments...);
    };
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

std::shared_ptr<AppDelegate> AppDelegate::create(Environment environment) {
    auto delegate = std::shared_ptr<AppDelegate>(new AppDelegate(std::move(environment)));
    delegate->connect();
    return delegate;
}

AppDelegate::AppDelegate(Environment environment)
    : environment_(std::move(environment)),
      settings_(
          std::make_shared<SettingsStore>(*environment_.defaults, environment_.preferredLanguages)),
      fullscreen_(std::make_shared<FullscreenMonitor>(
          environment_.windowList, FullscreenMonitor::currentPID(), *environment_.loop)),
      appearance_(std::make_shared<ProgramAppearance>(settings_, environment_.appIcon)) {
    sampling_.fanAvailable = !environment_.fanless;
    updates_ = std::make_shared<AppUpdates>(
        settings_, *environment_.loop, environment_.fetchManifest, environment_.notificationCenter);
    statusStrip_ = std::make_shared<StatusStripController>(settings_, sampling_, fullscreen_,
                                                           *environment_.loop, stripFrame);
    details_ =
        std::make_shared<DetailsController>(settings_, statusStrip_, sampling_, updates_,
                                            std::move(environment_.loginItem), *environment_.loop);
    floatingMode_ = std::make_shared<FloatingModeController>(settings_, statusStrip_, details_,
                                                             fullscreen_, sampling_, stripFrame);
}

void AppDelegate::connect() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    sampler_ = std::make_unique<Sampler>(
        environment_.makeResources(), environment_.loop->queue(),
        Sampler::Hooks{.flags =
                           [weak] {
                               auto self = weak.lock();
                               return self
                                          ? requestFlags(self->prefs(), self->settings_->floating(),
                                                         self->sampling_.fanAvailable)
                                          : SampleFlags{};
                           },
                       .apply = whileAlive(shared_from_this(),
                                           [](AppDelegate& self, const SampleResult& sample) {
                                               self.applySample(sample);
                                           })},
        environment_.samplingExecution);
    statusStrip_->setPresses(details_);
    statusStrip_->setPullOut(floatingMode_->bar());
    details_->setFloatingModes(floatingMode_);
    appearance_->onFlip(
        whileAlive(details_, [](DetailsController& details, gfx::Appearance appearance) {
            details.setAppearance(appearance);
        }));
    appearance_->onDesktopChange(
        whileAlive(shared_from_this(), [](AppDelegate& self) { self.refresh(); }));
    launchSequence_ = std::make_shared<LaunchSequence>(
        settings_, appearance_, *environment_.loop,
        LaunchSequence::Hooks{
            .itemPlaced =
                [strip = std::weak_ptr(statusStrip_)] {
                    auto shown = strip.lock();
                    return shown && shown->view()->statusItemScreenFrame().has_value();
                },
            .showDetails = whileAlive(details_,
                                      [](DetailsController& details) {
                                          if (!details.popover()->isShown())
                                              details.show(std::nullopt);
                                      }),
            .detailsFrame =
                [details = std::weak_ptr(details_)]() {
                    auto shown = details.lock();
                    return shown && shown->popover()->isShown()
                               ? std::optional(shown->popover()->window()->frame())
                               : std::nullopt;
                },
            .closeDetails =
                whileAlive(details_, [](DetailsController& details) { details.close(); })});
    appearance_->onFlip(
        whileAlive(launchSequence_, [](LaunchSequence& launch, gfx::Appearance appearance) {
            launch.setAppearance(appearance);
        }));
    settings_->observe(
        whileAlive(shared_from_this(), [](AppDelegate& self, const SettingsChange& change) {
            self.samplingSettingsChanged(change);
        }));
}

AppDelegate::~AppDelegate() {
    // No sample may reach the controller while it is taken apart.
    sampler_->stop();
}

void AppDelegate::applicationDidFinishLaunching() {
    ui::Application& app = ui::Application::shared();
    const std::weak_ptr<AppDelegate> weak = weak_from_this();

    app.setActivationPolicy(ui::ActivationPolicy::accessory);
    // Drawn at each size the desktop is given, so even the task list's 16 pixels stay sharp.
    app.setApplicationIconImage(appIconImage(false));
    quitMonitor = app.addLocalMonitor(ui::EventMasks::keyDown,
                                      [weak](const ui::Event& event) -> std::optional<ui::Event> {
                                          if (auto self = weak.lock())
                                              return self->handleQuitKey(event);
                                          return event;
                                      });
    sampler_->resources()->devicesReader->setChangedAction([weak] {
        if (auto self = weak.lock())
            self->sampler_->requestSample();
    });
    screensObservation =
        app.workspace().addObserver(ui::WorkspaceNotification::screenParametersDidChange, [weak] {
            if (auto self = weak.lock()) {
                // The strip's glass, and the surface that takes its clicks, go where the strip
                // now stands at once, not with the next sample a second later.
                self->statusStrip_->refreshEditingPanels();
                self->details_->followScreens();
                self->floatingMode_->bar()->layoutPanel();
            }
        });

    appearance_->install(app);
    statusStrip_->install(
        app, whileAlive(floatingMode_, [](FloatingModeController& modes) { modes.restore(); }));
    details_->install();
    floatingMode_->install();
    sampler_->startTimer();
    updates().schedule();
    launchSequence_->start();
}

std::optional<ui::Event> AppDelegate::handleQuitKey(const ui::Event& event) {
    const auto flags = event.modifierFlags() & ui::Modifier::deviceIndependentMask;
    if (flags == ui::Modifier::command && lowercased(event.charactersIgnoringModifiers()) == "q") {
        ui::Application::shared().terminate();
        return std::nullopt;
    }
    return event;
}

bool AppDelegate::applicationShouldHandleReopen(bool) {
    if (prefs().floatingMode == FloatingMode::detached) {
        if (const auto& panel = floatingMode_->bar()->panel())
            panel->orderFrontRegardless();
    } else if (!details_->popover()->isShown()) {
        details_->show(std::nullopt);
    }
    return false;
}

void AppDelegate::applicationWillTerminate() {
    if (screensObservation)
        ui::Application::shared().workspace().removeObserver(
            *std::exchange(screensObservation, std::nullopt));
    floatingMode_->bar()->stopMotion();
    if (environment_.stopSensorClient)
        environment_.stopSensorClient();
    floatingMode_->stop();
    // Cancels the timer, joins the sampling worker (or leaves it to a reader that does not answer)
    // and drops a sample that is still on its way.
    sampler_->stop();
    details_->removeOutsideClickMonitor();
}

void AppDelegate::applicationDidResignActive() {
    // Under XWayland a click on a native window reaches none of ours: the focus leaving is what
    // tells that the user went elsewhere.
    details_->close();
    if (floatingMode_->bar()->popover()->isShown())
        floatingMode_->bar()->popover()->performClose();
}

void AppDelegate::refresh() {
    statusStrip_->refresh();
    details_->refresh();
    floatingMode_->bar()->refreshStrip();
}

void AppDelegate::applySample(const SampleResult& sample) {
    sampling_.apply(sample, activeModules(prefs(), settings_->floating()),
                    environment_.loop->clock().now());
    refresh();
}

void AppDelegate::samplingSettingsChanged(const SettingsChange& change) {
    bool sampleNow =
        change.touches(PreferenceKey::floatingMode) || change.floatingEntries.contains("hidden");
    for (auto kind : allModuleKinds) {
        if (!change.touches(enabledKey(kind)))
            continue;
        // A module no strip shows keeps no history; the fan switched off asks for no sample.
        if (!isShownFloating(kind, prefs(), settings_->floating()))
            sampling_.clearHistory(kind);
        sampleNow = sampleNow || kind != ModuleKind::fan || prefs().look.modules.shows(kind);
    }
    if (sampleNow)
        sampler_->requestSample();
}

} // namespace pulsedeck
