#pragma once

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/ItemTemplates.h"
#include "platform/graphics/TextEngine.h"

#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gfx {

// Text shaping with what it keeps between texts: the pango context, the item templates
// (ItemTemplates.h), and the shaped texts themselves, least recently used dropped beyond a count. The strip draws a few dozen texts a
// second, most of them unchanged from the second before: shaping them all again costs the whole
// program about a third more, 0.124–0.133 % of a core instead of 0.079–0.111 (scripts/measure
// --load both, twice, the program built with and without kept texts measured side by side in
// each run). A kept text is found by a hash of its runs and compared run by run, so a lookup
// builds no key string and copies no text.
//
// Its owner is the owner of the thread that draws: the program's main, a benchmark's main, a test
// of what is kept. A shaper installs itself as its thread's shaper for its lifetime, which
// shapeText and shapingContext (TextEngine.h) then use: text is measured deep inside view layout (a
// label's fitting size, a button's intrinsic size) with no drawing context at hand, and passing the
// shaper explicitly would thread a parameter through every view. Text shaped with no shaper
// installed is shaped on a context made for it and kept nowhere: the same pixels, nothing kept.
// Shapers on one thread end in the reverse order they began, as scopes do.
class TextShaper {
public:
    static constexpr std::size_t capacity = 128;

    TextShaper();
    ~TextShaper();
    TextShaper(const TextShaper&) = delete;
    TextShaper& operator=(const TextShaper&) = delete;

    // The shaper installed on this thread, if any.
    static TextShaper* installed();

    PangoContext* context() const { return context_.get(); }

    // The runs shaped, cut at maxWidth with an ellipsis when given: a kept result or one shaped
    // now and kept. The returned text stays valid while it is held.
    std::shared_ptr<const ShapedText> shape(const std::vector<AttributedString::Run>& runs,
                                            std::optional<double> maxWidth = std::nullopt);
    // One run of text, copied only when it is new.
    std::shared_ptr<const ShapedText> shape(std::string_view text,
                                            const TextAttributes& attributes);

    // Texts shaped so far, found kept or not.
    std::size_t shapedCount() const { return shaped_; }
    std::size_t keptCount() const { return order_.size(); }

private:
    template <typename Runs>
    std::shared_ptr<const ShapedText> find(const Runs& runs, std::optional<double> maxWidth);

    struct Entry {
        std::vector<AttributedString::Run> runs;
        bool coloured = false;
        std::optional<double> maxWidth;
        std::size_t hash = 0;
        std::shared_ptr<const ShapedText> shaped;
    };

    ShapingContext context_;
    ItemTemplates templates_;
    TextShaper* previous_;
    std::size_t shaped_ = 0;
    // Most recently used first.
    std::list<Entry> order_;
    std::unordered_multimap<std::size_t, std::list<Entry>::iterator> index_;
};

} // namespace gfx
