#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <pthread.h>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace foundation {

// The threads of an HTTP client's requests, one each, named "http". A finished thread is joined
// when the next request starts; those still running when the client goes are cancelled
// (Request::cancel()) and joined, so no request outlives its client. Owner's thread only.
template <typename Request> class RequestThreads {
public:
    RequestThreads() = default;
    ~RequestThreads() {
        for (const auto& entry : entries_)
            entry->request->cancel();
        for (const auto& entry : entries_)
            if (entry->thread.joinable())
                entry->thread.join();
    }
    RequestThreads(const RequestThreads&) = delete;
    RequestThreads& operator=(const RequestThreads&) = delete;

    // Runs `work` on a thread of its own; when no thread can be made, starts nothing and answers
    // why.
    std::optional<std::string> start(std::shared_ptr<Request> request, std::function<void()> work) {
        std::erase_if(entries_, [](const std::unique_ptr<Entry>& entry) {
            if (!entry->finished)
                return false;
            entry->thread.join();
            return true;
        });
        // Room first, so a running thread is never left without its entry.
        entries_.reserve(entries_.size() + 1);
        auto entry = std::make_unique<Entry>();
        entry->request = std::move(request);
        try {
            entry->thread = std::thread([entry = entry.get(), work = std::move(work)] {
                work();
                entry->finished = true;
            });
        } catch (const std::system_error& error) {
            return error.what();
        }
        pthread_setname_np(entry->thread.native_handle(), "http");
        entries_.push_back(std::move(entry));
        return std::nullopt;
    }

private:
    struct Entry {
        std::shared_ptr<Request> request;
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    std::vector<std::unique_ptr<Entry>> entries_;
};

} // namespace foundation
