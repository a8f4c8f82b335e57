// Huffman table construction and the slow refill of the bit reader.
#include "huffman.h"

#include <cstring>

namespace picdec {

Status BuildHuffTable(const uint8_t counts[16], const uint8_t* symbols, int nsym, bool ac,
                      HuffTable* t) {
    std::memset(t->lut, 0, sizeof(t->lut));
    std::memset(t->fast, 0, sizeof(t->fast));
    std::memset(t->vals, 0, sizeof(t->vals));
    std::memcpy(t->vals, symbols, static_cast<size_t>(nsym));
    int32_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        int count = counts[len - 1];
        // More codes of this length than there is room for: over-subscribed.
        if (code + count > (1 << len)) return Status::kBroken;
        t->valoff[len] = k - code;
        t->maxcode[len] = count != 0 ? code + count - 1 : -1;
        for (int i = 0; i < count; ++i, ++code, ++k) {
            if (len > kLookBits) continue;
            int shift = kLookBits - len;
            int sym = symbols[k];
            for (int fill = 0; fill < (1 << shift); ++fill) {
                int idx = (code << shift) | fill;
                t->lut[idx] = static_cast<uint16_t>((len << 8) | sym);
                int s = sym & 15;
                if (ac && sym == 0) t->fast[idx] = kFastEob | len;
                if (ac && s != 0 && len + s <= kLookBits) {
                    int32_t v = (idx >> (shift - s)) & ((1 << s) - 1);
                    if (v < (1 << (s - 1))) v -= (1 << s) - 1;
                    t->fast[idx] = static_cast<int32_t>(static_cast<uint32_t>(v) << 16) |
                                   (((sym >> 4) + 1) << 8) | (len + s);
                }
                // DC: the symbol is the difference's bit count (0 for a zero difference).
                if (!ac && sym <= 15 && len + sym <= kLookBits) {
                    int32_t v = 0;
                    if (sym != 0) {
                        v = (idx >> (shift - sym)) & ((1 << sym) - 1);
                        if (v < (1 << (sym - 1))) v -= (1 << sym) - 1;
                    }
                    t->fast[idx] =
                        static_cast<int32_t>(static_cast<uint32_t>(v) << 16) | (len + sym);
                }
            }
        }
        code <<= 1;
    }
    t->maxcode[17] = 0x7FFFFFFF;
    t->defined = true;
    return Status::kOk;
}

void BitReader::RefillSlow() {
    while (n <= 56) {
        if (stopped) {
            (at_data_end ? phantom : pad) += static_cast<uint64_t>(64 - n);
            n = 64;
            return;
        }
        if (p >= end) {
            stopped = true;
            at_data_end = true;
            continue;
        }
        uint8_t b = *p;
        if (b == 0xFF) {
            if (end - p < 2) {
                p = end;
                stopped = true;
                at_data_end = true;
                continue;
            }
            if (p[1] != 0) {
                stopped = true;  // a marker: left unread for the restart or scan logic
                continue;
            }
            p += 2;
        } else {
            ++p;
        }
        acc |= static_cast<uint64_t>(b) << (56 - n);
        n += 8;
    }
}

}  // namespace picdec
