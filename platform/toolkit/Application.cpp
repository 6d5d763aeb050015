#include "platform/toolkit/Application.h"

#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/ToolTipController.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ui {

namespace {
// The shared application; set while one exists.
Application* sharedApplication = nullptr;
} // namespace

Application::Application(WindowServer& server, dispatch::RunLoop& loop)
    : server_(server), loop_(loop), mainThread_(std::this_thread::get_id()),
      previous_(sharedApplication), lifeToken_(std::make_shared<int>(0)),
      toolTips_(std::make_unique<ToolTipController>(*this)),
      workspace_(std::make_unique<Workspace>()) {
    sharedApplication = this;
    server_.setEventHandler([this](const NativeEvent& event) { handleNativeEvent(event); });
    server_.setNoticeHandler([this](ServerNotice notice) { handleServerNotice(notice); });
    server_.setCloseRequestHandler([this](NativeWindowId number) {
        if (auto window = windowWithNumber(number))
            window->performClose();
    });
    server_.setFramePlacedHandler([this](NativeWindowId number, const gfx::Rect& frame) {
        if (auto window = windowWithNumber(number))
            window->serverPlacedWindow(frame);
    });
    if (const auto settings = server_.desktopSettings())
        applyDesktopSettings(*settings);
}

Application::~Application() {
    server_.setEventHandler({});
    server_.setNoticeHandler({});
    server_.setCloseRequestHandler({});
    server_.setFramePlacedHandler({});
    statusBar_.reset();
    toolTips_.reset();
    for (Window* window : windows_) {
        window->app_ = nullptr;
        window->native_.reset();
    }
    sharedApplication = previous_;
}

Application& Application::shared() {
    if (!sharedApplication) {
        std::fputs("ui::Application::shared() called before an application was made\n", stderr);
        std::abort();
    }
    return *sharedApplication;
}

Application* Application::current() {
    return sharedApplication;
}

void Application::assertMainThread() {
    Application& app = shared();
    if (std::this_thread::get_id() != app.mainThread_) {
        std::fputs("ui::Application used off the main thread\n", stderr);
        std::abort();
    }
}

// MARK: Life cycle

void Application::run() {
    assertMainThread();
    finishLaunching();
    if (!terminating_)
        loop_.run();
}

void Application::finishLaunching() {
    if (auto delegate = delegate_.lock())
        delegate->applicationDidFinishLaunching();
}

void Application::terminate() {
    if (terminating_)
        return;
    terminating_ = true;
    workspace_->letGoOfLaunchers();
    if (auto delegate = delegate_.lock())
        delegate->applicationWillTerminate();
    loop_.stop();
}

bool Application::reopen() {
    const auto all = windows();
    const bool visible =
        std::any_of(all.begin(), all.end(), [](const auto& window) { return window->isVisible(); });
    if (auto delegate = delegate_.lock())
        return delegate->applicationShouldHandleReopen(visible);
    return true;
}

bool Application::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    return true;
}

void Application::activateIgnoringOtherApps(bool) {
    active_ = true;
}

void Application::deactivate() {
    // A menu is dismissed when the user goes to another program, even one opened while another
    // program was in front.
    if (trackingSession_)
        trackingSession_->cancel();
    if (!active_)
        return;
    active_ = false;
    for (auto& window : windows()) {
        if (window->hidesOnDeactivate())
            window->orderOut();
    }
    if (auto delegate = delegate_.lock())
        delegate->applicationDidResignActive();
}

StatusBar& Application::statusBar() {
    if (!statusBar_)
        statusBar_ = std::make_unique<StatusBar>();
    return *statusBar_;
}

void Application::handleServerNotice(ServerNotice notice) {
    switch (notice) {
    case ServerNotice::connectionLost:
        terminate();
        break;
    case ServerNotice::screensChanged:
        // The bar follows the primary screen's top: another panel came or went, or the monitors
        // changed.
        if (statusBar_)
            statusBar_->relayout();
        workspace_->post(WorkspaceNotification::screenParametersDidChange);
        break;
    case ServerNotice::desktopSettingsChanged:
        if (const auto settings = server_.desktopSettings())
            applyDesktopSettings(*settings);
        break;
    case ServerNotice::activeSpaceChanged:
        workspace_->post(WorkspaceNotification::activeSpaceDidChange);
        break;
    case ServerNotice::applicationActivated:
        workspace_->post(WorkspaceNotification::didActivateApplication);
        break;
    case ServerNotice::didWake:
        workspace_->post(WorkspaceNotification::didWake);
        break;
    case ServerNotice::focusLeftApplication:
        deactivate();
        break;
    }
}

void Application::applyDesktopSettings(const DesktopSettings& settings) {
    setSystemAppearance(settings.appearance);
    workspace_->setReduceMotion(settings.reduceMotion);
    workspace_->setReduceTransparency(settings.reduceTransparency);
}

// MARK: Windows

void Application::registerWindow(Window* window) {
    windows_.push_back(window);
}

void Application::unregisterWindow(Window* window) {
    std::erase(windows_, window);
    std::erase(formerKeyWindows_, window);
    if (keyWindow_ == window)
        keyWindow_ = nullptr;
    if (pointerWindow_ == window)
        pointerWindow_ = nullptr;
    if (modalWindow_ == window)
        modalWindow_ = nullptr;
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> result;
    for (Window* window : windows_) {
        if (auto shared = window->weak_from_this().lock(); shared && !window->isClosed())
            result.push_back(std::move(shared));
    }
    return result;
}

std::shared_ptr<Window> Application::windowWithNumber(NativeWindowId number) const {
    for (Window* window : windows_) {
        if (window->windowNumber() == number)
            return window->weak_from_this().lock();
    }
    return nullptr;
}

void Application::setKeyWindow(Window* window) {
    std::erase(formerKeyWindows_, window);
    if (keyWindow_ && keyWindow_ != window) {
        std::erase(formerKeyWindows_, keyWindow_);
        formerKeyWindows_.push_back(keyWindow_);
    }
    keyWindow_ = window;
}

Window* Application::formerKeyWindow(const Window* leaving) const {
    for (auto it = formerKeyWindows_.rbegin(); it != formerKeyWindows_.rend(); ++it)
        if (*it != leaving && (*it)->isVisible() && (*it)->canBecomeKeyWindow())
            return *it;
    return nullptr;
}

// MARK: Appearance

gfx::Appearance Application::effectiveAppearance() const {
    return appearance_.value_or(systemAppearance_);
}

void Application::setAppearance(std::optional<gfx::Appearance> appearance) {
    const gfx::Appearance before = effectiveAppearance();
    appearance_ = appearance;
    appearanceChanged(before);
}

void Application::setSystemAppearance(gfx::Appearance appearance) {
    const gfx::Appearance before = effectiveAppearance();
    systemAppearance_ = appearance;
    appearanceChanged(before);
}

void Application::appearanceChanged(gfx::Appearance before) {
    const gfx::Appearance now = effectiveAppearance();
    if (now == before)
        return;
    for (auto& window : windows())
        window->contentView()->effectiveAppearanceMayHaveChanged();
    for (auto& [id, handler] : std::vector(appearanceObservers_)) {
        const bool stillObserving =
            std::any_of(appearanceObservers_.begin(), appearanceObservers_.end(),
                        [id = id](const auto& entry) { return entry.first == id; });
        if (stillObserving)
            handler(now);
    }
}

Application::Observation
Application::observeEffectiveAppearance(std::function<void(gfx::Appearance)> handler) {
    const std::uint64_t id = nextObserverId_++;
    appearanceObservers_.emplace_back(id, std::move(handler));
    return Observation(this, lifeToken_, id);
}

Application::Observation::~Observation() {
    if (!lifeToken_.expired() && app_)
        std::erase_if(app_->appearanceObservers_,
                      [this](const auto& entry) { return entry.first == id_; });
}

// MARK: Events

EventMonitorToken Application::addLocalMonitor(EventMask mask, LocalMonitorHandler handler) {
    return monitors_.addLocal(mask, std::move(handler));
}

EventMonitorToken Application::addGlobalMonitor(EventMask mask, GlobalMonitorHandler handler) {
    return monitors_.addGlobal(mask, std::move(handler));
}

void Application::removeMonitor(EventMonitorToken token) {
    monitors_.remove(token);
}

void Application::handleNativeEvent(const NativeEvent& native) {
    std::shared_ptr<Window> window;
    if (native.window)
        window = windowWithNumber(*native.window);
    const EventType type = native.fields.type;
    const bool isKey =
        type == EventType::keyDown || type == EventType::keyUp || type == EventType::flagsChanged;
    if (isKey && !window && active_ && keyWindow_)
        window = keyWindow_->weak_from_this().lock();
    const Event event(native.fields, window);

    if (!isKey && pointerWindow_ != window.get()) {
        if (Window* left = pointerWindow_) {
            pointerWindow_ = nullptr;
            left->pointerMoved(std::nullopt, event);
        }
        pointerWindow_ = window.get();
    }

    const std::optional<Event> outer = currentEvent_;
    currentEvent_ = event;
    struct Restore {
        std::optional<Event>& slot;
        std::optional<Event> value;
        ~Restore() { slot = value; }
    } restore{currentEvent_, outer};

    if (trackingSession_ && trackingSession_->handleTrackingEvent(event))
        return;
    const bool ours = window || (isKey && active_);
    if (!ours) {
        monitors_.runGlobal(event);
        return;
    }
    if (modalWindow_ && window.get() != modalWindow_)
        return;
    if (auto passed = monitors_.runLocal(event))
        deliver(*passed, passed->window());
}

void Application::deliver(const Event& event, const std::shared_ptr<Window>& window) {
    if (window && !window->ignoresMouseEvents())
        window->sendEvent(event);
    else if (window && event.isKeyEvent())
        window->sendEvent(event);
}

// MARK: Cursor

void Application::pushCursor(Cursor cursor) {
    cursorStack_.push_back(cursor);
    applyCursor();
}

void Application::popCursor() {
    if (!cursorStack_.empty())
        cursorStack_.pop_back();
    applyCursor();
}

void Application::setRectCursor(Cursor cursor) {
    rectCursor_ = cursor;
    applyCursor();
}

Cursor Application::currentCursor() const {
    return cursorStack_.empty() ? rectCursor_ : cursorStack_.back();
}

void Application::applyCursor() {
    const CursorKind kind = currentCursor().kind();
    if (shownCursor_ == kind)
        return;
    shownCursor_ = kind;
    server_.setCursor(kind);
}

} // namespace ui
