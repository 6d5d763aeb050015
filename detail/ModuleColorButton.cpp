#include "detail/ModuleColorButton.h"

#include "detail/DetailView.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Menu.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double pillRadius = 6;
constexpr double dotDiameter = 10;
constexpr double dotX = 9;
constexpr double titleX = 25;
constexpr double menuGap = 4;
// The tag of the follow-the-theme item; the palette's items carry their raw values.
constexpr int followThemeTag = -1;

gfx::Font titleFont() {
    return gfx::Font::system(10, gfx::FontWeight::medium);
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
    return owner->moduleColors.color(slot_, owner->normalBlue);
}

void ModuleColorButton::updateTitle() {
    if (!owner)
        return;
    const AppLanguage language = owner->language;
    std::string title;
    if (slot_ == ColorSlot::theme)
        title = text(paletteColorName(shownColor()), language);
    else if (auto color = owner->moduleColors.explicitColor(slot_))
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

void ModuleColorButton::choose() {
    if (!owner)
        return;
    const AppLanguage language = owner->language;
    auto menu = std::make_shared<ui::Menu>();
    const auto current = slot_ == ColorSlot::theme ? std::optional<PaletteColor>(shownColor())
                                                   : owner->moduleColors.explicitColor(slot_);
    auto report = [owner = owner, slot = slot_](ui::MenuItem& item) {
        if (owner && owner->moduleColorAction)
            owner->moduleColorAction(slot, paletteColor(item.tag()));
    };
    if (slot_ != ColorSlot::theme) {
        auto item = std::make_shared<ui::MenuItem>(text(Copy::followTheme, language), report);
        item->setTag(followThemeTag);
        item->setState(current ? ui::ControlState::off : ui::ControlState::on);
        menu->addItem(item);
    }
    for (int raw = 0; auto color = paletteColor(raw); ++raw) {
        auto item =
            std::make_shared<ui::MenuItem>(text(paletteColorName(*color), language), report);
        item->setTag(raw);
        item->setState(current == color ? ui::ControlState::on : ui::ControlState::off);
        menu->addItem(item);
    }
    // Not flipped: the menu hangs from just below the pill.
    ui::Menu::popUp(menu, {0, bounds().minY() - menuGap}, *this);
}

void ModuleColorButton::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Rect pill = bounds();
    context.setColor(gfx::Color::label().withAlpha(0.07));
    context.fill(gfx::Path::roundedRect(pill, pillRadius, pillRadius));
    context.setColor(toColor(shownColor()));
    context.fillEllipse({dotX, pill.midY() - dotDiameter / 2, dotDiameter, dotDiameter});
    const gfx::TextAttributes attributes{.font = titleFont(), .color = gfx::Color::label()};
    const double height = gfx::textSize(title(), attributes).height;
    gfx::drawText(context, title(),
                  gfx::Rect(titleX, pill.midY() - height / 2,
                            std::max(0.0, pill.width() - titleX - 6), height),
                  attributes);
}

} // namespace pulsedeck
