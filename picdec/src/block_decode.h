// Sequential (baseline) Huffman decoding of one block: DC difference added to the predictor,
// AC coefficients placed through the coefficient order and multiplied by the quantisation
// entry as they are decoded. Products wrap to 16 bits, as the coefficient store is 16-bit.
#pragma once

#include "huffman.h"

namespace picdec {

// Returns true when the block has AC coefficients (else only place 0 was written). Not
// inlined: on its own the compiler keeps the bit buffer, the tables and the block in
// registers, where inside the MCU loops it spilled them (a third fewer instructions).
[[gnu::noinline, gnu::hot]] inline bool DecodeBlock(BitReader& br, const HuffTable& dc,
                                                    const HuffTable& ac, int16_t& pred,
                                                    const uint16_t* qzz, const uint8_t* order,
                                                    int16_t* block) {
    LocalBits b(br);
    b.Need32();
    int s = b.Symbol(dc);
    int diff = s != 0 ? b.Extend(s > 16 ? 16 : s) : 0;
    pred = static_cast<int16_t>(pred + diff);
    block[0] = static_cast<int16_t>(static_cast<uint32_t>(pred) * qzz[0]);
    // The common case first and falling through: a refill every few coefficients, a code
    // and value within the look-ahead, no end of block.
    const int32_t* fast = ac.fast_ac;
    intptr_t k = 1;
    while (k < 64) {
        b.NeedLook();
        int32_t f = fast[b.acc >> (64 - kLookBits)];
        if (__builtin_expect(f != 0, 1)) {
            b.Drop(f & 0xFF);
            if (__builtin_expect((f & kFastEob) != 0, 0)) break;
            k += (f >> 8) & 15;
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) * qzz[k]);
            ++k;
            continue;
        }
        b.Need32();
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
