// Downloading a 20 MiB recorded file from kestsim on loopback with the paged
// block transfer, without loss and with 1% of the burst pages lost (each lost
// page costs a resend request and its 30 ms pause).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "control/stream/camera.h"
#include "sim/memory_card.h"
#include "sim/simulator.h"

namespace {

constexpr size_t kFileBytes = 20 * 1024 * 1024;

void BM_RecordedFile20MiB(benchmark::State& state) {
    const double loss = double(state.range(0)) / 100.0;
    const int burst_count = int(state.range(1));
    const uint32_t pause_us = uint32_t(state.range(2));
    kest::sim::SimConfig config;
    config.port = 0;
    kest::sim::Simulator sim(config);
    if (!sim.Start()) return state.SkipWithError("no simulator");
    {
        std::lock_guard lock(sim.state_mutex());
        auto& card = sim.State<kest::sim::MemoryCardState>();
        card.AddFile("bench.rec", kest::sim::PatternBytes(kFileBytes, 5));
        card.SetPageSize(1498);
        card.burst_pause_us = pause_us;
        card.lose_fraction = loss;
    }
    const std::string dir = "/tmp/kest-bench-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    if (chdir(dir.c_str()) != 0) return state.SkipWithError("no folder");

    kest::CKestCamera camera("bench-transfer");
    camera.set_reply_wait(200);
    if (camera.OpenSession("127.0.0.1", sim.port()) != 0) return state.SkipWithError("no session");
    int64_t resends = 0;
    uint32_t seed = 1;
    for (auto _ : state) {
        {
            std::lock_guard lock(sim.state_mutex());
            sim.State<kest::sim::MemoryCardState>().lose_seed = seed++;
        }
        kest::protocol::TransferOptions options;
        options.burst_count = int16_t(burst_count);
        kest::protocol::TransferReport report;
        if (camera.FetchRecordedFile("bench.rec", 0, options, &report) != 0) {
            state.SkipWithError("transfer failed");
            break;
        }
        resends += report.resend_requests;
    }
    camera.CloseSession();
    unlink((dir + "/bench.rec").c_str());
    if (chdir("/") == 0) rmdir(dir.c_str());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileBytes));
    state.counters["MiB/s"] =
        benchmark::Counter(double(state.iterations()) * 20.0, benchmark::Counter::kIsRate);
    state.counters["resends"] =
        benchmark::Counter(double(resends), benchmark::Counter::kAvgIterations);
}
// Arguments: percent of pages lost, pages per burst, pause between bursts (us).
BENCHMARK(BM_RecordedFile20MiB)
    ->Args({0, 32, 300})
    ->Args({1, 32, 300})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
