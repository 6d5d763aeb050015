#include "platform/toolkit/Cursor.h"

#include "platform/toolkit/Application.h"

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

} // namespace ui
