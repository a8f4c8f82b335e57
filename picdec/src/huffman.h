// Huffman tables and the entropy bit reader shared by the sequential and progressive decoders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "status.h"

namespace picdec {

constexpr int kLookBits = 10;
static_assert(kLookBits <= 16, "the fast path refills below 16 bits");
constexpr int32_t kFastEob = 0x4000;  // fast entry flag: end of block

struct HuffTable {
    bool defined = false;
    // Codes up to kLookBits long: (length << 8) | symbol; 0 for longer codes.
    uint16_t lut[1 << kLookBits];
    // Code and value bits together within kLookBits: (value << 16) | ((run + 1) << 8) |
    // total length; for AC tables kFastEob | length for the end-of-block code, for DC tables
    // bits 8..15 are 0 and the value is the difference. 0 when they do not fit.
    int32_t fast[1 << kLookBits];
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
        // Without a branch: a clear top bit means a negative value, v - (2^s - 1).
        return v - ((static_cast<int32_t>(v >> (s - 1)) - 1) & ((1 << s) - 1));
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

// The bit buffer copied into locals for the length of one block, so that it stays in
// registers; Save() writes it back.
class LocalBits {
  public:
    explicit LocalBits(BitReader& br)
        : br_(br), acc(br.acc), n(br.n), p(br.p), fast_end_(FastEnd(br)) {}
    void Save() {
        br_.acc = acc;
        br_.n = n;
        br_.p = p;
    }
    [[gnu::always_inline]] void Refill() {
        if (reinterpret_cast<uintptr_t>(p) <= fast_end_) {
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
        Save();
        br_.RefillSlow();
        acc = br_.acc;
        n = br_.n;
        p = br_.p;
        fast_end_ = FastEnd(br_);
    }
    // Makes sure of 32 bits.
    [[gnu::always_inline]] void Need32() {
        if (n < 32) Refill();
    }
    // Makes sure of kLookBits, enough for a code and value within the look-ahead; a refill
    // then brings at least 57 bits, so refills (and their mispredicted branches) are rarer.
    [[gnu::always_inline]] void NeedLook() {
        if (__builtin_expect(n < 16, 0)) Refill();
    }
    [[gnu::always_inline]] void Drop(int bits) {
        acc <<= bits;
        n -= bits;
    }
    [[gnu::always_inline]] uint32_t Bits(int s) {
        uint32_t v = static_cast<uint32_t>(acc >> (64 - s));
        Drop(s);
        return v;
    }
    [[gnu::always_inline]] uint32_t Bit() {
        if (n < 1) Refill();
        return Bits(1);
    }
    [[gnu::always_inline]] int32_t Extend(int s) {
        int32_t v = static_cast<int32_t>(acc >> (64 - s));
        Drop(s);
        // Without a branch: a clear top bit means a negative value, v - (2^s - 1).
        return v - ((static_cast<int32_t>(v >> (s - 1)) - 1) & ((1 << s) - 1));
    }
    [[gnu::always_inline]] int Symbol(const HuffTable& t) {
        int e = t.lut[acc >> (64 - kLookBits)];
        if (e != 0) {
            Drop(e >> 8);
            return e & 0xFF;
        }
        uint32_t code16 = static_cast<uint32_t>(acc >> 48);
        for (int l = kLookBits + 1; l <= 16; ++l) {
            int32_t c = static_cast<int32_t>(code16 >> (16 - l));
            if (c <= t.maxcode[l]) {
                Drop(l);
                return t.vals[(t.valoff[l] + c) & 0xFF];
            }
        }
        Drop(16);  // not a code of this table: decodes as symbol 0
        return 0;
    }

  private:
    // The last position from which 8 bytes may be loaded; 0 once the reader has stopped.
    static uintptr_t FastEnd(const BitReader& br) {
        return br.stopped ? 0 : reinterpret_cast<uintptr_t>(br.end) - 8;
    }

    BitReader& br_;

  public:
    uint64_t acc;
    int n;
    const uint8_t* p;

  private:
    uintptr_t fast_end_;
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
