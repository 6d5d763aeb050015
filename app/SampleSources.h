#pragma once

#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <functional>

namespace pulsedeck {

// What the sampling job asks of each module's reader. The live readers sit behind these (see
// SamplingResources); tests put fakes there. Every sample() runs on the sampling queue, one at
// a time, so a source keeps its previous-sample state without a lock.

class MemorySource {
public:
    virtual ~MemorySource() = default;
    virtual MemorySnapshot sample() = 0;
};

class FanSource {
public:
    virtual ~FanSource() = default;
    virtual FanSnapshot sample() = 0;
};

// Called on every sample; a disabled call clears the counter baseline and gives no rates.
class NetworkSource {
public:
    virtual ~NetworkSource() = default;
    virtual NetworkSnapshot sample(bool enabled) = 0;
};

class TemperatureSource {
public:
    virtual ~TemperatureSource() = default;
    virtual TemperatureSnapshot sample() = 0;
};

// Called on every sample; a disabled call clears the tick baseline.
class ComputeSource {
public:
    virtual ~ComputeSource() = default;
    virtual ComputeSnapshot sample(bool enabled) = 0;
};

class DevicesSource {
public:
    virtual ~DevicesSource() = default;
    // `now` is the system uptime in seconds.
    virtual ExternalDevicesSnapshot sample(double now) = 0;
    // Called on the main queue when the device set may have changed. Set on the main thread.
    virtual void setChangedAction(std::function<void()> action) = 0;
};

} // namespace pulsedeck
