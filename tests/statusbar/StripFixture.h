#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "statusbar/MenuBarContentView.h"

#include <gtest/gtest.h>
#include <memory>

// fontconfig keeps the configuration pango loads for the life of the process; not our leak.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace striptest {

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
