#include "platform/graphics/AttributedString.h"
#include "platform/graphics/RecordingContext.h"
#include "support/TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace gfx {
namespace {

constexpr const char* dejaVuFolder = "/usr/share/fonts/truetype/dejavu";

// A machine without Inter: fontconfig is pointed, before anything in this process touches it,
// at a configuration that knows only the DejaVu fonts.
class WithoutInter {
public:
    WithoutInter() {
        std::filesystem::path config = folder_.path() / "fonts.conf";
        std::ofstream(config) << "<?xml version=\"1.0\"?>\n"
                              << "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                              << "<fontconfig>\n"
                              << "  <dir>" << dejaVuFolder << "</dir>\n"
                              << "  <cachedir>" << (folder_.path() / "cache").string()
                              << "</cachedir>\n"
                              << "</fontconfig>\n";
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
    }

private:
    testsupport::TemporaryDirectory folder_;
};

const WithoutInter withoutInter;

TEST(FontFallbackRender, SystemFontFallsBackToDejaVuSans) {
    if (!std::filesystem::exists(dejaVuFolder)) {
        GTEST_SKIP() << "DejaVu fonts are not installed here";
    }
    Font font = Font::system(12, FontWeight::semibold);
    EXPECT_EQ(font.resolvedFamily(), "DejaVu Sans");
    EXPECT_GT(font.ascender(), 0);
    EXPECT_LT(font.descender(), 0);
    EXPECT_GT(font.capHeight(), 0);

    TextAttributes digits{.font = Font::monospacedDigitSystem(10, FontWeight::medium),
                          .color = Color::black()};
    EXPECT_NEAR(textSize("1111", digits).width, textSize("8888", digits).width, 1e-6);

    RecordingContext context({100, 24}, 2);
    drawText(context, "42 °C", Point{4, 4}, digits);
    ASSERT_NE(context.log().text("42 °C"), nullptr);
    EXPECT_EQ(context.log().text("42 °C")->origin, (Point{4, 4}));
    int inked = 0;
    for (int column = 0; column < context.bitmap().pixelsWide(); ++column) {
        for (int row = 0; row < context.bitmap().pixelsHigh(); ++row) {
            inked += context.bitmap().pixel(column, row).alpha > 0;
        }
    }
    EXPECT_GT(inked, 50) << "the text is drawn in the fallback font";
}

} // namespace
} // namespace gfx
