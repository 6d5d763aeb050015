#include "platform/graphics/RecordingContext.h"

namespace gfx {

RecordingContext::RecordingContext(Size pointSize, double scale, Appearance appearance)
    : RecordingContextStorage{Bitmap::forPointSize(pointSize, scale), {}},
      Context(recordedBitmap, appearance) {
    setRecorder(&recordedLog);
}

} // namespace gfx
