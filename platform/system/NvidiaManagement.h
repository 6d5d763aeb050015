#pragma once

#include <memory>
#include <optional>
#include <string>

namespace sys {

// One NVIDIA GPU's figures from the driver's management library.
struct NvidiaReading {
    // Percent of the last sample period in which a kernel ran on the GPU, 0…100.
    double utilization = 0;
    std::optional<std::string> name;
};

// Where the graphics registry asks NVIDIA GPUs; tests substitute their own.
class NvidiaManagementSource {
public:
    virtual ~NvidiaManagementSource() = default;
    // The GPU at the PCI address ("0000:01:00.0"); empty when it cannot be asked. Every call
    // talks to the driver, which may wake a suspended GPU: callers ask only awake ones.
    virtual std::optional<NvidiaReading> read(const std::string& pciAddress) = 0;
};

// NVIDIA's management library (libnvidia-ml.so.1, installed with the proprietary driver),
// loaded at run time on first use and only then: the program never links against it, and
// machines without it simply have no NVIDIA figures. A library that cannot be loaded or
// started is not tried again. One thread at a time.
class NvidiaManagementLibrary final : public NvidiaManagementSource {
public:
    static constexpr const char* defaultLibrary = "libnvidia-ml.so.1";

    explicit NvidiaManagementLibrary(std::string library = defaultLibrary);
    ~NvidiaManagementLibrary() override;
    NvidiaManagementLibrary(const NvidiaManagementLibrary&) = delete;
    NvidiaManagementLibrary& operator=(const NvidiaManagementLibrary&) = delete;

    std::optional<NvidiaReading> read(const std::string& pciAddress) override;

private:
    struct Loaded;
    bool load();

    std::string library_;
    bool tried_ = false;
    std::unique_ptr<Loaded> loaded_;
};

} // namespace sys
