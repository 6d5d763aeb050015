#pragma once

#include "platform/graphics/Font.h"
#include "platform/toolkit/TextEditing.h"
#include "platform/toolkit/View.h"

#include <functional>
#include <memory>
#include <string>

typedef struct _PangoLayout PangoLayout;

namespace ui {

// An editable, scrolling, multi-line plain-text view: typing (composed characters arrive from
// the window server's input method as the key event's characters), a caret and a selection made
// with the keys or the pointer, the clipboard (Control-C, -X, -V, -A, the toolkit's command
// keys), and a slim scroll indicator once the text is taller than the view. Text wraps at the
// view's width inside its inset. Main thread only.
class TextView final : public View {
public:
    explicit TextView(const gfx::Rect& frame);
    ~TextView() override;

    const std::string& string() const { return editing_.text(); }
    void setString(std::string_view text);
    const TextSelection& selectedRange() const { return editing_.selection(); }
    void setSelectedRange(std::size_t anchor, std::size_t caret);

    // Inserts typed or composed text at the selection, as typing does.
    void insertText(std::string_view text);
    void copy();
    void cut();
    // Inserts the clipboard's text once it arrives.
    void paste();

    const gfx::Font& font() const { return font_; }
    void setFont(gfx::Font font);
    // Space between the view's edges and the text.
    gfx::Size textContainerInset() const { return inset_; }
    void setTextContainerInset(gfx::Size inset);

    // How far the text is scrolled down, in points, and the most it can be.
    double scrollOffset() const { return scrollOffset_; }
    double maximumScrollOffset();
    void scrollTo(double offset);

    // Called after every change the user makes to the text.
    std::function<void()> textDidChangeAction;

    bool acceptsFirstResponder() const override { return true; }
    bool isFlipped() const override { return true; }
    void setFrameSize(gfx::Size size) override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirty) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void keyDown(const Event& event) override;
    void scrollWheel(const Event& event) override;
    void resetCursorRects() override;

private:
    PangoLayout* layout();
    void invalidateLayout();
    // The byte offset under a point of the view (flipped bounds space).
    std::size_t offsetAt(gfx::Point point);
    // The caret's rectangle in view space for an offset.
    gfx::Rect caretRect(std::size_t offset);
    // The next cursor position left (-1) or right (+1) of an offset, by grapheme.
    std::size_t stepped(std::size_t offset, int direction);
    // The offset one line up (-1) or down (+1) at the same x, or the text's start or end.
    std::size_t lineStepped(std::size_t offset, int direction);
    std::size_t lineBoundary(std::size_t offset, bool end);
    // Where the caret goes at the end of a laid-out line.
    std::size_t lineEnd(int line);
    void moveCaret(std::size_t caret, bool extend);
    void scrollCaretVisible();
    void changed();
    void updateAccessibilityValue();

    TextEditing editing_;
    gfx::Font font_;
    gfx::Size inset_{0, 0};
    double scrollOffset_ = 0;
    // The x a run of up and down moves keeps to.
    std::optional<double> goalX_;
    PangoLayout* layout_ = nullptr;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace ui
