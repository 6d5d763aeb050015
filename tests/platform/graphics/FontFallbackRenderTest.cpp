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

// The checks on a machine without Inter, in a process of their own: fontconfig reads its
// configuration once per process, and the other tests of this executable use Inter. A death test
// in the "threadsafe" style runs them in a fresh copy of the program, which points fontconfig,
// before anything touches it, at a configuration that knows only the DejaVu fonts. Answers the
// exit status: 0 when every check held.
int checkedWithoutInter(void (*checks)()) {
    testsupport::TemporaryDirectory folder;
    const std::filesystem::path config = folder.path() / "fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?>\n"
                          << "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                          << "<fontconfig>\n"
                          << "  <dir>" << dejaVuFolder << "</dir>\n"
                          << "  <cachedir>" << (folder.path() / "cache").string() << "</cachedir>\n"
                          << "</fontconfig>\n";
    setenv("FONTCONFIG_FILE", config.c_str(), 1);
    checks();
    return ::testing::Test::HasFailure() ? 1 : 0;
}

void fallbackChecks() {
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

TEST(FontFallbackRender, SystemFontFallsBackToDejaVuSans) {
    if (!std::filesystem::exists(dejaVuFolder)) {
        GTEST_SKIP() << "DejaVu fonts are not installed here";
    }
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(checkedWithoutInter(fallbackChecks)), ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
}

} // namespace
} // namespace gfx
