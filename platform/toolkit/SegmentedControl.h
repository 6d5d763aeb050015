#pragma once

#include "platform/graphics/Image.h"
#include "platform/toolkit/Control.h"

#include <optional>
#include <string>
#include <vector>

namespace ui {

// Select-one keeps one segment selected; momentary selects a segment only while its click is
// handled (selectedSegment reads it in the action), then clears it.
enum class SegmentTracking { selectOne, momentary };

// A row of segments, each with a label, an optional image and a width (0 = automatic). A click
// (press and release on one segment) selects the segment as the tracking mode says and sends the
// action; the owner reads selectedSegment. Hit testing uses segmentFrames, the same rects the
// drawing uses, so a subclass that lays segments out otherwise overrides that one function.
class SegmentedControl : public Control {
public:
    explicit SegmentedControl(const gfx::Rect& frame = {});
    // From labels, tracking mode and action.
    SegmentedControl(const std::vector<std::string>& labels, SegmentTracking tracking,
                     Action action);

    int segmentCount() const { return int(segments_.size()); }
    // Extra segments start empty and automatic; removed ones take their selection with them.
    void setSegmentCount(int count);
    SegmentTracking trackingMode() const { return tracking_; }
    void setTrackingMode(SegmentTracking mode) { tracking_ = mode; }

    // Accessors of one segment; an index out of range reads empty and writes nothing.
    std::string label(int segment) const;
    void setLabel(const std::string& label, int segment);
    std::optional<gfx::Image> image(int segment) const;
    void setImage(std::optional<gfx::Image> image, int segment);
    double width(int segment) const;
    void setWidth(double width, int segment);
    bool isSelected(int segment) const;
    void setSelected(bool selected, int segment);

    // The first selected segment, or −1.
    int selectedSegment() const;
    // Selects one segment alone; −1 (or any index out of range) selects none.
    void setSelectedSegment(int segment);

    // Each segment's rect in bounds space, left to right. The standard layout gives fixed widths
    // what they ask (scaled down when they overflow) and shares the rest among the automatic ones.
    virtual std::vector<gfx::Rect> segmentFrames() const;
    // The segment under a point of bounds space, or −1.
    int segmentAt(gfx::Point point) const;

protected:
    // Draws one segment; the standard drawing fills the selected one and centres its content.
    virtual void drawSegment(gfx::Context& context, int segment, const gfx::Rect& frame);

    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;

    // The segment a press is on while it is tracked (and inside it), or −1.
    int trackedSegment() const { return inside_ ? pressed_ : -1; }

private:
    struct Segment {
        std::string label;
        std::optional<gfx::Image> image;
        double width = 0;
        bool selected = false;
    };
    const Segment* at(int segment) const;
    int segmentAt(const Event& event) const;
    void updateAccessibilityValue();

    std::vector<Segment> segments_;
    SegmentTracking tracking_ = SegmentTracking::selectOne;
    int pressed_ = -1;
    bool inside_ = false;
};

} // namespace ui
