#pragma once

#include <string>

namespace ui {

// Accessibility roles by the names assistive technology reads.
namespace AccessibilityRole {
inline constexpr const char* button = "AXButton";
inline constexpr const char* checkBox = "AXCheckBox";
inline constexpr const char* slider = "AXSlider";
inline constexpr const char* radioGroup = "AXRadioGroup";
inline constexpr const char* image = "AXImage";
inline constexpr const char* scrollArea = "AXScrollArea";
inline constexpr const char* scrollBar = "AXScrollBar";
inline constexpr const char* group = "AXGroup";
inline constexpr const char* staticText = "AXStaticText";
inline constexpr const char* menu = "AXMenu";
inline constexpr const char* menuItem = "AXMenuItem";
inline constexpr const char* popover = "AXPopover";
inline constexpr const char* window = "AXWindow";
} // namespace AccessibilityRole

// What an assistive client reads from a view.
struct AccessibilityProperties {
    bool element = false;
    std::string role;
    std::string label;
    std::string value;

    friend bool operator==(const AccessibilityProperties&,
                           const AccessibilityProperties&) = default;
};

} // namespace ui
