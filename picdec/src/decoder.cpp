// Decoding driver and the MCU-row output pipeline.
#include "decoder.h"

#include <cstring>
#include <vector>

#include "block_decode.h"
#include "color.h"
#include "progressive.h"

namespace picdec {
namespace {

constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerEoi = 0xD9;
constexpr int kProgressiveTotal = 1536;
constexpr int kRowPad = 64;  // slack after each row for the SIMD kernels

inline int CeilDiv(int a, int b) {
    return (a + b - 1) / b;
}

// Component samples of three MCU rows (the one being output and its neighbours, for the
// context rows of the 2:1 vertical filter), as a ring.
struct Plane {
    std::vector<uint8_t> buf;
    size_t stride = 0;
    int rows = 0;               // rows per MCU row
    int width = 0, height = 0;  // samples at output scale, without padding

    uint8_t* Slot(int mcu_row) {
        return buf.data() + static_cast<size_t>(mcu_row % 3) * rows * stride;
    }
    const uint8_t* Row(int g) const {
        return buf.data() + (static_cast<size_t>((g / rows) % 3) * rows + g % rows) * stride;
    }
};

// Collects blocks for the inverse transform so that the SIMD widths can transform several at
// once; blocks without AC coefficients and preview blocks are written at once.
class BlockSink {
  public:
    BlockSink(const Kernels& k, bool preview) : k_(k), preview_(preview) {
        std::memset(blocks_, 0, sizeof(blocks_));
        for (int i = 0; i < kMaxIdctBatch; ++i)
            ptrs_[i] = blocks_[i];
    }
    // A zeroed block to decode into, for output rows of the given stride.
    int16_t* Next(size_t stride) {
        if (n_ > 0 && stride != stride_) Flush();
        stride_ = stride;
        return blocks_[n_];
    }
    void Commit(bool has_ac, uint8_t* dst) {
        int16_t* block = blocks_[n_];
        size_t stride = stride_;
        if (preview_) {
            // Four lowest coefficients, Q at (row 0, column 1) and R at (1, 0) on both paths.
            int pv = block[0];
            int qv = block[k_.transposed ? 8 : 1];
            int rv = block[k_.transposed ? 1 : 8];
            int sv = block[9];
            dst[0] = Clamp255(((pv + qv + rv + sv + 4) >> 3) + 128);
            dst[1] = Clamp255(((pv - qv + rv - sv + 4) >> 3) + 128);
            dst[stride] = Clamp255(((pv + qv - rv - sv + 4) >> 3) + 128);
            dst[stride + 1] = Clamp255(((pv - qv - rv + sv + 4) >> 3) + 128);
            std::memset(block, 0, 64 * sizeof(int16_t));
            return;
        }
        if (!has_ac) {
            // Both paths give (2 DC + 8) >> 4 for a block without AC coefficients.
            uint8_t v = Clamp255(((2 * block[0] + 8) >> 4) + 128);
            uint64_t fill = 0x0101010101010101ull * v;
            for (int y = 0; y < 8; ++y)
                std::memcpy(dst + y * stride, &fill, 8);
            block[0] = 0;
            return;
        }
        outs_[n_++] = dst;
        if (n_ == kMaxIdctBatch) Flush();
    }
    void Flush() {
        if (n_ == 0) return;
        k_.idct_batch(ptrs_, outs_, n_, static_cast<ptrdiff_t>(stride_));
        n_ = 0;
    }

  private:
    const Kernels& k_;
    bool preview_;
    alignas(64) int16_t blocks_[kMaxIdctBatch][64];
    int16_t* ptrs_[kMaxIdctBatch];
    uint8_t* outs_[kMaxIdctBatch];
    int n_ = 0;
    size_t stride_ = 0;
};

class Pipeline {
  public:
    Pipeline(Context& ctx, bool preview, const OutputBitmap& out)
        : ctx_(ctx), k_(ctx.kernels), out_(out), bs_(preview ? 2 : 8), sink_(ctx.kernels, preview) {
        mcux_ = CeilDiv(ctx.width, 8 * ctx.hmax);
        mcuy_ = CeilDiv(ctx.height, 8 * ctx.vmax);
        out_rows_ = ctx.vmax * bs_;
        int max_w = 0;
        for (int i = 0; i < ctx.ncomp; ++i) {
            Component& c = ctx.comp[i];
            Plane& p = planes_[i];
            p.rows = c.v * bs_;
            p.stride = static_cast<size_t>(c.blocks_w) * bs_ + kRowPad;
            p.width = preview ? CeilDiv(c.width, 4) : c.width;
            p.height = preview ? CeilDiv(c.height, 4) : c.height;
            p.buf.assign(p.stride * p.rows * 3, 0);
            if (c.blocks_w * bs_ > max_w) max_w = c.blocks_w * bs_;
            if (p.width * 2 > max_w) max_w = p.width * 2;
        }
        if (out.width > max_w) max_w = out.width;
        pad_ = out.stride - static_cast<size_t>(out.width) * (ctx.ncomp == 1 ? 1 : 3);
        for (int i = 0; i < ctx.ncomp; ++i) {
            tmp_[i].assign(static_cast<size_t>(max_w) * 4 + kRowPad, 0);
        }
    }

    int mcu_rows() const { return mcuy_; }

    // Sequential: entropy-decode MCU row m into the planes.
    Status DecodeRow(int m, BitReader& shared_br, RestartState& rst, const Scan& scan) {
        // A local copy keeps the bit buffer in registers across the row.
        BitReader br = shared_br;
        struct WriteBack {
            BitReader& to;
            BitReader& from;
            BlockSink& sink;
            ~WriteBack() {
                to = from;
                sink.Flush();
            }
        } write_back{shared_br, br, sink_};
        int mcus = scan.count == 1 ? CeilDiv(ctx_.comp[scan.comp[0]].width, 8) : mcux_;
        // The MCU's blocks as one flat list, worked out once per row: the nested loops over
        // components and sampling factors cost a tenth of a camera frame's decoding.
        struct McuBlock {
            const HuffTable* dc;
            const HuffTable* ac;
            int16_t* pred;
            const uint16_t* qzz;
            uint8_t* dst;  // in the first MCU of the row
            size_t stride, step;
            bool first;  // first block of its component: the starved check is made there
        } list[kMaxBlocksPerMcu];
        int nlist = 0;
        for (int i = 0; i < scan.count; ++i) {
            int ci = scan.comp[i];
            Component& c = ctx_.comp[ci];
            Plane& p = planes_[ci];
            int bh = scan.count == 1 ? 1 : c.v, bw = scan.count == 1 ? 1 : c.h;
            for (int by = 0; by < bh; ++by) {
                for (int bx = 0; bx < bw; ++bx) {
                    list[nlist++] = {&ctx_.dc_tables[c.td],
                                     &ctx_.ac_tables[c.ta],
                                     &c.dc_pred,
                                     ctx_.quant[c.tq].zz,
                                     p.Slot(m) + static_cast<size_t>(by) * bs_ * p.stride +
                                         static_cast<size_t>(bx) * bs_,
                                     p.stride,
                                     static_cast<size_t>(bw) * bs_,
                                     by == 0 && bx == 0};
                }
            }
        }
        const uint8_t* order = k_.order;
        bool starved = false;
        for (int mx = 0; mx < mcus; ++mx) {
            if (rst.interval != 0) {
                if (rst.todo == 0) {
                    Status s = ProcessRestart(ctx_, br, rst, scan);
                    if (Failed(s)) return s;
                }
                --rst.todo;
            }
            for (int i = 0; i < nlist; ++i) {
                const McuBlock& e = list[i];
                if (e.first) starved = br.Starved();
                int16_t* block = sink_.Next(e.stride);
                bool has_ac =
                    !starved && DecodeBlock(br, *e.dc, *e.ac, *e.pred, e.qzz, order, block);
                sink_.Commit(has_ac, e.dst + static_cast<size_t>(mx) * e.step);
            }
        }
        return Status::kOk;
    }

    // Progressive and multi-scan: dequantise and transform MCU row m from the coefficients.
    void TransformRow(int m) {
        for (int ci = 0; ci < ctx_.ncomp; ++ci) {
            Component& c = ctx_.comp[ci];
            Plane& p = planes_[ci];
            uint8_t* slot = p.Slot(m);
            const QuantTable& q = ctx_.quant[c.tq & 3];
            for (int by = 0; by < c.v; ++by) {
                size_t first = static_cast<size_t>(m * c.v + by) * c.blocks_w;
                const int16_t* src = c.coefs.data() + first * 64;
                // Progressive pictures know their blocks without AC coefficients.
                const uint64_t* nonzero = ctx_.progressive ? c.nonzero.data() + first : nullptr;
                for (int bx = 0; bx < c.blocks_w; ++bx, src += 64) {
                    int16_t* block = sink_.Next(p.stride);
                    uint8_t* dst = slot + static_cast<size_t>(by) * bs_ * p.stride +
                                   static_cast<size_t>(bx) * bs_;
                    if (nonzero != nullptr && nonzero[bx] == 0) {
                        block[0] = static_cast<int16_t>(static_cast<uint32_t>(src[0]) * q.place[0]);
                        sink_.Commit(false, dst);
                        continue;
                    }
                    // Whole block at once (vectorisable); place 0 is the DC in both orders.
                    int any = 0;
                    for (int j = 0; j < 64; ++j) {
                        block[j] = static_cast<int16_t>(static_cast<uint32_t>(src[j]) * q.place[j]);
                        any |= j != 0 ? src[j] : 0;
                    }
                    sink_.Commit(any != 0, dst);
                }
            }
        }
        sink_.Flush();
    }

    // Up-samples, converts and stores the picture rows of MCU row m. MCU row m + 1 must be
    // in the planes already when there is one.
    void OutputRow(int m) {
        int y0 = m * out_rows_;
        int y1 = y0 + out_rows_ < out_.height ? y0 + out_rows_ : out_.height;
        const uint8_t* rows[kMaxComponents];
        for (int y = y0; y < y1; ++y) {
            for (int ci = 0; ci < ctx_.ncomp; ++ci)
                rows[ci] = ComponentRow(ci, y);
            uint8_t* dst = out_.pixels + static_cast<size_t>(out_.height - 1 - y) * out_.stride;
            Convert(rows, dst);
            if (pad_ != 0) std::memset(dst + out_.stride - pad_, 0, pad_);
        }
        written_ = y1;
    }

    // Zeroes the bitmap rows that a failed or cancelled decoding did not reach (the block is
    // not zeroed when it is allocated).
    void ClearRest() {
        if (written_ >= out_.height) return;
        std::memset(out_.pixels, 0, static_cast<size_t>(out_.height - written_) * out_.stride);
        written_ = out_.height;
    }

  private:
    const uint8_t* ComponentRow(int ci, int y) {
        const Component& c = ctx_.comp[ci];
        const Plane& p = planes_[ci];
        uint8_t* tmp = tmp_[ci].data();
        switch (c.mode) {
            case UpMode::kNone:
                return p.Row(y);
            case UpMode::kH2v1:
                k_.h2v1(p.Row(y), p.width, tmp);
                return tmp;
            case UpMode::kH2v2: {
                int g = y >> 1;
                if (g > p.height - 1) g = p.height - 1;
                int nb = (y & 1) ? (g + 1 < p.height ? g + 1 : p.height - 1) : (g > 0 ? g - 1 : 0);
                k_.h2v2(p.Row(g), p.Row(nb), p.width, tmp);
                return tmp;
            }
            case UpMode::kReplicate: {
                const uint8_t* src = p.Row(y / c.rep_v);
                if (c.rep_h == 1) return src;
                Replicate(src, out_.width, c.rep_h, tmp);
                return tmp;
            }
        }
        return p.Row(y);
    }

    void Convert(const uint8_t* const* r, uint8_t* dst) {
        int n = out_.width;
        switch (ctx_.arrangement) {
            case Arrangement::kGrey:
                std::memcpy(dst, r[0], static_cast<size_t>(n));
                return;
            case Arrangement::kRgb:
                RgbToBgr(r[0], r[1], r[2], dst, n);
                return;
            case Arrangement::kOther:
                if (ctx_.ncomp == 4) {
                    CmykOtherToBgr(r[0], r[1], r[2], r[3], dst, n);
                } else {
                    RgbToBgr(r[0], r[1], r[2], dst, n);
                }
                return;
            default:
                k_.ycc_to_bgr(r[0], r[1], r[2], dst, n);
                if (ctx_.ncomp == 4) ApplyK(r[3], dst, n);
                return;
        }
    }

    Context& ctx_;
    const Kernels& k_;
    OutputBitmap out_;
    int bs_;
    BlockSink sink_;
    int mcux_ = 0, mcuy_ = 0, out_rows_ = 0;
    Plane planes_[kMaxComponents];
    std::vector<uint8_t> tmp_[kMaxComponents];
    size_t pad_ = 0;   // bytes between the end of a row and the stride
    int written_ = 0;  // bitmap rows written, from the top
};

int Notify(ProgressFn fn, int num, int den, long data) {
    return fn != nullptr ? fn(num, den, data) : 0;
}

Status DecodeSequential(Context& ctx, Pipeline& pipe, const Scan& scan, ProgressFn progress,
                        long data) {
    BitReader br;
    br.Reset(ctx.in.data() + ctx.in.pos(), ctx.in.data() + ctx.in.size());
    RestartState rst;
    rst.interval = ctx.restart_interval;
    rst.todo = rst.interval;
    for (int i = 0; i < scan.count; ++i)
        ctx.comp[scan.comp[i]].dc_pred = 0;
    int rows = pipe.mcu_rows();
    Notify(progress, 0, rows, data);
    for (int m = 0; m < rows; ++m) {
        if (m % 8 == 0 && Notify(progress, m, rows, data) != 0) return Status::kCancelled;
        Status s = pipe.DecodeRow(m, br, rst, scan);
        if (Failed(s)) return s;
        if (m > 0) pipe.OutputRow(m - 1);
    }
    pipe.OutputRow(rows - 1);
    Notify(progress, rows, rows, data);
    return Status::kOk;
}

Status DecodeScans(Context& ctx, Pipeline& pipe, Scan scan, ProgressFn progress, long data) {
    uint64_t bytes = 0;
    for (int i = 0; i < ctx.ncomp; ++i) {
        // 64 coefficients of 2 bytes and the mask of non-zero ones per block.
        bytes += uint64_t{136} * ctx.comp[i].blocks_w * ctx.comp[i].blocks_h;
    }
    if (bytes > kMaxCoefficientBytes) return Status::kNoMemory;
    for (int i = 0; i < ctx.ncomp; ++i) {
        Component& c = ctx.comp[i];
        size_t blocks = static_cast<size_t>(c.blocks_w) * c.blocks_h;
        if (!c.coefs.Assign(blocks * 64) || !c.nonzero.Assign(ctx.progressive ? blocks : 0)) {
            return Status::kNoMemory;
        }
    }
    Status status = Status::kOk;
    int total = 0;
    BitReader br;
    Notify(progress, 0, kProgressiveTotal, data);
    for (;;) {
        if (ctx.in.at_end()) {
            status = Status::kTruncated;
            break;
        }
        br.Reset(ctx.in.data() + ctx.in.pos(), ctx.in.data() + ctx.in.size());
        Status s = DecodeCoefficientScan(ctx, scan, br);
        if (Failed(s)) {
            status = s;
            break;
        }
        if (br.ConsumedPastEnd()) {
            ctx.in.set_end();
            status = Status::kTruncated;
        }
        ctx.in.set_pos(static_cast<size_t>(br.p - ctx.in.data()));
        int ah = scan.ah == 0 ? 8 : scan.ah;
        total += ctx.progressive ? (scan.se - scan.ss) * (ah - scan.al) : 63 * 8;
        if (Notify(progress, total, kProgressiveTotal, data) != 0) return Status::kCancelled;
        if (status != Status::kOk) break;
        int m = NextMarker(ctx, &s);
        if (Failed(s)) {
            status = s;
            break;
        }
        if (m == kMarkerEoi) break;
        if (m == kMarkerEnd) {
            status = Status::kTruncated;
            break;
        }
        if (m != kMarkerSos) {
            status = Status::kBroken;
            break;
        }
        s = ReadScanHeader(ctx, &scan);
        if (Failed(s)) {
            status = s;
            break;
        }
    }
    // Running out of data decides the outcome, whatever the zero bytes then looked like.
    if (status == Status::kBroken && ctx.in.at_end()) status = Status::kTruncated;
    int rows = pipe.mcu_rows();
    for (int m = 0; m < rows; ++m) {
        pipe.TransformRow(m);
        if (m > 0) pipe.OutputRow(m - 1);
    }
    pipe.OutputRow(rows - 1);
    Notify(progress, kProgressiveTotal, kProgressiveTotal, data);
    return status;
}

}  // namespace

Status PrepareFrame(Context& ctx) {
    int mcux = CeilDiv(ctx.width, 8 * ctx.hmax);
    int mcuy = CeilDiv(ctx.height, 8 * ctx.vmax);
    for (int i = 0; i < ctx.ncomp; ++i) {
        Component& c = ctx.comp[i];
        c.width = CeilDiv(ctx.width * c.h, ctx.hmax);
        c.height = CeilDiv(ctx.height * c.v, ctx.vmax);
        c.blocks_w = mcux * c.h;
        c.blocks_h = mcuy * c.v;
        c.rep_h = c.rep_v = 1;
        if (c.h == ctx.hmax && c.v == ctx.vmax) {
            c.mode = UpMode::kNone;
        } else if (ctx.hmax == 2 * c.h && c.v == ctx.vmax) {
            c.mode = UpMode::kH2v1;
        } else if (ctx.hmax == 2 * c.h && ctx.vmax == 2 * c.v) {
            c.mode = UpMode::kH2v2;
        } else if (ctx.hmax % c.h == 0 && ctx.vmax % c.v == 0) {
            c.mode = UpMode::kReplicate;
            c.rep_h = ctx.hmax / c.h;
            c.rep_v = ctx.vmax / c.v;
        } else {
            return Status::kUnsupported;
        }
    }
    return Status::kOk;
}

Status DecodePicture(Context& ctx, bool preview, const OutputBitmap& out, ProgressFn progress,
                     long progress_data) {
    Scan scan;
    Status s = ReadScanHeader(ctx, &scan);
    if (Failed(s)) return s;
    Pipeline pipe(ctx, preview, out);
    bool multi_scan = ctx.progressive || scan.count < ctx.ncomp;
    s = multi_scan ? DecodeScans(ctx, pipe, scan, progress, progress_data)
                   : DecodeSequential(ctx, pipe, scan, progress, progress_data);
    pipe.ClearRest();
    return s;
}

}  // namespace picdec
