#include "platform/toolkit/SegmentedControl.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double bezelRadius = 5;
constexpr double imageLabelGap = 4;

} // namespace

SegmentedControl::SegmentedControl(const gfx::Rect& frame) : Control(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::radioGroup);
}

SegmentedControl::SegmentedControl(const std::vector<std::string>& labels, SegmentTracking tracking,
                                   Action action)
    : SegmentedControl() {
    setSegmentCount(int(labels.size()));
    for (std::size_t i = 0; i < labels.size(); ++i)
        segments_[i].label = labels[i];
    tracking_ = tracking;
    setAction(std::move(action));
}

void SegmentedControl::setSegmentCount(int count) {
    segments_.resize(std::size_t(std::max(0, count)));
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

const SegmentedControl::Segment* SegmentedControl::at(int segment) const {
    if (segment < 0 || segment >= segmentCount())
        return nullptr;
    return &segments_[std::size_t(segment)];
}

std::string SegmentedControl::label(int segment) const {
    const Segment* found = at(segment);
    return found ? found->label : std::string();
}

void SegmentedControl::setLabel(const std::string& label, int segment) {
    if (!at(segment) || segments_[std::size_t(segment)].label == label)
        return;
    segments_[std::size_t(segment)].label = label;
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

std::optional<gfx::Image> SegmentedControl::image(int segment) const {
    const Segment* found = at(segment);
    return found ? found->image : std::nullopt;
}

void SegmentedControl::setImage(std::optional<gfx::Image> image, int segment) {
    if (!at(segment))
        return;
    segments_[std::size_t(segment)].image = std::move(image);
    setNeedsDisplay(true);
}

double SegmentedControl::width(int segment) const {
    const Segment* found = at(segment);
    return found ? found->width : 0;
}

void SegmentedControl::setWidth(double width, int segment) {
    if (!at(segment))
        return;
    segments_[std::size_t(segment)].width = std::max(0.0, width);
    setNeedsDisplay(true);
}

bool SegmentedControl::isSelected(int segment) const {
    const Segment* found = at(segment);
    return found && found->selected;
}

void SegmentedControl::setSelected(bool selected, int segment) {
    if (!at(segment) || segments_[std::size_t(segment)].selected == selected)
        return;
    if (selected && tracking_ == SegmentTracking::selectOne) {
        for (auto& other : segments_)
            other.selected = false;
    }
    segments_[std::size_t(segment)].selected = selected;
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

int SegmentedControl::selectedSegment() const {
    for (int i = 0; i < segmentCount(); ++i) {
        if (segments_[std::size_t(i)].selected)
            return i;
    }
    return -1;
}

void SegmentedControl::setSelectedSegment(int segment) {
    bool changed = false;
    for (int i = 0; i < segmentCount(); ++i) {
        const bool selected = i == segment;
        changed = changed || segments_[std::size_t(i)].selected != selected;
        segments_[std::size_t(i)].selected = selected;
    }
    if (!changed)
        return;
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

void SegmentedControl::updateAccessibilityValue() {
    setAccessibilityValue(label(selectedSegment()));
}

std::vector<gfx::Rect> SegmentedControl::segmentFrames() const {
    const gfx::Rect b = bounds();
    double fixed = 0;
    int automatic = 0;
    for (const auto& segment : segments_) {
        fixed += segment.width;
        automatic += segment.width > 0 ? 0 : 1;
    }
    const double shrink = fixed > b.width() && fixed > 0 ? b.width() / fixed : 1;
    const double share = automatic > 0 ? std::max(0.0, b.width() - fixed * shrink) / automatic : 0;
    std::vector<gfx::Rect> frames;
    double x = b.minX();
    for (const auto& segment : segments_) {
        const double w = segment.width > 0 ? segment.width * shrink : share;
        frames.push_back({x, b.minY(), w, b.height()});
        x += w;
    }
    return frames;
}

int SegmentedControl::segmentAt(gfx::Point point) const {
    const std::vector<gfx::Rect> frames = segmentFrames();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].contains(point))
            return int(i);
    }
    return -1;
}

int SegmentedControl::segmentAt(const Event& event) const {
    return segmentAt(convertPointFromView(event.locationInWindow(), nullptr));
}

void SegmentedControl::mouseDown(const Event& event) {
    if (!isEnabled())
        return;
    pressed_ = segmentAt(event);
    inside_ = pressed_ >= 0;
    setHighlighted(inside_);
}

void SegmentedControl::mouseDragged(const Event& event) {
    if (pressed_ < 0)
        return;
    inside_ = segmentAt(event) == pressed_;
    setHighlighted(inside_);
}

void SegmentedControl::mouseUp(const Event& event) {
    if (pressed_ < 0)
        return;
    const int segment = pressed_;
    const bool inside = segmentAt(event) == segment;
    pressed_ = -1;
    inside_ = false;
    setHighlighted(false);
    if (!inside)
        return;
    setSelectedSegment(segment);
    sendAction();
    if (tracking_ == SegmentTracking::momentary)
        setSelectedSegment(-1);
}

void SegmentedControl::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Path outline =
        gfx::Path::roundedRect(bounds().insetBy(0.5, 0.5), bezelRadius, bezelRadius);
    context.setFillColor(gfx::Color::label().withAlpha(0.06));
    context.fill(outline);
    const std::vector<gfx::Rect> frames = segmentFrames();
    for (std::size_t i = 0; i < frames.size(); ++i)
        drawSegment(context, int(i), frames[i]);
    context.setStrokeColor(gfx::Color::label().withAlpha(0.2));
    context.setLineWidth(0.5);
    context.stroke(outline);
}

void SegmentedControl::drawSegment(gfx::Context& context, int segment, const gfx::Rect& frame) {
    const Segment& shown = segments_[std::size_t(segment)];
    const double strength = isEnabled() ? 1 : 0.5;
    if (shown.selected || trackedSegment() == segment) {
        context.setFillColor(
            gfx::Color::label().withAlpha((shown.selected ? 0.18 : 0.1) * strength));
        context.fill(gfx::Path::roundedRect(frame.insetBy(1, 1), bezelRadius - 1, bezelRadius - 1));
    }
    const gfx::TextAttributes text{font().value_or(gfx::Font::system(13)),
                                   gfx::Color::label().withAlpha(strength)};
    const gfx::Size size = gfx::textSize(shown.label, text);
    const double imageWidth = shown.image ? shown.image->size().width + imageLabelGap : 0;
    double x = frame.midX() - (size.width + imageWidth) / 2;
    if (shown.image) {
        const gfx::Size imageSize = shown.image->size();
        shown.image->draw(
            context,
            gfx::Rect{x, frame.midY() - imageSize.height / 2, imageSize.width, imageSize.height},
            {.fraction = strength, .respectFlipped = true});
        x += imageWidth;
    }
    gfx::drawText(context, shown.label, gfx::Point{x, frame.midY() - size.height / 2}, text);
}

} // namespace ui
