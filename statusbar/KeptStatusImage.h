#pragma once

#include "platform/graphics/Image.h"

#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace pulsedeck {

// Kept because it pays in a quiet second: 477 µs of CPU a second of the program with it, 665–728
// without (bench/WholeProgramBench); a second whose readings moved draws anew either way.
//
// A module image kept beside the complete content it was drawn from, so a rebuild whose content
// did not change hands back the same image object instead of drawing it again. `Content` is a
// status image's content with a `history` span and an equality that compares the history's
// elements; the kept content points into a copy of that history, so the caller's storage may
// change freely between rebuilds.
template <typename Content> class KeptStatusImage {
public:
    // The image of `content`: the kept one when the content equals the one it was drawn from,
    // else draw(content), which is then kept.
    template <typename Draw> const gfx::Image& image(const Content& content, Draw&& draw) {
        return image(content, draw,
                     [&draw](const Content& changed, const Content&, const gfx::Image&) {
                         return draw(changed);
                     });
    }

    // As above, but a content that changed is drawn by redraw(content, kept content, kept image),
    // which may keep what the kept image already shows.
    template <typename Draw, typename Redraw>
    const gfx::Image& image(const Content& content, Draw&& draw, Redraw&& redraw) {
        if (image_ && content == content_) {
            return *image_;
        }
        gfx::Image drawn = image_ ? std::forward<Redraw>(redraw)(content, content_, *image_)
                                  : std::forward<Draw>(draw)(content);
        image_ = std::move(drawn);
        history_.assign(content.history.begin(), content.history.end());
        content_ = content;
        content_.history = history_;
        return *image_;
    }

private:
    using Element = std::remove_cv_t<typename decltype(Content::history)::element_type>;

    Content content_;
    std::vector<Element> history_;
    std::optional<gfx::Image> image_;
};

} // namespace pulsedeck
