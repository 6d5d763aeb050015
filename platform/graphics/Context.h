#pragma once

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Appearance.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Path.h"

#include <cairo.h>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace gfx {

class Bitmap;
class DrawingRecorder;
class ShapeMaskCache;

// The compositing operations that drawing code uses, mapped onto cairo's operators.
enum class CompositingOperation {
    sourceOver,
    copy,
    clear,
    sourceIn,
    sourceOut,
    sourceAtop,
    destinationOver,
    destinationIn,
    destinationOut,
    destinationAtop,
    xorOperation,
    plusLighter,
};

struct Shadow {
    Color color = Color::black().withAlpha(1.0 / 3.0);
    // The blur radius and offset are in the context's base space (points), not affected by the
    // current transform, so a shadow looks the same however its shape is scaled.
    double blurRadius = 0;
    Size offset;

    friend bool operator==(const Shadow&, const Shadow&) = default;
};

// A drawing context in the toolkit's conventions over a cairo_t: user space is in points with
// the origin at the bottom left and y up (the context flips once, at its base), and the graphics
// state (transform, clip, fill and stroke colours, line state, global alpha, compositing
// operation, shadow) is saved and restored as one stack.
//
// Recording: every context may carry a DrawingRecorder. When one is attached the context still
// draws, and also logs each text run (string, font, colour, origin), fill, stroke, clear and image
// with its colour and bounds in the context's base space, so tests can pin where things land
// without depending on font files or pixels. RecordingContext (RecordingContext.h) is a Context
// over its own bitmap with a recorder attached, usable wherever a Context& is taken.
//
// Main thread or one owner thread at a time; a context is not shared between threads.
class Context {
public:
    // A context drawing into the bitmap: the bitmap's point size is the user space, its pixel
    // size the device space.
    explicit Context(Bitmap& bitmap, Appearance appearance = Appearance::light);
    // A context over an existing cairo_t (a window surface, say) whose device space is
    // pointSize × scale pixels with the origin at the top left. The context takes its own
    // reference to cr, sets the y-up transform on it, and leaves cr's state as it found it
    // when destroyed.
    Context(cairo_t* cr, Size pointSize, double scale, Appearance appearance = Appearance::light);
    virtual ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // The graphics state stack.
    void save();
    void restore();
    // Saves now and restores when it goes out of scope.
    class SavedState {
    public:
        explicit SavedState(Context& context) : context_(context) { context_.save(); }
        ~SavedState() { context_.restore(); }
        SavedState(const SavedState&) = delete;
        SavedState& operator=(const SavedState&) = delete;

    private:
        Context& context_;
    };

    // Transforms apply to what is drawn afterwards, in the current user space.
    void translate(double dx, double dy);
    void scale(double sx, double sy);
    void rotateRadians(double radians);
    void rotateDegrees(double degrees);
    // A transform that is singular (a zero scale) or not finite makes everything drawn until the
    // matching restore invisible.
    void concat(const AffineTransform& transform);
    bool drawsNothing() const { return state_.singular; }
    // User space → base space (the y-up point space the context began with).
    AffineTransform currentTransform() const;
    // Whether user space is mirrored against the base (a flipped view's drawing: y down). Text
    // and images drawn with respectFlipped stay upright either way.
    bool isFlipped() const;
    // The base space's size in points and its pixels per point.
    Size baseSize() const { return baseSize_; }
    double backingScale() const { return scale_; }

    Appearance appearance() const { return appearance_; }
    void setAppearance(Appearance appearance) { appearance_ = appearance; }

    // Colours are resolved against the context's appearance when set.
    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    // Sets both.
    void setColor(const Color& color);
    Color fillColor() const { return state_.fillColor; }
    Color strokeColor() const { return state_.strokeColor; }

    void setLineWidth(double width) { state_.lineWidth = width; }
    double lineWidth() const { return state_.lineWidth; }
    void setLineCap(LineCap cap) { state_.lineCap = cap; }
    LineCap lineCap() const { return state_.lineCap; }
    void setLineJoin(LineJoin join) { state_.lineJoin = join; }
    LineJoin lineJoin() const { return state_.lineJoin; }
    void setMiterLimit(double limit) { state_.miterLimit = limit; }
    double miterLimit() const { return state_.miterLimit; }
    void setLineDash(std::vector<double> lengths, double phase = 0);
    bool hasLineDash() const { return !state_.dash.empty(); }

    // Multiplies the alpha of everything drawn afterwards.
    void setAlpha(double alpha) { state_.alpha = alpha; }
    double alpha() const { return state_.alpha; }
    void setCompositingOperation(CompositingOperation operation) { state_.operation = operation; }
    CompositingOperation compositingOperation() const { return state_.operation; }
    // A shadow under everything drawn afterwards; nothing (or a clear colour) turns it off.
    void setShadow(std::optional<Shadow> shadow) { state_.shadow = shadow; }
    const std::optional<Shadow>& shadow() const { return state_.shadow; }

    // Fills and strokes with the context's colours and line state, through cairo at every size.
    // The charts' long lines have a painter of their own (ChartPainter.h).
    void fill(const Path& path, WindingRule rule = WindingRule::nonZero);
    void stroke(const Path& path);
    void fillRect(const Rect& rect);
    // A rect fill with its own compositing operation.
    void fillRect(const Rect& rect, CompositingOperation operation);
    void strokeRect(const Rect& rect);
    void fillEllipse(const Rect& rect);
    // Makes the rect fully transparent, whatever the state.
    void clearRect(const Rect& rect);

    // The clip only ever shrinks until restore. A path with a coordinate that is not finite
    // clips everything away.
    void clip(const Path& path, WindingRule rule = WindingRule::nonZero);
    void clipToRect(const Rect& rect);
    // The clip's bounding box in user space.
    Rect clipBoundingBox() const;
    // Paints cairo's current source, source over, through the path's coverage under its winding
    // rule: what clipping to the path and painting gives, but under the non-zero rule through a
    // coverage mask where the transform keeps the axes aligned, kept in the context's shape masks
    // so that a curved clip that is the same every time costs only its compositing. A layer
    // painted back through a rounded clip uses it.
    void paintThrough(const Path& path);
    // Where painting through keeps the masks it makes, for a drawing whose shapes come back
    // (ShapeMaskCache.h); without one, each is made for its draw alone, to the same pixels. Not
    // owned; it must outlive its use.
    void setShapeMasks(ShapeMaskCache* masks) { shapeMasks_ = masks; }
    ShapeMaskCache* shapeMasks() const { return shapeMasks_; }

    // Runs draw with a shadow under it when the state has one: draw is called once into a mask
    // for the shadow and once for the real drawing, each time with a cairo_t in this context's
    // current user space. Images and text use it; most callers want fill/stroke instead.
    void drawWithShadow(const Rect& userBounds, const std::function<void(cairo_t*)>& draw);

    // Recording (see the class comment). The recorder is not owned and must outlive its use.
    void setRecorder(DrawingRecorder* recorder) { recorder_ = recorder; }
    DrawingRecorder* recorder() const { return recorder_; }

    // The underlying cairo_t, its operator, source alpha and transform matching the state.
    cairo_t* cairo() const { return cr_.get(); }
    // Prepares cairo for painting with the current state's operation.
    void applyOperation() const;
    // Sets cr's source to the colour times the state's alpha.
    void setSourceColor(cairo_t* cr, const Color& color) const;
    // Sets cr's line width, cap, join, miter limit and dash from the state.
    void applyLineState(cairo_t* cr) const;

private:
    struct State {
        Color fillColor = Color::black();
        Color strokeColor = Color::black();
        double lineWidth = 1;
        LineCap lineCap = LineCap::butt;
        LineJoin lineJoin = LineJoin::miter;
        double miterLimit = 10;
        std::vector<double> dash;
        double dashPhase = 0;
        double alpha = 1;
        CompositingOperation operation = CompositingOperation::sourceOver;
        std::optional<Shadow> shadow;
        bool singular = false;
    };
    struct CairoDeleter {
        void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    };

    void setUp(Size pointSize, double scale);
    void recordFill(const Path& path, const Color& color, CompositingOperation operation);
    // False for a path with a coordinate that is not finite (it would put cairo into an error
    // state) and while the transform is singular.
    bool drawable(const Path& path) const;

    std::unique_ptr<cairo_t, CairoDeleter> cr_;
    Size baseSize_;
    double scale_ = 1;
    cairo_matrix_t baseMatrix_{};
    Appearance appearance_;
    State state_;
    std::vector<State> savedStates_;
    DrawingRecorder* recorder_ = nullptr;
    ShapeMaskCache* shapeMasks_ = nullptr;
};

cairo_operator_t cairoOperator(CompositingOperation operation);
void appendToCairo(cairo_t* cr, const Path& path);

} // namespace gfx
