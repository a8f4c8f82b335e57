// Service commands against kestsim on loopback: the largest pass-through on
// an open session, a settings query with its own session, and the address
// text conversion every address command starts with.
#include <benchmark/benchmark.h>

#include <vector>

#include "control/facade/ctrl.h"
#include "control/protocol/identity.h"
#include "control/protocol/services.h"
#include "control/stream/camera.h"
#include "bench/support/loopback_camera.h"
#include "sim/simulator.h"

namespace {

kest::sim::Simulator& Camera() {
    return kest::bench::LoopbackCamera();
}

void BM_PassThrough1460OnOpenSession(benchmark::State& state) {
    kest::CKestCamera camera("bench-pass-through");
    if (camera.OpenSession("127.0.0.1", Camera().port()) != 0) {
        state.SkipWithError("no session");
        return;
    }
    std::vector<uint8_t> data(1460, 0x5A), ack(1460);
    kest::protocol::PassThroughAnswer answer;
    for (auto _ : state) {
        const int32_t r = camera.WithChannel([&](kest::protocol::CommandChannel& c) {
            return kest::protocol::scmd_pass_through_cmd(c, 0, 1, data, ack, 500, answer);
        });
        if (r != 0 || answer.copied != data.size()) state.SkipWithError("no echo");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * 1460);
    camera.CloseSession();
}
BENCHMARK(BM_PassThrough1460OnOpenSession)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_GetMulticastModeWithOwnSession(benchmark::State& state) {
    kest::CKestCtrl ctrl;
    ctrl.SetRemoteIPAddress("127.0.0.1");
    ctrl.SetCameraPort(Camera().port());
    uint8_t group[4] = {};
    int16_t mode = 0, count = 0, interval = 0, port = 0, ttl = 0;
    for (auto _ : state) {
        if (ctrl.GetMulticastMode(mode, {group, sizeof group}, count, interval, port, ttl) != 0) {
            state.SkipWithError("GetMulticastMode failed");
        }
    }
}
BENCHMARK(BM_GetMulticastModeWithOwnSession)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_AddressTextToBytes(benchmark::State& state) {
    std::array<uint8_t, 4> bytes{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(kest::protocol::AddressTextToBytes("192.168.000.010", bytes));
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_AddressTextToBytes);

}  // namespace

BENCHMARK_MAIN();
