#pragma once

#include "detail/SectionContent.h"
#include "detail/SectionContentDrawing.h"
#include "platform/graphics/Context.h"

// The devices card's content: one small card per listed device (icon, name, connection, link
// rate with its link icon, capacity text and bar) in the regions "device0", "device1", …, each
// posed by its entrance; or the no-devices message when the list is empty.
namespace pulsedeck {

void drawDeviceCards(gfx::Context& context, const SectionContent& content,
                     const SectionColors& colors);

} // namespace pulsedeck
