#include "platform/toolkit/MenuTracker.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

namespace {

const Menu::Highlight standardHighlight{gfx::Color::srgb(0.16, 0.58, 1.0), gfx::Color::white()};
constexpr double menuCornerRadius = 6;

gfx::TextAttributes textAttributes(const gfx::Color& color) {
    return {gfx::Font::system(MenuLayout::fontSize), color};
}

double rowHeight(const Menu& menu, const MenuItem& item) {
    if (item.view())
        return item.view()->frame().height();
    return item.isSeparatorItem() ? MenuLayout::separatorHeight
                                  : menu.itemHeight().value_or(MenuLayout::itemHeight);
}

unsigned mouseButtonOf(EventType type) {
    switch (type) {
    case EventType::leftMouseDown:
    case EventType::leftMouseUp:
        return MouseButton::left;
    case EventType::rightMouseDown:
    case EventType::rightMouseUp:
        return MouseButton::right;
    default:
        return MouseButton::other;
    }
}

bool isChoosable(const MenuItem& item) {
    return item.isEnabled() && !item.isSeparatorItem() && !item.view();
}

// Keys reach what the pointer can: choosable items, enabled submenu holders and item views.
bool isKeyReachable(const MenuItem& item) {
    return item.isEnabled() && !item.isSeparatorItem();
}

class MenuWindow final : public Panel {
public:
    using Panel::Panel;
    bool canBecomeKeyWindow() const override { return false; }

protected:
    WindowRole role() const override { return WindowRole::menu; }
};

// A template image (a symbol) takes the colour of the item's title.
void drawItemImage(gfx::Context& context, const gfx::Image& image, const gfx::Rect& box,
                   const gfx::Color& tint) {
    if (!image.isTemplate()) {
        image.draw(context, box, {.respectFlipped = true});
        return;
    }
    gfx::Context::SavedState saved(context);
    cairo_push_group(context.cairo());
    image.draw(context, box, {.respectFlipped = true});
    context.setFillColor(tint);
    context.fillRect(box, gfx::CompositingOperation::sourceIn);
    cairo_pop_group_to_source(context.cairo());
    cairo_paint(context.cairo());
}

} // namespace

double MenuLayout::titleX(const MenuItem& item) {
    if (!item.image())
        return checkColumn;
    return checkColumn + item.image()->size().width + imageGap;
}

double MenuLayout::width(const Menu& menu) {
    double widest = menu.minimumWidth();
    for (const auto& item : menu.items()) {
        if (item->view()) {
            widest = std::max(widest, item->view()->frame().width());
            continue;
        }
        if (item->isSeparatorItem())
            continue;
        double need = titleX(*item) +
                      gfx::textSize(item->title(), textAttributes(gfx::Color::label())).width +
                      trailingInset;
        const std::string key = item->keyEquivalentLabel();
        if (!key.empty())
            need +=
                keyEquivalentGap + gfx::textSize(key, textAttributes(gfx::Color::label())).width;
        if (item->hasSubmenu())
            need += arrowColumn;
        widest = std::max(widest, std::ceil(need));
    }
    return widest;
}

double MenuLayout::height(const Menu& menu) {
    double total = 2 * verticalPadding;
    for (const auto& item : menu.items())
        total += rowHeight(menu, *item);
    return total;
}

std::vector<gfx::Rect> MenuLayout::itemRects(const Menu& menu, double width) {
    std::vector<gfx::Rect> rects;
    double top = height(menu) - verticalPadding;
    for (const auto& item : menu.items()) {
        const double h = rowHeight(menu, *item);
        top -= h;
        rects.push_back({0, top, width, h});
    }
    return rects;
}

// Draws one level of an open menu; custom item views sit on it as subviews.
class MenuView final : public View {
public:
    MenuView(std::shared_ptr<Menu> menu, const gfx::Rect& frame, Menu::Highlight highlight)
        : View(frame), menu_(std::move(menu)), highlight_(highlight) {
        setAccessibilityElement(true);
        setAccessibilityRole(AccessibilityRole::menu);
        placeItemViews();
    }

    void placeItemViews() {
        std::vector<std::shared_ptr<View>> views;
        const auto rects = MenuLayout::itemRects(*menu_, bounds().width());
        for (std::size_t i = 0; i < menu_->items().size(); ++i) {
            if (const auto& view = menu_->items()[i]->view()) {
                view->setFrameOrigin(rects[i].origin);
                views.push_back(view);
            }
        }
        setSubviews(views);
    }

    std::optional<std::size_t> highlighted;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        const bool dark = context.appearance() == gfx::Appearance::dark;
        const gfx::Rect panel = bounds();
        context.setFillColor(dark ? gfx::Color::grey(0.18) : gfx::Color::grey(0.97));
        context.fill(gfx::Path::roundedRect(panel, menuCornerRadius, menuCornerRadius));
        context.setStrokeColor(gfx::Color::grey(dark ? 1 : 0, 0.18));
        context.setLineWidth(1);
        context.stroke(
            gfx::Path::roundedRect(panel.insetBy(0.5, 0.5), menuCornerRadius, menuCornerRadius));

        const auto rects = MenuLayout::itemRects(*menu_, panel.width());
        for (std::size_t i = 0; i < menu_->items().size(); ++i)
            drawItem(context, *menu_->items()[i], rects[i], highlighted == i);
    }

private:
    void drawItem(gfx::Context& context, const MenuItem& item, const gfx::Rect& row, bool lit) {
        if (item.view())
            return;
        if (item.isSeparatorItem()) {
            context.setFillColor(gfx::Color::separator());
            context.fillRect({row.minX() + 10, std::floor(row.midY()), row.width() - 20, 1});
            return;
        }
        gfx::Color text = item.isEnabled() ? gfx::Color::label() : gfx::Color::tertiaryLabel();
        if (lit && item.isEnabled()) {
            context.setFillColor(highlight_.fill);
            context.fill(gfx::Path::roundedRect(
                row.insetBy(highlight_.horizontalInset, highlight_.verticalInset),
                highlight_.cornerRadius, highlight_.cornerRadius));
            text = highlight_.text;
        }
        const auto attributes = textAttributes(text);
        const double textHeight = gfx::textSize(item.title(), attributes).height;
        const double y = row.minY() + (row.height() - textHeight) / 2;
        const auto mark = item.state() == ControlState::on
                              ? gfx::symbolImage("checkmark", {.pointSize = 12,
                                                               .weight = gfx::FontWeight::semibold,
                                                               .palette = {text}})
                              : std::nullopt;
        if (mark)
            mark->draw(context, {MenuLayout::checkMarkX,
                                 row.minY() + (row.height() - MenuLayout::checkMarkSide) / 2,
                                 MenuLayout::checkMarkSide, MenuLayout::checkMarkSide});
        else if (item.state() == ControlState::mixed)
            gfx::drawText(context, "–", {MenuLayout::checkMarkX + 2, y}, attributes);
        if (const auto& image = item.image()) {
            const gfx::Size size = image->size();
            drawItemImage(context, *image,
                          {MenuLayout::checkColumn, row.minY() + (row.height() - size.height) / 2,
                           size.width, size.height},
                          text);
        }
        gfx::drawText(context, item.title(), {MenuLayout::titleX(item), y}, attributes);
        double right = row.maxX() - MenuLayout::trailingInset;
        if (item.hasSubmenu()) {
            gfx::drawText(context, "▸", {row.maxX() - MenuLayout::arrowColumn, y}, attributes);
            right -= MenuLayout::arrowColumn;
        }
        const std::string key = item.keyEquivalentLabel();
        if (!key.empty()) {
            const double keyWidth = gfx::textSize(key, attributes).width;
            gfx::drawText(context, key, {right - keyWidth, y},
                          textAttributes(lit ? text : gfx::Color::secondaryLabel()));
        }
    }

    std::shared_ptr<Menu> menu_;
    Menu::Highlight highlight_;
};

MenuTracker::MenuTracker(Application& app) : app_(app) {}

MenuTracker::~MenuTracker() {
    for (auto& level : levels_)
        closeLevel(level);
}

void MenuTracker::closeLevel(Level& level) {
    if (pressedWindow_ == level.window)
        pressedWindow_.reset();
    level.menu->tracker_ = nullptr;
    level.window->orderOut();
}

std::optional<gfx::Rect> MenuTracker::frameOf(const Menu& menu) const {
    for (const Level& level : levels_) {
        if (level.menu.get() == &menu)
            return level.window->frame();
    }
    return std::nullopt;
}

std::shared_ptr<MenuItem> MenuTracker::run(const std::shared_ptr<Menu>& menu, gfx::Point topLeft,
                                           gfx::Appearance appearance) {
    appearance_ = appearance;
    openedAt_ = app_.mouseLocation();
    lastPointer_ = openedAt_;
    openLevel(menu, topLeft, std::nullopt);
    openingHit_ = itemAt(openedAt_);
    EventTrackingSession* outer = app_.trackingSession();
    app_.setTrackingSession(this);
    app_.windowServer().setInputGrab(true);
    app_.runLoop().runNested(dispatch::RunLoopMode::eventTracking,
                             [this] { return !finished_ && !app_.isTerminating(); });
    app_.windowServer().setInputGrab(outer != nullptr);
    app_.setTrackingSession(outer);
    closeLevelsAbove(0);
    if (!levels_.empty()) {
        closeLevel(levels_.front());
        levels_.clear();
    }
    return chosen_;
}

void MenuTracker::openLevel(const std::shared_ptr<Menu>& menu, gfx::Point topLeft,
                            std::optional<gfx::Rect> parentFrame) {
    const gfx::Size size{MenuLayout::width(*menu), MenuLayout::height(*menu)};
    gfx::Rect frame{topLeft.x, topLeft.y - size.height, size.width, size.height};
    std::optional<Screen> screen;
    for (const Screen& candidate : Screen::screens()) {
        if (candidate.frame().contains(topLeft)) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = Screen::mainScreen();
    if (screen) {
        const gfx::Rect area = screen->visibleFrame();
        if (frame.maxX() > area.maxX())
            frame.origin.x =
                parentFrame ? parentFrame->minX() - size.width : area.maxX() - size.width;
        frame.origin.x = std::max(frame.x(), area.minX());
        if (frame.minY() < area.minY())
            frame.origin.y = area.minY();
        if (frame.maxY() > area.maxY())
            frame.origin.y = area.maxY() - size.height;
    }
    auto window =
        std::make_shared<MenuWindow>(frame, Style::borderless | Style::nonactivatingPanel);
    window->setLevel(WindowLevel::popUpMenu);
    window->setOpaque(false);
    window->setBackgroundColor(gfx::Color::clear());
    window->setReleasedWhenClosed(false);
    window->setAppearance(appearance_);
    // Submenus light their rows as the menu they open from.
    const Menu& root = levels_.empty() ? *menu : *levels_.front().menu;
    auto view = std::make_shared<MenuView>(menu, gfx::Rect{{0, 0}, size},
                                           root.highlight().value_or(standardHighlight));
    window->setContentView(view);
    menu->tracker_ = this;
    levels_.push_back({menu, window, view});
    window->orderFront();
}

void MenuTracker::closeLevelsAbove(std::size_t level) {
    while (levels_.size() > level + 1) {
        closeLevel(levels_.back());
        levels_.pop_back();
    }
}

void MenuTracker::menuChanged(Menu& menu) {
    for (auto& level : levels_) {
        if (level.menu.get() != &menu)
            continue;
        const gfx::Rect old = level.window->frame();
        const gfx::Size size{MenuLayout::width(menu), MenuLayout::height(menu)};
        level.window->setFrame({old.x(), old.maxY() - size.height, size.width, size.height}, false);
        if (level.view->highlighted && *level.view->highlighted >= menu.items().size())
            level.view->highlighted.reset();
        level.view->placeItemViews();
        level.view->setNeedsDisplay(true);
    }
}

void MenuTracker::cancel() {
    finish(nullptr);
}

void MenuTracker::finish(std::shared_ptr<MenuItem> chosen) {
    if (finished_)
        return;
    finished_ = true;
    chosen_ = std::move(chosen);
}

std::optional<MenuTracker::Hit> MenuTracker::itemAt(gfx::Point screenPoint) const {
    for (std::size_t level = levels_.size(); level-- > 0;) {
        const Level& shown = levels_[level];
        const gfx::Rect frame = shown.window->frame();
        if (!frame.contains(screenPoint))
            continue;
        const gfx::Point local = shown.window->convertPointFromScreen(screenPoint);
        const auto rects = MenuLayout::itemRects(*shown.menu, frame.width());
        for (std::size_t i = 0; i < rects.size(); ++i) {
            if (rects[i].contains(local))
                return Hit{level, i};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

bool MenuTracker::insideAnyMenu(gfx::Point screenPoint) const {
    return std::any_of(levels_.begin(), levels_.end(), [&](const Level& level) {
        return level.window->frame().contains(screenPoint);
    });
}

void MenuTracker::highlight(std::size_t level, std::optional<std::size_t> item) {
    MenuView& view = *levels_[level].view;
    for (std::size_t i = 0; i < levels_[level].menu->items().size(); ++i) {
        MenuItem& entry = *levels_[level].menu->items()[i];
        const bool lit = item == i;
        if (entry.highlighted_ != lit && entry.view())
            entry.view()->setNeedsDisplay(true);
        entry.highlighted_ = lit;
    }
    if (view.highlighted != item) {
        view.highlighted = item;
        view.setNeedsDisplay(true);
    }
}

void MenuTracker::openSubmenu(std::size_t level, std::size_t item) {
    const auto& holder = levels_[level].menu->items()[item];
    if (!holder->hasSubmenu() || !holder->isEnabled())
        return;
    if (levels_.size() > level + 1 && levels_[level + 1].menu == holder->submenu())
        return;
    closeLevelsAbove(level);
    const gfx::Rect frame = levels_[level].window->frame();
    const gfx::Rect row = MenuLayout::itemRects(*levels_[level].menu, frame.width())[item].offsetBy(
        frame.x(), frame.y());
    openLevel(holder->submenu(), {frame.maxX(), row.maxY() + MenuLayout::verticalPadding}, frame);
}

void MenuTracker::pointerMovedTo(gfx::Point screenPoint, const Event& event) {
    // A window that came, went or was raised under a still pointer (a submenu of ours over the
    // details) moved nothing: taken as the user's motion it would rebuild what it just showed.
    if (event.isPointerStill() || screenPoint == lastPointer_)
        return;
    lastPointer_ = screenPoint;
    pointerMoved_ = true;
    const auto hit = itemAt(screenPoint);
    if (hit != openingHit_)
        leftOpeningRow_ = true;
    if (!hit) {
        // The deepest level holds no open submenu, so nothing there needs to stay lit.
        highlight(levels_.size() - 1, std::nullopt);
        return;
    }
    const auto& item = levels_[hit->level].menu->items()[hit->item];
    // The row of the open submenu keeps it, unlit while the pointer is on that row; only the
    // levels beyond close.
    const bool holdsOpenSubmenu =
        levels_.size() > hit->level + 1 && levels_[hit->level + 1].menu == item->submenu();
    closeLevelsAbove(holdsOpenSubmenu ? hit->level + 1 : hit->level);
    if (holdsOpenSubmenu)
        highlight(hit->level + 1, std::nullopt);
    // Item views light themselves from the pointer, so they see it over every row of their
    // menu: one row lit at a time.
    forwardToLevel(hit->level, event);
    if (item->view()) {
        highlight(hit->level, std::nullopt);
        return;
    }
    highlight(hit->level, isChoosable(*item) || (item->hasSubmenu() && item->isEnabled())
                              ? std::optional(hit->item)
                              : std::nullopt);
    openSubmenu(hit->level, hit->item);
}

void MenuTracker::forwardToLevel(std::size_t level, const Event& event) {
    const auto& window = levels_[level].window;
    window->sendEvent(event.withWindow(window));
}

void MenuTracker::buttonReleased(gfx::Point location, const Event& event) {
    const unsigned button = mouseButtonOf(event.type());
    const bool pressedHere = (pressedInMenu_ & button) != 0;
    pressedInMenu_ &= ~button;
    const auto hit = itemAt(location);
    if (!hit) {
        if (pointerMoved_ && !insideAnyMenu(location))
            finish(nullptr);
        return;
    }
    const auto& item = levels_[hit->level].menu->items()[hit->item];
    const bool answered = pressedHere || leftOpeningRow_;
    // A row's view took no press of this button: the release presses it, as it chooses a plain
    // row; a view that answers no press sees the release itself.
    if (!item->view()) {
        if (answered)
            choose(item);
    } else if (!answered || !item->view()->accessibilityPerformPress()) {
        forwardToLevel(hit->level, event);
    }
}

void MenuTracker::choose(const std::shared_ptr<MenuItem>& item) {
    if (item && isChoosable(*item) && !item->hasSubmenu())
        finish(item);
}

void MenuTracker::moveHighlight(int step) {
    if (levels_.empty())
        return;
    const std::size_t level = levels_.size() - 1;
    const auto& items = levels_[level].menu->items();
    if (items.empty())
        return;
    const int count = int(items.size());
    const auto current = levels_[level].view->highlighted;
    int index = current ? int(*current) : (step > 0 ? -1 : count);
    for (int tries = 0; tries < count; ++tries) {
        index += step;
        if (index < 0 || index >= count)
            return;
        if (isKeyReachable(*items[std::size_t(index)])) {
            highlight(level, std::size_t(index));
            return;
        }
    }
}

bool MenuTracker::handleTrackingEvent(const Event& event) {
    if (levels_.empty())
        return true;
    const gfx::Point location = event.screenLocation();
    switch (event.type()) {
    case EventType::leftMouseDragged:
        if (pressedWindow_) {
            pressedWindow_->sendEvent(event.withWindow(pressedWindow_));
            break;
        }
        pointerMovedTo(location, event);
        break;
    case EventType::mouseMoved:
    case EventType::rightMouseDragged:
        pointerMovedTo(location, event);
        break;
    case EventType::leftMouseDown:
    case EventType::rightMouseDown:
    case EventType::otherMouseDown:
        if (!insideAnyMenu(location)) {
            finish(nullptr);
            break;
        }
        pressedInMenu_ |= mouseButtonOf(event.type());
        if (auto hit = itemAt(location);
            hit && levels_[hit->level].menu->items()[hit->item]->view()) {
            if (event.type() == EventType::leftMouseDown)
                pressedWindow_ = levels_[hit->level].window;
            forwardToLevel(hit->level, event);
        }
        break;
    case EventType::leftMouseUp:
        if (pressedWindow_) {
            pressedInMenu_ &= ~MouseButton::left;
            const auto window = std::exchange(pressedWindow_, nullptr);
            window->sendEvent(event.withWindow(window));
            break;
        }
        [[fallthrough]];
    case EventType::rightMouseUp:
    case EventType::otherMouseUp:
        buttonReleased(location, event);
        break;
    case EventType::keyDown:
        switch (event.keyCode()) {
        case KeyCode::escape:
            finish(nullptr);
            break;
        case KeyCode::returnKey:
        case KeyCode::space: {
            const Level& deepest = levels_.back();
            if (!deepest.view->highlighted)
                break;
            const auto& item = deepest.menu->items()[*deepest.view->highlighted];
            if (item->view())
                item->view()->accessibilityPerformPress();
            else
                choose(item);
            break;
        }
        case KeyCode::downArrow:
            moveHighlight(1);
            break;
        case KeyCode::upArrow:
            moveHighlight(-1);
            break;
        case KeyCode::rightArrow: {
            const std::size_t level = levels_.size() - 1;
            if (auto lit = levels_[level].view->highlighted) {
                openSubmenu(level, *lit);
                if (levels_.size() > level + 1)
                    moveHighlight(1);
            }
            break;
        }
        case KeyCode::leftArrow:
            if (levels_.size() > 1)
                closeLevelsAbove(levels_.size() - 2);
            break;
        default:
            // An open menu answers its items' key equivalents, as the menu bar's would.
            if (auto item = levels_.front().menu->itemForKeyEquivalent(event))
                finish(item);
            break;
        }
        break;
    default:
        break;
    }
    return true;
}

} // namespace ui
