#pragma once

#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Appearance.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/EventMonitors.h"
#include "platform/toolkit/WindowServer.h"

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace ui {

class AnimationContext;
class StatusBar;
class ToolTipController;
class Window;
class Workspace;

enum class ActivationPolicy { regular = 0, accessory = 1, prohibited = 2 };

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() {}
    // Asked when the user launches the running application again; the answer says whether the
    // application should do its default reopening.
    virtual bool applicationShouldHandleReopen(bool hasVisibleWindows) {
        (void)hasVisibleWindows;
        return true;
    }
    virtual void applicationWillTerminate() {}
    // The user went to another program (the keyboard focus left our windows).
    virtual void applicationDidResignActive() {}
};

// Something that takes every event while it runs its own loop (a menu being tracked). It
// answers whether it consumed the event.
class EventTrackingSession {
public:
    virtual ~EventTrackingSession() = default;
    virtual bool handleTrackingEvent(const Event& event) = 0;
    // Ends the session as if dismissed.
    virtual void cancel() = 0;
};

// The shared application: the window server connection, the list of windows, event routing and
// monitors, activation, appearance and the cursor stack. One exists at a time; making it
// installs it as Application::shared() until it is destroyed. Main thread only.
class Application {
public:
    explicit Application(WindowServer& server, dispatch::RunLoop& loop = dispatch::RunLoop::main());
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application& shared();
    static Application* current();
    // Stops the process when called off the thread that made the application.
    static void assertMainThread();

    WindowServer& windowServer() { return server_; }
    dispatch::RunLoop& runLoop() { return loop_; }
    double now() const { return loop_.clock().now(); }

    // Life cycle.
    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { delegate_ = delegate; }
    std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_.lock(); }
    // finishLaunching, then the run loop until terminate().
    void run();
    // Tells the delegate the application finished launching (run() does this first).
    void finishLaunching();
    // Tells the delegate, then ends the run loop.
    void terminate();
    bool isTerminating() const { return terminating_; }
    // A second launch of the running application; answers the delegate's reply.
    bool reopen();

    bool setActivationPolicy(ActivationPolicy policy);
    ActivationPolicy activationPolicy() const { return policy_; }
    // The picture the desktop shows for the application's windows and in its task lists.
    void setApplicationIconImage(const gfx::Image& image) { server_.setApplicationIcon(image); }
    void activateIgnoringOtherApps(bool flag);
    void deactivate();
    bool isActive() const { return active_; }

    // Windows.
    std::vector<std::shared_ptr<Window>> windows() const;
    Window* keyWindow() const { return keyWindow_; }
    // The most recent window that was key before `leaving` and could be key again now.
    Window* formerKeyWindow(const Window* leaving) const;
    std::shared_ptr<Window> windowWithNumber(NativeWindowId number) const;

    // Appearance: an explicit one, else the desktop's.
    gfx::Appearance effectiveAppearance() const;
    void setAppearance(std::optional<gfx::Appearance> appearance);
    const std::optional<gfx::Appearance>& appearance() const { return appearance_; }
    // What the desktop asks for (the backend or a test sets it).
    void setSystemAppearance(gfx::Appearance appearance);
    // Calls handler with the new value whenever the effective appearance changes; the
    // observation ends when the returned object is destroyed.
    class Observation {
    public:
        Observation() = default;
        Observation(Observation&&) noexcept = default;
        Observation& operator=(Observation&&) noexcept = default;
        ~Observation();

    private:
        friend class Application;
        Observation(Application* app, std::weak_ptr<int> lifeToken, std::uint64_t id)
            : app_(app), lifeToken_(std::move(lifeToken)), id_(id) {}
        Application* app_ = nullptr;
        std::weak_ptr<int> lifeToken_;
        std::uint64_t id_ = 0;
    };
    [[nodiscard]] Observation
    observeEffectiveAppearance(std::function<void(gfx::Appearance)> handler);

    // Events.
    std::optional<Event> currentEvent() const { return currentEvent_; }
    EventMonitorToken addLocalMonitor(EventMask mask, LocalMonitorHandler handler);
    EventMonitorToken addGlobalMonitor(EventMask mask, GlobalMonitorHandler handler);
    void removeMonitor(EventMonitorToken token);
    gfx::Point mouseLocation() const { return server_.pointerLocation(); }
    unsigned pressedMouseButtons() const { return server_.pressedMouseButtons(); }
    bool reportsPointerLeaving() const { return server_.reportsPointerLeaving(); }
    // Takes one event from the window server.
    void handleNativeEvent(const NativeEvent& native);
    // Takes one notice from the window server.
    void handleServerNotice(ServerNotice notice);

    // While a session is set, it sees every event first (menus tracking the pointer).
    void setTrackingSession(EventTrackingSession* session) { trackingSession_ = session; }
    EventTrackingSession* trackingSession() const { return trackingSession_; }
    // While a modal window is set, events for other windows are dropped.
    void setModalWindow(Window* window) { modalWindow_ = window; }
    Window* modalWindow() const { return modalWindow_; }

    // The cursor stack.
    void pushCursor(Cursor cursor);
    void popCursor();
    void setRectCursor(Cursor cursor);
    Cursor currentCursor() const;

    ToolTipController& toolTips() { return *toolTips_; }
    // The system status bar, made on first use.
    StatusBar& statusBar();
    Workspace& workspace() { return *workspace_; }

private:
    friend class Window;
    friend class AnimationContext;

    void registerWindow(Window* window);
    void unregisterWindow(Window* window);
    void setKeyWindow(Window* window);
    void appearanceChanged(gfx::Appearance before);
    void applyDesktopSettings(const DesktopSettings& settings);
    void applyCursor();
    void deliver(const Event& event, const std::shared_ptr<Window>& window);

    WindowServer& server_;
    dispatch::RunLoop& loop_;
    std::thread::id mainThread_;
    Application* previous_;
    // Lets observations outlive the application safely.
    std::shared_ptr<int> lifeToken_;
    std::weak_ptr<ApplicationDelegate> delegate_;
    bool terminating_ = false;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    bool active_ = false;
    std::vector<Window*> windows_;
    Window* keyWindow_ = nullptr;
    // The windows that were key before the key window, the most recent last.
    std::vector<Window*> formerKeyWindows_;
    Window* pointerWindow_ = nullptr;
    Window* modalWindow_ = nullptr;
    std::optional<gfx::Appearance> appearance_;
    gfx::Appearance systemAppearance_ = gfx::Appearance::light;
    std::vector<std::pair<std::uint64_t, std::function<void(gfx::Appearance)>>>
        appearanceObservers_;
    std::uint64_t nextObserverId_ = 1;
    EventMonitors monitors_;
    std::optional<Event> currentEvent_;
    EventTrackingSession* trackingSession_ = nullptr;
    std::vector<Cursor> cursorStack_;
    Cursor rectCursor_;
    std::optional<CursorKind> shownCursor_;
    std::unique_ptr<ToolTipController> toolTips_;
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<StatusBar> statusBar_;
    std::vector<AnimationContext*> animationGroups_;
};

} // namespace ui
