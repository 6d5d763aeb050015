#include "app/SourceCalls.h"

namespace pulsedeck {

std::uint64_t SourceCalls::beginJob() {
    std::lock_guard lock(mutex_);
    return ++currentJob_;
}

void SourceCalls::endJobs() {
    std::lock_guard lock(mutex_);
    ended_ = true;
}

SourceCalls::Entry SourceCalls::enter(ModuleKind reader, std::uint64_t job) {
    std::lock_guard lock(mutex_);
    if (ended_ || job != currentJob_)
        return Entry::jobLeftBehind;
    bool& busy = inCall_[static_cast<std::size_t>(reader)];
    if (busy)
        return Entry::readerBusy;
    busy = true;
    return Entry::entered;
}

void SourceCalls::leave(ModuleKind reader) {
    std::lock_guard lock(mutex_);
    inCall_[static_cast<std::size_t>(reader)] = false;
}

void SourceCalls::handBack(std::uint64_t job, const std::function<void()>& handBack) {
    std::lock_guard lock(mutex_);
    if (!ended_ && job == currentJob_)
        handBack();
}

} // namespace pulsedeck
