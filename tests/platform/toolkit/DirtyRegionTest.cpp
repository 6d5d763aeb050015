#include "platform/toolkit/DirtyRegion.h"

#include <gtest/gtest.h>

namespace {

using gfx::Rect;
using ui::DirtyRegion;

TEST(DirtyRegion, RectsApartStayApartAndOnesThatMeetJoin) {
    DirtyRegion region;
    EXPECT_TRUE(region.isEmpty());
    region.add({0, 0, 10, 20});
    region.add({100, 0, 10, 20});
    ASSERT_EQ(region.parts().size(), 2u);
    EXPECT_EQ(region.bounds(), (Rect{0, 0, 110, 20}));

    // Overlapping one part, and touching another edge to edge.
    region.add({5, 5, 10, 10});
    region.add({110, 0, 5, 20});
    ASSERT_EQ(region.parts().size(), 2u);
    EXPECT_EQ(region.parts()[0], (Rect{0, 0, 15, 20}));
    EXPECT_EQ(region.parts()[1], (Rect{100, 0, 15, 20}));

    // A rect that bridges the two joins all three.
    region.add({10, 0, 95, 5});
    ASSERT_EQ(region.parts().size(), 1u);
    EXPECT_EQ(region.parts()[0], (Rect{0, 0, 115, 20}));
}

TEST(DirtyRegion, AJoinedRectTakesInPartsItNowMeets) {
    DirtyRegion region;
    region.add({0, 0, 10, 10});
    region.add({30, 0, 10, 10});
    region.add({60, 0, 10, 10});
    // Meets the middle part first; grown, it reaches the others.
    region.add({8, 0, 24, 10});
    region.add({38, 0, 24, 10});
    ASSERT_EQ(region.parts().size(), 1u);
    EXPECT_EQ(region.parts()[0], (Rect{0, 0, 70, 10}));
}

TEST(DirtyRegion, PastAFewPartsAllBecomeTheirUnion) {
    DirtyRegion region;
    for (int i = 0; i < int(DirtyRegion::mostParts); ++i)
        region.add({i * 20.0, 0, 5, 5});
    EXPECT_EQ(region.parts().size(), DirtyRegion::mostParts);
    region.add({200, 50, 5, 5});
    ASSERT_EQ(region.parts().size(), 1u);
    EXPECT_EQ(region.parts()[0], (Rect{0, 0, 205, 55}));
    EXPECT_EQ(region.bounds(), region.parts()[0]);
}

TEST(DirtyRegion, EmptyRectsAddNothingAndClearEmpties) {
    DirtyRegion region;
    region.add({});
    region.add({5, 5, 0, 10});
    EXPECT_TRUE(region.isEmpty());
    EXPECT_TRUE(region.bounds().isEmpty());
    region.add({1, 2, 3, 4});
    EXPECT_FALSE(region.isEmpty());
    region.clear();
    EXPECT_TRUE(region.isEmpty());
    EXPECT_TRUE(region.parts().empty());
    EXPECT_TRUE(region.bounds().isEmpty());
}

} // namespace
