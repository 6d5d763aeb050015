#pragma once

#include "platform/dispatch/Queue.h"
#include "platform/system/DeviceRegistry.h"
#include "platform/system/DiskDescription.h"
#include "platform/system/MountedVolumes.h"
#include "platform/system/SystemRoots.h"
#include "platform/system/UeventMonitor.h"
#include "sources/ExternalDevice.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pulsedeck {

// Free bytes of one mounted volume, with the device it belongs to and the storage pool it draws
// its free space from.
struct ExternalVolumeSpace {
    std::string deviceID;
    std::uint64_t poolID = 0;
    std::uint64_t available = 0;

    bool operator==(const ExternalVolumeSpace&) const = default;
};

// One ancestor of a registry entry: its id and properties.
using RegistryAncestor = std::pair<std::uint64_t, sys::DeviceProperties>;

// Makes the hot-plug monitor that calls the handler on the main run loop; may give nothing.
using ExternalDevicesHotPlugSource =
    std::function<std::unique_ptr<sys::UeventMonitor>(sys::UeventMonitor::Handler)>;

// What the devices reader reads and where its background work runs.
struct ExternalDevicesEnvironment {
    sys::SystemRoots roots = sys::SystemRoots::live();
    sys::VolumeSpaceProbe freeSpace = sys::availableBytes;
    // Where the volume-space and Thunderbolt reads run; the global queue when unset.
    dispatch::Queue* workQueue = nullptr;
    // Hot-plug events; the kernel's uevents on the main run loop when unset.
    ExternalDevicesHotPlugSource hotPlug;
};

// The source of the devices module: USB devices, external and removable disks, card readers,
// audio devices and Thunderbolt / USB4 devices.
//
// sample() runs on the sampling queue and scans at most once per 5 s unless a hot-plug event or a
// finished background read asks for a scan. Volume free space and the Thunderbolt inventory are
// read on the global queue and merged into later scans; hot-plug events arrive on the main run
// loop. While the kernel's device events reach the reader, a scan walks the device folders only
// after one arrived (any event, then again one window later, when the kernel has surely finished
// with the folders); other scans reuse what the last walk found and read again only what changes
// without an event (a listed disk's size). Without them every scan walks. Owned through a
// shared_ptr: the background reads and the hot-plug handler hold it weakly and do nothing once it
// has gone.
class ExternalDevicesReader : public std::enable_shared_from_this<ExternalDevicesReader> {
public:
    using ScanOverride = std::function<ExternalDevicesSnapshot()>;
    using Environment = ExternalDevicesEnvironment;

    // With an override every sample returns its result and nothing else is ever read; without
    // one the reader listens for hot-plug events from the start, on the main run loop unless the
    // environment says otherwise: create it on the main thread.
    static std::shared_ptr<ExternalDevicesReader> create(ScanOverride scanOverride = {},
                                                         Environment environment = Environment());
    ~ExternalDevicesReader();
    ExternalDevicesReader(const ExternalDevicesReader&) = delete;
    ExternalDevicesReader& operator=(const ExternalDevicesReader&) = delete;

    // `now` is the system uptime in seconds. Sampling queue only.
    ExternalDevicesSnapshot sample(double now);

    // Called on the main queue when the device set may have changed. Set on the main thread.
    std::function<void()> changedAction;

    // A hot-plug event: the next sample scans; with resetThunderbolt the Thunderbolt inventory
    // is due again at once. Main thread.
    void noteChange(bool resetThunderbolt);

    // --- Pure steps of the scan, exposed for the tests and the benchmark ---

    // Whether a whole disk is listed, and if not, why.
    enum class DiskVerdict { listed, internal, diskImage, virtualInterface };
    static DiskVerdict storageVerdict(const sys::DiskDescription& description);

    static bool isExternalUSBDevice(const sys::DeviceProperties& properties);
    static std::optional<double> usbLinkRate(const sys::DeviceProperties& properties);
    // The upstream switch id from the first ancestor with an 8-byte tunnel endpoint GUID.
    static std::optional<std::string> upstreamID(const std::vector<RegistryAncestor>& ancestors);
    static std::string normalizedSwitchID(std::string_view identifier);
    static void mergeThunderbolt(const std::vector<ExternalDevice>& thunderbolt,
                                 std::vector<ExternalDevice>& devices);
    // Devices sharing an id merged into one, then sorted by name (natural order), then by the
    // names' bytes, then by id.
    static std::vector<ExternalDevice> deduplicated(const std::vector<ExternalDevice>& devices);
    static bool deviceOrder(const ExternalDevice& a, const ExternalDevice& b);

    // Keeps the smallest free space per device and pool, and sums the pools of each device; a
    // device whose sum overflows gets no entry.
    static std::map<std::string, std::uint64_t>
    availableSpaceByDevice(const std::vector<ExternalVolumeSpace>& spaces);
    // The pool of a volume from its chain (the media object first, then its ancestors).
    static std::uint64_t poolID(const std::vector<RegistryAncestor>& chain);

    // Free space per listed device from the mounted volumes (global queue: statvfs may block).
    static std::map<std::string, std::uint64_t>
    volumeSpaces(const sys::DeviceRegistry& registry, const sys::VolumeSpaceProbe& freeSpace,
                 const std::map<std::uint64_t, std::string>& mediaToDevice);
    // Runs the system profiler (at most 5 s) and reads its report (global queue).
    static std::vector<ExternalDevice> readThunderboltInventory(const sys::SystemRoots& roots);

    // The devices in one system-profiler report; empty when it does not parse or has another
    // shape.
    static std::vector<ExternalDevice> parseThunderboltReport(std::string_view json);
    static void collectThunderbolt(const nlohmann::json& object, std::vector<ExternalDevice>& list);

private:
    ExternalDevicesReader(ScanOverride scanOverride, Environment environment);
    void registerNotifications();

    std::vector<AudioEndpoint> audioEndpoints() const;
    std::set<int> usbClasses(const sys::RegistryEntry& device) const;
    static std::vector<RegistryAncestor> registryAncestors(const sys::DeviceRegistry& registry,
                                                           const sys::RegistryEntry& entry);
    void scanUSB(std::vector<ExternalDevice>& list,
                 std::map<std::uint64_t, ExternalDevice>& usbByRegistryID) const;
    // Whether this scan walks the device folders; takes one pending walk.
    bool takeWalk();
    // What a scan keeps of one block device folder for the next: facts that hold while the
    // device exists. Without an entry the folder is never listed (no device, not a block device,
    // a partition or a disk without hardware behind it).
    struct KnownMedia {
        std::optional<sys::RegistryEntry> entry;
        sys::DiskPlacement placement;
        // The disk's and its ports' flags: the kernel sets them when it adds the devices, so
        // they are read again only at each walk.
        sys::DiskDescription description;
    };
    KnownMedia learnMedia(const std::filesystem::path& folder) const;
    // Learns the block device folders anew (what it knew of a folder still there is kept).
    void walkMedia();
    void scanStorage(const std::map<std::uint64_t, ExternalDevice>& usbByRegistryID,
                     std::vector<ExternalDevice>& list,
                     std::map<std::uint64_t, std::string>& mediaToDevice) const;

    // Background reads (global queue) and their hand-back (main queue).
    void startVolumeSpaceRead(std::map<std::uint64_t, std::string> mediaToDevice);
    void startThunderboltRead();
    void workerFinished();

    const ScanOverride scanOverride_;
    const Environment environment_;
    const sys::DeviceRegistry registry_;

    ExternalDevicesSnapshot cached_;
    double nextRead_ = 0;
    // What the last walk found; sampling queue only. Media by resolved folder, with the folders
    // in the order the walk met them; folders gone at a walk are forgotten.
    std::vector<ExternalDevice> walkedUSB_;
    std::map<std::uint64_t, ExternalDevice> walkedUSBByRegistryID_;
    std::map<std::filesystem::path, KnownMedia> knownMedia_;
    std::vector<std::filesystem::path> mediaOrder_;

    std::mutex spaceLock_;
    std::map<std::string, std::uint64_t> availableSpace_;
    double nextSpaceRead_ = 0;
    bool spaceInFlight_ = false;

    std::mutex thunderboltLock_;
    std::vector<ExternalDevice> thunderbolt_;
    double nextThunderboltRead_ = 0;
    bool thunderboltInFlight_ = false;

    std::mutex eventLock_;
    bool needsScan_ = false;
    // A hot-plug event may have put another device where a known one was.
    bool forgetMedia_ = false;
    // Set once the kernel's device events are heard; until then every scan walks.
    bool hearsDeviceEvents_ = false;
    // Scans still to walk the device folders since the last event.
    int pendingWalks_ = 1;

    std::unique_ptr<sys::UeventMonitor> hotPlug_;
};

} // namespace pulsedeck
