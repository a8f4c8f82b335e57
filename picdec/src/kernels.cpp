// Path selection: once, when the library is loaded, from the processor's features or from
// PICDEC_PATH (plain, sse2, avx2, avx512) for tests and benchmarks.
#include "kernels.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace picdec {
namespace {

constexpr uint8_t MakeOrderEntry(int k, bool transposed) {
    // Zig-zag scan of the 8x8 block: index k -> (row, column).
    int idx = 0;
    for (int s = 0; s <= 14; ++s) {
        int lo = s < 8 ? 0 : s - 7, hi = s < 8 ? s : 7;
        for (int i = lo; i <= hi; ++i) {
            int row = (s % 2 == 0) ? hi - (i - lo) : i;
            int col = s - row;
            if (idx == k) return static_cast<uint8_t>(transposed ? col * 8 + row : row * 8 + col);
            ++idx;
        }
    }
    return 0;  // 64..79: damaged data lands on place 0
}

template <bool kTransposed>
constexpr auto MakeOrder() {
    struct Table {
        uint8_t v[80];
    } t{};
    for (int k = 0; k < 80; ++k)
        t.v[k] = k < 64 ? MakeOrderEntry(k, kTransposed) : 0;
    return t;
}

constexpr auto kNatural = MakeOrder<false>();
constexpr auto kTransposed = MakeOrder<true>();
static_assert(kNatural.v[1] == 1 && kNatural.v[2] == 8 && kNatural.v[3] == 16);
static_assert(kNatural.v[63] == 63 && kTransposed.v[2] == 1 && kTransposed.v[1] == 8);

const Kernels kPlain = {Path::kPlain,   "plain",       kNaturalOrder, false,     IdctPlain,
                        IdctBatchPlain, YccToBgrPlain, H2v1Plain,     H2v2Plain, NthBitPlain};
const Kernels kModel = {Path::kSimdModel, "simd-model",       kTransposedOrder,  true,
                        IdctSimdModel,    IdctBatchSimdModel, YccToBgrSimdModel, H2v1Plain,
                        H2v2Plain,        NthBitPlain};

struct Cpu {
    bool sse2 = false, avx2 = false, avx512 = false, avx512vbmi = false;
};

Cpu DetectCpu() {
    Cpu c;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    c.sse2 = __builtin_cpu_supports("sse2");
    c.avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
    c.avx512 = c.avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl");
    c.avx512vbmi = c.avx512 && __builtin_cpu_supports("avx512vbmi");
#endif
    return c;
}

const Cpu& TheCpu() {
    static const Cpu cpu = DetectCpu();
    return cpu;
}

const Kernels* Choose() {
    const char* env = std::getenv("PICDEC_PATH");
    if (env != nullptr) {
        for (Path p : {Path::kPlain, Path::kSse2, Path::kAvx2, Path::kAvx512}) {
            if (std::strcmp(env, PathName(p)) == 0 && PathAvailable(p)) return KernelsFor(p);
        }
    }
    for (Path p : {Path::kAvx512, Path::kAvx2, Path::kSse2}) {
        if (PathAvailable(p)) return KernelsFor(p);
    }
    return &kPlain;
}

// Chosen at load time so every later call sees the same path.
const Kernels* const kActive = Choose();

}  // namespace

int NthBitPlain(uint64_t x, int r) {
    for (int i = 0; i < r && x != 0; ++i)
        x &= x - 1;
    return x != 0 ? __builtin_ctzll(x) : 64;
}

const uint8_t kNaturalOrder[80] = {
#define E(i) kNatural.v[i]
#define R8(b) E(b), E(b + 1), E(b + 2), E(b + 3), E(b + 4), E(b + 5), E(b + 6), E(b + 7)
    R8(0),  R8(8),  R8(16), R8(24), R8(32), R8(40),
    R8(48), R8(56), R8(64), R8(72)
#undef E
#define E(i) kTransposed.v[i]
};
const uint8_t kTransposedOrder[80] = {R8(0),  R8(8),  R8(16), R8(24), R8(32),
                                      R8(40), R8(48), R8(56), R8(64), R8(72)};
#undef E
#undef R8

bool PathAvailable(Path path) {
    switch (path) {
        case Path::kPlain:
        case Path::kSimdModel:
            return true;
#if defined(__x86_64__)
        case Path::kSse2:
            return TheCpu().sse2;
        case Path::kAvx2:
            return TheCpu().avx2;
        case Path::kAvx512:
            return TheCpu().avx512;
#else
        default:
            return false;
#endif
    }
    return false;
}

const char* PathName(Path path) {
    switch (path) {
        case Path::kPlain:
            return "plain";
        case Path::kSimdModel:
            return "simd-model";
        case Path::kSse2:
            return "sse2";
        case Path::kAvx2:
            return "avx2";
        case Path::kAvx512:
            return "avx512";
    }
    return "?";
}

const Kernels* KernelsFor(Path path) {
    if (!PathAvailable(path)) return nullptr;
    switch (path) {
        case Path::kPlain:
            return &kPlain;
        case Path::kSimdModel:
            return &kModel;
#if defined(__x86_64__)
        case Path::kSse2:
            return &sse2::kKernels;
        case Path::kAvx2:
            return &avx2::kKernels;
        case Path::kAvx512:
            return TheCpu().avx512vbmi ? &avx512::kKernelsVbmi : &avx512::kKernels;
#else
        default:
            return nullptr;
#endif
    }
    return nullptr;
}

bool CpuHasAvx512Vbmi() {
    return TheCpu().avx512vbmi;
}

const Kernels& ActiveKernels() {
    return *kActive;
}

}  // namespace picdec
