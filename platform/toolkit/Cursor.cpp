#include "platform/toolkit/Cursor.h"

#include "platform/graphics/Path.h"
#include "platform/toolkit/Application.h"

#include <initializer_list>

namespace ui {

void Cursor::push() const {
    if (Application* app = Application::current())
        app->pushCursor(*this);
}

void Cursor::pop() {
    if (Application* app = Application::current())
        app->popCursor();
}

void Cursor::set() const {
    if (Application* app = Application::current())
        app->setRectCursor(*this);
}

gfx::Image Cursor::arrowImage() {
    return gfx::Image::withDrawingHandler(
        {10, 15}, false, [](gfx::Context& context, const gfx::Rect& rect) {
            // Drawn in a 12 × 18 design space, y down from the tip, then fitted to the image.
            gfx::Context::SavedState saved(context);
            context.translate(rect.minX(), rect.maxY());
            context.scale(rect.width() / 12, -rect.height() / 18);
            gfx::Path arrow;
            bool first = true;
            for (gfx::Point point : std::initializer_list<gfx::Point>{{1, 1},
                                                                      {1, 14.4},
                                                                      {4.3, 11.3},
                                                                      {6.6, 16.6},
                                                                      {8.8, 15.7},
                                                                      {6.6, 10.6},
                                                                      {11, 10.6}}) {
                if (first)
                    arrow.moveTo(point);
                else
                    arrow.lineTo(point);
                first = false;
            }
            arrow.close();
            arrow.setLineWidth(1.4);
            arrow.setLineJoin(gfx::LineJoin::round);
            context.setStrokeColor(gfx::Color::white());
            arrow.stroke(context);
            context.setFillColor(gfx::Color::black());
            arrow.fill(context);
            return true;
        });
}

} // namespace ui
