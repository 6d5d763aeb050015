// A stand-in for NVIDIA's management library with the few entry points Pulsedeck opens: one GPU
// at PCI address 0000:01:00.0, busy 63 % of the time. Built as a loadable module so the tests
// open it exactly as the program opens the real one.
#include <cstring>

namespace {

int fakeDevice = 0;
constexpr int success = 0;
constexpr int notFound = 6;

} // namespace

extern "C" {

struct FakeUtilization {
    unsigned int gpu;
    unsigned int memory;
};

__attribute__((visibility("default"))) int nvmlInit_v2() {
    return success;
}

__attribute__((visibility("default"))) int nvmlShutdown() {
    return success;
}

__attribute__((visibility("default"))) int nvmlDeviceGetHandleByPciBusId_v2(const char* busID,
                                                                            void** device) {
    if (std::strcmp(busID, "0000:01:00.0") != 0)
        return notFound;
    *device = &fakeDevice;
    return success;
}

__attribute__((visibility("default"))) int nvmlDeviceGetUtilizationRates(void* device,
                                                                         FakeUtilization* rates) {
    if (device != &fakeDevice)
        return notFound;
    rates->gpu = 63;
    rates->memory = 20;
    return success;
}

__attribute__((visibility("default"))) int nvmlDeviceGetName(void* device, char* name,
                                                             unsigned int length) {
    if (device != &fakeDevice || length < 16)
        return notFound;
    std::strncpy(name, "GeForce Test 16", length);
    return success;
}
}
