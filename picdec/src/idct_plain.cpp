// Inverse transform of the plain path: the Loeffler-Ligtenberg-Moschytz factorisation with
// constants scaled by 8192, rows first with one extra fractional bit kept between the passes.
// The sums are 32-bit: they cannot overflow for coefficients of real 8-bit pictures, and
// damaged coefficients wrap (unsigned arithmetic) instead of overflowing.
#include <cstring>

#include "kernels.h"

namespace picdec {
namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 1;

constexpr uint32_t kFix0_298631336 = 2446;
constexpr uint32_t kFix0_390180644 = 3196;
constexpr uint32_t kFix0_541196100 = 4433;
constexpr uint32_t kFix0_765366865 = 6270;
constexpr uint32_t kFix0_899976223 = 7373;
constexpr uint32_t kFix1_175875602 = 9633;
constexpr uint32_t kFix1_501321110 = 12299;
constexpr uint32_t kFix1_847759065 = 15137;
constexpr uint32_t kFix1_961570560 = 16069;
constexpr uint32_t kFix2_053119869 = 16819;
constexpr uint32_t kFix2_562915447 = 20995;
constexpr uint32_t kFix3_072711026 = 25172;

// One 8-point transform of in[0], in[step], ... in[7 * step]; o receives the unscaled sums.
template <typename In>
inline void Llm8(const In* in, int step, uint32_t* o) {
    auto at = [&](int i) { return static_cast<uint32_t>(static_cast<int32_t>(in[i * step])); };
    // Even part.
    uint32_t z2 = at(2), z3 = at(6);
    uint32_t z1 = (z2 + z3) * kFix0_541196100;
    uint32_t tmp2 = z1 - z3 * kFix1_847759065;
    uint32_t tmp3 = z1 + z2 * kFix0_765366865;
    z2 = at(0);
    z3 = at(4);
    uint32_t tmp0 = (z2 + z3) << kConstBits;
    uint32_t tmp1 = (z2 - z3) << kConstBits;
    uint32_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    uint32_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    // Odd part.
    tmp0 = at(7);
    tmp1 = at(5);
    tmp2 = at(3);
    tmp3 = at(1);
    z1 = tmp0 + tmp3;
    z2 = tmp1 + tmp2;
    z3 = tmp0 + tmp2;
    uint32_t z4 = tmp1 + tmp3;
    uint32_t z5 = (z3 + z4) * kFix1_175875602;
    tmp0 *= kFix0_298631336;
    tmp1 *= kFix2_053119869;
    tmp2 *= kFix3_072711026;
    tmp3 *= kFix1_501321110;
    z1 *= 0u - kFix0_899976223;
    z2 *= 0u - kFix2_562915447;
    z3 = z3 * (0u - kFix1_961570560) + z5;
    z4 = z4 * (0u - kFix0_390180644) + z5;
    tmp0 += z1 + z3;
    tmp1 += z2 + z4;
    tmp2 += z2 + z3;
    tmp3 += z1 + z4;
    o[0] = tmp10 + tmp3;
    o[7] = tmp10 - tmp3;
    o[1] = tmp11 + tmp2;
    o[6] = tmp11 - tmp2;
    o[2] = tmp12 + tmp1;
    o[5] = tmp12 - tmp1;
    o[3] = tmp13 + tmp0;
    o[4] = tmp13 - tmp0;
}

// (sum + half) >> shift on the two's-complement value of a 32-bit sum.
template <int kShift>
inline int32_t Descale(uint32_t v) {
    return static_cast<int32_t>(v + (1u << (kShift - 1))) >> kShift;
}

}  // namespace

void IdctPlain(int16_t* block, uint8_t* out, ptrdiff_t stride) {
    int32_t ws[64];
    uint32_t o[8];
    // Rows: (sum + 2048) >> 12, or DC * 2 when the row has no AC coefficient.
    int live_rows = 0;
    for (int r = 0; r < 8; ++r) {
        const int16_t* in = block + r * 8;
        int32_t* w = ws + r * 8;
        if ((in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7]) == 0) {
            int32_t dc = in[0] * (1 << kPass1Bits);
            for (int x = 0; x < 8; ++x)
                w[x] = dc;
            if (dc != 0) live_rows = r + 1;
            continue;
        }
        live_rows = r + 1;
        Llm8(in, 1, o);
        for (int x = 0; x < 8; ++x)
            w[x] = Descale<kConstBits - kPass1Bits>(o[x]);
    }
    if (live_rows <= 1) {
        // No column has AC entries: (DC + 8) >> 4 everywhere.
        for (int x = 0; x < 8; ++x) {
            uint8_t v = Clamp255(((ws[x] + 8) >> 4) + 128);
            for (int y = 0; y < 8; ++y)
                out[y * stride + x] = v;
        }
    } else {
        // Columns: (sum + 65536) >> 17; the same formula gives (DC + 8) >> 4 for a column
        // without AC entries. Written lane by lane so the compiler can run the columns side
        // by side.
        uint32_t res[8][8];
        for (int x = 0; x < 8; ++x) {
            Llm8(ws + x, 8, o);
            for (int y = 0; y < 8; ++y)
                res[y][x] = o[y];
        }
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                out[y * stride + x] =
                    Clamp255(Descale<kConstBits + kPass1Bits + 3>(res[y][x]) + 128);
            }
        }
    }
    std::memset(block, 0, 64 * sizeof(int16_t));
}

void IdctBatchPlain(int16_t* const* blocks, uint8_t* const* outs, int n, ptrdiff_t stride) {
    for (int i = 0; i < n; ++i)
        IdctPlain(blocks[i], outs[i], stride);
}

}  // namespace picdec
