#pragma once

#include "platform/graphics/Image.h"

namespace ui {

enum class CursorKind { arrow, openHand, closedHand, pointingHand, iBeam };

// A cursor shape. push() and pop() work the application's cursor stack: while the stack holds a
// cursor it wins over the cursor rectangles of the view under the pointer.
class Cursor {
public:
    constexpr explicit Cursor(CursorKind kind = CursorKind::arrow) : kind_(kind) {}

    static constexpr Cursor arrow() { return Cursor(CursorKind::arrow); }
    static constexpr Cursor openHand() { return Cursor(CursorKind::openHand); }
    static constexpr Cursor closedHand() { return Cursor(CursorKind::closedHand); }
    static constexpr Cursor pointingHand() { return Cursor(CursorKind::pointingHand); }
    static constexpr Cursor iBeam() { return Cursor(CursorKind::iBeam); }

    CursorKind kind() const { return kind_; }

    void push() const;
    static void pop();
    // Shows this cursor now; the next pointer move over a cursor rectangle replaces it.
    void set() const;

    // The arrow as a picture, for drawings that show a pointer: black with a white rim, its tip
    // at the top left of a 10 × 15 pt image.
    static gfx::Image arrowImage();

    friend bool operator==(const Cursor&, const Cursor&) = default;

private:
    CursorKind kind_;
};

} // namespace ui
