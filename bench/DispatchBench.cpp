#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/SerialQueue.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

// A live loop on its own thread, as the main thread's loop would be while a worker posts to it.
class LoopThread {
public:
    LoopThread() : thread_([this] { loop_.run(); }) {}
    ~LoopThread() {
        loop_.stop();
        thread_.join();
    }
    dispatch::RunLoop& loop() { return loop_; }

private:
    dispatch::RunLoop loop_;
    std::thread thread_;
};

} // namespace

// A worker posts a block to the main queue and waits until it has run: the hop every sample
// result makes from the sampling queue back to the main thread. The loop sleeps in poll()
// between round trips, so this includes its wake-up.
static void BM_MainQueueRoundTripFromAnotherThread(benchmark::State& state) {
    LoopThread main;
    std::atomic<bool> ran{false};
    for (auto _ : state) {
        ran.store(false);
        main.loop().queue().async([&] {
            ran.store(true);
            ran.notify_one();
        });
        ran.wait(false);
    }
}
BENCHMARK(BM_MainQueueRoundTripFromAnotherThread)
    ->UseRealTime()
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The same hop into a serial queue's worker thread.
static void BM_SerialQueueRoundTrip(benchmark::State& state) {
    dispatch::SerialQueue queue("bench.serial");
    std::atomic<bool> ran{false};
    for (auto _ : state) {
        ran.store(false);
        queue.async([&] {
            ran.store(true);
            ran.notify_one();
        });
        ran.wait(false);
    }
}
BENCHMARK(BM_SerialQueueRoundTrip)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);

// Posting to the main queue from the loop's own thread and running it, without any wake-up.
static void BM_MainQueuePostAndRunOnLoopThread(benchmark::State& state) {
    dispatch::VirtualClock clock;
    dispatch::RunLoop loop(clock);
    int ran = 0;
    for (auto _ : state) {
        loop.queue().async([&] { ++ran; });
        loop.runUntilIdle();
    }
    benchmark::DoNotOptimize(ran);
}
BENCHMARK(BM_MainQueuePostAndRunOnLoopThread);
