#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <gtest/gtest.h>

namespace toolkittest {

// A headless application on a virtual clock: one 1440 × 900 screen unless a test sets others.
class ToolkitFixture : public ::testing::Test {
protected:
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{clock};
    ui::Application app{server, loop};
};

// A view whose y axis runs downwards, its minimum y edge at the top.
class FlippedView : public ui::View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
};

} // namespace toolkittest
