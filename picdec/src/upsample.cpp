// Up-sampling filters of the plain path; the SIMD kernels give the same bytes.
#include "upsample.h"

#include "kernels.h"

namespace picdec {

void H2v1Plain(const uint8_t* in, int n, uint8_t* out) {
    out[0] = in[0];
    for (int i = 1; i < n; ++i) {
        int a = in[i - 1], b = in[i];
        out[2 * i - 1] = static_cast<uint8_t>((3 * a + b + 2) >> 2);
        out[2 * i] = static_cast<uint8_t>((a + 3 * b + 2) >> 2);
    }
    out[2 * n - 1] = in[n - 1];
}

void H2v2Plain(const uint8_t* cur, const uint8_t* nb, int n, uint8_t* out) {
    int prev = 3 * cur[0] + nb[0];
    out[0] = static_cast<uint8_t>((4 * prev + 8) >> 4);
    for (int i = 1; i < n; ++i) {
        int c = 3 * cur[i] + nb[i];
        out[2 * i - 1] = static_cast<uint8_t>((3 * prev + c + 8) >> 4);
        out[2 * i] = static_cast<uint8_t>((prev + 3 * c + 8) >> 4);
        prev = c;
    }
    out[2 * n - 1] = static_cast<uint8_t>((4 * prev + 8) >> 4);
}

void Replicate(const uint8_t* in, int n_out, int factor, uint8_t* out) {
    for (int i = 0; i < n_out; ++i)
        out[i] = in[i / factor];
}

}  // namespace picdec
