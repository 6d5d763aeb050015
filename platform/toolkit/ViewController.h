#pragma once

#include "platform/toolkit/View.h"

#include <memory>

namespace ui {

// Owns the view a popover (or another container) shows.
class ViewController {
public:
    ViewController() = default;
    explicit ViewController(std::shared_ptr<View> view) : view_(std::move(view)) {}
    virtual ~ViewController() = default;

    const std::shared_ptr<View>& view() const { return view_; }
    void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

private:
    std::shared_ptr<View> view_;
};

} // namespace ui
