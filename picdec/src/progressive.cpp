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
            AcFirst(b, ctx.ac_tables[c.ta], blk, c.last_nz.data()[at]);
        } else {
            AcRefine(b, ctx.ac_tables[c.ta], blk, c.last_nz.data()[at]);
        }
        b.Save();
    }

    // last: the zig-zag index of the block's last non-zero AC coefficient (or less), so
    // that the corrections of an end-of-band run need not look past it.
    void AcFirst(LocalBits& b, const HuffTable& t, int16_t* blk, uint8_t& last) {
        if (eobrun > 0) {
            --eobrun;
            return;
        }
        const int se = scan.se, al = scan.al;
        int written = 0;
        for (int k = scan.ss; k <= se; ++k) {
            b.Need32();
            int32_t f = t.fast[b.acc >> (64 - kLookBits)];
            if (f != 0) {
                b.Drop(f & 0xFF);
                if (f & kFastEob) break;
                k += static_cast<uint8_t>(f >> 8) - 1;
                blk[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(f >> 16) << al);
                written = k;
                continue;
            }
            int rs = b.Symbol(t);
            int r = rs >> 4, s = rs & 15;
            if (s != 0) {
                k += r;
                int32_t v = b.Extend(s);
                blk[order[k]] = static_cast<int16_t>(static_cast<uint32_t>(v) << al);
                written = k;
            } else if (r == 15) {
                k += 15;
            } else {
                eobrun = (1 << r) - 1;
                if (r != 0) eobrun += static_cast<int>(b.Bits(r));
                break;
            }
        }
        // Past 63 damaged data lands on place 0, which is not an AC coefficient.
        if (written > 63) written = 0;
        if (written > last) last = static_cast<uint8_t>(written);
    }

    // Correction bit of an already non-zero coefficient.
    static void Correct(LocalBits& b, int16_t* coef, int p1) {
        if (b.Bit() != 0 && (*coef & p1) == 0) {
            *coef = static_cast<int16_t>(*coef >= 0 ? *coef + p1 : *coef - p1);
        }
    }

    void AcRefine(LocalBits& b, const HuffTable& t, int16_t* blk, uint8_t& last) {
        int p1 = 1 << scan.al;
        int k = scan.ss;
        const int se = scan.se;
        if (eobrun == 0) {
            for (; k <= se; ++k) {
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
                // Skip r zero-history coefficients, correcting the non-zero ones passed.
                while (k <= se) {
                    int16_t* coef = &blk[order[k]];
                    if (*coef != 0) {
                        Correct(b, coef, p1);
                    } else {
                        if (r == 0) break;
                        --r;
                    }
                    ++k;
                }
                if (value != 0) {
                    blk[order[k]] = static_cast<int16_t>(value);
                    if (k <= 63 && k > last) last = static_cast<uint8_t>(k);
                }
            }
        }
        if (eobrun > 0) {
            // Only coefficients up to the last non-zero one can need a correction bit.
            const int hi = se < last ? se : last;
            for (; k <= hi; ++k) {
                int16_t* coef = &blk[order[k]];
                if (*coef != 0) Correct(b, coef, p1);
            }
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
    ScanDecoder dec{ctx, scan, br, ctx.kernels.order};
    return dec.Run();
}

}  // namespace picdec
