// A 640 x 480 camera frame from complete JPEG file to frame surface, with the
// time stamp and the motion lattice drawn: picdec's own share of the work,
// DecodeFrame, the whole path (decode, present, render), and presenting and
// rendering alone. Compare CPU times: the machine is shared.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "control/stream/camera.h"
#include "control/stream/picdec_binding.h"
#include "control/stream/render.h"
#include "bench/support/loopback_camera.h"
#include "sim/simulator.h"
#include "tests/control/stream/camera_jpeg.h"

namespace {

using kest::test::Bytes;

constexpr kest::FrameTime kTime{2024, 5, 6, 7, 8, 9, 100};

// A model 11 frame: the camera's comment with a time stamp and both lattices.
const Bytes& Frame() {
    static const Bytes file = [] {
        const auto scan =
            kest::test::EncodeCameraScan(kest::test::TestPicture(640, 480), 640, 480, 1, 50);
        std::string text = "timestamp = 20240506070809100; camera = ; motion = 1; mask = X; ";
        Bytes body(text.begin(), text.end());
        for (int lattice = 0; lattice < 2; ++lattice) {
            for (int i = 0; i < 38; ++i)
                body.push_back(uint8_t(lattice ? 0x0F : 0x81));
            body.insert(body.end(), {'\r', '\n'});
        }
        Bytes f(scan.file.begin(), scan.file.begin() + 20);
        const size_t len = body.size() + 2;
        for (uint8_t b : {uint8_t(0xFF), uint8_t(0xFE), uint8_t(len >> 8), uint8_t(len)})
            f.push_back(b);
        f.insert(f.end(), body.begin(), body.end());
        f.insert(f.end(), scan.file.begin() + 20, scan.file.end());
        return f;
    }();
    return file;
}

kest::sim::Simulator& Camera() {
    return kest::bench::LoopbackCamera();
}

void Overlays() {
    kest::TimeStampSettings stamp;
    stamp.enabled = true;
    stamp.text_colour = 0xFFFFFF;
    stamp.back_colour = 0x000000;
    stamp.style = 0;
    stamp.back_mode = kest::TimeStampSettings::kOpaque;
    stamp.x = 8;
    stamp.y = 8;
    kest::SetTimeStampSettings(stamp);
    kest::SetLatticeSettings({true, 0x00FF00, 0x0000FF, 0xFF0000});
}

void BM_PicdecGetPicture(benchmark::State& state) {
    const auto& picdec = kest::ProcessPicdec();
    if (!picdec.can_decode()) return state.SkipWithError("no picdec.spi");
    const Bytes& f = Frame();
    for (auto _ : state) {
        void* info = nullptr;
        void* pixels = nullptr;
        const int r = picdec.get_picture(reinterpret_cast<const char*>(f.data()), long(f.size()), 1,
                                         &info, &pixels, nullptr, 0);
        if (r != 0) state.SkipWithError("decode failed");
        std::free(info);
        std::free(pixels);
    }
}
BENCHMARK(BM_PicdecGetPicture)->Unit(benchmark::kMicrosecond);

void BM_DecodeFrame(benchmark::State& state) {
    kest::CKestCamera camera("bench-decode");
    const Bytes& f = Frame();
    int32_t w = 0, h = 0;
    for (auto _ : state) {
        if (!camera.DecodeFrame(f.data(), f.size(), &w, &h)) state.SkipWithError("decode failed");
    }
}
BENCHMARK(BM_DecodeFrame)->Unit(benchmark::kMicrosecond);

void BM_DecodeAndRenderFrame(benchmark::State& state) {
    kest::CKestCamera camera("bench-render");
    if (camera.OpenSession("127.0.0.1", Camera().port()) != 0) {
        return state.SkipWithError("no session");
    }
    camera.ResizeFrameSurface(0);
    Overlays();
    const Bytes& f = Frame();
    int32_t w = 0, h = 0;
    for (auto _ : state) {
        if (!camera.DecodeFrame(f.data(), f.size(), &w, &h)) state.SkipWithError("decode failed");
        camera.PresentFrame(f.data(), f.size());
        camera.RenderFrame();
    }
    camera.CloseSession();
}
BENCHMARK(BM_DecodeAndRenderFrame)->Unit(benchmark::kMicrosecond);

void BM_RenderFrameOnly(benchmark::State& state) {
    kest::CKestCamera camera("bench-render-only");
    if (camera.OpenSession("127.0.0.1", Camera().port()) != 0) {
        return state.SkipWithError("no session");
    }
    camera.ResizeFrameSurface(0);
    Overlays();
    const Bytes& f = Frame();
    int32_t w = 0, h = 0;
    if (!camera.DecodeFrame(f.data(), f.size(), &w, &h)) return state.SkipWithError("no decode");
    camera.PresentFrame(f.data(), f.size());
    for (auto _ : state)
        camera.RenderFrame();
    camera.CloseSession();
}
BENCHMARK(BM_RenderFrameOnly)->Unit(benchmark::kMicrosecond);

// The hand-over copies of the presented JPEG and picture (part of the
// delivery of each frame, not of drawing it).
void BM_PresentFrame(benchmark::State& state) {
    kest::CKestCamera camera("bench-present");
    const Bytes& f = Frame();
    int32_t w = 0, h = 0;
    if (!camera.DecodeFrame(f.data(), f.size(), &w, &h)) return state.SkipWithError("no decode");
    for (auto _ : state)
        camera.PresentFrame(f.data(), f.size());
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
