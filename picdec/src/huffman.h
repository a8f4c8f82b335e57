// Huffman tables and the entropy bit reader shared by the sequential and progressive decoders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "status.h"

namespace picdec {

constexpr int kLookBits = 10;
constexpr int32_t kFastEob = 0x4000;  // fast_ac entry flag: end of block

struct HuffTable {
    bool defined = false;
    // Codes up to kLookBits long: (length << 8) | symbol; 0 for longer codes.
    uint16_t lut[1 << kLookBits];
    // AC tables: code and value bits together within kLookBits:
    // (value << 16) | (run << 8) | total length, or kFastEob | length for the end-of-block
    // code; 0 when they do not fit.
    int32_t fast_ac[1 << kLookBits];
    int32_t maxcode[18];  // largest code of each length, -1 when none
    int32_t valoff[18];   // symbol index of a code of that length, minus the code
    uint8_t vals[256];
};

// Builds the decoding structures from the 16 code counts and the symbols; an impossible
// (over-subscribed) set of code lengths is broken data.
[[nodiscard]] Status BuildHuffTable(const uint8_t counts[16], const uint8_t* symbols, int nsym,
                                    bool ac, HuffTable* t);

// 64-bit left-aligned bit buffer over the entropy-coded data. It stops in front of a marker
// (FF followed by anything but 00) and then delivers zero bits, like the end of the data.
struct BitReader {
    const uint8_t* p = nullptr;
    const uint8_t* end = nullptr;
    uint64_t acc = 0;
    int n = 0;             // valid bits at the top of acc
    bool stopped = false;  // at a marker or at the end of the data
    bool at_data_end = false;
    uint64_t phantom = 0;   // zero bits delivered past the end of the data
    bool past_end = false;  // a consumed bit came from beyond the end of the data
    uint64_t pad = 0;       // zero bits delivered in front of a marker

    void Reset(const uint8_t* pos, const uint8_t* e) {
        past_end = ConsumedPastEnd();
        phantom = 0;
        pad = 0;
        p = pos;
        end = e;
        acc = 0;
        n = 0;
        stopped = false;
    }

    // Leaves at least 57 bits in the buffer (zero bits once stopped).
    inline void Refill() {
        if (n > 56) return;
        if (!stopped && end - p >= 8) {
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
        RefillSlow();
    }

    void RefillSlow();

    inline uint32_t Peek(int bits) const { return static_cast<uint32_t>(acc >> (64 - bits)); }
    inline void Consume(int bits) {
        acc <<= bits;
        n -= bits;
    }
    // Reads s (1..16) bits and extends them to a signed value.
    inline int32_t ReceiveExtend(int s) {
        int32_t v = static_cast<int32_t>(acc >> (64 - s));
        Consume(s);
        return v - ((v >> (s - 1)) == 0 ? (1 << s) - 1 : 0);
    }
    inline uint32_t Bits(int s) {
        uint32_t v = static_cast<uint32_t>(acc >> (64 - s));
        Consume(s);
        return v;
    }

    // True once a consumed bit was padding in front of a marker: the rest of the restart
    // interval has no data, and its blocks stay empty as in libjpeg.
    bool Starved() const { return pad > static_cast<uint64_t>(n < 0 ? 0 : n); }

    // True when a consumed bit came from beyond the end of the data.
    bool ConsumedPastEnd() const {
        return past_end || phantom > static_cast<uint64_t>(n < 0 ? 0 : n);
    }
};

// One Huffman symbol; needs 16 bits in the buffer. Invalid codes decode as symbol 0.
inline int DecodeSymbol(BitReader& br, const HuffTable& t) {
    uint32_t look = br.Peek(kLookBits);
    int e = t.lut[look];
    if (e != 0) {
        br.Consume(e >> 8);
        return e & 0xFF;
    }
    uint32_t code16 = br.Peek(16);
    for (int l = kLookBits + 1; l <= 16; ++l) {
        int32_t c = static_cast<int32_t>(code16 >> (16 - l));
        if (c <= t.maxcode[l]) {
            br.Consume(l);
            return t.vals[(t.valoff[l] + c) & 0xFF];
        }
    }
    br.Consume(16);
    return 0;
}

}  // namespace picdec
