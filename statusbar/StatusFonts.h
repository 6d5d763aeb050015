#pragma once

#include "platform/graphics/Font.h"

namespace pulsedeck {

// The fonts of the menu-bar module images, each made once on first use and kept for the life of
// the process, so an image redrawn every second does not build its fonts again. Main thread: the
// text engine measures on the thread that draws.

// Titles beside a value (the temperature chart's title, the automatic memory title): system
// 8.3 pt medium.
const gfx::Font& statusTitleFont();
// The single large value of a segment: monospaced-digit system 10.2 pt medium.
const gfx::Font& statusValueFont();
// Row labels of the memory segment ("Used:", "Swap:"): system 8.6 pt medium.
const gfx::Font& statusLabelFont();
// Row figures of the memory segment and the network rates: monospaced-digit system 9.3 pt
// medium.
const gfx::Font& statusFigureFont();
// The network rows' arrows: system 9.3 pt medium.
const gfx::Font& statusArrowFont();
// The number inside the memory ring: monospaced-digit system 7.4 pt semibold.
const gfx::Font& statusRingFont();

} // namespace pulsedeck
