#include "platform/foundation/TextFile.h"
#include "platform/toolkit/Workspace.h"

#include <array>
#include <sstream>

namespace ui {

namespace {

constexpr std::string_view fileScheme = "file://";
constexpr std::array iconSizes = {"256x256", "128x128", "96x96", "64x64",
                                  "48x48",   "32x32",   "24x24", "16x16"};

// The Icon key of the entry's [Desktop Entry] group.
std::optional<std::string> iconName(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    bool inEntry = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (inEntry && line.rfind("Icon=", 0) == 0 && line.size() > 5)
            return line.substr(5);
    }
    return std::nullopt;
}

} // namespace

std::optional<gfx::Image> Workspace::iconForFile(const std::string& path) const {
    std::string file = path;
    if (file.rfind(fileScheme, 0) == 0)
        file.erase(0, fileScheme.size());
    const auto text = foundation::readTextFile(file);
    if (!text)
        return std::nullopt;
    const auto name = iconName(*text);
    if (!name)
        return std::nullopt;
    if (name->front() == '/')
        return gfx::Image::fromPngFile(*name);
    if (name->find('/') != std::string::npos)
        return std::nullopt;
    for (const auto& folder : dataDirectories_) {
        for (const char* size : iconSizes) {
            if (auto image = gfx::Image::fromPngFile(
                    (folder / "icons" / "hicolor" / size / "apps" / (*name + ".png")).string()))
                return image;
        }
        if (auto image = gfx::Image::fromPngFile((folder / "pixmaps" / (*name + ".png")).string()))
            return image;
    }
    return std::nullopt;
}

} // namespace ui
