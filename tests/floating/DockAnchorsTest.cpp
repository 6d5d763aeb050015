#include "floating/DockAnchors.h"

#include <cmath>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

TEST(DockAnchors, StoredTextsBecomeAnchorsOnlyWhenTheyCouldBeAMenuBarStrip) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"{{120, 12}, {180, 24}}", true},
        {"{{0, 0.5}, {1, 1}}", true},
        {"{{0, 79.99}, {1, 0}}", true},
        {"{{120, 0}, {180, 24}}", false},
        {"{{120, 80}, {180, 24}}", false},
        {"{{120, -3}, {180, 24}}", false},
        {"{{-0.5, 12}, {180, 24}}", false},
        {"{{120, 12}, {0, 24}}", false},
        {"{{120, 12}, {-180, 24}}", false},
        {"{{nan, 12}, {180, 24}}", false},
        {"{{120, 12}, {inf, 24}}", false},
        {"{{120, 12}, {180}}", false},
        {"right", false},
        {"", false},
    };
    for (const auto& [text, accepted] : cases)
        EXPECT_EQ(DockAnchor::parse(text).has_value(), accepted) << text;
}

TEST(DockAnchors, AMeasuredStripReadsBackAndPlacesABarAtItsRightEndAndMiddle) {
    const gfx::Rect screen{1440, -200, 1920, 1080};
    const gfx::Rect strip{3100, 856, 210, 24};
    const DockAnchor anchor = DockAnchor::measure(screen, strip);
    EXPECT_EQ(anchor, (DockAnchor{50, 12, 210, 24}));
    EXPECT_EQ(anchor.text(), "{{50, 12}, {210, 24}}");
    EXPECT_EQ(DockAnchor::parse(anchor.text()), anchor);

    // A wider, taller bar: right ends and middles line up, whatever the stored size.
    const gfx::Rect bar = anchor.frame(screen, {300, 29});
    EXPECT_EQ(bar, (gfx::Rect{3010, 853.5, 300, 29}));
    EXPECT_EQ(bar.maxX(), strip.maxX());
    EXPECT_EQ(bar.midY(), strip.midY());
}

TEST(DockAnchors, DisplayKeysReadAsAnOptionalNumber) {
    EXPECT_EQ(dockAnchorKey(2), "Optional(2)");
    EXPECT_EQ(dockAnchorKey(4127), "Optional(4127)");
    EXPECT_EQ(dockAnchorKey(0), "nil");
}

TEST(DockAnchors, TheStoredMapIsTakenWholeOrNotAtAll) {
    using foundation::PropertyDictionary;
    const PropertyDictionary good{{"Optional(1)", "{{10, 12}, {200, 24}}"}, {"nil", "x"}};
    const DockAnchorTexts texts = decodeDockAnchors(good);
    EXPECT_EQ(texts.size(), 2u);
    EXPECT_EQ(encodeDockAnchors(texts), good);

    for (const foundation::PropertyValue& bad :
         {foundation::PropertyValue(3), foundation::PropertyValue(true),
          foundation::PropertyValue(PropertyDictionary{{"a", "b"}})}) {
        PropertyDictionary mixed = good;
        mixed.emplace("Optional(2)", bad);
        EXPECT_TRUE(decodeDockAnchors(mixed).empty());
    }
    EXPECT_TRUE(decodeDockAnchors(std::nullopt).empty());
}

} // namespace
} // namespace pulsedeck
