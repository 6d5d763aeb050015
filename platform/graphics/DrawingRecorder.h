#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

#include <string>
#include <variant>
#include <vector>

namespace gfx {

// What a context logs when a recorder is attached. Positions and bounds are in the context's
// base space (y-up points), after the current transform; colours are resolved for the
// context's appearance; alpha is the context's global alpha at the time.
struct TextRecord {
    std::string text;
    Font font;
    Color color;
    // The point the run was drawn at (the line box's min-y corner in user space: its
    // bottom-left, or its top-left in a flipped context), in base space.
    Point origin;
    // The line box in base space.
    Rect bounds;
    double alpha = 1;
};

struct FillRecord {
    Color color;
    Rect bounds;
    CompositingOperation operation = CompositingOperation::sourceOver;
    double alpha = 1;
};

struct StrokeRecord {
    Color color;
    // The path's bounds, not widened by the line width.
    Rect bounds;
    double lineWidth = 1;
    double alpha = 1;
};

struct ClearRecord {
    Rect bounds;
};

struct ImageRecord {
    Rect destination;
    double fraction = 1;
    CompositingOperation operation = CompositingOperation::sourceOver;
};

using DrawingRecord = std::variant<TextRecord, FillRecord, StrokeRecord, ClearRecord, ImageRecord>;

class DrawingRecorder {
public:
    void record(DrawingRecord record) { records_.push_back(std::move(record)); }
    void clear() { records_.clear(); }
    const std::vector<DrawingRecord>& records() const { return records_; }

    // The records of one kind, in drawing order.
    std::vector<TextRecord> texts() const { return only<TextRecord>(); }
    std::vector<FillRecord> fills() const { return only<FillRecord>(); }
    std::vector<StrokeRecord> strokes() const { return only<StrokeRecord>(); }
    std::vector<ImageRecord> images() const { return only<ImageRecord>(); }
    // The first text record with exactly this string, if any.
    const TextRecord* text(const std::string& string) const;

private:
    template <typename Kind> std::vector<Kind> only() const {
        std::vector<Kind> found;
        for (const DrawingRecord& record : records_) {
            if (const Kind* kind = std::get_if<Kind>(&record)) {
                found.push_back(*kind);
            }
        }
        return found;
    }

    std::vector<DrawingRecord> records_;
};

} // namespace gfx
