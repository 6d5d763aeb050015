#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ui {

// A selection in a text, as byte offsets of UTF-8: the anchor stays where the selection began,
// the caret moves. Equal offsets are an insertion point.
struct TextSelection {
    std::size_t anchor = 0;
    std::size_t caret = 0;

    std::size_t lower() const { return anchor < caret ? anchor : caret; }
    std::size_t upper() const { return anchor < caret ? caret : anchor; }
    bool isEmpty() const { return anchor == caret; }
    friend bool operator==(const TextSelection&, const TextSelection&) = default;
};

// The editing state of a plain multi-line text: the text and the selection, and the edits a text
// view makes. The text is always valid UTF-8 with "\n" line breaks, and every offset lies on a
// character boundary, whatever is typed, pasted or set. Pure value; any thread.
class TextEditing {
public:
    const std::string& text() const { return text_; }
    // Replaces the whole text; the caret goes to its end.
    void setText(std::string_view text);

    const TextSelection& selection() const { return selection_; }
    // Offsets beyond the text are taken as its end, offsets inside a character as its start.
    void select(std::size_t anchor, std::size_t caret);
    void selectAll() { select(0, text_.size()); }
    std::string selectedText() const;

    // Replaces the selection with the text (typed, composed or pasted) and leaves the caret after
    // it. Invalid UTF-8 becomes U+FFFD; "\r\n" and "\r" become "\n"; other control characters but
    // the tab are dropped.
    void insert(std::string_view typed);
    // Removes [from, to) (in either order) and leaves the caret where it began.
    void erase(std::size_t from, std::size_t to);

    // The word around an offset (letters, digits and marks, or a run of anything else), for a
    // double click.
    TextSelection wordAt(std::size_t offset) const;

    // Text as the editor keeps it: valid UTF-8, "\n" breaks, no control characters but the tab.
    static std::string sanitized(std::string_view text);

private:
    std::size_t boundary(std::size_t offset) const;

    std::string text_;
    TextSelection selection_;
};

} // namespace ui
