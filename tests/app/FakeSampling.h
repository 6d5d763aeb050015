#pragma once

#include "app/SampleSources.h"
#include "app/SamplingResources.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace pulsedeck::fakes {

// The reader calls of a run, in order ("memory", "network:1", "devices@1003", ...); the fakes
// may run on the sampling worker.
class CallLog {
public:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(calls_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Fakes whose every snapshot carries its sample's serial number, so tests can tell which
// sample an entry came from.
struct FakeReaders {
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    std::shared_ptr<std::optional<int>> fanCount = std::make_shared<std::optional<int>>(2);
    std::shared_ptr<std::function<void()>> devicesChanged =
        std::make_shared<std::function<void()>>();
    // Read by every memory sample before it answers (one byte; logged "memory answered" once
    // read): the read end of an empty pipe makes a memory reader that never answers. -1: it
    // answers at once.
    std::shared_ptr<std::atomic<int>> memoryHeldBy = std::make_shared<std::atomic<int>>(-1);

    std::shared_ptr<SamplingResources> make() const;
};

class FakeMemory final : public MemorySource {
public:
    FakeMemory(std::shared_ptr<CallLog> log, std::shared_ptr<std::atomic<int>> heldBy)
        : log_(std::move(log)), heldBy_(std::move(heldBy)) {}
    MemorySnapshot sample() override {
        log_->add("memory");
        if (const int fd = *heldBy_; fd >= 0) {
            char byte = 0;
            [[maybe_unused]] auto got = ::read(fd, &byte, 1);
            log_->add("memory answered");
        }
        MemorySnapshot snapshot;
        snapshot.used = std::to_string(++serial_);
        snapshot.height = serial_ / 1000.0;
        snapshot.usedFraction = 0.5;
        snapshot.pressure = 1;
        return snapshot;
    }

private:
    std::shared_ptr<CallLog> log_;
    std::shared_ptr<std::atomic<int>> heldBy_;
    int serial_ = 0;
};

class FakeFan final : public FanSource {
public:
    FakeFan(std::shared_ptr<CallLog> log, std::shared_ptr<std::optional<int>> count)
        : log_(std::move(log)), count_(std::move(count)) {}
    FanSnapshot sample() override {
        log_->add("fan");
        ++serial_;
        FanSnapshot snapshot{.model = "Fake", .fans = {}, .detectedCount = *count_};
        if (count_->value_or(0) > 0)
            snapshot.fans.push_back(FanReading{.id = 0, .rpm = serial_ * 10.0, .maximum = 6000});
        return snapshot;
    }

private:
    std::shared_ptr<CallLog> log_;
    std::shared_ptr<std::optional<int>> count_;
    int serial_ = 0;
};

class FakeNetwork final : public NetworkSource {
public:
    explicit FakeNetwork(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    NetworkSnapshot sample(bool enabled) override {
        log_->add(enabled ? "network:1" : "network:0");
        ++serial_;
        if (!enabled)
            return {};
        return NetworkSnapshot{.download = serial_ * 1.0, .upload = 0.0, .interfaces = {"eth0"}};
    }

private:
    std::shared_ptr<CallLog> log_;
    int serial_ = 0;
};

class FakeTemperature final : public TemperatureSource {
public:
    explicit FakeTemperature(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    TemperatureSnapshot sample() override {
        log_->add("temperature");
        return TemperatureSnapshot{.celsius = 40.0 + ++serial_, .sensorCount = 1, .sensor = "Tp01"};
    }

private:
    std::shared_ptr<CallLog> log_;
    int serial_ = 0;
};

class FakeCompute final : public ComputeSource {
public:
    explicit FakeCompute(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    ComputeSnapshot sample(bool enabled) override {
        log_->add(enabled ? "compute:1" : "compute:0");
        ++serial_;
        ComputeSnapshot snapshot;
        snapshot.cpuCores = 8;
        if (enabled)
            snapshot.cpu = serial_ * 1.0;
        return snapshot;
    }

private:
    std::shared_ptr<CallLog> log_;
    int serial_ = 0;
};

class FakeDevices final : public DevicesSource {
public:
    FakeDevices(std::shared_ptr<CallLog> log, std::shared_ptr<std::function<void()>> changed)
        : log_(std::move(log)), changed_(std::move(changed)) {}
    ExternalDevicesSnapshot sample(double now) override {
        log_->add("devices@" + std::to_string(static_cast<long long>(now)));
        ExternalDevice device;
        device.id = "usb:" + std::to_string(++serial_);
        device.name = "Stick";
        return ExternalDevicesSnapshot{{device}};
    }
    void setChangedAction(std::function<void()> action) override { *changed_ = std::move(action); }

private:
    std::shared_ptr<CallLog> log_;
    std::shared_ptr<std::function<void()>> changed_;
    int serial_ = 0;
};

inline std::shared_ptr<SamplingResources> FakeReaders::make() const {
    return std::make_shared<SamplingResources>(
        std::make_unique<FakeMemory>(log, memoryHeldBy), std::make_unique<FakeFan>(log, fanCount),
        std::make_unique<FakeNetwork>(log), std::make_unique<FakeTemperature>(log),
        std::make_unique<FakeCompute>(log), std::make_unique<FakeDevices>(log, devicesChanged));
}

} // namespace pulsedeck::fakes
