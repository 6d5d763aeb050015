#include "app/SamplingResources.h"

#include "platform/system/HwmonSmcEmulator.h"
#include "sources/ComputeReader.h"
#include "sources/ExternalDevicesReader.h"
#include "sources/FanReader.h"
#include "sources/MemoryReader.h"
#include "sources/NetworkReader.h"
#include "sources/TemperatureReader.h"

namespace pulsedeck {

namespace {

class LiveMemory final : public MemorySource {
public:
    explicit LiveMemory(const sys::SystemRoots& roots) : reader_(roots) {}
    MemorySnapshot sample() override { return reader_.sample(); }

private:
    SystemMemoryReader reader_;
};

class LiveFan final : public FanSource {
public:
    explicit LiveFan(std::shared_ptr<sys::SmcTransport> transport)
        : reader_(std::move(transport)) {}
    FanSnapshot sample() override { return reader_.sample(); }

private:
    FanReader reader_;
};

class LiveNetwork final : public NetworkSource {
public:
    explicit LiveNetwork(const sys::SystemRoots& roots) : reader_(roots) {}
    NetworkSnapshot sample(bool enabled) override { return reader_.sample(enabled); }

private:
    NetworkReader reader_;
};

class LiveTemperature final : public TemperatureSource {
public:
    explicit LiveTemperature(std::shared_ptr<sys::SmcTransport> transport)
        : reader_(std::move(transport)) {}
    TemperatureSnapshot sample() override { return reader_.sample(); }

private:
    TemperatureReader reader_;
};

class LiveCompute final : public ComputeSource {
public:
    explicit LiveCompute(const sys::SystemRoots& roots) : reader_(roots) {}
    ComputeSnapshot sample(bool enabled) override { return reader_.sample(enabled); }

private:
    ComputeReader reader_;
};

class LiveDevices final : public DevicesSource {
public:
    explicit LiveDevices(const sys::SystemRoots& roots) {
        ExternalDevicesEnvironment environment;
        environment.roots = roots;
        reader_ = ExternalDevicesReader::create({}, std::move(environment));
    }
    ExternalDevicesSnapshot sample(double now) override { return reader_->sample(now); }
    void setChangedAction(std::function<void()> action) override {
        reader_->changedAction = std::move(action);
    }

private:
    std::shared_ptr<ExternalDevicesReader> reader_;
};

} // namespace

SamplingResources::SamplingResources(std::unique_ptr<MemorySource> system,
                                     std::unique_ptr<FanSource> fanReader,
                                     std::unique_ptr<NetworkSource> networkReader,
                                     std::unique_ptr<TemperatureSource> temperatureReader,
                                     std::unique_ptr<ComputeSource> computeReader,
                                     std::unique_ptr<DevicesSource> devicesReader)
    : system(std::move(system)), fanReader(std::move(fanReader)),
      networkReader(std::move(networkReader)), temperatureReader(std::move(temperatureReader)),
      computeReader(std::move(computeReader)), devicesReader(std::move(devicesReader)) {}

std::shared_ptr<SamplingResources> SamplingResources::live(const sys::SystemRoots& roots) {
    // The fan and temperature readers each open their own connection to the one controller.
    auto controller = std::make_shared<sys::HwmonSmcEmulator>(roots);
    return std::make_shared<SamplingResources>(
        std::make_unique<LiveMemory>(roots), std::make_unique<LiveFan>(controller),
        std::make_unique<LiveNetwork>(roots), std::make_unique<LiveTemperature>(controller),
        std::make_unique<LiveCompute>(roots), std::make_unique<LiveDevices>(roots));
}

} // namespace pulsedeck
