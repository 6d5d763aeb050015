// One sample of each kernel reader on the live machine, and the reads beneath them, to keep the
// once-a-second cost in view. Run with --benchmark_repetitions=10 for medians.
#include "platform/foundation/TextFile.h"
#include "platform/system/DrmClients.h"
#include "platform/system/InterfaceList.h"
#include "platform/system/LinkDump.h"
#include "platform/system/ProcessorTicks.h"
#include "platform/system/VMStatistics.h"
#include "sources/ComputeReader.h"
#include "sources/MemoryReader.h"
#include "sources/NetworkReader.h"
#include "support/TestPaths.h"

#include <benchmark/benchmark.h>

namespace {

using namespace pulsedeck;

const sys::SystemRoots live = sys::SystemRoots::live();

void MemorySample(benchmark::State& state) {
    SystemMemoryReader reader(live);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.sample());
}
BENCHMARK(MemorySample);

void NetworkSample(benchmark::State& state) {
    NetworkReader reader(live);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.sample(true));
}
BENCHMARK(NetworkSample);

void ComputeSample(benchmark::State& state) {
    ComputeReader reader(live);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.sample(true));
}
BENCHMARK(ComputeSample);

// The compute sample of a laptop with Intel graphics: GPU load from its DRM clients' engine time
// (four descriptors, three clients) on top of the processor counters. Aim: within a few
// microseconds of ComputeSample, since the walk that finds the clients runs only every 10 s.
void ComputeSampleEngineTime(benchmark::State& state) {
    ComputeReader reader(sys::SystemRoots::under(testsupport::fixturePath("compute/intel-laptop")));
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.sample(true));
}
BENCHMARK(ComputeSampleEngineTime);

// The walk over every readable process's open files that finds the DRM clients, on this
// machine; it runs once every 10 s when a GPU counts engine time.
void DrmClientWalk(benchmark::State& state) {
    double now = 0;
    sys::DrmClients clients(live);
    for (auto _ : state) {
        now += sys::DrmClients::rescanInterval;
        benchmark::DoNotOptimize(clients.read(now));
    }
}
BENCHMARK(DrmClientWalk);

// The reads beneath the samples.
void VMStatisticsRead(benchmark::State& state) {
    sys::VMStatistics statistics(live);
    for (auto _ : state)
        benchmark::DoNotOptimize(statistics.read());
}
BENCHMARK(VMStatisticsRead);

void ProcessorTicksRead(benchmark::State& state) {
    sys::ProcessorTicks ticks(live);
    for (auto _ : state)
        benchmark::DoNotOptimize(ticks.loadTicks());
}
BENCHMARK(ProcessorTicksRead);

void NetlinkLinkDump(benchmark::State& state) {
    sys::NetlinkLinkDump dump;
    std::vector<sys::InterfaceLink> links;
    for (auto _ : state)
        benchmark::DoNotOptimize(dump.dump(links));
}
BENCHMARK(NetlinkLinkDump);

// What a sample asks the kernel for once the list is known: the hardware interfaces alone.
void NetlinkLinkRefresh(benchmark::State& state) {
    sys::NetlinkLinkDump dump;
    std::vector<sys::InterfaceLink> links;
    dump.dump(links);
    std::vector<std::uint32_t> hardware;
    for (const sys::InterfaceLink& link : links) {
        if (link.name == "eth0")
            hardware.push_back(link.index);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(dump.refresh(hardware, links));
    state.counters["interfaces"] = static_cast<double>(hardware.size());
}
BENCHMARK(NetlinkLinkRefresh);

// The user-side share of a memory sample: the parse of one meminfo text.
void MeminfoParse(benchmark::State& state) {
    const std::string text = foundation::readTextFile(live.proc / "meminfo").value_or("");
    for (auto _ : state)
        benchmark::DoNotOptimize(sys::parseMeminfo(text));
}
BENCHMARK(MeminfoParse);

// Whether keeping the descriptor pays: the same file opened, read and closed each time.
void MeminfoKeptDescriptor(benchmark::State& state) {
    foundation::KeptFile file(live.proc / "meminfo");
    for (auto _ : state)
        benchmark::DoNotOptimize(file.read());
}
BENCHMARK(MeminfoKeptDescriptor);

void MeminfoOpenReadClose(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(foundation::readTextFile(live.proc / "meminfo"));
}
BENCHMARK(MeminfoOpenReadClose);

} // namespace
