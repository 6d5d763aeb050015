#include "platform/foundation/TerminationSignals.h"

#include <csignal>
#include <pthread.h>

namespace foundation {
namespace {

// SIGUSR2 is not one of the watched signals: it only wakes the watcher to stop.
constexpr int stopSignal = SIGUSR2;

sigset_t watchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    // A closed terminal or a session that ends: as much a request to stop as SIGTERM.
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> beforeExit)
    : beforeExit_(std::move(beforeExit)) {
    sigset_t blocked = watchedSignals();
    sigaddset(&blocked, stopSignal);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
    watcher_ = std::thread([this, blocked] {
        int signal = 0;
        while (sigwait(&blocked, &signal) == 0) {
            if (signal == stopSignal)
                return;
            if (beforeExit_)
                beforeExit_(signal);
            // End the process the way the signal would have.
            std::signal(signal, SIG_DFL);
            sigset_t only;
            sigemptyset(&only);
            sigaddset(&only, signal);
            pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
            raise(signal);
        }
    });
    pthread_setname_np(watcher_.native_handle(), "signals");
}

TerminationSignals::~TerminationSignals() {
    pthread_kill(watcher_.native_handle(), stopSignal);
    watcher_.join();
    sigset_t blocked = watchedSignals();
    sigaddset(&blocked, stopSignal);
    pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
}

} // namespace foundation
