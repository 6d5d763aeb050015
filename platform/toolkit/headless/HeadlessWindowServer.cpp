#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// The desktop behind the windows in a composed screen.
constexpr double desktopRed = 0.23, desktopGreen = 0.35, desktopBlue = 0.45;

double surfaceScale(const HeadlessWindowServer::WindowState& state) {
    if (!state.surface || state.frame.width() <= 0)
        return 1;
    return state.surface->pixelsWide() / state.frame.width();
}

} // namespace

HeadlessWindowServer::HeadlessWindowServer(const dispatch::Clock& clock)
    : HeadlessWindowServer({makeScreen({0, 0, 1440, 900}, 1)}, clock) {}

HeadlessWindowServer::HeadlessWindowServer(std::vector<ScreenDescription> screens,
                                           const dispatch::Clock& clock)
    : clock_(clock), screens_(std::move(screens)) {}

ScreenDescription HeadlessWindowServer::makeScreen(const gfx::Rect& frame, int displayNumber,
                                                   double menuBarHeight, double backingScale) {
    ScreenDescription screen;
    screen.frame = frame;
    screen.visibleFrame = {frame.x(), frame.y(), frame.width(), frame.height() - menuBarHeight};
    screen.displayNumber = displayNumber;
    screen.backingScale = backingScale;
    return screen;
}

// MARK: Windows

NativeWindowId HeadlessWindowServer::createWindow(const gfx::Rect& frame,
                                                  const NativeWindowAttributes& attributes) {
    const NativeWindowId id = nextId_++;
    WindowState& state = windows_[id];
    state.frame = frame;
    state.attributes = attributes;
    return id;
}

void HeadlessWindowServer::destroyWindow(NativeWindowId window) {
    windows_.erase(window);
    if (key_ == window)
        key_.reset();
    if (grab_ == window)
        grab_.reset();
}

void HeadlessWindowServer::setFrame(NativeWindowId window, const gfx::Rect& frame) {
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.frame = frame;
}

void HeadlessWindowServer::setLevel(NativeWindowId window, int level) {
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.level = level;
}

void HeadlessWindowServer::setAlpha(NativeWindowId window, double alpha) {
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.alpha = alpha;
}

void HeadlessWindowServer::setIgnoresMouseEvents(NativeWindowId window, bool ignores) {
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.ignoresMouseEvents = ignores;
}

void HeadlessWindowServer::setCollectionBehavior(NativeWindowId window, unsigned behavior) {
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.attributes.collectionBehavior = behavior;
}

void HeadlessWindowServer::orderFront(NativeWindowId window) {
    if (auto it = windows_.find(window); it != windows_.end()) {
        it->second.visible = true;
        it->second.stackOrder = nextStackOrder_++;
    }
}

void HeadlessWindowServer::orderOut(NativeWindowId window) {
    if (auto it = windows_.find(window); it != windows_.end())
        it->second.visible = false;
    if (key_ == window)
        key_.reset();
}

void HeadlessWindowServer::makeKey(NativeWindowId window) {
    if (windows_.count(window))
        key_ = window;
}

void HeadlessWindowServer::present(NativeWindowId window, cairo_surface_t* backing,
                                   const gfx::Rect&) {
    auto it = windows_.find(window);
    if (it == windows_.end() || !backing)
        return;
    const int wide = cairo_image_surface_get_width(backing);
    const int high = cairo_image_surface_get_height(backing);
    auto copy = std::make_shared<gfx::Bitmap>(wide, high, it->second.frame.size);
    cairo_t* cr = cairo_create(copy->surface());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, backing, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(copy->surface());
    it->second.surface = std::move(copy);
    ++it->second.presentCount;
}

namespace {

View* buttonTitled(View& view, const std::string& title) {
    if (view.accessibility().role == AccessibilityRole::button &&
        view.accessibility().label == title)
        return &view;
    for (auto& subview : view.subviews()) {
        if (View* found = buttonTitled(*subview, title))
            return found;
    }
    return nullptr;
}

} // namespace

void HeadlessWindowServer::modalSessionBegan(NativeWindowId window) {
    modalSessions_.push_back(window);
    Application* app = Application::current();
    const auto shown = app ? app->windowWithNumber(window) : nullptr;
    const auto* content = shown ? shown->contentView().get() : nullptr;
    modalTexts_.push_back(content ? content->accessibility().label + "\n" +
                                        content->accessibility().value
                                  : std::string());
    if (modalAnswers_.empty() || !app)
        return;
    std::string title = std::move(modalAnswers_.front());
    modalAnswers_.pop_front();
    app->runLoop().queue().async([window, title] {
        Application* app = Application::current();
        auto shown = app ? app->windowWithNumber(window) : nullptr;
        if (!shown)
            return;
        if (View* button = buttonTitled(*shown->contentView(), title))
            button->accessibilityPerformPress();
    });
}

const HeadlessWindowServer::WindowState* HeadlessWindowServer::window(NativeWindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

std::vector<NativeWindowId> HeadlessWindowServer::visibleWindows() const {
    std::vector<NativeWindowId> visible;
    for (const auto& [id, state] : windows_) {
        if (state.visible)
            visible.push_back(id);
    }
    std::sort(visible.begin(), visible.end(), [&](NativeWindowId a, NativeWindowId b) {
        const WindowState& first = windows_.at(a);
        const WindowState& second = windows_.at(b);
        if (first.level != second.level)
            return first.level > second.level;
        return first.stackOrder > second.stackOrder;
    });
    return visible;
}

std::optional<NativeWindowId> HeadlessWindowServer::windowAt(gfx::Point point) const {
    for (NativeWindowId id : visibleWindows()) {
        const WindowState& state = windows_.at(id);
        if (!state.ignoresMouseEvents && state.frame.contains(point))
            return id;
    }
    return std::nullopt;
}

// MARK: Input

std::optional<gfx::Point> HeadlessWindowServer::topLeft(gfx::Point location) const {
    if (screens_.empty())
        return std::nullopt;
    return gfx::Point{location.x, screens_.front().frame.maxY() - location.y};
}

Event::Fields HeadlessWindowServer::fieldsFor(EventType type, gfx::Point location,
                                              ModifierFlags modifiers) const {
    Event::Fields fields;
    fields.type = type;
    fields.timestamp = clock_.now();
    fields.screenLocation = location;
    fields.topLeftLocation = topLeft(location);
    fields.modifierFlags = modifiers;
    switch (type) {
    case EventType::leftMouseDown:
    case EventType::leftMouseUp:
    case EventType::rightMouseDown:
    case EventType::rightMouseUp:
    case EventType::otherMouseDown:
    case EventType::otherMouseUp:
        fields.clickCount = 1;
        break;
    default:
        break;
    }
    if (type == EventType::rightMouseDown || type == EventType::rightMouseUp)
        fields.buttonNumber = 1;
    if (type == EventType::otherMouseDown || type == EventType::otherMouseUp)
        fields.buttonNumber = 2;
    return fields;
}

void HeadlessWindowServer::inject(EventType type, gfx::Point location, ModifierFlags modifiers) {
    inject(NativeEvent{fieldsFor(type, location, modifiers), std::nullopt});
}

void HeadlessWindowServer::inject(NativeEvent event) {
    Event::Fields& fields = event.fields;
    if (fields.timestamp == 0)
        fields.timestamp = clock_.now();
    const bool isKey = fields.type == EventType::keyDown || fields.type == EventType::keyUp ||
                       fields.type == EventType::flagsChanged;
    if (isKey) {
        if (!event.window)
            event.window = key_;
        deliver(event);
        return;
    }
    if (!fields.topLeftLocation)
        fields.topLeftLocation = topLeft(fields.screenLocation);
    pointer_ = fields.screenLocation;
    switch (fields.type) {
    case EventType::leftMouseDown:
        buttons_ |= MouseButton::left;
        break;
    case EventType::rightMouseDown:
        buttons_ |= MouseButton::right;
        break;
    case EventType::otherMouseDown:
        buttons_ |= MouseButton::other;
        break;
    case EventType::leftMouseUp:
        buttons_ &= ~MouseButton::left;
        break;
    case EventType::rightMouseUp:
        buttons_ &= ~MouseButton::right;
        break;
    case EventType::otherMouseUp:
        buttons_ &= ~MouseButton::other;
        break;
    default:
        break;
    }
    if (!event.window) {
        const bool pressStart = fields.type == EventType::leftMouseDown ||
                                fields.type == EventType::rightMouseDown ||
                                fields.type == EventType::otherMouseDown;
        if (grab_ && !pressStart && windows_.count(*grab_))
            event.window = grab_;
        else
            event.window = windowAt(fields.screenLocation);
        if (pressStart)
            grab_ = event.window;
        if (buttons_ == 0)
            grab_.reset();
    }
    deliver(event);
}

void HeadlessWindowServer::movePointer(gfx::Point location, ModifierFlags modifiers) {
    EventType type = EventType::mouseMoved;
    if (buttons_ & MouseButton::left)
        type = EventType::leftMouseDragged;
    else if (buttons_ & MouseButton::right)
        type = EventType::rightMouseDragged;
    inject(type, location, modifiers);
}

void HeadlessWindowServer::mouseDown(gfx::Point location, ModifierFlags modifiers) {
    inject(EventType::leftMouseDown, location, modifiers);
}

void HeadlessWindowServer::mouseUp(gfx::Point location, ModifierFlags modifiers) {
    inject(EventType::leftMouseUp, location, modifiers);
}

void HeadlessWindowServer::click(gfx::Point location, ModifierFlags modifiers) {
    mouseDown(location, modifiers);
    mouseUp(location, modifiers);
}

void HeadlessWindowServer::rightClick(gfx::Point location, ModifierFlags modifiers) {
    inject(EventType::rightMouseDown, location, modifiers);
    inject(EventType::rightMouseUp, location, modifiers);
}

void HeadlessWindowServer::key(int keyCode, std::string characters, ModifierFlags modifiers) {
    Event::Fields fields = fieldsFor(EventType::keyDown, pointer_, modifiers);
    fields.keyCode = keyCode;
    fields.characters = characters;
    fields.charactersIgnoringModifiers = std::move(characters);
    inject(NativeEvent{fields, std::nullopt});
    fields.type = EventType::keyUp;
    inject(NativeEvent{fields, std::nullopt});
}

// MARK: Composition

gfx::Bitmap HeadlessWindowServer::composeScreen(std::size_t index) const {
    if (index >= screens_.size())
        return gfx::Bitmap(0, 0, {});
    const ScreenDescription& screen = screens_[index];
    const double scale = screen.backingScale;
    gfx::Bitmap image = gfx::Bitmap::forPointSize(screen.frame.size, scale);
    cairo_t* cr = cairo_create(image.surface());
    cairo_set_source_rgb(cr, desktopRed, desktopGreen, desktopBlue);
    cairo_paint(cr);
    auto order = visibleWindows();
    std::reverse(order.begin(), order.end());
    for (NativeWindowId id : order) {
        const WindowState& state = windows_.at(id);
        if (!state.surface || !state.frame.intersects(screen.frame))
            continue;
        // Device space has its origin at the screen's top-left corner, y down.
        const double left = (state.frame.minX() - screen.frame.minX()) * scale;
        const double top = (screen.frame.maxY() - state.frame.maxY()) * scale;
        const double factor = scale / surfaceScale(state);
        cairo_save(cr);
        cairo_translate(cr, left, top);
        cairo_scale(cr, factor, factor);
        cairo_set_source_surface(cr, state.surface->surface(), 0, 0);
        cairo_paint_with_alpha(cr, state.alpha);
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(image.surface());
    return image;
}

std::optional<gfx::Bitmap> HeadlessWindowServer::windowImage(NativeWindowId window) const {
    const WindowState* state = this->window(window);
    if (!state || !state->surface)
        return std::nullopt;
    return state->surface->copy();
}

bool HeadlessWindowServer::writeScreenPng(std::size_t index,
                                          const std::filesystem::path& path) const {
    if (index >= screens_.size())
        return false;
    return composeScreen(index).writePng(path.string());
}

bool HeadlessWindowServer::writeWindowPng(NativeWindowId window,
                                          const std::filesystem::path& path) const {
    auto image = windowImage(window);
    return image && image->writePng(path.string());
}

} // namespace ui
