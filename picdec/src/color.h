// Colour arrangements other than YCbCr, and the SIMD path's constants.
#pragma once

#include <cstdint>

namespace picdec {

// SIMD path: R = Y + (22970 cr >> 14), G = Y + ((-5638 cb - 11700 cr) >> 14),
// B = Y + (29032 cb >> 14), with cb and cr centred on 128.
constexpr int kSimdCrR = 22970;
constexpr int kSimdCbG = -5638;
constexpr int kSimdCrG = -11700;
constexpr int kSimdCbB = 29032;
constexpr int kSimdShift = 14;

// Output blue = third component, green = second, red = first.
void RgbToBgr(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* bgr, int n);
// "Other" four-component pictures: each colour component c becomes (k + 2c) / 3.
void CmykOtherToBgr(const uint8_t* c1, const uint8_t* c2, const uint8_t* c3, const uint8_t* k,
                    uint8_t* bgr, int n);
// YCCK: after the YCbCr conversion each channel is scaled by k / 255 (Adobe's inverted ink).
void ApplyK(const uint8_t* k, uint8_t* bgr, int n);

}  // namespace picdec
