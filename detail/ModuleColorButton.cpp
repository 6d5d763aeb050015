#include "detail/ModuleColorButton.h"

#include "detail/DetailGeometry.h"
#include "detail/DetailView.h"
#include "detail/PersistentMenuOption.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Menu.h"

#include <algorithm>
#include <any>

namespace pulsedeck {

namespace {

constexpr double pillRadius = 6;
constexpr double pillAlpha = 0.07;
constexpr double dotDiameter = 8;
constexpr double dotX = 10;
constexpr double titleX = 25;
// The title's room is the pill's width less this.
constexpr double titleRoomInset = 32;
constexpr double titleFontSize = 10;
constexpr double menuGap = 4;
// The tag of the follow-the-theme item; the palette's items carry their raw values.
constexpr int followThemeTag = -1;

gfx::Font titleFont(double size = titleFontSize) {
    return gfx::Font::system(size, gfx::FontWeight::medium);
}

} // namespace

Copy paletteColorName(PaletteColor color) {
    switch (color) {
    case PaletteColor::blue:
        return Copy::blue;
    case PaletteColor::green:
        return Copy::green;
    case PaletteColor::teal:
        return Copy::teal;
    case PaletteColor::purple:
        return Copy::purple;
    case PaletteColor::pink:
        return Copy::pink;
    case PaletteColor::orange:
        return Copy::orange;
    case PaletteColor::red:
        return Copy::red;
    case PaletteColor::yellow:
        return Copy::yellow;
    case PaletteColor::indigo:
        return Copy::indigo;
    }
    return Copy::blue;
}

Copy colorSlotName(ColorSlot slot) {
    switch (slot) {
    case ColorSlot::theme:
        return Copy::themeColor;
    case ColorSlot::memory:
        return Copy::memoryEnabled;
    case ColorSlot::fan:
        return Copy::fanEnabled;
    case ColorSlot::network:
        return Copy::networkEnabled;
    case ColorSlot::temperature:
        return Copy::temperatureEnabled;
    case ColorSlot::cpu:
        return Copy::cpuUsage;
    case ColorSlot::gpu:
        return Copy::gpuUsage;
    case ColorSlot::devices:
        return Copy::devicesEnabled;
    }
    return Copy::themeColor;
}

ModuleColorButton::ModuleColorButton(ColorSlot slot, DetailView* owner)
    : Button({0, 0, 162, 26}), owner(owner), slot_(slot) {
    setBordered(false);
    setFont(titleFont());
    setAction([](ui::Control& sender) { static_cast<ModuleColorButton&>(sender).choose(); });
}

PaletteColor ModuleColorButton::shownColor() const {
    if (!owner)
        return PaletteColor::blue;
    return owner->state().look.modules.colors.color(slot_, owner->state().normalBlue);
}

void ModuleColorButton::updateTitle() {
    if (!owner)
        return;
    const AppLanguage language = owner->state().language;
    std::string title;
    if (slot_ == ColorSlot::theme)
        title = text(paletteColorName(shownColor()), language);
    else if (auto color = owner->state().look.modules.colors.explicitColor(slot_))
        title = text(paletteColorName(*color), language);
    else
        title = text(Copy::followTheme, language);
    if (title != this->title()) {
        setTitle(title);
        setNeedsDisplay(true);
    }
    setAccessibilityLabel(text(colorSlotName(slot_), language) + " · " +
                          text(Copy::moduleColor, language) + " · " + title);
}

namespace {

// The palette's swatch beside each choice, as the item's image: a disc with a faint ring, so a
// colour close to the menu's own still shows its edge.
gfx::Image swatchImage(const gfx::Color& color) {
    return gfx::Image::withDrawingHandler(
        {16, 16}, false, [color](gfx::Context& context, const gfx::Rect& rect) {
            const gfx::Rect disc = rect.insetBy(2, 2);
            context.setFillColor(color);
            context.fillEllipse(disc);
            context.setStrokeColor(gfx::Color::label().withAlpha(0.2));
            context.setLineWidth(0.5);
            context.stroke(gfx::Path::oval(disc));
            return true;
        });
}

} // namespace

std::shared_ptr<ui::Menu> ModuleColorButton::makeColorMenu() {
    auto menu = std::make_shared<ui::Menu>();
    if (!owner)
        return menu;
    menu->setHighlight(accentHighlight());
    const AppLanguage language = owner->state().language;
    const std::weak_ptr<View> weak = weak_from_this();
    // The button, while it is still its owner's.
    auto live = [weak]() -> ModuleColorButton* {
        auto view = std::static_pointer_cast<ModuleColorButton>(weak.lock());
        return view && view->owner ? view.get() : nullptr;
    };
    auto select = [live](ui::MenuItem& item) {
        if (auto* button = live())
            button->selectColor(item);
    };
    auto current = [live]() -> std::optional<PaletteColor> {
        auto* button = live();
        if (!button)
            return std::nullopt;
        if (button->slot() == ColorSlot::theme)
            return button->shownColor();
        return button->owner->state().look.modules.colors.explicitColor(button->slot());
    };
    auto add = [&](std::string title, int tag, PaletteColor swatch, std::function<bool()> checked) {
        auto item = std::make_shared<ui::MenuItem>(std::move(title), select);
        item->setTag(tag);
        item->setRepresentedObject(std::string(toString(slot_)));
        item->setImage(swatchImage(toColor(swatch)));
        PersistentMenuOption::attach(item, toColor(swatch), false, std::move(checked));
        menu->addItem(item);
    };
    if (slot_ != ColorSlot::theme)
        add(text(Copy::followTheme, language), followThemeTag,
            owner->state().look.modules.colors.color(ColorSlot::theme, owner->state().normalBlue),
            [live, current] { return live() && !current(); });
    for (int raw = 0; auto color = paletteColor(raw); ++raw)
        add(text(paletteColorName(*color), language), raw, *color,
            [current, color] { return current() == color; });
    fitMenuWidth(*menu);
    return menu;
}

void ModuleColorButton::selectColor(const ui::MenuItem& item) {
    if (!owner)
        return;
    ColorSlot slot = slot_;
    if (const auto* name = std::any_cast<std::string>(&item.representedObject()))
        slot = parseColorSlot(*name).value_or(slot_);
    owner->editLook([slot, color = paletteColor(item.tag())](StripLook& look) {
        look.modules.colors.setColor(color, slot);
    });
}

void ModuleColorButton::choose() {
    // Not flipped: the menu hangs from just below the pill. Without an owner it is empty.
    ui::Menu::popUp(makeColorMenu(), {0, bounds().minY() - menuGap}, *this);
}

void ModuleColorButton::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Rect pill = bounds();
    const gfx::Color background = gfx::Color::label().withAlpha(pillAlpha);
    context.setColor(background);
    context.fill(gfx::Path::roundedRect(pill, pillRadius, pillRadius));
    context.setColor(owner ? toColor(shownColor()) : background);
    context.fillEllipse({dotX, pill.midY() - dotDiameter / 2, dotDiameter, dotDiameter});

    // A long name shrinks toward 8 pt before it is cut.
    const double room = std::max(0.0, pill.width() - titleRoomInset);
    const double natural = gfx::textSize(title(), {.font = titleFont()}).width;
    const gfx::TextAttributes attributes{
        .font = titleFont(fittedFontSize(natural, room, titleFontSize)),
        .color = gfx::Color::label()};
    const double height = std::min(gfx::textSize(title(), attributes).height, pill.height());
    gfx::drawText(context, title(), gfx::Rect(titleX, pill.midY() - height / 2, room, height),
                  attributes);
}

} // namespace pulsedeck
