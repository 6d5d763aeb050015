#pragma once

#include "platform/foundation/TextFile.h"
#include "platform/system/DrmFdinfo.h"
#include "platform/system/SystemRoots.h"

#include <memory>
#include <vector>

namespace sys {

// The DRM clients that this user's processes hold open, read from /proc/<pid>/fdinfo. Finding
// them walks every readable process's open files, so that walk runs only every few seconds (a
// program that starts using the GPU is seen within that time); between walks only the known
// clients' fdinfo files are read again, through kept descriptors. Other users' processes cannot
// be read and are not counted. Reading fdinfo asks the kernel's bookkeeping, never the device,
// so it cannot wake a sleeping GPU. One thread at a time.
class DrmClients {
public:
    static constexpr double rescanInterval = 10.0;

    explicit DrmClients(SystemRoots roots);

    // Every client now open, each once (a client shared by several descriptors or processes is
    // one), for the devices named by their PCI address or driver. `now` is the uptime in seconds.
    std::vector<DrmClientUsage> read(double now);

private:
    void rescan();

    SystemRoots roots_;
    std::vector<std::unique_ptr<foundation::KeptFile>> files_;
    double nextScan_ = 0;
};

} // namespace sys
