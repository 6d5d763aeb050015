#pragma once

#include "platform/graphics/Image.h"
#include "platform/toolkit/Control.h"
#include "platform/toolkit/ControlState.h"
#include "platform/toolkit/ImageScaling.h"

#include <optional>
#include <string>

namespace ui {

// How a button behaves: momentary kinds keep no state; push-on-push-off and switch (a check box)
// step their state on every click.
enum class ButtonType { momentaryPushIn, momentaryChange, pushOnPushOff, switchButton };

enum class ImagePosition { noImage, imageOnly, imageLeft, imageRight };

// A push button, check box or image button. A click (press and release inside; a drag out and
// back in counts) steps the state of a stateful button and sends the action; so do the space key
// while the button has the keyboard focus and an assistive client's press.
//
// The standard drawing: a rounded bezel when bordered, then the image (template images tinted
// in the label colour) and the title in the label colour, at half strength while disabled.
class Button : public Control {
public:
    explicit Button(const gfx::Rect& frame = {});

    ButtonType buttonType() const { return type_; }
    void setButtonType(ButtonType type);
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::optional<gfx::Image>& image() const { return image_; }
    void setImage(std::optional<gfx::Image> image);
    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position);
    ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(ImageScaling scaling);
    bool isBordered() const { return bordered_; }
    void setBordered(bool bordered);

    ControlState state() const { return state_; }
    // Mixed becomes on unless the button allows mixed.
    virtual void setState(ControlState state);
    bool allowsMixedState() const { return allowsMixedState_; }
    void setAllowsMixedState(bool allows) { allowsMixedState_ = allows; }

    // What a click does, without the pointer: steps a stateful button's state and sends the
    // action. Does nothing while disabled.
    void performClick();

    bool accessibilityPerformPress() override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    void keyDown(const Event& event) override;

private:
    bool contains(const Event& event) const;
    void updateAccessibilityValue();

    ButtonType type_ = ButtonType::momentaryPushIn;
    std::string title_;
    std::optional<gfx::Image> image_;
    ImagePosition imagePosition_ = ImagePosition::noImage;
    ImageScaling imageScaling_ = ImageScaling::proportionallyDown;
    bool bordered_ = true;
    ControlState state_ = ControlState::off;
    bool allowsMixedState_ = false;
    bool tracking_ = false;
};

} // namespace ui
