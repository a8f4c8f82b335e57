// Sequential (baseline) Huffman decoding of one block: DC difference added to the predictor,
// AC coefficients placed through the coefficient order and multiplied by the quantisation
// entry as they are decoded. Products wrap to 16 bits, as the coefficient store is 16-bit.
#pragma once

#include "huffman.h"

namespace picdec {

// Returns true when the block has AC coefficients (else only place 0 was written).
inline bool DecodeBlock(BitReader& br, const HuffTable& dc, const HuffTable& ac, int16_t& pred,
                        const uint16_t* qzz, const uint8_t* order, int16_t* block) {
    if (br.n < 32) br.Refill();
    int s = DecodeSymbol(br, dc);
    int diff = 0;
    if (s != 0) diff = br.ReceiveExtend(s > 16 ? 16 : s);
    pred = static_cast<int16_t>(pred + diff);
    block[0] = static_cast<int16_t>(static_cast<uint32_t>(pred) * qzz[0]);
    int k = 1;
    while (k < 64) {
        if (br.n < 32) br.Refill();
        int32_t f = ac.fast_ac[br.Peek(kLookBits)];
        if (f != 0) {
            if (f & kFastEob) {
                br.Consume(f & 0xFF);
                break;
            }
            k += (f >> 8) & 15;
            br.Consume(f & 0xFF);
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) * qzz[k]);
            ++k;
            continue;
        }
        int rs = DecodeSymbol(br, ac);
        int r = rs >> 4;
        s = rs & 15;
        if (s != 0) {
            k += r;
            int32_t v = br.ReceiveExtend(s);
            block[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(v) * qzz[k]);
            ++k;
        } else {
            if (r != 15) break;
            k += 16;
        }
    }
    return k > 1;
}

}  // namespace picdec
