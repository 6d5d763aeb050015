#include "platform/dispatch/TimedWork.h"

#include <algorithm>
#include <limits>

namespace dispatch::detail {

void TimedWorkList::add(std::shared_ptr<TimedWork> entry) {
    entry->order = nextOrder_++;
    entries_.push_back(std::move(entry));
}

double TimedWorkList::wakeTime(RunLoopMode mode) {
    std::erase_if(entries_, [](const auto& entry) { return entry->cancelled.load(); });
    double wake = std::numeric_limits<double>::infinity();
    for (const auto& entry : entries_) {
        if (entry->modes.contains(mode)) {
            wake = std::min(wake, entry->latest());
        }
    }
    return wake;
}

std::vector<std::shared_ptr<TimedWork>> TimedWorkList::takeDue(double now, RunLoopMode mode) {
    std::vector<std::shared_ptr<TimedWork>> due;
    bool anyToTake = std::any_of(entries_.begin(), entries_.end(), [&](const auto& entry) {
        return entry->cancelled.load() || (entry->deadline <= now && entry->modes.contains(mode));
    });
    if (!anyToTake) {
        return due;
    }
    std::vector<std::shared_ptr<TimedWork>> kept;
    kept.reserve(entries_.size());
    for (auto& entry : entries_) {
        if (entry->cancelled.load()) {
            continue;
        }
        if (entry->deadline <= now && entry->modes.contains(mode)) {
            due.push_back(std::move(entry));
        } else {
            kept.push_back(std::move(entry));
        }
    }
    entries_ = std::move(kept);
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a->deadline != b->deadline ? a->deadline < b->deadline : a->order < b->order;
    });
    return due;
}

std::shared_ptr<TimedWork> TimedWorkList::takeFirstDue(double now, RunLoopMode mode) {
    std::erase_if(entries_, [](const auto& entry) { return entry->cancelled.load(); });
    auto first = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        const auto& entry = **it;
        if (entry.deadline <= now && entry.modes.contains(mode) &&
            (first == entries_.end() || entry.deadline < (*first)->deadline ||
             (entry.deadline == (*first)->deadline && entry.order < (*first)->order))) {
            first = it;
        }
    }
    if (first == entries_.end()) {
        return nullptr;
    }
    auto taken = std::move(*first);
    entries_.erase(first);
    return taken;
}

} // namespace dispatch::detail
