#include "platform/system/NvidiaManagement.h"

#include <algorithm>
#include <array>
#include <dlfcn.h>

namespace sys {

namespace {

// The few entry points used, as the library's C interface has them: a status of 0 is success,
// a device is an opaque handle, utilization is two unsigned percentages (GPU, memory).
using Status = int;
using Device = void*;
struct Utilization {
    unsigned int gpu;
    unsigned int memory;
};
using InitFunction = Status (*)();
using ShutdownFunction = Status (*)();
using HandleByBusFunction = Status (*)(const char*, Device*);
using UtilizationFunction = Status (*)(Device, Utilization*);
using NameFunction = Status (*)(Device, char*, unsigned int);

constexpr Status success = 0;
constexpr unsigned int nameLength = 96;

} // namespace

struct NvidiaManagementLibrary::Loaded {
    void* handle = nullptr;
    ShutdownFunction shutdown = nullptr;
    HandleByBusFunction handleByBus = nullptr;
    UtilizationFunction utilization = nullptr;
    NameFunction name = nullptr;

    ~Loaded() {
        if (shutdown)
            shutdown();
        if (handle)
            ::dlclose(handle);
    }
};

NvidiaManagementLibrary::NvidiaManagementLibrary(std::string library)
    : library_(std::move(library)) {}

NvidiaManagementLibrary::~NvidiaManagementLibrary() = default;

bool NvidiaManagementLibrary::load() {
    tried_ = true;
    auto loaded = std::make_unique<Loaded>();
    loaded->handle = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!loaded->handle)
        return false;
    auto symbol = [&](const char* name) { return ::dlsym(loaded->handle, name); };
    auto init = reinterpret_cast<InitFunction>(symbol("nvmlInit_v2"));
    auto shutdown = reinterpret_cast<ShutdownFunction>(symbol("nvmlShutdown"));
    loaded->handleByBus =
        reinterpret_cast<HandleByBusFunction>(symbol("nvmlDeviceGetHandleByPciBusId_v2"));
    loaded->utilization =
        reinterpret_cast<UtilizationFunction>(symbol("nvmlDeviceGetUtilizationRates"));
    loaded->name = reinterpret_cast<NameFunction>(symbol("nvmlDeviceGetName"));
    if (!init || !shutdown || !loaded->handleByBus || !loaded->utilization || init() != success)
        return false;
    loaded->shutdown = shutdown;
    loaded_ = std::move(loaded);
    return true;
}

std::optional<NvidiaReading> NvidiaManagementLibrary::read(const std::string& pciAddress) {
    if (!loaded_ && (tried_ || !load()))
        return std::nullopt;
    Device device = nullptr;
    Utilization utilization{};
    if (loaded_->handleByBus(pciAddress.c_str(), &device) != success ||
        loaded_->utilization(device, &utilization) != success || utilization.gpu > 100) {
        return std::nullopt;
    }
    NvidiaReading reading;
    reading.utilization = static_cast<double>(utilization.gpu);
    std::array<char, nameLength> name{};
    if (loaded_->name && loaded_->name(device, name.data(), nameLength) == success) {
        std::string text(name.data(), std::find(name.begin(), name.end(), '\0'));
        if (!text.empty())
            reading.name = std::move(text);
    }
    return reading;
}

} // namespace sys
