#pragma once

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/DrawingRecorder.h"

namespace gfx {

// A Context over its own bitmap that records every draw call: pass it wherever a Context& is
// taken and read the log from recorder(). It also draws, so a test may probe pixels too.
// Holds the bitmap and the log so that they exist before the Context base is built over them.
struct RecordingContextStorage {
    Bitmap recordedBitmap;
    DrawingRecorder recordedLog;
};

class RecordingContext : private RecordingContextStorage, public Context {
public:
    explicit RecordingContext(Size pointSize, double scale = 1,
                              Appearance appearance = Appearance::light);

    const DrawingRecorder& log() const { return recordedLog; }
    DrawingRecorder& log() { return recordedLog; }
    const Bitmap& bitmap() const { return recordedBitmap; }
};

} // namespace gfx
