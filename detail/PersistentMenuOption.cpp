#include "detail/PersistentMenuOption.h"

#include "detail/LiveSettingsMenu.h"
#include "model/AccentColor.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Accessibility.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double titleInset = 48;
constexpr double swatchTitleGap = 56;
constexpr double swatchTitleExtra = 76;
constexpr double plainTitleX = 29;
constexpr double swatchTitleX = 48;
// The lit shape of an option, which the menu's plain rows take too.
constexpr double litInsetX = 4;
constexpr double litInsetY = 1;
constexpr double litRadius = 5;

gfx::Font menuFont() {
    return gfx::Font::system(ui::MenuLayout::fontSize);
}

double titleWidth(const std::string& title) {
    return gfx::textSize(title, {.font = menuFont(), .color = gfx::Color::label()}).width;
}

} // namespace

PersistentMenuOption::PersistentMenuOption(const std::shared_ptr<ui::MenuItem>& item,
                                           std::optional<gfx::Color> swatch, bool returnsToParent,
                                           std::function<bool()> checked)
    : Button({0, 0, std::max(titleWidth(item ? item->title() : "") + titleInset, minimumWidth),
              height}),
      menuItem_(item), checked_(std::move(checked)), swatch_(swatch),
      returnsToParent_(returnsToParent) {
    setAutoresizingMask(ui::Autoresizing::widthSizable);
    setTitle(item ? item->title() : "");
    setBordered(false);
    setButtonType(ui::ButtonType::momentaryChange);
    setAction(
        [](ui::Control& sender) { static_cast<PersistentMenuOption&>(sender).activateOption(); });
    setAccessibilityRole(ui::AccessibilityRole::checkBox);
    setAccessibilityLabel(title());
    syncCheckState();
}

std::shared_ptr<PersistentMenuOption>
PersistentMenuOption::attach(const std::shared_ptr<ui::MenuItem>& item,
                             std::optional<gfx::Color> swatch, bool returnsToParent,
                             std::function<bool()> checked) {
    auto option =
        std::make_shared<PersistentMenuOption>(item, swatch, returnsToParent, std::move(checked));
    item->setView(option);
    return option;
}

void PersistentMenuOption::syncCheckState() {
    const bool on = checked_ && checked_();
    if (auto item = menuItem_.lock())
        item->setState(on ? ui::ControlState::on : ui::ControlState::off);
    setAccessibilityValue(on ? "1" : "0");
    setNeedsDisplay(true);
}

void PersistentMenuOption::updateTrackingAreas() {
    for (auto area : std::vector(trackingAreas()))
        removeTrackingArea(area);
    addTrackingArea(std::make_shared<ui::TrackingArea>(gfx::Rect{},
                                                       ui::Tracking::mouseEnteredAndExited |
                                                           ui::Tracking::activeAlways |
                                                           ui::Tracking::inVisibleRect,
                                                       this));
}

void PersistentMenuOption::viewDidMoveToWindow() {
    hoverTimer_.reset();
    if (window()) {
        updateTrackingAreas();
        startHoverTimer();
    } else {
        // The menu closed under a press (tracking cancelled, the window gone): the press ends
        // here, and a release arriving later finds nothing to finish.
        pressed_ = false;
        hovering_ = false;
    }
}

void PersistentMenuOption::startHoverTimer() {
    if (hoverTimer_)
        return;
    // Only the menu's tracking loop runs in this mode, so the poll costs nothing once it ends.
    hoverTimer_ = std::make_unique<dispatch::Timer>(
        hoverInterval, true,
        [weak = std::weak_ptr<View>(weak_from_this())] {
            if (auto self = std::static_pointer_cast<PersistentMenuOption>(weak.lock()))
                self->hoverTimerFired();
        },
        dispatch::RunLoopMode::eventTracking);
}

void PersistentMenuOption::hoverTimerFired() {
    ui::Application* app = ui::Application::current();
    if (app && window() && window()->isVisible()) {
        updateHover(app->mouseLocation());
        return;
    }
    hoverTimer_.reset();
    hovering_ = false;
    setNeedsDisplay(true);
}

void PersistentMenuOption::setHovering(bool hovering) {
    if (hovering_ == hovering)
        return;
    hovering_ = hovering;
    setNeedsDisplay(true);
}

void PersistentMenuOption::updateHover(gfx::Point screenPoint) {
    View* container = superview();
    if (window() && window()->isVisible() && container) {
        const gfx::Point local =
            container->convertPointFromView(window()->convertPointFromScreen(screenPoint), nullptr);
        if (frame().contains(local)) {
            setHovering(container->visibleRect().contains(local));
            return;
        }
    }
    setHovering(false);
}

void PersistentMenuOption::mouseEntered(const ui::Event&) {
    startHoverTimer();
    if (auto item = menuItem_.lock(); item && item->menu()) {
        for (const auto& sibling : item->menu()->items()) {
            auto other = std::dynamic_pointer_cast<PersistentMenuOption>(sibling->view());
            if (other && other.get() != this) {
                other->setHovering(false);
                other->setHighlighted(false);
            }
        }
    }
    if (ui::Application* app = ui::Application::current())
        updateHover(app->mouseLocation());
}

void PersistentMenuOption::mouseExited(const ui::Event&) {
    setHovering(false);
    setHighlighted(false);
}

bool PersistentMenuOption::containsEvent(const ui::Event& event) const {
    return bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
}

// The press is followed by its own drags and release only, so a release off the option (or one
// that never comes because the menu closed) sends nothing.
void PersistentMenuOption::mouseDown(const ui::Event&) {
    if (!isEnabled() || !window())
        return;
    pressed_ = true;
}

void PersistentMenuOption::mouseDragged(const ui::Event& event) {
    if (pressed_)
        setHovering(containsEvent(event));
}

void PersistentMenuOption::mouseUp(const ui::Event& event) {
    if (!pressed_)
        return;
    pressed_ = false;
    setHovering(containsEvent(event));
    if (hovering_)
        activateOption();
}

void PersistentMenuOption::activateOption() {
    auto item = menuItem_.lock();
    if (!item || !item->isEnabled() || !item->action())
        return;
    ui::Menu* menu = item->menu();
    ui::Menu* parent = returnsToParent_ && menu ? menu->supermenu() : nullptr;
    const std::optional<gfx::Rect> parentFrame =
        parent ? parent->frameOnScreen() : std::optional<gfx::Rect>();

    item->action()(*item);

    if (menu) {
        for (const auto& sibling : std::vector(menu->items())) {
            if (auto option = std::dynamic_pointer_cast<PersistentMenuOption>(sibling->view()))
                option->syncCheckState();
        }
    } else {
        syncCheckState();
    }

    if (!parent || !parentFrame)
        return;
    std::shared_ptr<ui::Menu> reopened;
    if (auto* live = dynamic_cast<LiveSettingsMenu*>(parent); live && live->rebuild)
        reopened = live->rebuild();
    else
        reopened = copyMenu(*parent);
    parent->cancelTrackingWithoutAnimation();
    const gfx::Point topLeft{parentFrame->minX(), parentFrame->maxY()};
    // The appearance is read when the menu reopens: the choice may have been the appearance.
    dispatch::RunLoop::main().queue().asyncAfter(reopenDelay, [reopened, topLeft] {
        ui::Application* app = ui::Application::current();
        if (!app)
            return;
        const auto* live = dynamic_cast<const LiveSettingsMenu*>(reopened.get());
        ui::Menu::popUpAtScreenPoint(reopened, topLeft,
                                     live && live->appearance ? live->appearance()
                                                              : app->effectiveAppearance());
    });
}

void PersistentMenuOption::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Rect area = bounds();
    const auto item = menuItem_.lock();
    const bool lit = hovering_ || (item && item->isHighlighted());
    gfx::Color textColor = gfx::Color::label();
    if (lit) {
        context.setFillColor(accentColor());
        context.fill(
            gfx::Path::roundedRect(area.insetBy(litInsetX, litInsetY), litRadius, litRadius));
        textColor = contrastingTextColor();
    }
    if (!isEnabled())
        textColor = textColor.withAlpha(0.4);
    if (item && item->state() == ui::ControlState::on && checked_ && checked_()) {
        if (auto mark = gfx::symbolImage(
                "checkmark",
                {.pointSize = 12, .weight = gfx::FontWeight::semibold, .palette = {textColor}}))
            mark->draw(context, gfx::Rect{11, (area.height() - 13) / 2, 13, 13});
    }
    if (swatch_) {
        context.setFillColor(*swatch_);
        context.fillEllipse({30, area.midY() - 5, 10, 10});
    }
    const gfx::TextAttributes attributes{.font = menuFont(), .color = textColor};
    const double textHeight = gfx::textSize(title(), attributes).height;
    gfx::drawText(context, title(),
                  {swatch_ ? swatchTitleX : plainTitleX, area.midY() - textHeight / 2}, attributes);
}

ui::Menu::Highlight accentHighlight() {
    return {accentColor(), contrastingTextColor(), litInsetX, litInsetY, litRadius};
}

void fitMenuWidth(ui::Menu& menu) {
    double width = std::max(menu.minimumWidth(), PersistentMenuOption::minimumWidth);
    for (const auto& item : menu.items()) {
        const auto option = std::dynamic_pointer_cast<PersistentMenuOption>(item->view());
        const double gap = option && option->swatch() ? swatchTitleExtra : swatchTitleGap;
        const double viewWidth = item->view() ? item->view()->frame().width() : 0;
        width = std::max({width, viewWidth, titleWidth(item->title()) + gap});
    }
    width = std::ceil(width);
    menu.setMinimumWidth(width);
    // Plain rows stand as tall as the options beside them.
    menu.setItemHeight(PersistentMenuOption::height);
    auto options = [&menu](auto&& apply) {
        for (const auto& item : menu.items())
            if (auto option = std::dynamic_pointer_cast<PersistentMenuOption>(item->view()))
                apply(*option);
    };
    options([width](PersistentMenuOption& option) {
        option.setFrameSize({width, option.frame().height()});
    });
    // Options follow the menu's width, which a plain row's key equivalent or submenu arrow may
    // make wider than the options ask for.
    const double shown = ui::MenuLayout::width(menu);
    options([shown](PersistentMenuOption& option) {
        option.setFrameSize({shown, option.frame().height()});
    });
    for (const auto& item : menu.items())
        if (item->submenu())
            fitMenuWidth(*item->submenu());
}

std::shared_ptr<ui::Menu> copyMenu(const ui::Menu& menu) {
    auto copy = std::make_shared<ui::Menu>(menu.title());
    copy->setAutoenablesItems(menu.autoenablesItems());
    copy->setMinimumWidth(menu.minimumWidth());
    copy->setHighlight(menu.highlight());
    for (const auto& source : menu.items()) {
        if (source->isSeparatorItem()) {
            copy->addItem(ui::MenuItem::separator());
            continue;
        }
        auto item = std::make_shared<ui::MenuItem>(source->title(), source->action(),
                                                   source->keyEquivalent());
        item->setRepresentedObject(source->representedObject());
        item->setState(source->state());
        item->setEnabled(source->isEnabled());
        item->setImage(source->image());
        item->setTag(source->tag());
        item->setToolTip(source->toolTip());
        item->setKeyEquivalentModifierMask(source->keyEquivalentModifierMask());
        item->setIndentationLevel(source->indentationLevel());
        if (auto option = std::dynamic_pointer_cast<PersistentMenuOption>(source->view()))
            PersistentMenuOption::attach(item, option->swatch(), option->returnsToParent(),
                                         option->checked());
        if (source->submenu())
            item->setSubmenu(copyMenu(*source->submenu()));
        copy->addItem(item);
    }
    fitMenuWidth(*copy);
    return copy;
}

} // namespace pulsedeck
