#include "statusbar/StatusFonts.h"

namespace pulsedeck {

using gfx::Font;
using gfx::FontWeight;

const Font& statusTitleFont() {
    static const Font font = Font::system(8.3, FontWeight::medium);
    return font;
}

const Font& statusValueFont() {
    static const Font font = Font::monospacedDigitSystem(10.2, FontWeight::medium);
    return font;
}

const Font& statusLabelFont() {
    static const Font font = Font::system(8.6, FontWeight::medium);
    return font;
}

const Font& statusFigureFont() {
    static const Font font = Font::monospacedDigitSystem(9.3, FontWeight::medium);
    return font;
}

const Font& statusArrowFont() {
    static const Font font = Font::system(9.3, FontWeight::medium);
    return font;
}

const Font& statusRingFont() {
    static const Font font = Font::monospacedDigitSystem(7.4, FontWeight::semibold);
    return font;
}

} // namespace pulsedeck
