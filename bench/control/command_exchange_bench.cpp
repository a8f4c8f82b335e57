// The command exchange against kestsim on loopback: one exchange on an open
// session, and GetVersion with its own session open and close.
#include <benchmark/benchmark.h>

#include "control/facade/ctrl.h"
#include "control/stream/camera.h"
#include "bench/support/loopback_camera.h"
#include "sim/simulator.h"

namespace {

kest::sim::Simulator& Camera() {
    return kest::bench::LoopbackCamera();
}

void BM_ExchangeOnOpenSession(benchmark::State& state) {
    kest::CKestCamera camera("bench-exchange");
    if (camera.OpenSession("127.0.0.1", Camera().port()) != 0) {
        state.SkipWithError("no session");
        return;
    }
    for (auto _ : state) {
        if (camera.scmd_nop() != 0) state.SkipWithError("no reply");
    }
    camera.CloseSession();
}
BENCHMARK(BM_ExchangeOnOpenSession)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_GetVersionWithOwnSession(benchmark::State& state) {
    kest::CKestCtrl ctrl;
    ctrl.SetRemoteIPAddress("127.0.0.1");
    ctrl.SetCameraPort(Camera().port());
    int16_t type = 0, program = 0;
    for (auto _ : state) {
        if (ctrl.GetVersion(type, program) != 0) state.SkipWithError("GetVersion failed");
    }
}
BENCHMARK(BM_GetVersionWithOwnSession)->Unit(benchmark::kMicrosecond)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
