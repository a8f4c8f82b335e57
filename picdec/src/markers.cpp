// Marker syntax: start of data, the marker search with its table and parameter segments, the
// frame header with the colour arrangement, and the scan header.
#include <cstring>

#include "context.h"

namespace picdec {
namespace {

// Marker codes.
constexpr int kSof0 = 0xC0, kSof1 = 0xC1, kSof2 = 0xC2, kSof9 = 0xC9, kSof10 = 0xCA;
constexpr int kDht = 0xC4, kDac = 0xCC, kDqt = 0xDB, kDri = 0xDD;
constexpr int kApp0 = 0xE0, kApp14 = 0xEE, kCom = 0xFE;
constexpr int kTem = 0x01;

// Opens a segment: the 2-byte length field counts itself, so below 2 is broken.
[[nodiscard]] bool OpenSegment(ByteCursor& in, size_t* body) {
    uint16_t len = in.U16();
    if (len < 2) return false;
    *body = len - 2u;
    return true;
}

Status ReadDqt(Context& ctx, SegmentReader& seg) {
    while (seg.left() > 0) {
        int pq_tq = seg.U8();
        int tq = pq_tq & 15;
        if (tq > 3) return Status::kBroken;
        bool wide = (pq_tq >> 4) != 0;
        QuantTable& q = ctx.quant[tq];
        for (int k = 0; k < 64; ++k)
            q.zz[k] = wide ? seg.U16() : seg.U8();
        for (int k = 64; k < 80; ++k)
            q.zz[k] = 0;
        for (int k = 0; k < 64; ++k)
            q.place[ctx.kernels.order[k]] = q.zz[k];
        q.defined = true;
        if (seg.overrun()) return Status::kBroken;
    }
    return Status::kOk;
}

Status ReadDht(Context& ctx, SegmentReader& seg) {
    while (seg.left() > 0) {
        int tc_th = seg.U8();
        int tc = tc_th >> 4, th = tc_th & 15;
        if (tc > 1 || th > 3) return Status::kBroken;
        uint8_t counts[16];
        int total = 0;
        for (int i = 0; i < 16; ++i) {
            counts[i] = seg.U8();
            total += counts[i];
        }
        if (total > 256 || static_cast<size_t>(total) > seg.left()) return Status::kBroken;
        uint8_t symbols[256];
        for (int i = 0; i < total; ++i)
            symbols[i] = seg.U8();
        if (seg.overrun()) return Status::kBroken;
        HuffTable& t = tc == 0 ? ctx.dc_tables[th] : ctx.ac_tables[th];
        Status s = BuildHuffTable(counts, symbols, total, tc == 1, &t);
        if (Failed(s)) return s;
    }
    return Status::kOk;
}

void ReadApp0(Context& ctx, SegmentReader& seg) {
    // JFIF: "JFIF\0", version (2), units (1), x density (2), y density (2), thumbnail (2).
    if (seg.left() + 2 < 16) return;
    uint8_t b[14];
    for (uint8_t& c : b)
        c = seg.U8();
    if (std::memcmp(b, "JFIF", 5) != 0) return;
    ctx.jfif_units = b[7];
    ctx.x_density = static_cast<uint16_t>((b[8] << 8) | b[9]);
    ctx.y_density = static_cast<uint16_t>((b[10] << 8) | b[11]);
    if (ctx.arrangement == Arrangement::kUnset) ctx.arrangement = Arrangement::kYcc;
}

void ReadApp14(Context& ctx, SegmentReader& seg) {
    // Adobe: "Adobe", version (2), flags0 (2), flags1 (2), transform (1).
    if (seg.left() < 12) return;
    uint8_t b[12];
    for (uint8_t& c : b)
        c = seg.U8();
    if (std::memcmp(b, "Adobe", 5) != 0) return;
    ctx.adobe = true;
    ctx.adobe_transform = b[11];
}

void ReadCom(Context& ctx, SegmentReader& seg) {
    size_t n = seg.left();
    ctx.comment.assign(n + 2, 0);
    for (size_t i = 0; i < n; ++i)
        ctx.comment[i] = seg.U8();
    ctx.have_comment = true;
}

bool SkippedBySearch(int m) {
    return (m >= 0x02 && m <= 0xBF) || m == 0xDC || m == 0xDE || m == 0xDF ||
           (m >= 0xE1 && m <= 0xED) || m == 0xEF || (m >= 0xF0 && m <= 0xFD);
}

Status DecideArrangement(Context& ctx) {
    int id0 = ctx.comp[0].id;
    switch (ctx.ncomp) {
        case 1:
            ctx.arrangement = Arrangement::kGrey;
            return Status::kOk;
        case 3:
            if (id0 == 1 && ctx.comp[1].id == 4 && ctx.comp[2].id == 5) return Status::kUnsupported;
            if (id0 == 1 && ctx.comp[1].id == 2 && ctx.comp[2].id == 3) {
                ctx.arrangement = Arrangement::kYcc;
            } else if (id0 == 8 || id0 == 82) {
                ctx.arrangement = Arrangement::kRgb;
            } else if (id0 == 99) {
                ctx.arrangement = Arrangement::kOther;
            } else {
                ctx.arrangement = Arrangement::kYcc;
            }
            return Status::kOk;
        case 4:
            ctx.arrangement = (ctx.adobe && ctx.adobe_transform == 2) || id0 == 1
                                  ? Arrangement::kYcc
                                  : Arrangement::kOther;
            return Status::kOk;
        default:
            return Status::kUnsupported;
    }
}

Status ReadFrameHeader(Context& ctx) {
    ByteCursor& in = ctx.in;
    size_t body;
    if (!OpenSegment(in, &body)) return Status::kBroken;
    SegmentReader seg(in, body);
    seg.U8();  // precision: read, not validated
    ctx.height = seg.U16();
    ctx.width = seg.U16();
    int n = seg.U8();
    if (ctx.height <= 0 || ctx.width <= 0 || n == 0 || body + 2 < 3u * n + 8) {
        return Status::kBroken;
    }
    ctx.ncomp = n;
    ctx.hmax = ctx.vmax = 1;
    for (int i = 0; i < n; ++i) {
        int id = seg.U8();
        int hv = seg.U8();
        int tq = seg.U8();
        int h = hv >> 4, v = hv & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4) return Status::kBroken;
        if (i >= kMaxComponents) continue;
        Component& c = ctx.comp[i];
        c.id = id;
        c.h = h;
        c.v = v;
        c.tq = tq;
    }
    seg.Finish();  // surplus header bytes
    Status s = DecideArrangement(ctx);
    if (Failed(s)) return s;
    // A lone component is one block per MCU whatever its factors say.
    if (n == 1) ctx.comp[0].h = ctx.comp[0].v = 1;
    for (int i = 0; i < n; ++i) {
        if (ctx.comp[i].h > ctx.hmax) ctx.hmax = ctx.comp[i].h;
        if (ctx.comp[i].v > ctx.vmax) ctx.vmax = ctx.comp[i].v;
    }
    return Status::kOk;
}

}  // namespace

int NextMarker(Context& ctx, Status* status) {
    ByteCursor& in = ctx.in;
    *status = Status::kOk;
    for (;;) {
        if (in.at_end()) return kMarkerEnd;
        if (in.U8() != 0xFF) continue;
        int m;
        do {
            m = in.U8();
        } while (m == 0xFF && !in.at_end());
        if (in.at_end()) return kMarkerEnd;
        if (m == 0x00 || m == kTem || (m >= 0xD0 && m <= 0xD7)) continue;
        bool skip = SkippedBySearch(m) || (m == kCom && (!ctx.collect_comment || ctx.have_comment));
        bool read = m == kDht || m == kDac || m == kDqt || m == kDri || m == kApp0 || m == kApp14 ||
                    m == kCom;
        if (!skip && !read) return m;
        size_t body;
        if (!OpenSegment(in, &body)) {
            *status = Status::kBroken;
            return kMarkerEnd;
        }
        SegmentReader seg(in, body);
        Status s = Status::kOk;
        if (!skip) {
            switch (m) {
                case kDht:
                    s = ReadDht(ctx, seg);
                    break;
                case kDqt:
                    s = ReadDqt(ctx, seg);
                    break;
                case kDri:
                    if (body != 2) {
                        s = Status::kBroken;
                    } else {
                        ctx.restart_interval = seg.U16();
                    }
                    break;
                case kApp0:
                    ReadApp0(ctx, seg);
                    break;
                case kApp14:
                    ReadApp14(ctx, seg);
                    break;
                case kCom:
                    ReadCom(ctx, seg);
                    break;
                default:  // DAC: arithmetic conditioning, not used
                    break;
            }
        }
        // A segment cut short by the end of the data is the end of the data.
        if (Failed(s) && !in.at_end()) {
            *status = s;
            return kMarkerEnd;
        }
        seg.Finish();
    }
}

Status ReadHeaders(Context& ctx) {
    ByteCursor& in = ctx.in;
    if (in.U8() != 0xFF || in.U8() != 0xD8 || in.at_end()) return Status::kUnsupported;
    Status s;
    int m = NextMarker(ctx, &s);
    if (Failed(s)) return s;
    switch (m) {
        case kSof0:
        case kSof1:
            break;
        case kSof2:
            ctx.progressive = true;
            break;
        case kSof9:
            ctx.arithmetic = true;
            break;
        case kSof10:
            ctx.progressive = ctx.arithmetic = true;
            break;
        default:
            return Status::kUnsupported;
    }
    s = ReadFrameHeader(ctx);
    if (Failed(s)) return s;
    // Arithmetic-coded scans would only decode to garbage through the Huffman decoder.
    if (ctx.arithmetic) return Status::kUnsupported;
    return Status::kOk;
}

Status ReadScanHeader(Context& ctx, Scan* scan) {
    ByteCursor& in = ctx.in;
    size_t body;
    if (!OpenSegment(in, &body)) return Status::kBroken;
    SegmentReader seg(in, body);
    int n = seg.U8();
    if (n < 1 || n > 4) return Status::kBroken;
    scan->count = n;
    for (int i = 0; i < n; ++i) {
        int id = seg.U8();
        int tables = seg.U8();
        int idx = -1;
        for (int c = 0; c < ctx.ncomp; ++c) {
            if (ctx.comp[c].id == id) {
                idx = c;
                break;
            }
        }
        if (idx < 0) return Status::kBroken;
        for (int j = 0; j < i; ++j) {
            if (scan->comp[j] == idx) return Status::kBroken;
        }
        scan->comp[i] = idx;
        ctx.comp[idx].td = tables >> 4;
        ctx.comp[idx].ta = tables & 15;
    }
    scan->ss = seg.U8();
    scan->se = seg.U8();
    int a = seg.U8();
    scan->ah = a >> 4;
    scan->al = a & 15;
    if (seg.overrun()) return Status::kBroken;
    seg.Finish();

    if (n > 1) {
        int blocks = 0;
        for (int i = 0; i < n; ++i)
            blocks += ctx.comp[scan->comp[i]].h * ctx.comp[scan->comp[i]].v;
        if (blocks > kMaxBlocksPerMcu) return Status::kUnsupported;
    }
    bool needs_dc = !ctx.progressive || (scan->ss == 0 && scan->ah == 0);
    bool needs_ac = !ctx.progressive || scan->ss != 0;
    if (ctx.progressive) {
        // Spectral selection and successive approximation must describe a real band.
        if (scan->ss > scan->se || scan->se > 63 || (scan->ss == 0 && scan->se != 0) ||
            (scan->ss != 0 && n != 1) || scan->al > 13 || scan->ah > 13) {
            return Status::kBroken;
        }
    }
    for (int i = 0; i < n; ++i) {
        const Component& c = ctx.comp[scan->comp[i]];
        if (c.tq > 3 || !ctx.quant[c.tq].defined) return Status::kBroken;
        if (needs_dc && (c.td > 3 || !ctx.dc_tables[c.td].defined)) {
            return Status::kBroken;
        }
        if (needs_ac && (c.ta > 3 || !ctx.ac_tables[c.ta].defined)) return Status::kBroken;
    }
    return Status::kOk;
}

}  // namespace picdec
