#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/WindowIcon.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <vector>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
// clang-format on

namespace {

using ui::x11::windowIconCardinals;

// Its top-left quarter half-transparent orange, the rest opaque blue.
gfx::Image quarters() {
    return gfx::Image::withDrawingHandler(
        {8, 8}, false, [](gfx::Context& context, const gfx::Rect& rect) {
            context.setFillColor(gfx::Color::srgb(0, 0, 1));
            context.fillRect(rect);
            const gfx::Rect topLeft{rect.minX(), rect.midY(), rect.width() / 2, rect.height() / 2};
            context.fillRect(topLeft, gfx::CompositingOperation::clear);
            context.setFillColor(gfx::Color::srgb(1, 0.5, 0).withAlpha(0.5));
            context.fillRect(topLeft);
            return true;
        });
}

// Each size is its width, its height and its rows from the top, in plain (not premultiplied)
// ARGB, whatever size the image itself has.
TEST(WindowIcon, EachSizeIsItsSideTwiceThenItsRowsFromTheTopInPlainArgb) {
    const std::vector<long> cardinals = windowIconCardinals(quarters(), {4, 16});
    ASSERT_EQ(cardinals.size(), 2 + 4 * 4 + 2 + 16 * 16u);
    EXPECT_EQ(cardinals[0], 4);
    EXPECT_EQ(cardinals[1], 4);
    const long* small = &cardinals[2];
    const long halfOrange = small[0];
    EXPECT_EQ(halfOrange >> 24 & 0xff, 128);
    // Stored as 64 of 128, the half green is 127.5 undone: rounded, not cut.
    EXPECT_EQ(halfOrange & 0xffffff, 0xff8000) << "colour undone from its alpha";
    EXPECT_EQ(small[3], 0xff0000ffL) << "top right";
    EXPECT_EQ(small[4 * 3], 0xff0000ffL) << "bottom left";

    const long* large = &cardinals[2 + 16 + 2];
    EXPECT_EQ(cardinals[2 + 16], 16);
    EXPECT_EQ(large[16 * 7 + 7] & 0xffffff, 0xff8000) << "inside the quarter";
    EXPECT_EQ(large[16 * 8 + 8], 0xff0000ffL);
    EXPECT_TRUE(windowIconCardinals(quarters(), {}).empty());
}

// Cardinals as the server holds them: 32 bits, whichever way Xlib widens them to `long`.
std::vector<std::uint32_t> asCardinals(const std::vector<long>& values) {
    return {values.begin(), values.end()};
}

class WindowIconX11 : public testsupport::X11Fixture {
protected:
    std::vector<std::uint32_t> iconOf(const ui::Window& window) {
        return asCardinals(testsupport::windowProperty(server->display(), *xWindow(window),
                                                       "_NET_WM_ICON", XA_CARDINAL, 1 << 20));
    }
};

// Windows made before the icon is set get it then; those made after get it at once.
TEST_F(WindowIconX11, EveryWindowCarriesTheApplicationsIconWheneverItWasMade) {
    auto before = std::make_shared<ui::Window>(gfx::Rect{20, 20, 60, 40}, ui::Style::titled);
    before->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*before); }));
    EXPECT_TRUE(iconOf(*before).empty()) << "no icon until the application has one";

    app->setApplicationIconImage(quarters());
    const auto expected = asCardinals(
        windowIconCardinals(quarters(), std::vector<int>(std::begin(ui::x11::windowIconSides),
                                                         std::end(ui::x11::windowIconSides))));
    server->sync();
    EXPECT_EQ(iconOf(*before), expected);

    auto after = std::make_shared<ui::Panel>(gfx::Rect{120, 20, 60, 40}, ui::Style::borderless);
    after->orderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*after); }));
    EXPECT_EQ(iconOf(*after), expected);
}

} // namespace
