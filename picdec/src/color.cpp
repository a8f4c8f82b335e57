// Colour conversion to blue-green-red. The plain path uses the tables below; the SIMD path
// computes four pixels at a time with 14-bit constants and sends the last width % 4 pixels
// of each row through the plain tables.
#include "color.h"

#include "kernels.h"

namespace picdec {
namespace {

ColorTables MakeTables() {
    ColorTables t{};
    for (int x = 0; x < 256; ++x) {
        // Arithmetic shifts of negative values, as the tables are defined.
        t.cr_r[x] = (91882 * x - 11682187) >> 16;
        t.cb_b[x] = (116130 * x - 14773807) >> 16;
        t.cr_g[x] = 5967255 - 46802 * x;
        t.cb_g[x] = 2908403 - 22554 * x;
    }
    return t;
}

const ColorTables kTables = MakeTables();

inline void PlainPixel(int y, int cb, int cr, uint8_t* bgr) {
    bgr[0] = Clamp255(y + kTables.cb_b[cb]);
    bgr[1] = Clamp255(y + ((kTables.cb_g[cb] + kTables.cr_g[cr]) >> 16));
    bgr[2] = Clamp255(y + kTables.cr_r[cr]);
}

}  // namespace

const ColorTables& PlainColorTables() {
    return kTables;
}

void YccToBgrPlain(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int n) {
    for (int i = 0; i < n; ++i)
        PlainPixel(y[i], cb[i], cr[i], bgr + 3 * i);
}

void YccToBgrSimdTail(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr,
                      int from, int n) {
    int body = n & ~3;
    for (int i = from; i < body; ++i) {
        int b = cb[i] - 128, r = cr[i] - 128;
        bgr[3 * i + 0] = Clamp255(y[i] + ((kSimdCbB * b) >> kSimdShift));
        bgr[3 * i + 1] = Clamp255(y[i] + ((kSimdCbG * b + kSimdCrG * r) >> kSimdShift));
        bgr[3 * i + 2] = Clamp255(y[i] + ((kSimdCrR * r) >> kSimdShift));
    }
    for (int i = body < from ? from : body; i < n; ++i)
        PlainPixel(y[i], cb[i], cr[i], bgr + 3 * i);
}

void YccToBgrSimdModel(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr,
                       int n) {
    YccToBgrSimdTail(y, cb, cr, bgr, 0, n);
}

void RgbToBgr(const uint8_t* r, const uint8_t* g, const uint8_t* b, uint8_t* bgr, int n) {
    for (int i = 0; i < n; ++i) {
        bgr[3 * i + 0] = b[i];
        bgr[3 * i + 1] = g[i];
        bgr[3 * i + 2] = r[i];
    }
}

void CmykOtherToBgr(const uint8_t* c1, const uint8_t* c2, const uint8_t* c3, const uint8_t* k,
                    uint8_t* bgr, int n) {
    for (int i = 0; i < n; ++i) {
        bgr[3 * i + 0] = static_cast<uint8_t>((k[i] + 2 * c3[i]) / 3);
        bgr[3 * i + 1] = static_cast<uint8_t>((k[i] + 2 * c2[i]) / 3);
        bgr[3 * i + 2] = static_cast<uint8_t>((k[i] + 2 * c1[i]) / 3);
    }
}

void ApplyK(const uint8_t* k, uint8_t* bgr, int n) {
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < 3; ++c) {
            bgr[3 * i + c] = static_cast<uint8_t>((bgr[3 * i + c] * k[i] + 127) / 255);
        }
    }
}

}  // namespace picdec
