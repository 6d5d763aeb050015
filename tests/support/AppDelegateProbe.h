#pragma once

#include "app/AppDelegate.h"

namespace pulsedeck::testing {

// What tests may reach inside the controller beyond its interface: the readings it keeps, set
// by hand to draw a chosen state.
struct AppDelegateProbe {
    static SamplingState& sampling(AppDelegate& delegate) { return delegate.sampling_; }
};

} // namespace pulsedeck::testing
