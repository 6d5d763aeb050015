#include "platform/toolkit/x11/InputMethod.h"
#include "platform/toolkit/x11/KeyMapping.h"
#include "platform/toolkit/x11/X11Clipboard.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <utility>

// What the X server sends: input for our windows and the global monitors, and the desktop's
// changes, turned into the toolkit's events and the server's notices.

namespace ui::x11 {

namespace {

// The toolkit's double-click interval and how far the pointer may stray between the clicks.
constexpr double doubleClickInterval = 0.5;
constexpr double doubleClickDistance = 4;

EventType pressType(int button) {
    return button == 1 ? EventType::leftMouseDown
                       : (button == 3 ? EventType::rightMouseDown : EventType::otherMouseDown);
}

EventType releaseType(int button) {
    return button == 1 ? EventType::leftMouseUp
                       : (button == 3 ? EventType::rightMouseUp : EventType::otherMouseUp);
}

// The toolkit's button numbers: 0 left, 1 right, 2 the middle one.
int platformButton(unsigned xButton) {
    return xButton == 1 ? 0 : (xButton == 3 ? 1 : 2);
}

// The buttons (as bits 1 << button) a pointer state holds down.
unsigned heldButtons(unsigned state) {
    return (state & Button1Mask ? 1u << 1 : 0) | (state & Button2Mask ? 1u << 2 : 0) |
           (state & Button3Mask ? 1u << 3 : 0);
}

EventType motionType(unsigned state) {
    if (state & Button1Mask)
        return EventType::leftMouseDragged;
    if (state & Button3Mask)
        return EventType::rightMouseDragged;
    if (state & Button2Mask)
        return EventType::otherMouseDragged;
    return EventType::mouseMoved;
}

} // namespace

void X11WindowServer::drainEvents() {
    // What is queued now, not what handling it brings on: events our own requests cause (a
    // window raised under the pointer crosses it) must never keep the loop from its timers and
    // its conditions (a menu dismissed). The rest waits for the next pass, which the loop's
    // observer keeps from sleeping.
    for (int pending = XPending(display_); pending > 0 && XPending(display_) > 0; --pending) {
        XEvent event;
        XNextEvent(display_, &event);
        handleEvent(event);
    }
}

void X11WindowServer::deliverPointer(EventType type, std::optional<NativeWindowId> window,
                                     gfx::Point location, unsigned state, int button,
                                     PointerCause cause) {
    NativeEvent native;
    Event::Fields& fields = native.fields;
    fields.type = type;
    fields.overAnotherProgram = cause.overAnotherProgram;
    fields.pointerStill = cause.pointerStill;
    fields.timestamp = clock_.now();
    fields.screenLocation = location;
    if (!monitors_.empty()) {
        const gfx::Rect primary = screens().front().frame;
        fields.topLeftLocation = gfx::Point{location.x, primary.maxY() - location.y};
    }
    fields.modifierFlags = modifierFlagsFromState(state);
    fields.buttonNumber = button;
    const bool press = type == EventType::leftMouseDown || type == EventType::rightMouseDown ||
                       type == EventType::otherMouseDown;
    const bool release = type == EventType::leftMouseUp || type == EventType::rightMouseUp ||
                         type == EventType::otherMouseUp;
    if (press) {
        const bool again = lastClick_.button == button &&
                           fields.timestamp - lastClick_.time <= doubleClickInterval &&
                           location.distanceTo(lastClick_.location) <= doubleClickDistance;
        lastClick_ = {button, fields.timestamp, location, again ? lastClick_.count + 1 : 1};
        fields.clickCount = lastClick_.count;
    } else if (release) {
        fields.clickCount = lastClick_.button == button ? lastClick_.count : 1;
    }
    native.window = window;
    deliver(native);
}

void X11WindowServer::handleEvent(XEvent& event) {
    if (inputMethod_ && inputMethod_->filter(event))
        return;
    if (clipboard_->handleEvent(event))
        return;
    if (event.type == GenericEvent && event.xcookie.extension == xinputOpcode_) {
        if (XGetEventData(display_, &event.xcookie)) {
            handleRawEvent(&event.xcookie);
            XFreeEventData(display_, &event.xcookie);
        }
        return;
    }
    if (randrEventBase_ >= 0 && (event.type == randrEventBase_ + RRScreenChangeNotify ||
                                 event.type == randrEventBase_ + RRNotify)) {
        XRRUpdateConfiguration(&event);
        readDesktop();
        refreshScreens();
        return;
    }
    if (xfixesEventBase_ >= 0 && event.type == xfixesEventBase_ + XFixesSelectionNotify) {
        const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
        if (notify.selection == atoms_->compositorSelection) {
            followCompositor();
            return;
        }
        readXSettings();
        readDesktop();
        refreshScreens();
        post(ServerNotice::desktopSettingsChanged);
        return;
    }
    if (shapeEventBase_ >= 0 && event.type == shapeEventBase_ + ShapeNotify) {
        const auto& notify = reinterpret_cast<const XShapeEvent&>(event);
        // The manager's last step, which lifts the veil: where the window stands is read with
        // it, or the next resize would start from a place the window has left (and take the
        // manager for one that stretches it).
        for (auto& [id, window] : windows_)
            if (window->veil && window->managerFrame == notify.window)
                followPlacement(*window);
        return;
    }
    switch (event.type) {
    case Expose:
        handleExpose(event);
        break;
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
    case EnterNotify:
    case LeaveNotify:
        handlePointerEvent(event);
        break;
    case KeyPress:
    case KeyRelease:
        handleKeyEvent(event);
        break;
    case FocusOut:
        handleFocusOut(event);
        break;
    case VisibilityNotify:
        handleVisibility(event);
        break;
    case ClientMessage:
        handleClientMessage(event);
        break;
    case PropertyNotify:
        handlePropertyChange(event);
        break;
    case MapNotify:
    case UnmapNotify:
    case DestroyNotify:
    case ConfigureNotify:
    case ReparentNotify:
        handleStructureChange(event);
        break;
    default:
        break;
    }
}

gfx::Point X11WindowServer::locate(unsigned long xid, int x, int y, int rootX, int rootY) const {
    // Measured from the frame the toolkit gave the window, so a status bar moved below another
    // panel still reads right.
    const NativeWindow* window = find(windowFor(xid));
    if (!window)
        return geometry_.pointFromPixel(rootX, rootY);
    const double scale = geometry_.scale();
    return gfx::Point{window->frame.minX() + (x - window->insetX) / scale,
                      window->frame.minY() + window->frame.height() - (y - window->insetY) / scale};
}

std::optional<NativeWindowId> X11WindowServer::target(unsigned long xid) const {
    const NativeWindowId id = windowFor(xid);
    return id ? std::optional(id) : std::nullopt;
}

std::optional<NativeWindowId> X11WindowServer::pointerTarget(unsigned long xid,
                                                             gfx::Point location) const {
    const std::optional<NativeWindowId> window = target(xid);
    if (!window)
        return window;
    // A panel drawn inside the status bar takes the pointer where it lies, as a window above it.
    if (const auto guest = guestAt(*window, location))
        return guest;
    return window;
}

void X11WindowServer::handleClientMessage(XEvent& event) {
    const XClientMessageEvent& message = event.xclient;
    if (message.message_type != (*atoms_)[wmProtocols] || message.format != 32 ||
        Atom(message.data.l[0]) != (*atoms_)[wmDeleteWindow])
        return;
    if (const NativeWindowId window = windowFor(message.window))
        requestClose(window);
}

void X11WindowServer::handleExpose(XEvent& event) {
    NativeWindow* window = find(windowFor(event.xany.window));
    if (!window)
        return;
    // A shape change exposes many small rectangles at once; repaint their union once, when the
    // last of the series arrives.
    const XExposeEvent& expose = event.xexpose;
    std::array<int, 4> area{expose.x, expose.y, expose.x + expose.width, expose.y + expose.height};
    if (window->exposed) {
        const std::array<int, 4>& seen = *window->exposed;
        area = {std::min(area[0], seen[0]), std::min(area[1], seen[1]), std::max(area[2], seen[2]),
                std::max(area[3], seen[3])};
    }
    window->exposed = area;
    // Exposed means shown: a window waiting for the focus can take it now.
    if (window->focusWhenMapped && keyWindow_ == window->id)
        focus(*window);
    if (expose.count == 0) {
        window->exposed.reset();
        fillBeyond(*window, area[0], area[1], area[2] - area[0], area[3] - area[1]);
        if (!window->backing)
            return;
        // In the window's own pixels, which may lie inside a larger X window.
        const int left = std::max(area[0] - window->insetX, 0);
        const int top = std::max(area[1] - window->insetY, 0);
        const int right =
            std::min(area[2] - window->insetX, cairo_image_surface_get_width(window->backing));
        const int bottom =
            std::min(area[3] - window->insetY, cairo_image_surface_get_height(window->backing));
        paint(*window, left, top, right - left, bottom - top, false);
    }
}

void X11WindowServer::handlePointerEvent(XEvent& event) {
    switch (event.type) {
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& button = event.xbutton;
        // Buttons 4 and 5 are a wheel's steps up and down.
        if ((button.button == 4 || button.button == 5) && event.type == ButtonPress) {
            NativeEvent native;
            native.fields.type = EventType::scrollWheel;
            native.fields.timestamp = clock_.now();
            native.fields.screenLocation =
                locate(button.window, button.x, button.y, button.x_root, button.y_root);
            native.fields.modifierFlags = modifierFlagsFromState(button.state);
            native.fields.scrollingDeltaY = button.button == 4 ? 1 : -1;
            native.window = target(button.window);
            deliver(native);
            break;
        }
        if (button.button > 3)
            break;
        lastPointerPixel_ = std::pair{button.x_root, button.y_root};
        const gfx::Point location =
            locate(button.window, button.x, button.y, button.x_root, button.y_root);
        std::optional<NativeWindowId> window = pointerTarget(button.window, location);
        lastUserTime_ = button.time;
        if (event.type == ButtonPress) {
            if (const NativeWindow* pressed = find(windowFor(button.window));
                pressed && !pressed->overrideRedirect)
                lastPressedManaged_ = pressed->id;
            if (window && find(*window) && find(*window)->host)
                pressedGuest_ = window;
        } else if (pressedGuest_) {
            window = std::exchange(pressedGuest_, std::nullopt);
        }
        deliverPointer(event.type == ButtonPress ? pressType(int(button.button))
                                                 : releaseType(int(button.button)),
                       window, location, button.state, platformButton(button.button));
        break;
    }
    case MotionNotify: {
        // Only the latest position of a burst matters.
        while (XCheckTypedWindowEvent(display_, event.xany.window, MotionNotify, &event)) {
        }
        const XMotionEvent& motion = event.xmotion;
        lastPointerPixel_ = std::pair{motion.x_root, motion.y_root};
        const gfx::Point location =
            locate(motion.window, motion.x, motion.y, motion.x_root, motion.y_root);
        deliverPointer(motionType(motion.state),
                       pressedGuest_ ? pressedGuest_ : pointerTarget(motion.window, location),
                       location, motion.state, 0);
        break;
    }
    default: {
        const XCrossingEvent& crossing = event.xcrossing;
        const auto pixel = std::pair{crossing.x_root, crossing.y_root};
        // A grab or its end moves the pointer nowhere; nor does a window mapped, unmapped or
        // restacked under it (ours too: a menu raised over the details), which the server
        // reports as an ordinary crossing at the place of the last event.
        const bool still = std::exchange(lastPointerPixel_, pixel) == pixel;
        if (crossing.mode != NotifyNormal)
            break;
        // Entering reports the position inside the window; leaving reports it as outside every
        // window of ours, so the toolkit ends hover and tracking areas.
        const bool entering = event.type == EnterNotify;
        const gfx::Point location =
            entering
                ? locate(crossing.window, crossing.x, crossing.y, crossing.x_root, crossing.y_root)
                : geometry_.pointFromPixel(crossing.x_root, crossing.y_root);
        deliverPointer(motionType(crossing.state),
                       entering ? pointerTarget(crossing.window, location) : std::nullopt, location,
                       crossing.state, 0, {.pointerStill = still});
        break;
    }
    }
}

void X11WindowServer::handleKeyEvent(XEvent& event) {
    XKeyEvent& key = event.xkey;
    const bool press = event.type == KeyPress;
    lastUserTime_ = key.time;
    NativeEvent native;
    Event::Fields& fields = native.fields;
    fields.timestamp = clock_.now();
    fields.screenLocation = geometry_.pointFromPixel(key.x_root, key.y_root);
    // Keys belong to the toolkit's key window, whatever X focused.
    native.window = keyWindow_ ? keyWindow_ : target(key.window);
    const KeySym plainSymbol = XLookupKeysym(&key, 0);
    fields.keyCode = keyCodeForKeysym(plainSymbol).value_or(-1);
    // The state is the one before this key; a modifier key reports the state after it.
    if (const unsigned mask = modifierMaskForKeysym(plainSymbol)) {
        const unsigned after = press ? (key.state | mask) : (key.state & ~mask);
        fields.type = EventType::flagsChanged;
        fields.modifierFlags = modifierFlagsFromState(mask == LockMask ? key.state : after);
        deliver(native);
        return;
    }
    fields.type = press ? EventType::keyDown : EventType::keyUp;
    fields.modifierFlags = modifierFlagsFromState(key.state);
    const unsigned original = key.state;
    KeySym typed = NoSymbol;
    char buffer[16];
    key.state = characterState(original, false);
    XLookupString(&key, buffer, sizeof buffer, &typed, nullptr);
    fields.characters = charactersForKeysym(typed);
    KeySym plain = NoSymbol;
    key.state = characterState(original, true);
    XLookupString(&key, buffer, sizeof buffer, &plain, nullptr);
    fields.charactersIgnoringModifiers = charactersForKeysym(plain);
    key.state = original;
    // Typed text goes through the input method, which composes dead keys and sequences and
    // commits what an input method server sends (as key presses without a key code). Keys with
    // Control or Super held are commands and keep their plain characters.
    if (press && inputMethod_ && characterState(original, false) == original) {
        const auto composed = inputMethod_->lookup(event);
        if (composed && !composed->empty() && static_cast<unsigned char>((*composed)[0]) >= 0x20 &&
            (*composed)[0] != 0x7f)
            fields.characters = *composed;
    }
    // With detectable auto-repeat a held key sends presses only, no releases between them.
    const unsigned code = key.keycode & 0xffu;
    if (press) {
        fields.isARepeat = keysDown_.test(code);
        keysDown_.set(code);
    } else {
        keysDown_.reset(code);
    }
    deliver(native);
}

void X11WindowServer::handleFocusOut(XEvent& event) {
    const XFocusChangeEvent& focus = event.xfocus;
    // A focus change while a menu grabs the keyboard still moves the focus.
    const bool moved = focus.mode == NotifyNormal || focus.mode == NotifyWhileGrabbed;
    if (!isOurs(focus.window) || !moved || focus.detail == NotifyInferior)
        return;
    ::Window focused = None;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    if (isOurs(focused) || retakeFocus() || !xwayland_)
        return;
    post(ServerNotice::focusLeftApplication);
}

bool X11WindowServer::retakeFocus() {
    // Just after one of our managed windows that held the focus was withdrawn, its window manager
    // may still hand the focus to its next window after our key window took it: that is no
    // choice of the user's, and the key window takes the focus back, at most twice.
    NativeWindow* key = keyWindow_ ? find(*keyWindow_) : nullptr;
    if (!key || !key->mapped || clock_.now() > focusSettling_.until ||
        focusSettling_.retakes >= FocusSettling::maximumRetakes)
        return false;
    ++focusSettling_.retakes;
    XSetInputFocus(display_, key->xid, RevertToParent, CurrentTime);
    return true;
}

void X11WindowServer::followActiveWindow() {
    const auto active = cardinals(display_, root_, (*atoms_)[activeWindow], XA_WINDOW);
    const unsigned long now = active.empty() ? None : static_cast<unsigned long>(active.front());
    const unsigned long before = std::exchange(activeWindow_, now);
    // Under XWayland a click on a native window reaches no X window of ours, and our window may
    // keep the X focus while the compositor gives the keys to the native one: the active window
    // becoming another program's, or none (a native window is no X window), is what tells.
    if (now == before || isOurs(now) || (!keyWindow_ && !grabbing_))
        return;
    // The manager naming its next window active after one of ours was withdrawn is no choice of
    // the user's.
    if ((keyWindow_ && clock_.now() <= focusSettling_.until) || !xwayland_)
        return;
    post(ServerNotice::focusLeftApplication);
}

void X11WindowServer::handlePropertyChange(XEvent& event) {
    const Atom property = event.xproperty.atom;
    if (event.xproperty.window == xsettingsOwner_ && property == (*atoms_)[xsettingsSettings]) {
        readXSettings();
        post(ServerNotice::desktopSettingsChanged);
        return;
    }
    if (event.xproperty.window != root_)
        return;
    if (property == (*atoms_)[currentDesktop]) {
        post(ServerNotice::activeSpaceChanged);
    } else if (property == (*atoms_)[activeWindow]) {
        post(ServerNotice::applicationActivated);
        followActiveWindow();
    } else if (property == (*atoms_)[clientList] || property == (*atoms_)[workArea] ||
               property == (*atoms_)[supportingWmCheck]) {
        hasWindowManager_ =
            !cardinals(display_, root_, (*atoms_)[supportingWmCheck], XA_WINDOW).empty();
        refreshScreens();
    } else if (property == (*atoms_)[resourceManager]) {
        readDesktop();
        refreshScreens();
    } else if (property == (*atoms_)[rootPicture] || property == (*atoms_)[rootPictureSetter]) {
        desktopBackgroundChanged();
    }
}

void X11WindowServer::handleStructureChange(XEvent& event) {
    // Another program's window that comes, goes or moves may be a dock whose strut moves the
    // visible frames.
    switch (event.type) {
    case MapNotify:
        if (event.xmap.event == root_) {
            if (!event.xmap.override_redirect && !isOurs(event.xmap.window))
                refreshScreens();
        } else if (NativeWindow* window = find(windowFor(event.xmap.window))) {
            window->everViewable = true;
            window->viewable = true;
            followPlacement(*window);
            if (!window->focusWhenMapped)
                break;
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display_, window->xid, &attributes) &&
                attributes.map_state == IsViewable)
                focus(*window);
        }
        break;
    case UnmapNotify:
        if (event.xunmap.event == root_) {
            if (!isOurs(event.xunmap.window))
                refreshScreens();
        } else if (const NativeWindowId id = windowFor(event.xunmap.window)) {
            find(id)->viewable = false;
            // Still shown as far as the toolkit knows: another program unmapped it. One that no
            // manager places takes the keyboard back with it, if it held it.
            if (NativeWindow* window = find(id); window->mapped && !window->mapHeld) {
                window->focusWhenMapped = keyWindow_ == id && !placedByManager(*window);
                mapAgainAfterUnmap(id);
            }
        }
        break;
    case DestroyNotify:
        if (event.xdestroywindow.event == root_ && !isOurs(event.xdestroywindow.window))
            refreshScreens();
        if (event.xdestroywindow.window == xsettingsOwner_) {
            readXSettings();
            post(ServerNotice::desktopSettingsChanged);
        }
        break;
    case ReparentNotify:
        if (event.xreparent.event != event.xreparent.window)
            break;
        if (NativeWindow* window = find(windowFor(event.xreparent.window))) {
            const ::Window frame = event.xreparent.parent == root_ ? 0 : event.xreparent.parent;
            if (frame && frame != window->managerFrame) {
                XSelectInput(display_, frame, StructureNotifyMask);
                // A manager shapes its frame after its client, in a step of its own.
                if (shapeEventBase_ >= 0)
                    XShapeSelectInput(display_, frame, ShapeNotifyMask);
            }
            window->managerFrame = frame;
            followPlacement(*window);
        }
        break;
    default: {
        const XConfigureEvent& configure = event.xconfigure;
        if (configure.window == root_ && randrEventBase_ < 0) {
            readDesktop();
            refreshScreens();
            break;
        }
        // A window's own configure, real or sent by a window manager (which tells of a move of
        // its frame so), says where it is now; the root's copy of the same is left aside.
        if (configure.event != configure.window)
            break;
        if (NativeWindow* window = find(windowFor(configure.window))) {
            followPlacement(*window);
            break;
        }
        for (auto& [id, window] : windows_)
            if (window->managerFrame == configure.window)
                followPlacement(*window);
        break;
    }
    }
}

void X11WindowServer::selectRawMotion(bool select) {
    if (select == rawMotionSelected_ || xinputOpcode_ < 0)
        return;
    rawMotionSelected_ = select;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    if (select)
        XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XISelectEvents(display_, root_, &mask, 1);
}

void X11WindowServer::followHeldButtons(unsigned state, unsigned pressedNow) {
    // A raw release may never come: the server keeps it from us while our own grab (an open
    // menu) holds the pointer, a server older than XInput 2.1 while any grab does, and XWayland
    // sees no release that a native Wayland window took. What the server says is held wins.
    rawButtonsDown_ &= heldButtons(state) | pressedNow;
    // Drags are watched only while a button is down: motion selected always would wake the
    // process on every pointer move anywhere on the desktop.
    selectRawMotion(rawButtonsDown_ != 0);
    if (rawButtonsDown_ == 0 || watchingHeldButtons_)
        return;
    // With no event to tell, a look a moment later, again while a button is really held, ends
    // the watch of a drag whose release never came.
    watchingHeldButtons_ = true;
    loop_.queue().asyncAfter(heldButtonsPatience, [this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.expired())
            return;
        watchingHeldButtons_ = false;
        ::Window rootReturn = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned held = 0;
        XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &held);
        followHeldButtons(held, 0);
        XFlush(display_);
    });
}

void X11WindowServer::handleRawEvent(void* data) {
    const XGenericEventCookie& cookie = *static_cast<XGenericEventCookie*>(data);
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    const bool press = cookie.evtype == XI_RawButtonPress;
    const bool release = cookie.evtype == XI_RawButtonRelease;
    const bool motion = cookie.evtype == XI_RawMotion;
    if (!press && !release && !motion)
        return;
    const unsigned button = unsigned(raw->detail);
    if ((press || release) && (button < 1 || button > 3))
        return;
    ::Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned state = 0;
    XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &state);
    if (press)
        rawButtonsDown_ |= 1u << button;
    if (release)
        rawButtonsDown_ &= ~(1u << button);
    // The button pressed now may be up again already when the state is read; its release follows.
    followHeldButtons(state, press ? 1u << button : 0);
    // A move with no button really down is no drag: it only woke the process.
    if (motion && rawButtonsDown_ == 0)
        return;
    // While a menu grabs the pointer, the same click also arrives as a core event.
    if (grabbing_)
        return;

    // The application's own windows get their events as core events; global monitors never see
    // them. A window manager's frame holds our window one or two levels down.
    auto ours = [&](::Window candidate) {
        for (int depth = 0; depth < 3 && candidate != None; ++depth) {
            if (isOurs(candidate))
                return true;
            ::Window pointerRoot = 0, inner = None;
            int a = 0, b = 0, c = 0, d = 0;
            unsigned m = 0;
            XQueryPointer(display_, candidate, &pointerRoot, &inner, &a, &b, &c, &d, &m);
            candidate = inner;
        }
        return false;
    };
    if (ours(child))
        return;
    // The state still holds the button while it is being released, and may not hold it yet
    // while it is being pressed; the type says which. Over another program's window the event
    // went to that window, wherever ours lie beneath it.
    const gfx::Point location = geometry_.pointFromPixel(rootX, rootY);
    const PointerCause cause{.overAnotherProgram = child != None};
    if (press)
        deliverPointer(pressType(int(button)), std::nullopt, location, state,
                       platformButton(button), cause);
    else if (release)
        deliverPointer(releaseType(int(button)), std::nullopt, location, state,
                       platformButton(button), cause);
    else
        deliverPointer(motionType(state), std::nullopt, location, state, 0, cause);
}

void X11WindowServer::handleVisibility(XEvent& event) {
    const XVisibilityEvent& visibility = event.xvisibility;
    NativeWindow* window = find(windowFor(visibility.window));
    // A window manager keeps docks and "above" windows over the others; without one, nothing
    // does: when another program raises a window of its own over one of ours kept above, ours
    // go back over it. Its pop-ups (override-redirect) may lie over ours, as over everything.
    if (!window || hasWindowManager_ || !window->mapped || window->host ||
        visibility.state == VisibilityUnobscured || !keepsAbove(*window) ||
        !coveredByAnotherProgram(*window))
        return;
    restack(true);
}

} // namespace ui::x11
