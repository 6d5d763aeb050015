#include "platform/toolkit/TextEditing.h"

#include <algorithm>
#include <glib.h>

namespace ui {

namespace {

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

bool isWordCharacter(gunichar c) {
    switch (g_unichar_type(c)) {
    case G_UNICODE_LOWERCASE_LETTER:
    case G_UNICODE_UPPERCASE_LETTER:
    case G_UNICODE_TITLECASE_LETTER:
    case G_UNICODE_MODIFIER_LETTER:
    case G_UNICODE_OTHER_LETTER:
    case G_UNICODE_DECIMAL_NUMBER:
    case G_UNICODE_LETTER_NUMBER:
    case G_UNICODE_OTHER_NUMBER:
    case G_UNICODE_NON_SPACING_MARK:
    case G_UNICODE_SPACING_MARK:
    case G_UNICODE_ENCLOSING_MARK:
    case G_UNICODE_CONNECT_PUNCTUATION:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string TextEditing::sanitized(std::string_view text) {
    std::string withoutNul(text);
    std::erase(withoutNul, '\0');
    gchar* valid = g_utf8_make_valid(withoutNul.data(), gssize(withoutNul.size()));
    const std::string_view checked(valid);
    std::string out;
    out.reserve(checked.size());
    for (std::size_t i = 0; i < checked.size(); ++i) {
        const char c = checked[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < checked.size() && checked[i + 1] == '\n')
                ++i;
        } else if (c == '\n' || c == '\t' || static_cast<unsigned char>(c) >= 0x20) {
            if (c != 0x7f)
                out += c;
        }
    }
    g_free(valid);
    return out;
}

void TextEditing::setText(std::string_view text) {
    text_ = sanitized(text);
    selection_ = {text_.size(), text_.size()};
}

std::size_t TextEditing::boundary(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    while (offset > 0 && offset < text_.size() && isContinuation(text_[offset]))
        --offset;
    return offset;
}

void TextEditing::select(std::size_t anchor, std::size_t caret) {
    selection_ = {boundary(anchor), boundary(caret)};
}

std::string TextEditing::selectedText() const {
    return text_.substr(selection_.lower(), selection_.upper() - selection_.lower());
}

void TextEditing::insert(std::string_view typed) {
    const std::string clean = sanitized(typed);
    const std::size_t start = selection_.lower();
    text_.replace(start, selection_.upper() - start, clean);
    selection_ = {start + clean.size(), start + clean.size()};
}

void TextEditing::erase(std::size_t from, std::size_t to) {
    from = boundary(from);
    to = boundary(to);
    if (from > to)
        std::swap(from, to);
    text_.erase(from, to - from);
    selection_ = {from, from};
}

TextSelection TextEditing::wordAt(std::size_t offset) const {
    offset = boundary(offset);
    if (text_.empty())
        return {};
    if (offset == text_.size())
        offset = boundary(offset - 1);
    const char* base = text_.data();
    const bool word = isWordCharacter(g_utf8_get_char(base + offset));
    std::size_t start = offset;
    while (start > 0) {
        const std::size_t previous = std::size_t(g_utf8_prev_char(base + start) - base);
        const gunichar c = g_utf8_get_char(base + previous);
        if (isWordCharacter(c) != word || c == '\n')
            break;
        start = previous;
    }
    std::size_t end = offset;
    while (end < text_.size()) {
        const gunichar c = g_utf8_get_char(base + end);
        if (isWordCharacter(c) != word || (c == '\n' && end != offset))
            break;
        end = std::size_t(g_utf8_next_char(base + end) - base);
        if (c == '\n')
            break;
    }
    return {start, end};
}

} // namespace ui
