// Sequential (baseline) Huffman decoding of one block: DC difference added to the predictor,
// AC coefficients placed through the coefficient order and multiplied by the quantisation
// entry as they are decoded. Products wrap to 16 bits, as the coefficient store is 16-bit.
#pragma once

#include "huffman.h"

namespace picdec {

// Returns true when the block has AC coefficients (else only place 0 was written).
[[gnu::always_inline]] inline bool DecodeBlock(BitReader& br, const HuffTable& dc,
                                               const HuffTable& ac, int16_t& pred,
                                               const uint16_t* qzz, const uint8_t* order,
                                               int16_t* block) {
    LocalBits b(br);
    b.Need32();
    int s = b.Symbol(dc);
    int diff = s != 0 ? b.Extend(s > 16 ? 16 : s) : 0;
    pred = static_cast<int16_t>(pred + diff);
    block[0] = static_cast<int16_t>(static_cast<uint32_t>(pred) * qzz[0]);
    int k = 1;
    while (k < 64) {
        b.Need32();
        int32_t f = ac.fast_ac[b.acc >> (64 - kLookBits)];
        if (f != 0) {
            b.Drop(f & 0xFF);
            if (f & kFastEob) break;
            k += (f >> 8) & 15;
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) * qzz[k]);
            ++k;
            continue;
        }
        int rs = b.Symbol(ac);
        int r = rs >> 4;
        s = rs & 15;
        if (s != 0) {
            k += r;
            int32_t v = b.Extend(s);
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(v) * qzz[k]);
            ++k;
        } else {
            if (r != 15) break;
            k += 16;
        }
    }
    b.Save();
    return k > 1;
}

}  // namespace picdec
