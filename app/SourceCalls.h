#pragma once

#include "model/Modules.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

namespace pulsedeck {

// What the sample jobs of one sampler share across threads: which readers are in a call that has
// not returned, and which job the sampler waits for. A reader that does not answer holds the
// thread of the job that called it; the sampler goes on with later jobs on another thread, which
// must not call that reader until it has answered, and the job left behind must call no other
// reader once it has, and hand nothing back. Any thread.
class SourceCalls {
public:
    enum class Entry { entered, readerBusy, jobLeftBehind };

    // The job that runs next; every earlier one is left behind. Main thread.
    std::uint64_t beginJob();
    // Leaves every job behind, for good. Main thread.
    void endJobs();

    // Marks `reader` as in a call for `job`, unless it is still in one for an earlier job or
    // `job` has been left behind.
    Entry enter(ModuleKind reader, std::uint64_t job);
    void leave(ModuleKind reader);
    // Runs `handBack` unless `job` has been left behind; under the lock, so nothing is handed
    // back once the sampler has moved on or stopped.
    void handBack(std::uint64_t job, const std::function<void()>& handBack);

private:
    std::mutex mutex_;
    std::uint64_t currentJob_ = 0;
    bool ended_ = false;
    std::array<bool, allModuleKinds.size()> inCall_{};
};

} // namespace pulsedeck
