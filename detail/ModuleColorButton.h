#pragma once

#include "model/Localization.h"
#include "model/Modules.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/Menu.h"

#include <memory>
#include <string>

namespace pulsedeck {

class DetailView;

// The pill that shows one colour slot's colour (a dot and the colour's name) and, when pressed,
// offers the palette in a menu; a choice reaches the owner as an edit of its look. The owner (the
// detail view that owns the button) clears `owner` before it goes.
class ModuleColorButton : public ui::Button {
public:
    ModuleColorButton(ColorSlot slot, DetailView* owner);

    ColorSlot slot() const { return slot_; }
    // The colour shown: the slot's effective colour for the theme, else its own or the theme's.
    PaletteColor shownColor() const;
    // Renames the button after the slot's current colour, in the owner's language.
    void updateTitle();
    // Pops the palette up under the button.
    void choose();
    // The palette for the slot: follow-the-theme first for a module's slot, then the nine
    // colours, each a swatch option checked while it is the slot's colour; empty once the owner
    // has gone.
    std::shared_ptr<ui::Menu> makeColorMenu();
    // Reports the item's colour (its tag; follow the theme for none) for the slot it names.
    void selectColor(const ui::MenuItem& item);

    DetailView* owner = nullptr;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;

private:
    ColorSlot slot_;
};

// The name of a palette colour and of a colour slot, as the detail view shows them.
Copy paletteColorName(PaletteColor color);
Copy colorSlotName(ColorSlot slot);

} // namespace pulsedeck
