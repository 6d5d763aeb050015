#include "platform/toolkit/x11/KeyMapping.h"

#include <gtest/gtest.h>

// clang-format off
#include <X11/X.h>
#include <X11/keysym.h>
// clang-format on

namespace {

using namespace ui::x11;

TEST(KeyMapping, ControlIsCommandSuperIsControlAltIsOption) {
    EXPECT_EQ(modifierFlagsFromState(ControlMask), ui::Modifier::command);
    EXPECT_EQ(modifierFlagsFromState(Mod4Mask), ui::Modifier::control);
    EXPECT_EQ(modifierFlagsFromState(Mod1Mask), ui::Modifier::option);
    EXPECT_EQ(modifierFlagsFromState(ShiftMask), ui::Modifier::shift);
    EXPECT_EQ(modifierFlagsFromState(LockMask), ui::Modifier::capsLock);
    EXPECT_EQ(modifierFlagsFromState(ControlMask | ShiftMask | Button1Mask),
              ui::Modifier::command | ui::Modifier::shift);
    // Num Lock (Mod2) and the buttons are no modifiers of the toolkit's.
    EXPECT_EQ(modifierFlagsFromState(Mod2Mask | Button3Mask), 0u);
}

TEST(KeyMapping, CharacterStateDropsTheCommandKeysButKeepsShift) {
    EXPECT_EQ(characterState(ControlMask | ShiftMask, false), unsigned(ShiftMask));
    EXPECT_EQ(characterState(Mod4Mask | Mod1Mask, false), unsigned(Mod1Mask));
    EXPECT_EQ(characterState(Mod4Mask | Mod1Mask | LockMask, true), unsigned(LockMask));
}

TEST(KeyMapping, ModifierKeysNameTheirBits) {
    EXPECT_EQ(modifierMaskForKeysym(XK_Control_R), unsigned(ControlMask));
    EXPECT_EQ(modifierMaskForKeysym(XK_Super_L), unsigned(Mod4Mask));
    EXPECT_EQ(modifierMaskForKeysym(XK_Alt_L), unsigned(Mod1Mask));
    EXPECT_EQ(modifierMaskForKeysym(XK_Shift_R), unsigned(ShiftMask));
    EXPECT_EQ(modifierMaskForKeysym(XK_Caps_Lock), unsigned(LockMask));
    EXPECT_EQ(modifierMaskForKeysym(XK_a), 0u);
    EXPECT_EQ(modifierMaskForKeysym(XK_Escape), 0u);
}

TEST(KeyMapping, KeysymsGiveTheToolkitsKeyCodes) {
    EXPECT_EQ(keyCodeForKeysym(XK_Escape), 53);
    EXPECT_EQ(keyCodeForKeysym(XK_q), 12);
    EXPECT_EQ(keyCodeForKeysym(XK_Q), 12);
    EXPECT_EQ(keyCodeForKeysym(XK_a), 0);
    EXPECT_EQ(keyCodeForKeysym(XK_Return), 36);
    EXPECT_EQ(keyCodeForKeysym(XK_Tab), 48);
    EXPECT_EQ(keyCodeForKeysym(XK_space), 49);
    EXPECT_EQ(keyCodeForKeysym(XK_Left), 123);
    EXPECT_EQ(keyCodeForKeysym(XK_Up), 126);
    EXPECT_EQ(keyCodeForKeysym(XK_Down), 125);
    EXPECT_EQ(keyCodeForKeysym(XK_Right), 124);
    EXPECT_EQ(keyCodeForKeysym(XK_Multi_key), std::nullopt);
    EXPECT_EQ(keyCodeForKeysym(NoSymbol), std::nullopt);
}

TEST(KeyMapping, KeysymsTypeTheirCharacters) {
    EXPECT_EQ(charactersForKeysym(XK_q), "q");
    EXPECT_EQ(charactersForKeysym(XK_Q), "Q");
    EXPECT_EQ(charactersForKeysym(XK_eacute), "\xc3\xa9");
    // A Unicode keysym: U+20AC, the euro sign.
    EXPECT_EQ(charactersForKeysym(0x010020ac), "\xe2\x82\xac");
    EXPECT_EQ(charactersForKeysym(XK_Escape), "\x1b");
    EXPECT_EQ(charactersForKeysym(XK_Return), "\r");
    EXPECT_EQ(charactersForKeysym(XK_Up), "\xef\x9c\x80");
    EXPECT_EQ(charactersForKeysym(XK_Shift_L), "");
    // Surrogates are no characters; nothing beyond the last code point either.
    EXPECT_EQ(charactersForKeysym(0x0100d800), "");
    EXPECT_EQ(charactersForKeysym(0x01110000), "");
}

} // namespace
