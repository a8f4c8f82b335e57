// The per-stage implementations of one decoding path. The plain path uses plain integer
// arithmetic and natural coefficient order; the SIMD path uses packed 16-bit arithmetic and
// transposed order. A path is chosen once when the library is loaded; each SIMD width gives
// the same bytes as the scalar model of the SIMD arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace picdec {

constexpr int kMaxIdctBatch = 4;

enum class Path : int { kPlain, kSimdModel, kSse2, kAvx2, kAvx512 };

struct Kernels {
    Path path;
    const char* name;
    // Zig-zag index -> place in the 8x8 block; 80 entries, 64..79 land on place 0.
    const uint8_t* order;
    bool transposed;
    // Dequantised block -> 8x8 samples; leaves the block zeroed.
    void (*idct)(int16_t* block, uint8_t* out, ptrdiff_t stride);
    // n (up to kMaxIdctBatch) blocks with one output stride; the same bytes as n calls of idct.
    void (*idct_batch)(int16_t* const* blocks, uint8_t* const* outs, int n, ptrdiff_t stride);
    // One row of n pixels to blue-green-red.
    void (*ycc_to_bgr)(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int n);
    // Filtered 2:1 horizontal up-sampling of n samples into 2n.
    void (*h2v1)(const uint8_t* in, int n, uint8_t* out);
    // Filtered 2:1 both ways: one output row from the current input row and its neighbour.
    void (*h2v2)(const uint8_t* cur, const uint8_t* nb, int n, uint8_t* out);
    // Position of the (r + 1)-th set bit of x (r = 0..63), 64 when x has fewer: where a
    // progressive refinement's value goes, past r coefficients without history.
    int (*nth_bit)(uint64_t x, int r);
};

// The kernels of a path; nullptr when the processor lacks it.
const Kernels* KernelsFor(Path path);
// The path chosen at load time (PICDEC_PATH=plain|sse2|avx2|avx512, else the widest SIMD).
const Kernels& ActiveKernels();
bool PathAvailable(Path path);
const char* PathName(Path path);

// Plain path.
void IdctPlain(int16_t* block, uint8_t* out, ptrdiff_t stride);
void IdctBatchPlain(int16_t* const* blocks, uint8_t* const* outs, int n, ptrdiff_t stride);
void YccToBgrPlain(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int n);
void H2v1Plain(const uint8_t* in, int n, uint8_t* out);
void H2v2Plain(const uint8_t* cur, const uint8_t* nb, int n, uint8_t* out);
int NthBitPlain(uint64_t x, int r);

// Scalar model of the SIMD arithmetic, byte for byte.
void IdctSimdModel(int16_t* block, uint8_t* out, ptrdiff_t stride);
void IdctBatchSimdModel(int16_t* const* blocks, uint8_t* const* outs, int n, ptrdiff_t stride);
void YccToBgrSimdModel(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int n);
// The first n - n % 4 pixels by the SIMD formula from `from` on; the rest via the plain tables.
void YccToBgrSimdTail(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr,
                      int from, int n);

// Colour tables of the plain path, exposed for the tests.
struct ColorTables {
    int cr_r[256];
    int cb_b[256];
    int cr_g[256];
    int cb_g[256];
};
const ColorTables& PlainColorTables();

// Natural and transposed coefficient orders.
extern const uint8_t kNaturalOrder[80];
extern const uint8_t kTransposedOrder[80];

namespace sse2 {
extern const Kernels kKernels;
}
namespace avx2 {
extern const Kernels kKernels;
}
namespace avx512 {
extern const Kernels kKernels;
// The same with the colour conversion's stores by AVX512-VBMI byte permutations, which the
// avx512 path uses where the processor has them.
extern const Kernels kKernelsVbmi;
}  // namespace avx512
bool CpuHasAvx512Vbmi();

inline uint8_t Clamp255(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace picdec
