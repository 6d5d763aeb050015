#include "platform/graphics/TextShaper.h"

#include <benchmark/benchmark.h>

// Every benchmark shapes its text as the program does, with one shaper kept for the whole run.
int main(int argc, char** argv) {
    gfx::TextShaper shaper;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
