#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "sources/ExternalDevicesReader.h"

namespace pulsedeck {

namespace {

constexpr std::string_view deviceNodePrefix = "/dev/";
// The kernel tells of a removal before the device's folders go: the scan at once may still see
// them, the one a window later does not.
constexpr int walksAfterEvent = 2;

dispatch::Queue& workQueueOf(dispatch::Queue* configured) {
    return configured ? *configured : dispatch::globalQueue();
}

} // namespace

ExternalDevicesReader::~ExternalDevicesReader() {
    // The last owner may be a background read finishing on a worker thread; the hot-plug
    // monitor belongs to the main run loop and must end there.
    if (hotPlug_ && !dispatch::isMainThread()) {
        dispatch::mainQueue().async(
            [monitor = std::shared_ptr<sys::UeventMonitor>(std::move(hotPlug_))] {});
    }
}

void ExternalDevicesReader::registerNotifications() {
    auto handler = [weak = weak_from_this()](const sys::Uevent& event) {
        auto reader = weak.lock();
        if (!reader) {
            return;
        }
        if (event.isDeviceArrivalOrRemoval() || event.eventsLost) {
            reader->noteChange(true);
            return;
        }
        // A sound card, a USB interface or a disk's new size: nothing to show at once, but the
        // next scans walk the folders again.
        std::lock_guard lock(reader->eventLock_);
        reader->pendingWalks_ = walksAfterEvent;
    };
    hotPlug_ = environment_.hotPlug
                   ? environment_.hotPlug(std::move(handler))
                   : sys::UeventMonitor::openKernel(dispatch::RunLoop::main(), std::move(handler));
    if (!hotPlug_) {
        return;
    }
    // The devices present now raise no event: the first sample lists them, and the Thunderbolt
    // inventory is read with it.
    {
        std::lock_guard lock(eventLock_);
        needsScan_ = true;
        hearsDeviceEvents_ = true;
    }
    {
        std::lock_guard lock(thunderboltLock_);
        nextThunderboltRead_ = 0;
    }
    if (changedAction) {
        changedAction();
    }
}

void ExternalDevicesReader::noteChange(bool resetThunderbolt) {
    {
        std::lock_guard lock(eventLock_);
        needsScan_ = true;
        forgetMedia_ = true;
        pendingWalks_ = walksAfterEvent;
    }
    if (resetThunderbolt) {
        std::lock_guard lock(thunderboltLock_);
        nextThunderboltRead_ = 0;
    }
    if (changedAction) {
        changedAction();
    }
}

void ExternalDevicesReader::workerFinished() {
    {
        std::lock_guard lock(eventLock_);
        needsScan_ = true;
    }
    if (changedAction) {
        changedAction();
    }
}

void ExternalDevicesReader::startVolumeSpaceRead(
    std::map<std::uint64_t, std::string> mediaToDevice) {
    // The read works on copies and holds the reader weakly: a reader that goes away meanwhile
    // is not kept alive by it and receives nothing.
    workQueueOf(environment_.workQueue)
        .async([weak = weak_from_this(), registry = registry_, freeSpace = environment_.freeSpace,
                mediaToDevice = std::move(mediaToDevice)] {
            std::map<std::string, std::uint64_t> spaces =
                volumeSpaces(registry, freeSpace, mediaToDevice);
            auto reader = weak.lock();
            if (!reader) {
                return;
            }
            bool changed = false;
            {
                std::lock_guard lock(reader->spaceLock_);
                changed = reader->availableSpace_ != spaces;
                reader->availableSpace_ = std::move(spaces);
                reader->spaceInFlight_ = false;
            }
            // Unchanged figures would merge into the very list already shown: asking for a scan
            // and a new sample then would redo every module's work for nothing.
            if (!changed) {
                return;
            }
            dispatch::mainQueue().async([weak] {
                if (auto reader = weak.lock()) {
                    reader->workerFinished();
                }
            });
        });
}

void ExternalDevicesReader::startThunderboltRead() {
    workQueueOf(environment_.workQueue)
        .async([weak = weak_from_this(), roots = environment_.roots] {
            std::vector<ExternalDevice> inventory = readThunderboltInventory(roots);
            auto reader = weak.lock();
            if (!reader) {
                return;
            }
            bool changed = false;
            {
                std::lock_guard lock(reader->thunderboltLock_);
                changed = reader->thunderbolt_ != inventory;
                reader->thunderbolt_ = std::move(inventory);
                reader->thunderboltInFlight_ = false;
            }
            if (!changed) {
                return;
            }
            dispatch::mainQueue().async([weak] {
                if (auto reader = weak.lock()) {
                    reader->workerFinished();
                }
            });
        });
}

std::map<std::string, std::uint64_t>
ExternalDevicesReader::volumeSpaces(const sys::DeviceRegistry& registry,
                                    const sys::VolumeSpaceProbe& freeSpace,
                                    const std::map<std::uint64_t, std::string>& mediaToDevice) {
    if (mediaToDevice.empty() || !freeSpace) {
        return {};
    }
    std::vector<ExternalVolumeSpace> spaces;
    for (const sys::MountedVolume& volume : sys::mountedVolumes(registry.roots())) {
        if (!volume.source.starts_with(deviceNodePrefix)) {
            continue;
        }
        const auto media =
            registry.mediaNamed(std::string_view(volume.source).substr(deviceNodePrefix.size()));
        if (!media) {
            continue;
        }
        auto chainOf = [&registry](const sys::RegistryEntry& entry) {
            std::vector<RegistryAncestor> chain;
            chain.emplace_back(entry.id, registry.properties(entry));
            for (RegistryAncestor& ancestor : registryAncestors(registry, entry)) {
                chain.push_back(std::move(ancestor));
            }
            return chain;
        };
        auto ownerOf = [&mediaToDevice](const std::vector<RegistryAncestor>& chain) {
            const auto owner =
                std::find_if(chain.begin(), chain.end(), [&](const RegistryAncestor& link) {
                    return mediaToDevice.contains(link.first);
                });
            return owner == chain.end() ? std::optional<std::string>()
                                        : std::optional(mediaToDevice.at(owner->first));
        };
        const std::vector<RegistryAncestor> chain = chainOf(*media);
        std::optional<std::string> device = ownerOf(chain);
        // An encrypted or logical volume hangs from no hardware; the disk is beneath it.
        for (const sys::RegistryEntry& lower :
             device ? std::vector<sys::RegistryEntry>() : registry.underlyingMedia(*media)) {
            if ((device = ownerOf(chainOf(lower)))) {
                break;
            }
        }
        if (!device) {
            continue;
        }
        const auto available = freeSpace(volume.mountPoint);
        if (!available) {
            continue;
        }
        spaces.push_back({*device, poolID(chain), *available});
    }
    return availableSpaceByDevice(spaces);
}

} // namespace pulsedeck
