#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"

#include <map>
#include <string>
#include <vector>

namespace pulsedeck {

// The detail view's geometry as plain functions of its settings, apart from the view so it can
// be checked without a window. Card content spaces are y-up; the document (body) is flipped.

// Named rectangles of one card's content, in the content view's space.
using SectionRegions = std::map<std::string, gfx::Rect, std::less<>>;

// The top band (title, presentation switch, theme colour) above the scrolling cards.
inline constexpr double detailTopBandHeight = 112;
inline constexpr double detailsColumnWidth = 318;
// The width the overview's grid may take when there is no screen to ask.
inline constexpr double screenlessAvailableWidth = 1132;
// A card's header, and the space under an expanded card's content.
inline constexpr double cardHeaderHeight = 40;
inline constexpr double cardBottomSpacing = 12;
// Where a card's content view sits in the (flipped) card.
inline constexpr double cardContentX = 18;
// The choice control of the fan, temperature and compute cards: right-aligned, fixed width.
inline constexpr double cardChoiceWidth = 174;
// At this content width and above, the overview puts both strip sliders in one row.
inline constexpr double oneSliderRowWidth = 480;

// A device card's height in the details column: taller when it shows a capacity bar.
double deviceCardHeight(bool hasCapacity);

// Height of a card's content view (its colour rows included). `devicesWithCapacity` lists, per
// device, whether it has a capacity; only the devices card reads it.
double detailSectionHeight(ModuleKind kind, DetailPresentation presentation,
                           const std::vector<bool>& devicesWithCapacity);

// A card's content width: 282 in the details column, the card less its insets in the overview
// (244 when the grid gives the module no frame).
double cardContentWidth(DetailPresentation presentation, const gfx::Rect* gridFrame);

// The regions of one card's content: the colour rows from the top, then the module's rows
// downward from them.
SectionRegions sectionRegions(ModuleKind kind, DetailPresentation presentation, double width,
                              double sectionHeight, const std::vector<bool>& devicesWithCapacity);

// The bottom band's height: 80 plus a 36-point row per row of strip sliders.
double detailFooterHeight(int visibleModules, DetailPresentation presentation, double contentWidth);

// Where the two strip sliders go in the view (y-up), and which show.
struct StripSliderFrames {
    gfx::Rect chartLength;
    gfx::Rect gap;
    bool chartLengthHidden = false;
    bool gapHidden = false;
};
StripSliderFrames stripSliderFrames(double viewWidth, DetailPresentation presentation,
                                    double contentWidth, int visibleModules);

// The scroller of a clip `clipHeight` tall over a document `documentHeight` tall scrolled to
// `offset`: whether it is needed (the document is more than half a point taller), its knob's
// proportion and its value.
struct ScrollerFigures {
    bool needed = false;
    double knobProportion = 1;
    double value = 0;
};
ScrollerFigures scrollerFigures(double clipHeight, double documentHeight, double offset);

// The remembered offset kept inside a document of the new height.
double clampedScrollOffset(double remembered, double documentHeight, double clipHeight);

// A font size shrunk so a text `textWidth` wide at `size` fits `maxWidth`, never below 8 points
// and never grown.
double fittedFontSize(double textWidth, double maxWidth, double size);

} // namespace pulsedeck
