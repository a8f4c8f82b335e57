// Sequential (baseline) Huffman decoding of one block: DC difference added to the predictor,
// AC coefficients placed through the coefficient order and multiplied by the quantisation
// entry as they are decoded. Products wrap to 16 bits, as the coefficient store is 16-bit.
#pragma once

#include "huffman.h"

namespace picdec {

// The symbol of the code at the top of acc, and its length in *len (needs 16 valid bits).
[[gnu::always_inline]] inline int PeekSymbol(uint64_t acc, const HuffTable& t, int* len) {
    int e = t.lut[acc >> (64 - kLookBits)];
    if (e != 0) {
        *len = e >> 8;
        return e & 0xFF;
    }
    uint32_t code16 = static_cast<uint32_t>(acc >> 48);
    for (int l = kLookBits + 1; l <= 16; ++l) {
        int32_t c = static_cast<int32_t>(code16 >> (16 - l));
        if (c <= t.maxcode[l]) {
            *len = l;
            return t.vals[(t.valoff[l] + c) & 0xFF];
        }
    }
    *len = 16;  // not a code of this table: decodes as symbol 0
    return 0;
}

// Returns true when the block has AC coefficients (else only place 0 was written). The bit
// buffer lives in locals here so that it stays in registers.
[[gnu::always_inline]] inline bool DecodeBlock(BitReader& br, const HuffTable& dc,
                                               const HuffTable& ac, int16_t& pred,
                                               const uint16_t* qzz, const uint8_t* order,
                                               int16_t* block) {
    uint64_t acc = br.acc;
    int n = br.n;
    const uint8_t* p = br.p;
    auto refill = [&]() {
        if (!br.stopped && br.end - p >= 8) {
            uint64_t v;
            __builtin_memcpy(&v, p, 8);
            v = __builtin_bswap64(v);
            uint64_t t = ~v;
            if ((((t - 0x0101010101010101ull) & ~t) & 0x8080808080808080ull) == 0) {
                int k = (64 - n) >> 3;
                int r = 64 - n - 8 * k;
                acc |= ((v >> n) >> r) << r;
                p += k;
                n += 8 * k;
                return;
            }
        }
        br.acc = acc;
        br.n = n;
        br.p = p;
        br.RefillSlow();
        acc = br.acc;
        n = br.n;
        p = br.p;
    };
    auto bits = [&](int s) {
        int32_t v = static_cast<int32_t>(acc >> (64 - s));
        acc <<= s;
        n -= s;
        return v - ((v >> (s - 1)) == 0 ? (1 << s) - 1 : 0);
    };

    if (n < 32) refill();
    int len;
    int s = PeekSymbol(acc, dc, &len);
    acc <<= len;
    n -= len;
    int diff = s != 0 ? bits(s > 16 ? 16 : s) : 0;
    pred = static_cast<int16_t>(pred + diff);
    block[0] = static_cast<int16_t>(static_cast<uint32_t>(pred) * qzz[0]);
    int k = 1;
    while (k < 64) {
        if (n < 32) refill();
        int32_t f = ac.fast_ac[acc >> (64 - kLookBits)];
        if (f != 0) {
            int l = f & 0xFF;
            acc <<= l;
            n -= l;
            if (f & kFastEob) break;
            k += (f >> 8) & 15;
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) * qzz[k]);
            ++k;
            continue;
        }
        int rs = PeekSymbol(acc, ac, &len);
        acc <<= len;
        n -= len;
        int r = rs >> 4;
        s = rs & 15;
        if (s != 0) {
            k += r;
            int32_t v = bits(s);
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(v) * qzz[k]);
            ++k;
        } else {
            if (r != 15) break;
            k += 16;
        }
    }
    br.acc = acc;
    br.n = n;
    br.p = p;
    return k > 1;
}

}  // namespace picdec
