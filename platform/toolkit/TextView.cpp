#include "platform/toolkit/TextView.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/TextEngine.h"
#include "platform/toolkit/Pasteboard.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <cmath>
#include <pango/pangocairo.h>

namespace ui {

namespace {

// The toolkit's key codes for the keys only text editing needs.
namespace Keys {
constexpr int a = 0;
constexpr int x = 7;
constexpr int c = 8;
constexpr int v = 9;
constexpr int keypadEnter = 76;
constexpr int backspace = 51;
constexpr int home = 115;
constexpr int pageUp = 116;
constexpr int forwardDelete = 117;
constexpr int end = 119;
constexpr int pageDown = 121;
} // namespace Keys

constexpr double scrollerWidth = 4;
constexpr double scrollerMargin = 3;
constexpr double minimumKnobHeight = 20;
constexpr double wheelLines = 3;
// Pango breaks a word too long for the line by trying every place in it in turn, which takes
// seconds for a pasted run of tens of thousands of characters; past this length the text wraps
// at any character instead, which stays linear.
constexpr std::size_t longestWordWrapped = 1000;

gfx::Color textBackground() {
    return gfx::Color::dynamic(gfx::Color::white(), gfx::Color::grey(0.12));
}

gfx::Color selectionColor(bool focused) {
    return focused ? gfx::Color::srgb(0.16, 0.58, 1.0, 0.3) : gfx::Color::grey(0.5, 0.25);
}

void setSource(cairo_t* cr, const gfx::Color& color, gfx::Appearance appearance) {
    const gfx::Color plain = color.resolved(appearance);
    cairo_set_source_rgba(cr, plain.red(), plain.green(), plain.blue(), plain.alpha());
}

// Printable text: no control characters and none of the toolkit's private-use function-key
// characters (arrows, Home, F-keys).
bool isTypedText(const std::string& characters) {
    if (characters.empty())
        return false;
    const gunichar first = g_utf8_get_char_validated(characters.data(), gssize(characters.size()));
    if (first == gunichar(-1) || first == gunichar(-2))
        return false;
    return first >= 0x20 && first != 0x7f && !(first >= 0xf700 && first <= 0xf8ff);
}

std::size_t longestRunWithoutSpace(const std::string& text) {
    std::size_t longest = 0, run = 0;
    for (char c : text) {
        run = (c == ' ' || c == '\n' || c == '\t') ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

TextView::TextView(const gfx::Rect& frame) : View(frame), font_(gfx::Font::system(13)) {
    setAccessibilityElement(true);
    setAccessibilityRole("AXTextArea");
}

TextView::~TextView() {
    if (layout_)
        g_object_unref(layout_);
}

void TextView::setString(std::string_view text) {
    editing_.setText(text);
    editing_.select(0, 0);
    invalidateLayout();
    scrollTo(0);
    updateAccessibilityValue();
}

void TextView::setSelectedRange(std::size_t anchor, std::size_t caret) {
    editing_.select(anchor, caret);
    goalX_.reset();
    setNeedsDisplay(true);
}

void TextView::setFont(gfx::Font font) {
    font_ = std::move(font);
    invalidateLayout();
}

void TextView::setTextContainerInset(gfx::Size inset) {
    inset_ = inset;
    invalidateLayout();
}

void TextView::setFrameSize(gfx::Size size) {
    View::setFrameSize(size);
    invalidateLayout();
    scrollTo(scrollOffset_);
}

void TextView::invalidateLayout() {
    if (layout_) {
        g_object_unref(layout_);
        layout_ = nullptr;
    }
    setNeedsDisplay(true);
}

PangoLayout* TextView::layout() {
    if (!layout_) {
        layout_ = pango_layout_new(gfx::shapingContext().get());
        pango_layout_set_font_description(layout_, font_.description());
        pango_layout_set_wrap(layout_, longestRunWithoutSpace(editing_.text()) > longestWordWrapped
                                           ? PANGO_WRAP_CHAR
                                           : PANGO_WRAP_WORD_CHAR);
        const double width = std::max(1.0, bounds().width() - 2 * inset_.width);
        pango_layout_set_width(layout_, int(width * PANGO_SCALE));
        pango_layout_set_text(layout_, editing_.text().data(), int(editing_.text().size()));
    }
    return layout_;
}

double TextView::maximumScrollOffset() {
    int height = 0;
    pango_layout_get_size(layout(), nullptr, &height);
    const double content = double(height) / PANGO_SCALE + 2 * inset_.height;
    return std::max(0.0, content - bounds().height());
}

void TextView::scrollTo(double offset) {
    const double clamped = std::clamp(offset, 0.0, maximumScrollOffset());
    if (clamped != scrollOffset_) {
        scrollOffset_ = clamped;
        setNeedsDisplay(true);
    }
}

std::size_t TextView::offsetAt(gfx::Point point) {
    const std::string& text = editing_.text();
    int height = 0;
    pango_layout_get_size(layout(), nullptr, &height);
    const double y = point.y - inset_.height + scrollOffset_;
    if (y < 0)
        return 0;
    if (y >= double(height) / PANGO_SCALE)
        return text.size();
    int index = 0, trailing = 0;
    pango_layout_xy_to_index(layout(), int((point.x - inset_.width) * PANGO_SCALE),
                             int(y * PANGO_SCALE), &index, &trailing);
    const char* at = g_utf8_offset_to_pointer(text.data() + index, trailing);
    return std::min(std::size_t(at - text.data()), text.size());
}

gfx::Rect TextView::caretRect(std::size_t offset) {
    PangoRectangle strong;
    pango_layout_get_cursor_pos(layout(), int(offset), &strong, nullptr);
    return {inset_.width + double(strong.x) / PANGO_SCALE,
            inset_.height - scrollOffset_ + double(strong.y) / PANGO_SCALE, 1,
            double(strong.height) / PANGO_SCALE};
}

std::size_t TextView::stepped(std::size_t offset, int direction) {
    const std::string& text = editing_.text();
    int count = 0;
    const PangoLogAttr* attributes = pango_layout_get_log_attrs_readonly(layout(), &count);
    glong index = g_utf8_pointer_to_offset(text.data(), text.data() + offset);
    do {
        index += direction;
    } while (index > 0 && index < count - 1 && !attributes[index].is_cursor_position);
    index = std::clamp<glong>(index, 0, std::max(0, count - 1));
    return std::size_t(g_utf8_offset_to_pointer(text.data(), index) - text.data());
}

std::size_t TextView::lineStepped(std::size_t offset, int direction) {
    int line = 0, x = 0;
    pango_layout_index_to_line_x(layout(), int(offset), false, &line, &x);
    if (!goalX_)
        goalX_ = double(x) / PANGO_SCALE;
    const int target = line + direction;
    if (target < 0)
        return 0;
    if (target >= pango_layout_get_line_count(layout()))
        return editing_.text().size();
    int index = 0, trailing = 0;
    pango_layout_line_x_to_index(pango_layout_get_line_readonly(layout(), target),
                                 int(*goalX_ * PANGO_SCALE), &index, &trailing);
    const std::string& text = editing_.text();
    const auto result =
        std::size_t(g_utf8_offset_to_pointer(text.data() + index, trailing) - text.data());
    return std::min(result, lineEnd(target));
}

std::size_t TextView::lineEnd(int line) {
    PangoLayoutLine* current = pango_layout_get_line_readonly(layout(), line);
    auto end = std::size_t(current->start_index + current->length);
    // A wrapped line ends before the space it broke at; at the next line's start the caret would
    // show there instead.
    const std::string& text = editing_.text();
    if (line + 1 < pango_layout_get_line_count(layout()) &&
        end > std::size_t(current->start_index) && end <= text.size() && text[end - 1] != '\n' &&
        (end == text.size() || text[end] != '\n'))
        end = std::size_t(g_utf8_prev_char(text.data() + end) - text.data());
    return end;
}

std::size_t TextView::lineBoundary(std::size_t offset, bool end) {
    int line = 0, x = 0;
    pango_layout_index_to_line_x(layout(), int(offset), false, &line, &x);
    if (end)
        return lineEnd(line);
    return std::size_t(pango_layout_get_line_readonly(layout(), line)->start_index);
}

void TextView::moveCaret(std::size_t caret, bool extend) {
    editing_.select(extend ? editing_.selection().anchor : caret, caret);
    scrollCaretVisible();
    setNeedsDisplay(true);
}

void TextView::scrollCaretVisible() {
    const gfx::Rect caret = caretRect(editing_.selection().caret);
    if (caret.minY() < inset_.height)
        scrollTo(scrollOffset_ - (inset_.height - caret.minY()));
    else if (caret.maxY() > bounds().height() - inset_.height)
        scrollTo(scrollOffset_ + caret.maxY() - (bounds().height() - inset_.height));
}

void TextView::changed() {
    goalX_.reset();
    invalidateLayout();
    scrollCaretVisible();
    updateAccessibilityValue();
    if (textDidChangeAction)
        textDidChangeAction();
}

void TextView::updateAccessibilityValue() {
    setAccessibilityValue(editing_.text());
}

void TextView::insertText(std::string_view text) {
    editing_.insert(text);
    changed();
}

void TextView::copy() {
    if (!editing_.selection().isEmpty())
        Pasteboard::general().setString(editing_.selectedText());
}

void TextView::cut() {
    if (editing_.selection().isEmpty())
        return;
    copy();
    editing_.erase(editing_.selection().lower(), editing_.selection().upper());
    changed();
}

void TextView::paste() {
    Pasteboard::general().readString(
        [weak = std::weak_ptr<View>(shared_from_this())](std::optional<std::string> text) {
            auto self = std::static_pointer_cast<TextView>(weak.lock());
            if (self && text)
                self->insertText(*text);
        });
}

void TextView::drawRect(gfx::Context& context, const gfx::Rect&) {
    const gfx::Appearance appearance = context.appearance();
    context.setFillColor(textBackground());
    context.fillRect(bounds());
    cairo_t* cr = context.cairo();
    const double originX = inset_.width;
    const double originY = inset_.height - scrollOffset_;
    const bool focused = window() && window()->isKeyWindow() && window()->firstResponder() == this;

    const TextSelection selection = editing_.selection();
    if (!selection.isEmpty()) {
        cairo_save(cr);
        setSource(cr, selectionColor(focused), appearance);
        PangoLayoutIter* iter = pango_layout_get_iter(layout());
        do {
            PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iter);
            const int start = std::max(int(selection.lower()), line->start_index);
            const int end = std::min(int(selection.upper()), line->start_index + line->length);
            int top = 0, bottom = 0;
            pango_layout_iter_get_line_yrange(iter, &top, &bottom);
            const bool spansBreak = int(selection.upper()) > line->start_index + line->length &&
                                    int(selection.lower()) <= line->start_index + line->length;
            int* ranges = nullptr;
            int count = 0;
            if (start <= end)
                pango_layout_line_get_x_ranges(line, start, end, &ranges, &count);
            for (int i = 0; i < count; ++i)
                cairo_rectangle(cr, originX + double(ranges[2 * i]) / PANGO_SCALE,
                                originY + double(top) / PANGO_SCALE,
                                double(ranges[2 * i + 1] - ranges[2 * i]) / PANGO_SCALE,
                                double(bottom - top) / PANGO_SCALE);
            g_free(ranges);
            // A selected line break shows as a sliver after the line's text.
            if (spansBreak) {
                PangoRectangle logical;
                pango_layout_line_get_extents(line, nullptr, &logical);
                cairo_rectangle(cr, originX + double(logical.x + logical.width) / PANGO_SCALE,
                                originY + double(top) / PANGO_SCALE, 4,
                                double(bottom - top) / PANGO_SCALE);
            }
        } while (pango_layout_iter_next_line(iter));
        pango_layout_iter_free(iter);
        cairo_fill(cr);
        cairo_restore(cr);
    }

    cairo_save(cr);
    cairo_translate(cr, originX, originY);
    setSource(cr, gfx::Color::label(), appearance);
    pango_cairo_show_layout(cr, layout());
    cairo_restore(cr);

    if (focused && selection.isEmpty()) {
        context.setFillColor(gfx::Color::label());
        context.fillRect(caretRect(selection.caret));
    }

    const double maximum = maximumScrollOffset();
    if (maximum > 0) {
        const double height = bounds().height();
        const double track = height - 2 * scrollerMargin;
        const double knob = std::max(minimumKnobHeight, track * height / (height + maximum));
        const double y = scrollerMargin + (track - knob) * scrollOffset_ / maximum;
        context.setFillColor(gfx::Color::label().withAlpha(0.3));
        context.fill(gfx::Path::roundedRect(
            {bounds().width() - scrollerMargin - scrollerWidth, y, scrollerWidth, knob},
            scrollerWidth / 2, scrollerWidth / 2));
    }
}

void TextView::mouseDown(const Event& event) {
    if (Window* owner = window())
        owner->makeFirstResponder(this);
    const std::size_t offset = offsetAt(convertPointFromView(event.locationInWindow(), nullptr));
    goalX_.reset();
    if (event.clickCount() == 2) {
        const TextSelection word = editing_.wordAt(offset);
        editing_.select(word.anchor, word.caret);
    } else if (event.clickCount() >= 3) {
        const std::string& text = editing_.text();
        const std::size_t start = text.rfind('\n', offset == 0 ? 0 : offset - 1);
        const std::size_t end = text.find('\n', offset);
        editing_.select(start == std::string::npos || offset == 0 ? 0 : start + 1,
                        end == std::string::npos ? text.size() : end + 1);
    } else {
        editing_.select((event.modifierFlags() & Modifier::shift) ? editing_.selection().anchor
                                                                  : offset,
                        offset);
    }
    setNeedsDisplay(true);
}

void TextView::mouseDragged(const Event& event) {
    const gfx::Point local = convertPointFromView(event.locationInWindow(), nullptr);
    // Dragging past the top or bottom edge scrolls the text along.
    if (local.y < 0)
        scrollTo(scrollOffset_ + local.y);
    else if (local.y > bounds().height())
        scrollTo(scrollOffset_ + local.y - bounds().height());
    moveCaret(offsetAt(local), true);
}

void TextView::resetCursorRects() {
    addCursorRect(bounds(), Cursor::iBeam());
}

void TextView::scrollWheel(const Event& event) {
    const double lineHeight = font_.pointSize() * 1.25;
    scrollTo(scrollOffset_ - event.scrollingDeltaY() * wheelLines * lineHeight);
}

void TextView::keyDown(const Event& event) {
    const ModifierFlags flags = event.modifierFlags() & Modifier::deviceIndependentMask;
    const bool command = flags & Modifier::command;
    const bool extend = flags & Modifier::shift;
    const TextSelection selection = editing_.selection();
    const int code = event.keyCode();
    if (command) {
        if (code == Keys::a) {
            editing_.selectAll();
            setNeedsDisplay(true);
        } else if (code == Keys::c) {
            copy();
        } else if (code == Keys::x) {
            cut();
        } else if (code == Keys::v) {
            paste();
        } else if (code == KeyCode::leftArrow || code == Keys::home) {
            moveCaret(code == Keys::home ? 0 : lineBoundary(selection.caret, false), extend);
        } else if (code == KeyCode::rightArrow || code == Keys::end) {
            moveCaret(code == Keys::end ? editing_.text().size()
                                        : lineBoundary(selection.caret, true),
                      extend);
        } else if (code == KeyCode::upArrow) {
            moveCaret(0, extend);
        } else if (code == KeyCode::downArrow) {
            moveCaret(editing_.text().size(), extend);
        } else {
            View::keyDown(event);
        }
        return;
    }
    switch (code) {
    case Keys::backspace:
    case Keys::forwardDelete:
        if (selection.isEmpty())
            editing_.erase(selection.caret,
                           stepped(selection.caret, code == Keys::backspace ? -1 : 1));
        else
            editing_.erase(selection.lower(), selection.upper());
        changed();
        return;
    case KeyCode::leftArrow:
    case KeyCode::rightArrow: {
        const bool left = code == KeyCode::leftArrow;
        goalX_.reset();
        if (!extend && !selection.isEmpty())
            moveCaret(left ? selection.lower() : selection.upper(), false);
        else
            moveCaret(stepped(selection.caret, left ? -1 : 1), extend);
        return;
    }
    case KeyCode::upArrow:
    case KeyCode::downArrow: {
        const std::optional<double> goal = goalX_;
        const std::size_t caret = lineStepped(selection.caret, code == KeyCode::upArrow ? -1 : 1);
        const std::optional<double> kept = goalX_ ? goalX_ : goal;
        moveCaret(caret, extend);
        goalX_ = kept;
        return;
    }
    case Keys::home:
    case Keys::end:
        goalX_.reset();
        moveCaret(lineBoundary(selection.caret, code == Keys::end), extend);
        return;
    case Keys::pageUp:
    case Keys::pageDown: {
        const double page = std::max(1.0, bounds().height() - 2 * inset_.height);
        const gfx::Rect caret = caretRect(selection.caret);
        const double direction = code == Keys::pageUp ? -1 : 1;
        scrollTo(scrollOffset_ + direction * page);
        moveCaret(offsetAt({caret.minX(), caret.midY()}), extend);
        return;
    }
    case KeyCode::returnKey:
    case Keys::keypadEnter:
        insertText("\n");
        return;
    case KeyCode::tab:
    case KeyCode::escape:
        View::keyDown(event);
        return;
    default:
        if (isTypedText(event.characters()) && !(flags & Modifier::control))
            insertText(event.characters());
        else
            View::keyDown(event);
    }
}

} // namespace ui
