// Constants of the SIMD path's inverse transform, shared by the scalar model and every width.
#pragma once

namespace picdec::simd_idct {

// 2048 * sqrt(2) * cos(k * pi / 16); kW4 is 2048 * sqrt(2) * cos(pi / 4).
constexpr int kW1 = 2841;
constexpr int kW2 = 2676;
constexpr int kW3 = 2408;
constexpr int kW4 = 2048;
constexpr int kW5 = 1609;
constexpr int kW6 = 1108;
constexpr int kW7 = 565;

constexpr int kRound1 = 128;  // first pass keeps 16 * sqrt(2) of scale in 16 bits
constexpr int kShift1 = 8;
constexpr int kRound2 = 4096;  // second pass leaves 4 fractional bits
constexpr int kShift2 = 13;
constexpr int kOutBias = (128 << 4) + 8;  // level shift and rounding of the last 4 bits
constexpr int kOutShift = 4;

}  // namespace picdec::simd_idct
