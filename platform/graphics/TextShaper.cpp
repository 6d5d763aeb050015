#include "platform/graphics/TextShaper.h"

#include <array>
#include <functional>
#include <iterator>
#include <string>
#include <type_traits>

namespace gfx {

namespace {

// The shaper each thread shapes with, set and reset only by the shapers themselves: see the
// class comment for why it is installed rather than passed.
thread_local TextShaper* installedShaper = nullptr;

// One run as measuring sees it: the text and attributes of the caller, not yet copied.
struct RunView {
    std::string_view text;
    const TextAttributes& attributes;
};

std::size_t mixed(std::size_t seed, std::size_t value) {
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

// What the shaping depends on: texts, fonts, spacing, width, and the colours when they differ.
template <typename Runs>
std::size_t shapingHash(const Runs& runs, bool coloured, std::optional<double> maxWidth) {
    std::hash<double> number;
    std::size_t hash = maxWidth ? number(*maxWidth) : 0;
    for (const auto& run : runs) {
        const TextAttributes& a = run.attributes;
        hash = mixed(hash, std::hash<std::string_view>{}(run.text));
        hash = mixed(hash, number(a.font.pointSize()));
        hash = mixed(hash, a.font.families().size() * 8 + std::size_t(a.font.weight()) * 2 +
                               std::size_t(a.font.monospacedDigits()));
        hash = mixed(hash, number(a.kern) ^ (number(a.baselineOffset) << 1));
        if (coloured) {
            const Color& c = a.color;
            hash = mixed(hash, number(c.red()) ^ (number(c.green()) << 1) ^
                                   (number(c.blue()) << 2) ^ (number(c.alpha()) << 3));
        }
    }
    return hash;
}

template <typename Runs>
bool shapeAlike(const Runs& runs, const std::vector<AttributedString::Run>& kept, bool coloured) {
    if (std::size(runs) != kept.size()) {
        return false;
    }
    auto other = kept.begin();
    for (const auto& run : runs) {
        const TextAttributes& a = run.attributes;
        const TextAttributes& b = other->attributes;
        if (std::string_view(run.text) != other->text || !(a.font == b.font) || a.kern != b.kern ||
            a.baselineOffset != b.baselineOffset || (coloured && !(a.color == b.color))) {
            return false;
        }
        ++other;
    }
    return true;
}

} // namespace

TextShaper::TextShaper() : context_(newShapingContext()), previous_(installedShaper) {
    installedShaper = this;
}

TextShaper::~TextShaper() {
    installedShaper = previous_;
}

TextShaper* TextShaper::installed() {
    return installedShaper;
}

std::shared_ptr<const ShapedText> TextShaper::shape(const std::vector<AttributedString::Run>& runs,
                                                    std::optional<double> maxWidth) {
    return find(runs, maxWidth);
}

std::shared_ptr<const ShapedText> TextShaper::shape(std::string_view text,
                                                    const TextAttributes& attributes) {
    return find(std::array<RunView, 1>{RunView{text, attributes}}, std::nullopt);
}

template <typename Runs>
std::shared_ptr<const ShapedText> TextShaper::find(const Runs& runs,
                                                   std::optional<double> maxWidth) {
    // A single run has one colour.
    bool coloured = false;
    if constexpr (std::is_same_v<Runs, std::vector<AttributedString::Run>>) {
        coloured = hasSeveralColours(runs);
    }
    std::size_t hash = shapingHash(runs, coloured, maxWidth);
    auto [first, last] = index_.equal_range(hash);
    for (auto found = first; found != last; ++found) {
        Entry& entry = *found->second;
        if (entry.coloured == coloured && entry.maxWidth == maxWidth &&
            shapeAlike(runs, entry.runs, coloured)) {
            order_.splice(order_.begin(), order_, found->second);
            return entry.shaped;
        }
    }
    std::vector<AttributedString::Run> kept;
    kept.reserve(std::size(runs));
    for (const auto& run : runs) {
        kept.push_back({std::string(run.text), run.attributes});
    }
    std::shared_ptr<const ShapedText> shaped = shapeTextIn(context_.get(), kept, maxWidth, &templates_);
    ++shaped_;
    order_.push_front({std::move(kept), coloured, maxWidth, hash, shaped});
    index_.emplace(hash, order_.begin());
    if (order_.size() > capacity) {
        auto [oldest, end] = index_.equal_range(order_.back().hash);
        while (oldest->second != std::prev(order_.end())) {
            ++oldest;
        }
        index_.erase(oldest);
        order_.pop_back();
    }
    return shaped;
}

} // namespace gfx
