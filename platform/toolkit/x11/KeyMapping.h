#pragma once

#include "platform/toolkit/Event.h"

#include <optional>
#include <string>

namespace ui::x11 {

// X's modifier state bits as the toolkit's modifier flags. X Control is the toolkit's command
// modifier (so Control-Q quits, as Linux users expect), Super is its control modifier (Super-click
// opens the context menu), Alt is option, Shift and Caps Lock are themselves.
ModifierFlags modifierFlagsFromState(unsigned state);

// The state with the bits that must not change the characters a key types taken out (Control,
// Super, and Alt too when ignoringOption).
unsigned characterState(unsigned state, bool ignoringOption);

// The X modifier bit a modifier key sets (Shift, Control, Alt and Meta, Super and Hyper, Caps
// Lock), or 0 for any other key. Pressing and releasing these report a change of flags, not a
// key.
unsigned modifierMaskForKeysym(unsigned long keysym);

// The toolkit's virtual key code for the key that types this keysym without modifiers
// (Escape is 53), or none for a key the toolkit has no code for.
std::optional<int> keyCodeForKeysym(unsigned long keysym);

// The text a keysym types, as UTF-8: printable Latin-1 and Unicode keysyms, and the control
// characters and function-key characters the toolkit reports for Return, Tab, Escape,
// Backspace and the arrows. Empty for keys that type nothing.
std::string charactersForKeysym(unsigned long keysym);

} // namespace ui::x11
