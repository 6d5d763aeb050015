#include "platform/graphics/DrawingRecorder.h"

namespace gfx {

const TextRecord* DrawingRecorder::text(const std::string& string) const {
    for (const DrawingRecord& record : records_) {
        if (const auto* text = std::get_if<TextRecord>(&record); text && text->text == string) {
            return text;
        }
    }
    return nullptr;
}

} // namespace gfx
