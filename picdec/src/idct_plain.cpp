// Inverse transform of the plain path: the Loeffler-Ligtenberg-Moschytz factorisation with
// constants scaled by 8192, rows first with one extra fractional bit kept between the passes.
// Products are 64-bit so damaged coefficients cannot overflow.
#include <cstring>

#include "kernels.h"

namespace picdec {
namespace {

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 1;

constexpr int64_t kFix0_298631336 = 2446;
constexpr int64_t kFix0_390180644 = 3196;
constexpr int64_t kFix0_541196100 = 4433;
constexpr int64_t kFix0_765366865 = 6270;
constexpr int64_t kFix0_899976223 = 7373;
constexpr int64_t kFix1_175875602 = 9633;
constexpr int64_t kFix1_501321110 = 12299;
constexpr int64_t kFix1_847759065 = 15137;
constexpr int64_t kFix1_961570560 = 16069;
constexpr int64_t kFix2_053119869 = 16819;
constexpr int64_t kFix2_562915447 = 20995;
constexpr int64_t kFix3_072711026 = 25172;

// One 8-point transform; in and out are strided views. Outputs are the unscaled sums.
template <typename In>
inline void Llm8(In in0, In in1, In in2, In in3, In in4, In in5, In in6, In in7, int64_t* o) {
    // Even part.
    int64_t z2 = in2, z3 = in6;
    int64_t z1 = (z2 + z3) * kFix0_541196100;
    int64_t tmp2 = z1 - z3 * kFix1_847759065;
    int64_t tmp3 = z1 + z2 * kFix0_765366865;
    z2 = in0;
    z3 = in4;
    int64_t tmp0 = (z2 + z3) * (int64_t{1} << kConstBits);
    int64_t tmp1 = (z2 - z3) * (int64_t{1} << kConstBits);
    int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    int64_t tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    // Odd part.
    tmp0 = in7;
    tmp1 = in5;
    tmp2 = in3;
    tmp3 = in1;
    z1 = tmp0 + tmp3;
    z2 = tmp1 + tmp2;
    z3 = tmp0 + tmp2;
    int64_t z4 = tmp1 + tmp3;
    int64_t z5 = (z3 + z4) * kFix1_175875602;
    tmp0 *= kFix0_298631336;
    tmp1 *= kFix2_053119869;
    tmp2 *= kFix3_072711026;
    tmp3 *= kFix1_501321110;
    z1 *= -kFix0_899976223;
    z2 *= -kFix2_562915447;
    z3 = z3 * -kFix1_961570560 + z5;
    z4 = z4 * -kFix0_390180644 + z5;
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

}  // namespace

void IdctPlain(int16_t* block, uint8_t* out, ptrdiff_t stride) {
    int32_t ws[64];
    int64_t o[8];
    // Rows: (sum + 2048) >> 12, or DC * 2 when the row has no AC coefficient.
    for (int r = 0; r < 8; ++r) {
        const int16_t* in = block + r * 8;
        int32_t* w = ws + r * 8;
        if ((in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7]) == 0) {
            int32_t dc = in[0] * (1 << kPass1Bits);
            for (int x = 0; x < 8; ++x)
                w[x] = dc;
            continue;
        }
        Llm8(in[0], in[1], in[2], in[3], in[4], in[5], in[6], in[7], o);
        constexpr int kShift = kConstBits - kPass1Bits;
        for (int x = 0; x < 8; ++x) {
            w[x] = static_cast<int32_t>((o[x] + (int64_t{1} << (kShift - 1))) >> kShift);
        }
    }
    // Columns: (sum + 65536) >> 17, or (DC + 8) >> 4 when the column has no AC entry.
    for (int x = 0; x < 8; ++x) {
        const int32_t* w = ws + x;
        if ((w[8] | w[16] | w[24] | w[32] | w[40] | w[48] | w[56]) == 0) {
            uint8_t v = Clamp255(((w[0] + 8) >> 4) + 128);
            for (int y = 0; y < 8; ++y)
                out[y * stride + x] = v;
            continue;
        }
        Llm8(w[0], w[8], w[16], w[24], w[32], w[40], w[48], w[56], o);
        constexpr int kShift = kConstBits + kPass1Bits + 3;
        for (int y = 0; y < 8; ++y) {
            int64_t v = ((o[y] + (int64_t{1} << (kShift - 1))) >> kShift) + 128;
            out[y * stride + x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
    std::memset(block, 0, 64 * sizeof(int16_t));
}

}  // namespace picdec
