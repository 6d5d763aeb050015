#include "platform/toolkit/x11/KeyMapping.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <utility>

namespace ui::x11 {

ModifierFlags modifierFlagsFromState(unsigned state) {
    ModifierFlags flags = 0;
    if (state & ShiftMask)
        flags |= Modifier::shift;
    if (state & LockMask)
        flags |= Modifier::capsLock;
    if (state & ControlMask)
        flags |= Modifier::command;
    if (state & Mod1Mask)
        flags |= Modifier::option;
    if (state & Mod4Mask)
        flags |= Modifier::control;
    return flags;
}

unsigned characterState(unsigned state, bool ignoringOption) {
    unsigned cleared = state & ~static_cast<unsigned>(ControlMask | Mod4Mask);
    if (ignoringOption)
        cleared &= ~static_cast<unsigned>(Mod1Mask);
    return cleared;
}

unsigned modifierMaskForKeysym(unsigned long keysym) {
    switch (keysym) {
    case XK_Shift_L:
    case XK_Shift_R:
        return ShiftMask;
    case XK_Control_L:
    case XK_Control_R:
        return ControlMask;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return Mod1Mask;
    case XK_Super_L:
    case XK_Super_R:
    case XK_Hyper_L:
    case XK_Hyper_R:
        return Mod4Mask;
    case XK_Caps_Lock:
        return LockMask;
    default:
        return 0;
    }
}

namespace {

// The toolkit's key codes follow the keys' places on an ANSI keyboard, not the letters' order.
constexpr std::pair<unsigned long, int> keyCodes[] = {
    {XK_a, 0},
    {XK_s, 1},
    {XK_d, 2},
    {XK_f, 3},
    {XK_h, 4},
    {XK_g, 5},
    {XK_z, 6},
    {XK_x, 7},
    {XK_c, 8},
    {XK_v, 9},
    {XK_b, 11},
    {XK_q, 12},
    {XK_w, 13},
    {XK_e, 14},
    {XK_r, 15},
    {XK_y, 16},
    {XK_t, 17},
    {XK_1, 18},
    {XK_2, 19},
    {XK_3, 20},
    {XK_4, 21},
    {XK_6, 22},
    {XK_5, 23},
    {XK_equal, 24},
    {XK_9, 25},
    {XK_7, 26},
    {XK_minus, 27},
    {XK_8, 28},
    {XK_0, 29},
    {XK_bracketright, 30},
    {XK_o, 31},
    {XK_u, 32},
    {XK_bracketleft, 33},
    {XK_i, 34},
    {XK_p, 35},
    {XK_Return, 36},
    {XK_l, 37},
    {XK_j, 38},
    {XK_apostrophe, 39},
    {XK_k, 40},
    {XK_semicolon, 41},
    {XK_backslash, 42},
    {XK_comma, 43},
    {XK_slash, 44},
    {XK_n, 45},
    {XK_m, 46},
    {XK_period, 47},
    {XK_Tab, 48},
    {XK_ISO_Left_Tab, 48},
    {XK_space, 49},
    {XK_grave, 50},
    {XK_BackSpace, 51},
    {XK_Escape, 53},
    {XK_KP_Enter, 76},
    {XK_F5, 96},
    {XK_F6, 97},
    {XK_F7, 98},
    {XK_F3, 99},
    {XK_F8, 100},
    {XK_F9, 101},
    {XK_F11, 103},
    {XK_F10, 109},
    {XK_F12, 111},
    {XK_Home, 115},
    {XK_Page_Up, 116},
    {XK_Delete, 117},
    {XK_F4, 118},
    {XK_End, 119},
    {XK_F2, 120},
    {XK_Page_Down, 121},
    {XK_F1, 122},
    {XK_Left, 123},
    {XK_Right, 124},
    {XK_Down, 125},
    {XK_Up, 126},
};

void appendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xc0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xe0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        text += static_cast<char>(0xf0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// The private-use characters the toolkit reports for the arrow keys.
constexpr char32_t upArrowCharacter = 0xf700;
constexpr char32_t downArrowCharacter = 0xf701;
constexpr char32_t leftArrowCharacter = 0xf702;
constexpr char32_t rightArrowCharacter = 0xf703;

std::optional<char32_t> codePointForKeysym(unsigned long keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return static_cast<char32_t>(keysym);
    // Keysyms 0x01000000 + code point stand for any Unicode character.
    if (keysym >= 0x01000100 && keysym <= 0x0110ffff) {
        const char32_t code = static_cast<char32_t>(keysym - 0x01000000);
        if (code >= 0xd800 && code <= 0xdfff)
            return std::nullopt;
        return code;
    }
    switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
        return U'\r';
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return U'\t';
    case XK_Escape:
        return U'\x1b';
    case XK_BackSpace:
        return U'\x7f';
    case XK_Up:
        return upArrowCharacter;
    case XK_Down:
        return downArrowCharacter;
    case XK_Left:
        return leftArrowCharacter;
    case XK_Right:
        return rightArrowCharacter;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<int> keyCodeForKeysym(unsigned long keysym) {
    if (keysym >= XK_A && keysym <= XK_Z)
        keysym += XK_a - XK_A;
    for (const auto& [symbol, code] : keyCodes) {
        if (symbol == keysym)
            return code;
    }
    return std::nullopt;
}

std::string charactersForKeysym(unsigned long keysym) {
    std::string text;
    if (auto code = codePointForKeysym(keysym))
        appendUtf8(text, *code);
    return text;
}

} // namespace ui::x11
