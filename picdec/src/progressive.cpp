// Scans decoded into the whole-picture coefficient buffer. Coefficients are stored in place
// order and dequantised when the picture is output.
#include "progressive.h"

#include "block_decode.h"

namespace picdec {
namespace {

constexpr uint16_t kUnitQuant[80] = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

struct ScanDecoder {
    Context& ctx;
    const Scan& scan;
    BitReader& br;
    const uint8_t* order;
    int (*nth_bit)(uint64_t x, int r);
    int eobrun = 0;

    static size_t BlockAt(const Component& c, int bx, int by) {
        return static_cast<size_t>(by) * c.blocks_w + bx;
    }

    void Block(Component& c, size_t at) {
        if (br.Starved()) return;  // no data left in this restart interval
        int16_t* blk = c.coefs.data() + at * 64;
        if (!ctx.progressive) {
            DecodeBlock(br, ctx.dc_tables[c.td], ctx.ac_tables[c.ta], c.dc_pred, kUnitQuant, order,
                        blk);
            return;
        }
        if (scan.ss != 0 && scan.ah == 0 && eobrun > 0) {
            --eobrun;  // inside an end-of-band run: nothing to read
            return;
        }
        LocalBits b(br);
        if (scan.ss == 0) {
            b.Need32();
            if (scan.ah == 0) {
                int s = b.Symbol(ctx.dc_tables[c.td]);
                int diff = s != 0 ? b.Extend(s > 16 ? 16 : s) : 0;
                c.dc_pred = static_cast<int16_t>(c.dc_pred + diff);
                blk[0] = static_cast<int16_t>(static_cast<uint32_t>(c.dc_pred) << scan.al);
            } else if (b.Bits(1) != 0) {
                blk[0] = static_cast<int16_t>(blk[0] | (1 << scan.al));
            }
        } else if (scan.ah == 0) {
            AcFirst(b, ctx.ac_tables[c.ta], blk, c.nonzero.data()[at]);
        } else {
            AcRefine(b, ctx.ac_tables[c.ta], blk, c.nonzero.data()[at]);
        }
        b.Save();
    }

    // nz: the block's non-zero AC coefficients, bit k for zig-zag index k (1..63). Refinement
    // scans find the coefficients without history, and those needing a correction bit,
    // from it instead of reading the block.
    static void Track(uint64_t& nz, int k, int16_t stored) {
        if (k > 63) return;  // damaged data: lands on place 0, which is not an AC coefficient
        uint64_t bit = uint64_t{1} << k;
        nz = stored != 0 ? nz | bit : nz & ~bit;
    }

    void AcFirst(LocalBits& b, const HuffTable& t, int16_t* blk, uint64_t& nz) {
        if (eobrun > 0) {
            --eobrun;
            return;
        }
        const int se = scan.se, al = scan.al;
        for (int k = scan.ss; k <= se; ++k) {
            b.Need32();
            int32_t f = t.fast[b.acc >> (64 - kLookBits)];
            if (f != 0) {
                b.Drop(f & 0xFF);
                if (f & kFastEob) break;
                k += static_cast<uint8_t>(f >> 8) - 1;
                auto v = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) << al);
                blk[order[k]] = v;
                Track(nz, k, v);
                continue;
            }
            int rs = b.Symbol(t);
            int r = rs >> 4, s = rs & 15;
            if (s != 0) {
                k += r;
                auto v = static_cast<int16_t>(static_cast<uint32_t>(b.Extend(s)) << al);
                blk[order[k]] = v;
                Track(nz, k, v);
            } else if (r == 15) {
                k += 15;
            } else {
                eobrun = (1 << r) - 1;
                if (r != 0) eobrun += static_cast<int>(b.Bits(r));
                break;
            }
        }
    }

    // Bits k..63 (none for k = 64 and above).
    static uint64_t From(int k) { return k > 63 ? 0 : ~uint64_t{0} << k; }

    // Correction bits, in zig-zag order, of the non-zero coefficients in `pass`.
    void Correct(LocalBits& b, int16_t* blk, uint64_t pass, int p1) {
        while (pass != 0) {
            int16_t* coef = &blk[order[__builtin_ctzll(pass)]];
            pass &= pass - 1;
            int c = *coef;
            int bit = static_cast<int>(b.Bit()) & ((c & p1) == 0 ? 1 : 0);
            *coef = static_cast<int16_t>(c + (c >= 0 ? bit * p1 : -bit * p1));
        }
    }

    void AcRefine(LocalBits& b, const HuffTable& t, int16_t* blk, uint64_t& nz) {
        const int p1 = 1 << scan.al;
        const int se = scan.se;
        const uint64_t band_end = ~From(se + 1);  // bits up to se
        int k = scan.ss;
        if (eobrun == 0) {
            while (k <= se) {
                b.Need32();
                int rs = b.Symbol(t);
                int r = rs >> 4, s = rs & 15;
                int value = 0;
                if (s != 0) {
                    value = b.Bits(1) != 0 ? p1 : -p1;
                } else if (r != 15) {
                    eobrun = 1 << r;
                    if (r != 0) eobrun += static_cast<int>(b.Bits(r));
                    break;
                }
                // The (r + 1)-th coefficient without history from k on takes the value (se + 1
                // when the band runs out); the non-zero ones passed get their correction bits.
                int target = nth_bit(~nz & From(k) & band_end, r);
                if (target > se) target = se + 1;
                Correct(b, blk, nz & From(k) & ~From(target), p1);
                if (value != 0) {
                    blk[order[target]] = static_cast<int16_t>(value);
                    Track(nz, target, static_cast<int16_t>(value));
                }
                k = target + 1;
            }
        }
        if (eobrun > 0) {
            Correct(b, blk, nz & From(k) & band_end, p1);
            --eobrun;
        }
    }

    Status Run() {
        RestartState rst;
        rst.interval = ctx.restart_interval;
        rst.todo = rst.interval;
        auto mcu_start = [&]() -> Status {
            if (rst.interval != 0) {
                if (rst.todo == 0) {
                    Status s = ProcessRestart(ctx, br, rst, scan);
                    if (Failed(s)) return s;
                    eobrun = 0;
                }
                --rst.todo;
            }
            return Status::kOk;
        };
        if (scan.count == 1) {
            Component& c = ctx.comp[scan.comp[0]];
            int bw = (c.width + 7) / 8, bh = (c.height + 7) / 8;
            for (int by = 0; by < bh; ++by) {
                for (int bx = 0; bx < bw; ++bx) {
                    Status s = mcu_start();
                    if (Failed(s)) return s;
                    Block(c, BlockAt(c, bx, by));
                }
            }
            return Status::kOk;
        }
        int mcux = (ctx.width + 8 * ctx.hmax - 1) / (8 * ctx.hmax);
        int mcuy = (ctx.height + 8 * ctx.vmax - 1) / (8 * ctx.vmax);
        for (int my = 0; my < mcuy; ++my) {
            for (int mx = 0; mx < mcux; ++mx) {
                Status s = mcu_start();
                if (Failed(s)) return s;
                for (int i = 0; i < scan.count; ++i) {
                    Component& c = ctx.comp[scan.comp[i]];
                    for (int by = 0; by < c.v; ++by) {
                        for (int bx = 0; bx < c.h; ++bx) {
                            Block(c, BlockAt(c, mx * c.h + bx, my * c.v + by));
                        }
                    }
                }
            }
        }
        return Status::kOk;
    }
};

}  // namespace

Status ProcessRestart(Context& ctx, BitReader& br, RestartState& rs, const Scan& scan) {
    const uint8_t* data = ctx.in.data();
    size_t size = ctx.in.size();
    size_t pos = static_cast<size_t>(br.p - data);
    int d = rs.expected;
    // The bits left in the buffer are dropped; the reader never holds bytes past a marker.
    for (;;) {
        // Next marker: FF followed by a non-zero byte other than FF.
        size_t at;
        int m;
        for (;;) {
            while (pos < size && data[pos] != 0xFF)
                ++pos;
            if (pos >= size) return Status::kBroken;
            at = pos;
            while (pos < size && data[pos] == 0xFF)
                ++pos;
            if (pos >= size) return Status::kBroken;
            m = data[pos];
            if (m != 0) break;
            ++pos;
        }
        at = pos - 1;
        bool is_rst = m >= 0xD0 && m <= 0xD7;
        int n = m - 0xD0;
        if (is_rst && n == d) {
            pos = pos + 1;
            break;
        }
        if (m < 0xC0) {
            ++pos;  // not a marker worth stopping at: search on
            continue;
        }
        if (!is_rst || n == ((d + 1) & 7) || n == ((d + 2) & 7)) {
            pos = at;  // left unread: the interval decodes from the marker, as zero bits
            break;
        }
        if (n == ((d - 1) & 7) || n == ((d - 2) & 7)) {
            ++pos;
            continue;
        }
        pos = pos + 1;  // too far away: taken as the expected one
        break;
    }
    for (int i = 0; i < scan.count; ++i)
        ctx.comp[scan.comp[i]].dc_pred = 0;
    rs.todo = rs.interval;
    rs.expected = (d + 1) & 7;
    br.Reset(data + pos, data + size);
    return Status::kOk;
}

Status DecodeCoefficientScan(Context& ctx, const Scan& scan, BitReader& br) {
    for (int i = 0; i < scan.count; ++i)
        ctx.comp[scan.comp[i]].dc_pred = 0;
    ScanDecoder dec{ctx, scan, br, ctx.kernels.order, ctx.kernels.nth_bit};
    return dec.Run();
}

}  // namespace picdec
