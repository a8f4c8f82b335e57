// Decoding speed of picdec (plain and SIMD paths) against libjpeg-turbo (accurate integer
// transform, blue-green-red bottom-up, as picdec writes) and stb_image, from memory. The
// pictures are synthesised and encoded with TurboJPEG at start-up. libjpeg-turbo without its
// SIMD (JSIMD_FORCENONE=1) runs in a child process, as the plain path's anchor.
//
//   picdec_bench [--benchmark_min_time=0.5] [google benchmark flags]
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "kernels.h"
#include "picdec.h"
#include "plugin_internal.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#include "stb_image.h"

namespace {

struct Picture {
    std::string name;
    int w, h;
    int subsamp;
    int quality;
    bool progressive;
    std::vector<unsigned char> jpeg;
};

// Smooth gradients, edges and noise: compresses like a photograph.
std::vector<unsigned char> Synth(int w, int h) {
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * 3);
    uint32_t s = 0x9E3779B9u;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
            double t = 14 * std::sin(x * 0.21 + std::sin(y * 0.05) * 3) * std::cos(y * 0.17);
            double edge = ((x / 97 + y / 61) % 3 == 0) ? 25 : 0;
            for (int c = 0; c < 3; ++c) {
                s ^= s << 13;
                s ^= s >> 17;
                s ^= s << 5;
                double v = 120 + 70 * std::sin(fx * (2.5 + c) + fy * 1.7) +
                           30 * std::cos(fy * 5 - c) + t + edge + static_cast<int>(s % 13) - 6;
                px[(static_cast<size_t>(y) * w + x) * 3 + c] =
                    static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
        }
    }
    return px;
}

std::vector<Picture>& Pictures() {
    static std::vector<Picture> pics = [] {
        std::vector<Picture> v = {
            {"640x480_420_q75", 640, 480, TJSAMP_420, 75, false, {}},
            {"640x480_422_q75", 640, 480, TJSAMP_422, 75, false, {}},
            {"320x240_420_q75", 320, 240, TJSAMP_420, 75, false, {}},
            {"4000x3000_420_q90", 4000, 3000, TJSAMP_420, 90, false, {}},
            {"4000x3000_420_q90_prog", 4000, 3000, TJSAMP_420, 90, true, {}},
        };
        tjhandle tj = tjInitCompress();
        std::map<int, std::vector<unsigned char>> synth;
        for (Picture& p : v) {
            auto& px = synth[p.w];
            if (px.empty()) px = Synth(p.w, p.h);
            unsigned char* out = nullptr;
            unsigned long size = 0;
            tjCompress2(tj, px.data(), p.w, p.w * 3, p.h, TJPF_RGB, &out, &size, p.subsamp,
                        p.quality, TJFLAG_ACCURATEDCT | (p.progressive ? TJFLAG_PROGRESSIVE : 0));
            p.jpeg.assign(out, out + size);
            tjFree(out);
        }
        tjDestroy(tj);
        return v;
    }();
    return pics;
}

void Finish(benchmark::State& state, const Picture& p) {
    state.counters["MP/s"] = benchmark::Counter(static_cast<double>(p.w) * p.h / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Picdec(benchmark::State& state, int pic, picdec::Path path) {
    const Picture& p = Pictures()[pic];
    const picdec::Kernels* k = picdec::KernelsFor(path);
    if (k == nullptr) {
        state.SkipWithError("path not available");
        return;
    }
    for (auto _ : state) {
        void* info = nullptr;
        void* bits = nullptr;
        picdec::Status s = picdec::DecodeToBitmap(
            *k, reinterpret_cast<const char*>(p.jpeg.data()), static_cast<long>(p.jpeg.size()),
            PICDEC_INPUT_MEMORY, false, &info, &bits, nullptr, 0);
        if (s != picdec::Status::kOk) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(bits);
        std::free(info);
        std::free(bits);
    }
    Finish(state, p);
}

int TurboDecode(tjhandle tj, const Picture& p, std::vector<unsigned char>& out) {
    int pitch = (p.w * 3 + 3) & ~3;
    out.resize(static_cast<size_t>(pitch) * p.h);
    return tjDecompress2(tj, p.jpeg.data(), p.jpeg.size(), out.data(), p.w, pitch, p.h, TJPF_BGR,
                         TJFLAG_BOTTOMUP | TJFLAG_ACCURATEDCT);
}

void BM_Turbo(benchmark::State& state, int pic) {
    const Picture& p = Pictures()[pic];
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> out;
    for (auto _ : state) {
        if (TurboDecode(tj, p, out) != 0) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(tj);
    Finish(state, p);
}

void BM_Stb(benchmark::State& state, int pic) {
    const Picture& p = Pictures()[pic];
    for (auto _ : state) {
        int w, h, n;
        unsigned char* px =
            stbi_load_from_memory(p.jpeg.data(), static_cast<int>(p.jpeg.size()), &w, &h, &n, 3);
        if (px == nullptr) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(px);
        stbi_image_free(px);
    }
    Finish(state, p);
}

// Child mode: libjpeg-turbo as it runs in this process (JSIMD_FORCENONE set by the parent),
// megapixels per second of each picture, one line each.
int RunTurboChild(double seconds) {
    tjhandle tj = tjInitDecompress();
    std::vector<unsigned char> out;
    for (const Picture& p : Pictures()) {
        TurboDecode(tj, p, out);
        int n = 0;
        auto t0 = std::chrono::steady_clock::now();
        double el = 0;
        do {
            TurboDecode(tj, p, out);
            ++n;
            el = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        } while (el < seconds);
        std::printf("%s %.3f\n", p.name.c_str(), static_cast<double>(p.w) * p.h * n / el / 1e6);
    }
    tjDestroy(tj);
    return 0;
}

struct Collector : benchmark::ConsoleReporter {
    std::map<std::string, double> mps;  // "decoder/picture" -> MP/s
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            auto it = r.counters.find("MP/s");
            if (it != r.counters.end() && !r.error_occurred)
                mps[r.run_name.function_name] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--turbo-child") == 0) {
        return RunTurboChild(argc > 2 ? std::atof(argv[2]) : 1.0);
    }
    // libjpeg-turbo without SIMD, in a separate process.
    std::map<std::string, double> nosimd;
    if (std::getenv("PICDEC_BENCH_NO_ANCHOR") == nullptr) {
        char self[4096];
        ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
        if (n > 0) {
            self[n] = 0;
            std::string cmd = std::string("JSIMD_FORCENONE=1 '") + self + "' --turbo-child 1.0";
            if (FILE* f = popen(cmd.c_str(), "r")) {
                char name[128];
                double v;
                while (std::fscanf(f, "%127s %lf", name, &v) == 2)
                    nosimd[name] = v;
                pclose(f);
            }
        }
    }
    Pictures();
    struct Dec {
        const char* name;
        picdec::Path path;
    };
    const Dec decs[] = {{"picdec-plain", picdec::Path::kPlain},
                        {"picdec-sse2", picdec::Path::kSse2},
                        {"picdec-avx2", picdec::Path::kAvx2},
                        {"picdec-avx512", picdec::Path::kAvx512}};
    for (int i = 0; i < static_cast<int>(Pictures().size()); ++i) {
        const std::string pic = Pictures()[i].name;
        for (const Dec& d : decs) {
            if (!picdec::PathAvailable(d.path)) continue;
            benchmark::RegisterBenchmark((std::string(d.name) + "/" + pic).c_str(), BM_Picdec, i,
                                         d.path)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark(("libjpeg-turbo/" + pic).c_str(), BM_Turbo, i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("stb_image/" + pic).c_str(), BM_Stb, i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    Collector rep;
    benchmark::RunSpecifiedBenchmarks(&rep);

    std::printf("\n%-24s %-14s %9s %9s\n", "picture", "decoder", "MP/s", "ratio");
    std::printf(
        "(ratio: to libjpeg-turbo; plain path and turbo-nosimd: to libjpeg-turbo without SIMD)\n");
    for (const Picture& p : Pictures()) {
        double turbo = rep.mps["libjpeg-turbo/" + p.name];
        double anchor = nosimd.count(p.name) ? nosimd[p.name] : 0;
        auto row = [&](const std::string& dec, double v, double base) {
            if (v <= 0) return;
            std::printf("%-24s %-14s %9.1f %9.2f\n", p.name.c_str(), dec.c_str(), v,
                        base > 0 ? v / base : 0.0);
        };
        for (const Dec& d : decs) {
            std::string key = std::string(d.name) + "/" + p.name;
            if (!rep.mps.count(key)) continue;
            row(d.name, rep.mps[key], d.path == picdec::Path::kPlain ? anchor : turbo);
        }
        row("libjpeg-turbo", turbo, turbo);
        row("turbo-nosimd", anchor, anchor);
        row("stb_image", rep.mps["stb_image/" + p.name], turbo);
    }
    benchmark::Shutdown();
    return 0;
}
