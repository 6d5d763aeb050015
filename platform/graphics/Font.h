#pragma once

#include <memory>
#include <optional>
#include <string>

typedef struct _PangoFontDescription PangoFontDescription;

namespace gfx {

enum class FontWeight { regular, medium, semibold, bold };

// The system font family list: Inter, then DejaVu Sans; fontconfig supplies further fallbacks
// (Noto CJK for the CJK languages, symbols for arrows) glyph by glyph.
inline constexpr const char* systemFontFamilies = "Inter, DejaVu Sans";

// Metrics in points; the descender is negative (below the baseline).
struct FontMetrics {
    double ascender = 0;
    double descender = 0;
    double capHeight = 0;
    double lineHeight = 0;
};

// A font by family list, size in points, weight, and whether digits are tabular (the `tnum`
// feature, so changing figures keep their width). A cheap value to copy: the pango
// description and the metrics are made once per Font and shared by its copies. Metrics need a
// pango font map, which is per thread; query them on the thread that draws.
class Font {
public:
    Font(std::string families, double pointSize, FontWeight weight = FontWeight::regular,
         bool monospacedDigits = false);

    static Font system(double pointSize, FontWeight weight = FontWeight::regular);
    static Font monospacedDigitSystem(double pointSize, FontWeight weight = FontWeight::regular);
    // The rounded design of the system font. Inter has none, so this answers nothing, which
    // callers must handle.
    static std::optional<Font> roundedSystem(double pointSize,
                                             FontWeight weight = FontWeight::regular);

    const std::string& families() const;
    double pointSize() const;
    FontWeight weight() const;
    bool monospacedDigits() const;
    Font withPointSize(double pointSize) const;

    FontMetrics metrics() const;
    double ascender() const { return metrics().ascender; }
    double descender() const { return metrics().descender; }
    double capHeight() const { return metrics().capHeight; }
    double lineHeight() const { return metrics().lineHeight; }
    // The advance of a digit in the tabular form: that of "0", which every digit of a
    // monospaced-digit font is given.
    double digitAdvance() const;
    // The family fontconfig picks for Latin text with this description.
    std::string resolvedFamily() const;

    const PangoFontDescription* description() const;

    friend bool operator==(const Font& a, const Font& b);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

std::string toString(FontWeight weight);

} // namespace gfx
