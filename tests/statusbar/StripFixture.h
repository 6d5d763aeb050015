#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/MenuBarContentView.h"

#include <cairo.h>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <utility>
#include <vector>

namespace striptest {

// Marks a pixel of a window's backing behind the toolkit's back: it stays only where the window
// is not drawn again.
inline void poison(const ui::Window& window, gfx::Point point) {
    cairo_surface_t* surface = window.backing()->surface();
    cairo_surface_flush(surface);
    const int row = int(window.frame().height() - point.y);
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                    row * cairo_image_surface_get_stride(surface));
    pixels[int(point.x)] = 0xffff00ffu;
    cairo_surface_mark_dirty(surface);
}

// What a strip asks of the surfaces that draw it: whole redraws, and the rects of partial ones.
using Marks = std::pair<int, std::vector<gfx::Rect>>;

class MarkRecorder {
public:
    explicit MarkRecorder(pulsedeck::MenuBarContentView& strip) : strip_(strip) {
        strip.editingDisplayAction = [this] { ++marks_.first; };
        strip.editingRectAction = [this](const gfx::Rect& rect) { marks_.second.push_back(rect); };
    }
    MarkRecorder(const MarkRecorder&) = delete;
    MarkRecorder& operator=(const MarkRecorder&) = delete;
    // What one change asks for, the strip unmarked before it.
    Marks operator()(const std::function<void()>& change) {
        marks_ = {};
        strip_.setNeedsDisplay(false);
        change();
        return marks_;
    }
    const Marks& marks() const { return marks_; }

private:
    pulsedeck::MenuBarContentView& strip_;
    Marks marks_;
};

// A headless application on a virtual clock with one 1440 × 900 screen, and a strip view.
class StripFixture : public ::testing::Test {
public:
    // A blank module image of a width, 24 pt high.
    static gfx::Image blankImage(double width) {
        return gfx::Image::withBitmap(gfx::Bitmap::forPointSize({width, 24}, 2));
    }

protected:
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};

    std::shared_ptr<pulsedeck::MenuBarContentView> makeStrip(double height = 24) {
        return std::make_shared<pulsedeck::MenuBarContentView>(gfx::Rect{0, 0, 300, height});
    }

    // No timer or frame clock left that would wake the loop.
    bool loopIsIdle() const {
        return loop.nextWakeTime(dispatch::RunLoopMode::defaultMode) ==
               std::numeric_limits<double>::infinity();
    }
};

} // namespace striptest
