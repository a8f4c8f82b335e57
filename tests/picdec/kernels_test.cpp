// Stage kernels: the worked colour and filter values, every SIMD width against the scalar
// model byte for byte, the transforms against a floating-point inverse DCT, the Huffman
// table checks, and the preview against a direct computation of its 2x2 formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "huffman.h"
#include "jpeg_fixtures.h"
#include "kernels.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace picdec_test {
namespace {

using picdec::Kernels;
using picdec::Path;

std::vector<const Kernels*> SimdKernels() {
    std::vector<const Kernels*> v;
    for (Path p : {Path::kSse2, Path::kAvx2, Path::kAvx512}) {
        if (const Kernels* k = picdec::KernelsFor(p)) v.push_back(k);
    }
    // Where the avx512 path takes the VBMI colour conversion, the other one is tested too.
    if (picdec::CpuHasAvx512Vbmi()) v.push_back(&picdec::avx512::kKernels);
    return v;
}

TEST(ColourTest, NeutralSampleOnBothPaths) {
    uint8_t y[7], cb[7], cr[7], bgr[21];
    std::memset(y, 100, 7);
    std::memset(cb, 128, 7);
    std::memset(cr, 128, 7);
    picdec::YccToBgrPlain(y, cb, cr, bgr, 1);
    EXPECT_EQ(bgr[2], 101);  // red
    EXPECT_EQ(bgr[1], 99);   // green
    EXPECT_EQ(bgr[0], 101);  // blue
    std::vector<const Kernels*> all = SimdKernels();
    all.push_back(picdec::KernelsFor(Path::kSimdModel));
    for (const Kernels* k : all) {
        k->ycc_to_bgr(y, cb, cr, bgr, 7);
        // Four pixels by the SIMD formula, the last 7 % 4 through the plain tables.
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(bgr[3 * i] + 0, 100) << k->name;
            EXPECT_EQ(bgr[3 * i + 1] + 0, 100) << k->name;
            EXPECT_EQ(bgr[3 * i + 2] + 0, 100) << k->name;
        }
        for (int i = 4; i < 7; ++i) {
            EXPECT_EQ(bgr[3 * i] + 0, 101) << k->name;
            EXPECT_EQ(bgr[3 * i + 1] + 0, 99) << k->name;
            EXPECT_EQ(bgr[3 * i + 2] + 0, 101) << k->name;
        }
    }
}

TEST(ColourTest, PlainTablesFollowTheirDefinition) {
    const picdec::ColorTables& t = picdec::PlainColorTables();
    for (int x = 0; x < 256; ++x) {
        EXPECT_EQ(t.cr_r[x], static_cast<int>(std::floor((91882.0 * x - 11682187) / 65536)));
        EXPECT_EQ(t.cb_b[x], static_cast<int>(std::floor((116130.0 * x - 14773807) / 65536)));
        EXPECT_EQ(t.cr_g[x], 5967255 - 46802 * x);
        EXPECT_EQ(t.cb_g[x], 2908403 - 22554 * x);
    }
}

TEST(ColourTest, SimdWidthsMatchTheModelForEveryRowLength) {
    std::mt19937 rng(7);
    std::vector<uint8_t> y(300), cb(300), cr(300);
    for (size_t i = 0; i < y.size(); ++i) {
        y[i] = static_cast<uint8_t>(rng());
        cb[i] = static_cast<uint8_t>(rng());
        cr[i] = static_cast<uint8_t>(rng());
    }
    // Extremes too: saturation on both sides.
    y[0] = 0, cb[0] = 0, cr[0] = 0, y[1] = 255, cb[1] = 255, cr[1] = 255;
    for (int n = 1; n <= 300; ++n) {
        std::vector<uint8_t> want(3 * n + 8, 0xEE), got(3 * n + 8, 0xEE);
        picdec::YccToBgrSimdModel(y.data(), cb.data(), cr.data(), want.data(), n);
        for (const Kernels* k : SimdKernels()) {
            std::fill(got.begin(), got.end(), 0xEE);
            k->ycc_to_bgr(y.data(), cb.data(), cr.data(), got.data(), n);
            ASSERT_EQ(got, want) << k->name << " n=" << n;  // nothing written past the row
        }
    }
}

TEST(UpsampleTest, FilterEndSamplesAndInterior) {
    const uint8_t s[3] = {10, 20, 40};
    uint8_t out[6];
    picdec::H2v1Plain(s, 3, out);
    EXPECT_EQ(out[0], 10);  // out0 = s0
    EXPECT_EQ(out[5], 40);  // out(2n-1) = s(n-1)
    EXPECT_EQ(out[1], (3 * 10 + 20 + 2) >> 2);
    EXPECT_EQ(out[2], (10 + 3 * 20 + 2) >> 2);
    const uint8_t cur[2] = {100, 201}, nb[2] = {3, 7};
    int c0 = 3 * 100 + 3, c1 = 3 * 201 + 7;
    uint8_t o2[4];
    picdec::H2v2Plain(cur, nb, 2, o2);
    EXPECT_EQ(o2[0], (4 * c0 + 8) >> 4);
    EXPECT_EQ(o2[1], (3 * c0 + c1 + 8) >> 4);
    EXPECT_EQ(o2[2], (c0 + 3 * c1 + 8) >> 4);
    EXPECT_EQ(o2[3], (4 * c1 + 8) >> 4);
    uint8_t one[2];
    picdec::H2v1Plain(s, 1, one);
    EXPECT_TRUE(one[0] == 10 && one[1] == 10);
}

TEST(UpsampleTest, SimdWidthsMatchPlainForEveryRowLength) {
    std::mt19937 rng(3);
    std::vector<uint8_t> a(200), b(200);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<uint8_t>(rng());
        b[i] = static_cast<uint8_t>(rng());
    }
    for (int n = 1; n <= 100; ++n) {
        std::vector<uint8_t> w1(2 * n + 4, 0xEE), w2(2 * n + 4, 0xEE);
        picdec::H2v1Plain(a.data(), n, w1.data());
        picdec::H2v2Plain(a.data(), b.data(), n, w2.data());
        for (const Kernels* k : SimdKernels()) {
            std::vector<uint8_t> g1(2 * n + 4, 0xEE), g2(2 * n + 4, 0xEE);
            k->h2v1(a.data(), n, g1.data());
            k->h2v2(a.data(), b.data(), n, g2.data());
            ASSERT_EQ(g1, w1) << k->name << " n=" << n;
            ASSERT_EQ(g2, w2) << k->name << " n=" << n;
        }
    }
}

// Where a refinement's value goes: the (r + 1)-th set bit, 64 past the last; every path's
// kernel agrees with the definition on sparse, dense and empty masks.
TEST(NthBitTest, EveryPathFindsThePositionOfTheNthSetBit) {
    std::mt19937_64 rng(17);
    std::vector<const Kernels*> all = SimdKernels();
    all.push_back(picdec::KernelsFor(Path::kPlain));
    for (int trial = 0; trial < 4000; ++trial) {
        uint64_t x = rng();
        if (trial % 3 == 1) x &= rng() & rng();  // sparse
        if (trial % 3 == 2) x |= rng() | rng();  // dense
        if (trial == 0) x = 0;
        if (trial == 1) x = ~uint64_t{0};
        for (int r = 0; r < 64; ++r) {
            int want = 64, seen = 0;
            for (int bit = 0; bit < 64; ++bit) {
                if (((x >> bit) & 1) != 0 && seen++ == r) {
                    want = bit;
                    break;
                }
            }
            for (const Kernels* k : all)
                ASSERT_EQ(k->nth_bit(x, r), want) << k->name << " x=" << x << " r=" << r;
        }
    }
}

// Floating-point inverse DCT of a block in natural order, clamped samples.
void ReferenceIdct(const int16_t* natural, double* out) {
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int v = 0; v < 8; ++v) {
                for (int u = 0; u < 8; ++u) {
                    double cu = u == 0 ? std::sqrt(0.5) : 1, cv = v == 0 ? std::sqrt(0.5) : 1;
                    sum += cu * cv * natural[v * 8 + u] * std::cos((2 * x + 1) * u * M_PI / 16) *
                           std::cos((2 * y + 1) * v * M_PI / 16);
                }
            }
            double s = sum / 4 + 128;
            out[y * 8 + x] = s < 0 ? 0 : (s > 255 ? 255 : s);
        }
    }
}

// Random blocks in the range real pictures produce: decaying with frequency.
void RandomBlock(std::mt19937& rng, int16_t* natural) {
    for (int i = 0; i < 64; ++i) {
        int f = (i / 8) + (i % 8);
        int range = f == 0 ? 1000 : 600 / (f + 1);
        natural[i] = static_cast<int16_t>(static_cast<int>(rng() % (2 * range + 1)) - range);
        if (rng() % 3 == 0 && i != 0) natural[i] = 0;
    }
}

void Transposed(const int16_t* natural, int16_t* t) {
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c)
            t[c * 8 + r] = natural[r * 8 + c];
    }
}

TEST(IdctTest, BothPathsStayCloseToTheExactTransform) {
    std::mt19937 rng(11);
    int worst_plain = 0, worst_simd = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        int16_t nat[64], blk[64];
        RandomBlock(rng, nat);
        double ref[64];
        ReferenceIdct(nat, ref);
        uint8_t plain[64], simd[64];
        std::memcpy(blk, nat, sizeof(blk));
        picdec::IdctPlain(blk, plain, 8);
        for (int16_t v : blk)
            ASSERT_EQ(v, 0);  // left zeroed
        Transposed(nat, blk);
        picdec::IdctSimdModel(blk, simd, 8);
        for (int i = 0; i < 64; ++i) {
            worst_plain =
                std::max(worst_plain, static_cast<int>(std::lround(std::abs(plain[i] - ref[i]))));
            worst_simd =
                std::max(worst_simd, static_cast<int>(std::lround(std::abs(simd[i] - ref[i]))));
        }
    }
    EXPECT_LE(worst_plain, 1);
    EXPECT_LE(worst_simd, 2);
}

TEST(IdctTest, SimdWidthsMatchTheModelIncludingExtremes) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 3000; ++trial) {
        int16_t nat[64], a[64], b[64];
        if (trial % 3 == 0) {
            for (int16_t& v : nat)
                v = static_cast<int16_t>(rng());  // damaged data
        } else {
            RandomBlock(rng, nat);
        }
        Transposed(nat, a);
        uint8_t want[64];
        std::memcpy(b, a, sizeof(b));
        picdec::IdctSimdModel(b, want, 8);
        for (const Kernels* k : SimdKernels()) {
            std::memcpy(b, a, sizeof(b));
            uint8_t got[16 * 8];
            k->idct(b, got, 16);
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(got[(i / 8) * 16 + i % 8], want[i]) << k->name;
            for (int16_t v : b)
                ASSERT_EQ(v, 0);
        }
    }
}

TEST(IdctTest, BatchesGiveTheSameBytesAsSingleBlocks) {
    std::mt19937 rng(9);
    for (const Kernels* k : SimdKernels()) {
        for (int n = 1; n <= picdec::kMaxIdctBatch; ++n) {
            int16_t blocks[picdec::kMaxIdctBatch][64], copy[picdec::kMaxIdctBatch][64];
            uint8_t out[picdec::kMaxIdctBatch * 8 * 40] = {}, want[sizeof(out)] = {};
            int16_t* ptrs[picdec::kMaxIdctBatch];
            uint8_t* outs[picdec::kMaxIdctBatch];
            for (int i = 0; i < n; ++i) {
                int16_t nat[64];
                RandomBlock(rng, nat);
                Transposed(nat, blocks[i]);
                std::memcpy(copy[i], blocks[i], sizeof(copy[i]));
                ptrs[i] = blocks[i];
                outs[i] = out + 8 * i;
                picdec::IdctSimdModel(copy[i], want + 8 * i, 40);
            }
            k->idct_batch(ptrs, outs, n, 40);
            ASSERT_EQ(std::memcmp(out, want, sizeof(out)), 0) << k->name << " n=" << n;
        }
    }
}

TEST(IdctTest, DcOnlyShortcutEqualsTheFullTransformOnBothPaths) {
    for (int dc = -32768; dc <= 32767; dc += 37) {
        int16_t blk[64] = {};
        uint8_t out[64];
        uint8_t want = picdec::Clamp255(((2 * dc + 8) >> 4) + 128);
        blk[0] = static_cast<int16_t>(dc);
        picdec::IdctPlain(blk, out, 8);
        ASSERT_EQ(out[27], want) << dc;
        blk[0] = static_cast<int16_t>(dc);
        picdec::IdctSimdModel(blk, out, 8);
        ASSERT_EQ(out[63], want) << dc;
    }
}

TEST(HuffmanTest, OverSubscribedLengthsAreBroken) {
    picdec::HuffTable t;
    uint8_t counts[16] = {2, 1};  // two 1-bit codes fill the tree: no room for a 2-bit one
    uint8_t syms[4] = {1, 2, 3, 4};
    EXPECT_EQ(picdec::BuildHuffTable(counts, syms, 3, false, &t), picdec::Status::kBroken);
    uint8_t full[16] = {1, 1, 2};  // 0, 10, 110, 111: complete, allowed
    EXPECT_EQ(picdec::BuildHuffTable(full, syms, 4, false, &t), picdec::Status::kOk);
}

TEST(HuffmanTest, LongCodesDecodeThroughTheSlowPath) {
    // Lengths 1 and 12 x 1..: codes 0, 10, 110, ..., 1111111111110 (13 bits).
    uint8_t counts[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    uint8_t syms[13];
    for (int i = 0; i < 13; ++i)
        syms[i] = static_cast<uint8_t>(0x10 + i);
    picdec::HuffTable t;
    ASSERT_EQ(picdec::BuildHuffTable(counts, syms, 13, false, &t), picdec::Status::kOk);
    // Bits: 1111111111110 (13 bits, symbol 0x1C), 0 (0x10), 110 (0x12), then padding ones.
    const uint8_t data[] = {0xFF, 0x00, 0xF3, 0x7F, 0xFF, 0x00, 0xFF, 0x00, 0x12, 0x34};
    picdec::BitReader br;
    br.Reset(data, data + sizeof(data));
    br.Refill();
    EXPECT_EQ(picdec::DecodeSymbol(br, t), 0x1C);
    EXPECT_EQ(picdec::DecodeSymbol(br, t), 0x10);
    EXPECT_EQ(picdec::DecodeSymbol(br, t), 0x12);
    EXPECT_FALSE(br.ConsumedPastEnd());
}

// The sign extension of T.81's EXTEND (F.2.2.1), now without a branch, for every length and
// value, through both readers.
TEST(HuffmanTest, ExtendGivesTheSignedValueOfEveryBitPattern) {
    for (int s = 1; s <= 16; ++s) {
        int step = s <= 12 ? 1 : 7;
        for (int v = 0; v < (1 << s); v += step) {
            int want = v < (1 << (s - 1)) ? v - ((1 << s) - 1) : v;
            picdec::BitReader br;
            br.acc = static_cast<uint64_t>(v) << (64 - s) | 0x5;  // bits after it stay put
            br.n = 64;
            picdec::LocalBits b(br);
            ASSERT_EQ(b.Extend(s), want) << "s=" << s << " v=" << v;
            ASSERT_EQ(b.acc, uint64_t{0x5} << s);
            ASSERT_EQ(br.ReceiveExtend(s), want) << "s=" << s << " v=" << v;
        }
    }
}

// The look-ahead table gives, for every 10-bit pattern, what the symbol decoder and EXTEND
// give bit by bit: DC (difference) and AC (run, value, end of block) entries alike.
TEST(HuffmanTest, FastEntriesAgreeWithTheSymbolDecoder) {
    // T.81 K.3: luminance DC and AC tables.
    const uint8_t dc_counts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1};
    const uint8_t dc_syms[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const uint8_t ac_counts[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D};
    uint8_t ac_syms[162];
    const uint8_t head[] = {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41,
                            0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91};
    for (int i = 0; i < 162; ++i)
        ac_syms[i] = i < 22 ? head[i] : static_cast<uint8_t>(0x23 + i);  // the rest: long codes
    for (bool ac : {false, true}) {
        picdec::HuffTable t;
        ASSERT_EQ(picdec::BuildHuffTable(ac ? ac_counts : dc_counts, ac ? ac_syms : dc_syms,
                                         ac ? 162 : 12, ac, &t),
                  picdec::Status::kOk);
        int fast = 0;
        for (uint32_t idx = 0; idx < (1u << picdec::kLookBits); ++idx) {
            int32_t f = t.fast[idx];
            if (f == 0) continue;
            ++fast;
            picdec::BitReader br;
            br.acc = static_cast<uint64_t>(idx) << (64 - picdec::kLookBits);
            br.n = 64;
            picdec::LocalBits b(br);
            int sym = b.Symbol(t);
            int run = ac ? sym >> 4 : 0, size = ac ? sym & 15 : sym;
            int value = size != 0 ? b.Extend(size) : 0;
            int used = 64 - b.n;
            ASSERT_EQ(f & 0xFF, used) << ac << " " << idx;
            if (ac && sym == 0) {
                ASSERT_NE(f & picdec::kFastEob, 0);
                continue;
            }
            ASSERT_EQ(f & picdec::kFastEob, 0);
            ASSERT_EQ(f >> 16, value) << ac << " " << idx;
            ASSERT_EQ((f >> 8) & 0xFF, ac ? run + 1 : 0) << idx;
        }
        EXPECT_GT(fast, 900) << ac;  // nearly every pattern decodes in one look-up
    }
}

// The preview computed directly: libjpeg's quantised coefficients times the quantisation
// table, the 2x2 formulas, then the plain path's up-sampling and colour tables.
TEST(PreviewTest, MatchesTheDirectComputationOfTheFormulas) {
    for (const char* opts :
         {"-grayscale", "-sample 2x2", "-sample 1x1", "-sample 2x1 -progressive"}) {
        bool grey = std::strcmp(opts, "-grayscale") == 0;
        int w = 83, h = 45;
        Bytes jpeg = Encode(SynthImage(w, h, grey ? 1 : 3), w, h, grey ? 1 : 3, opts);
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&cinfo, TRUE);
        jvirt_barray_ptr* coefs = jpeg_read_coefficients(&cinfo);
        int hmax = cinfo.max_h_samp_factor, vmax = cinfo.max_v_samp_factor;
        int pw = (w + 3) / 4, ph = (h + 3) / 4;
        std::vector<std::vector<uint8_t>> planes;
        std::vector<int> pws, phs;
        for (int ci = 0; ci < cinfo.num_components; ++ci) {
            jpeg_component_info* comp = &cinfo.comp_info[ci];
            int bw = static_cast<int>(comp->width_in_blocks),
                bh = static_cast<int>(comp->height_in_blocks);
            std::vector<uint8_t> plane(static_cast<size_t>(bw) * 2 * bh * 2);
            for (int by = 0; by < bh; ++by) {
                JBLOCKARRAY row = cinfo.mem->access_virt_barray(
                    reinterpret_cast<j_common_ptr>(&cinfo), coefs[ci], by, 1, FALSE);
                for (int bx = 0; bx < bw; ++bx) {
                    const JCOEF* c = row[0][bx];
                    const UINT16* q = comp->quant_table->quantval;
                    int P = c[0] * q[0], Q = c[1] * q[1], R = c[8] * q[8], S = c[9] * q[9];
                    uint8_t* d = plane.data() + static_cast<size_t>(by) * 2 * bw * 2 + bx * 2;
                    d[0] = picdec::Clamp255(((P + Q + R + S + 4) >> 3) + 128);
                    d[1] = picdec::Clamp255(((P - Q + R - S + 4) >> 3) + 128);
                    d[bw * 2] = picdec::Clamp255(((P + Q - R - S + 4) >> 3) + 128);
                    d[bw * 2 + 1] = picdec::Clamp255(((P - Q - R + S + 4) >> 3) + 128);
                }
            }
            planes.push_back(std::move(plane));
            pws.push_back(bw * 2);
            int cw = (w * comp->h_samp_factor + hmax - 1) / hmax;
            int ch = (h * comp->v_samp_factor + vmax - 1) / vmax;
            phs.push_back((ch + 3) / 4);
            pws.back() = bw * 2;
            pws.push_back((cw + 3) / 4);  // real width after the stride
        }
        // Expected bitmap rows, top first.
        std::vector<uint8_t> want;
        for (int y = 0; y < ph; ++y) {
            std::vector<std::vector<uint8_t>> rows;
            for (int ci = 0; ci < cinfo.num_components; ++ci) {
                jpeg_component_info* comp = &cinfo.comp_info[ci];
                int stride = pws[2 * ci], n = pws[2 * ci + 1], chh = phs[ci];
                auto row = [&](int g) {
                    return planes[ci].data() + static_cast<size_t>(std::min(g, chh - 1)) * stride;
                };
                std::vector<uint8_t> up(2 * stride + 8);
                bool hh = comp->h_samp_factor * 2 == hmax, vv = comp->v_samp_factor * 2 == vmax;
                if (hh && vv) {
                    int g = y / 2, nb = (y & 1) ? std::min(g + 1, chh - 1) : std::max(g - 1, 0);
                    picdec::H2v2Plain(row(g), row(nb), n, up.data());
                } else if (hh) {
                    picdec::H2v1Plain(row(y), n, up.data());
                } else {
                    std::memcpy(up.data(), row(y), static_cast<size_t>(stride));
                }
                rows.push_back(up);
            }
            std::vector<uint8_t> out(3 * pw);
            if (grey) {
                want.insert(want.end(), rows[0].begin(), rows[0].begin() + pw);
            } else {
                picdec::YccToBgrPlain(rows[0].data(), rows[1].data(), rows[2].data(), out.data(),
                                      pw);
                want.insert(want.end(), out.begin(), out.end());
            }
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        Decoded d = DecodeWithPath(jpeg, static_cast<int>(Path::kPlain), true);
        ASSERT_EQ(d.result, 0);
        ASSERT_EQ(d.width, pw);
        ASSERT_EQ(d.height, ph);
        // Bitmap rows are bottom-up.
        Bytes got = PictureBytes(d);
        size_t row_bytes = static_cast<size_t>(pw) * (grey ? 1 : 3);
        for (int y = 0; y < ph; ++y) {
            ASSERT_EQ(std::memcmp(got.data() + (ph - 1 - y) * row_bytes,
                                  want.data() + y * row_bytes, row_bytes),
                      0)
                << opts << " row " << y;
        }
        // The SIMD path differs only in its colour conversion.
        if (grey) {
            EXPECT_EQ(PictureBytes(DecodeWithPath(jpeg, static_cast<int>(Path::kSimdModel), true)),
                      got);
        }
    }
}

}  // namespace
}  // namespace picdec_test
