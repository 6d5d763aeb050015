// Writes the application's mark as a square PNG, for the icon theme the package installs.
//
//   pulsedeck-icon <side in pixels> <output.png>
//
// Drawn by the program's own drawing of it, so the installed icons are the one the tip and the
// windows show.

#include "app/AppIcon.h"
#include "platform/graphics/Bitmap.h"

#include <charconv>
#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    int side = 0;
    const std::string_view text = argc == 3 ? argv[1] : "";
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), side);
    if (argc != 3 || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
        side < 1 || side > 1024) {
        std::fprintf(stderr, "usage: pulsedeck-icon <side 1-1024> <output.png>\n");
        return 2;
    }
    const double points = side;
    gfx::Bitmap bitmap(side, side, {points, points});
    {
        gfx::Context context(bitmap);
        pulsedeck::drawAppIcon(context, {0, 0, points, points}, false);
    }
    if (!bitmap.writePng(argv[2])) {
        std::fprintf(stderr, "pulsedeck-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
