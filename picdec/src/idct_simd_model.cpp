// Scalar model of the SIMD path's inverse transform, byte for byte: packed 16-bit inputs,
// products of 16-bit pairs summed in 32 bits (as the multiply-add instruction does), the
// rotation pairs (2676, 1108), (2841, 565), (2408, 1609) scaled by 2048 * sqrt(2), and the
// rounding constants 128 (first pass, >> 8) and 4096 (second pass, >> 13). The block is in
// transposed order: block[column * 8 + row].
#include <cstring>

#include "idct_simd_consts.h"
#include "kernels.h"

namespace picdec {
namespace {

inline int16_t Sat16(int32_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

// x[0..7] are the coefficients of frequencies 0..7; raw[0..7] the outputs, scaled by
// 2048 * 2 * sqrt(2).
inline void Cw8(const int16_t* x, int32_t* raw) {
    using namespace simd_idct;
    int32_t e0 = kW4 * x[0] + kW4 * x[4];
    int32_t e1 = kW4 * x[0] - kW4 * x[4];
    int32_t t2 = kW6 * x[2] - kW2 * x[6];
    int32_t t3 = kW2 * x[2] + kW6 * x[6];
    int32_t ev[4] = {e0 + t3, e1 + t2, e1 - t2, e0 - t3};
    int32_t od[4] = {
        (kW1 * x[1] + kW3 * x[3]) + (kW5 * x[5] + kW7 * x[7]),
        (kW3 * x[1] - kW7 * x[3]) + (-kW1 * x[5] - kW5 * x[7]),
        (kW5 * x[1] - kW1 * x[3]) + (kW7 * x[5] + kW3 * x[7]),
        (kW7 * x[1] - kW5 * x[3]) + (kW3 * x[5] - kW1 * x[7]),
    };
    for (int k = 0; k < 4; ++k) {
        raw[k] = ev[k] + od[k];
        raw[7 - k] = ev[k] - od[k];
    }
}

}  // namespace

void IdctSimdModel(int16_t* block, uint8_t* out, ptrdiff_t stride) {
    using namespace simd_idct;
    int16_t p1[8][8];  // [row][x]
    int16_t vec[8];
    int32_t raw[8];
    // First pass: along each natural row r, whose coefficients sit at block[c * 8 + r].
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c)
            vec[c] = block[c * 8 + r];
        Cw8(vec, raw);
        for (int x = 0; x < 8; ++x)
            p1[r][x] = Sat16((raw[x] + kRound1) >> kShift1);
    }
    // Second pass: down each column x.
    for (int x = 0; x < 8; ++x) {
        for (int r = 0; r < 8; ++r)
            vec[r] = p1[r][x];
        Cw8(vec, raw);
        for (int y = 0; y < 8; ++y) {
            int16_t p2 = Sat16((raw[y] + kRound2) >> kShift2);
            int16_t biased = Sat16(p2 + kOutBias);
            out[y * stride + x] = Clamp255(biased >> kOutShift);
        }
    }
    std::memset(block, 0, 64 * sizeof(int16_t));
}

}  // namespace picdec
