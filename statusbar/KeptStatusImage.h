#pragma once

#include "platform/graphics/Image.h"

#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace pulsedeck {

// Kept because it pays in a quiet second: 477 µs of CPU a second of the program with it, 665–728
// without (bench/WholeProgramBench); a second whose readings moved draws anew either way.
//
// A module image kept beside the complete content it was drawn from, so a rebuild whose content
// did not change hands back the same image object instead of drawing it again. `Content` is a
// status image's content with a `history` and an equality that compares the history's elements.
// A history that is a span is kept as a copy the kept content points into, so the caller's
// storage may change freely between rebuilds.
//
// The image before the latest is kept too. The strip lets it go when the latest arrives, so a
// redraw can take its pixels over instead of copying the latest's: on an X server with the
// memory chart moving every second, copying the previous bitmap took 4.7 % of the program's
// processor time (perf, one core busy a random 0–400 ms of each second), a cold memcpy and a
// large allocation each second.
template <typename Content> class KeptStatusImage {
public:
    // The image of `content`: the kept one when the content equals the one it was drawn from,
    // else draw(content), which is then kept.
    template <typename Draw> const gfx::Image& image(const Content& content, Draw&& draw) {
        return image(content, draw, [&draw](const Content& changed, const Content&, gfx::Image) {
            return draw(changed);
        });
    }

    // As above, but a content that changed is drawn by redraw(content, earlier content, its
    // image), which may keep what the earlier image already shows and draw over its pixels
    // (gfx::Image::takeBitmap). The earlier one is the image before the latest when nothing
    // shows it any more, else the latest.
    template <typename Draw, typename Redraw>
    const gfx::Image& image(const Content& content, Draw&& draw, Redraw&& redraw) {
        if (latest_ && content == latest_->content) {
            return latest_->image;
        }
        std::optional<Kept> earlier = std::move(spare_);
        spare_ = std::move(latest_);
        std::optional<gfx::Image> drawn;
        if (earlier && !earlier->image.sharesBitmap()) {
            drawn = redraw(content, earlier->content, std::move(earlier->image));
        } else if (spare_) {
            drawn = redraw(content, spare_->content, spare_->image);
        } else {
            drawn = draw(content);
        }
        latest_ = Kept{content, {}, std::move(*drawn)};
        if constexpr (viewsHistory) {
            latest_->history.assign(content.history.begin(), content.history.end());
            latest_->content.history = latest_->history;
        }
        return latest_->image;
    }

private:
    using History = decltype(Content::history);
    using Element = typename History::value_type;
    static constexpr bool viewsHistory = std::is_same_v<History, std::span<const Element>> ||
                                         std::is_same_v<History, std::span<Element>>;

    struct Kept {
        Content content;
        std::vector<Element> history;
        gfx::Image image;
    };

    std::optional<Kept> latest_;
    std::optional<Kept> spare_;
};

} // namespace pulsedeck
