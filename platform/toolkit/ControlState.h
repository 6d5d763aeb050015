#pragma once

namespace ui {

// A check state as fixed numbers: a menu item's mark, a button's state.
enum class ControlState { mixed = -1, off = 0, on = 1 };

} // namespace ui
