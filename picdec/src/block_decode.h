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
    int diff;
    int32_t fd = dc.fast[b.acc >> (64 - kLookBits)];
    if (__builtin_expect(fd != 0, 1)) {
        b.Drop(fd & 0xFF);
        diff = fd >> 16;
    } else {
        int s = b.Symbol(dc);
        diff = s != 0 ? b.Extend(s > 16 ? 16 : s) : 0;
    }
    pred = static_cast<int16_t>(pred + diff);
    block[0] = static_cast<int16_t>(static_cast<uint32_t>(pred) * qzz[0]);
    // The common case first and falling through: a refill every few coefficients, a code
    // and value within the look-ahead, no end of block.
    const int32_t* fast = ac.fast;
    intptr_t k = 1;
    while (k < 64) {
        b.NeedLook();
        int32_t f = fast[b.acc >> (64 - kLookBits)];
        if (__builtin_expect(f != 0, 1)) {
            b.Drop(f & 0xFF);
            if (__builtin_expect((f & kFastEob) != 0, 0)) break;
            // run + 1 in bits 8..15 (the end-of-block flag is clear here): k moves past the
            // coefficient, which goes to k - 1.
            k += static_cast<uint8_t>(f >> 8);
            block[order[k - 1]] = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) * qzz[k - 1]);
            continue;
        }
        b.Need32();
        int rs = b.Symbol(ac);
        int r = rs >> 4;
        int s = rs & 15;
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
