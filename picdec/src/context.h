// Decoder context: one per call, holding what the markers defined.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cursor.h"
#include "huffman.h"
#include "kernels.h"
#include "memory.h"
#include "status.h"
#include "upsample.h"

namespace picdec {

// Caps on untrusted sizes.
constexpr int kMaxComponents = 4;          // frames with more are unsupported
constexpr int kMaxBlocksPerMcu = 10;       // larger interleaved MCUs are unsupported
constexpr uint64_t kMaxPixels = 1u << 28;  // larger bitmaps are refused as out of memory
constexpr uint64_t kMaxCoefficientBytes = uint64_t{1} << 30;  // progressive pictures' store

enum class Arrangement : uint8_t { kUnset = 0, kGrey = 1, kRgb = 2, kYcc = 3, kOther = 5 };

struct Component {
    int id = 0;
    int h = 1, v = 1;                // sampling factors
    int tq = 0;                      // quantisation table number
    int td = 0, ta = 0;              // Huffman tables of the current scan
    int width = 0, height = 0;       // samples, without MCU padding
    int blocks_w = 0, blocks_h = 0;  // blocks, padded to whole MCUs
    UpMode mode = UpMode::kNone;
    int rep_h = 1, rep_v = 1;  // replication ratios
    int16_t dc_pred = 0;
    // Whole-picture coefficients (progressive and multi-scan pictures), in place order, not
    // yet dequantised.
    LargeArray<int16_t> coefs;
    // Progressive pictures: per block, its non-zero AC coefficients (bit k: zig-zag index k).
    LargeArray<uint64_t> nonzero;
};

struct QuantTable {
    bool defined = false;
    uint16_t zz[80] = {};     // zig-zag order; 64..79 are 0
    uint16_t place[64] = {};  // the active path's coefficient order
};

struct Scan {
    int count = 0;
    int comp[4] = {};  // frame component indices
    int ss = 0, se = 63, ah = 0, al = 0;
};

struct Context {
    explicit Context(const Kernels& k) : kernels(k) {}

    const Kernels& kernels;
    ByteCursor in;

    // Frame.
    int width = 0, height = 0;
    int ncomp = 0;
    std::array<Component, kMaxComponents> comp;
    int hmax = 1, vmax = 1;
    bool progressive = false, arithmetic = false;
    Arrangement arrangement = Arrangement::kUnset;

    std::array<QuantTable, 4> quant;
    std::array<HuffTable, 4> dc_tables;
    std::array<HuffTable, 4> ac_tables;
    int restart_interval = 0;

    // JFIF and Adobe segments.
    int jfif_units = 0;
    uint16_t x_density = 1, y_density = 1;
    bool adobe = false;
    int adobe_transform = 0;

    // First comment, collected only for the information call.
    bool collect_comment = false;
    bool have_comment = false;
    std::vector<uint8_t> comment;  // length field's value L: L - 2 bytes and 2 zero bytes
};

// Marker search result for "the data ended".
constexpr int kMarkerEnd = -1;

// Markers.
[[nodiscard]] Status ReadHeaders(Context& ctx);
// Skips to the next marker that needs action, handling table and parameter segments. Returns
// the marker code or kMarkerEnd; a failing segment stores its result in *status.
[[nodiscard]] int NextMarker(Context& ctx, Status* status);
[[nodiscard]] Status ReadScanHeader(Context& ctx, Scan* scan);

}  // namespace picdec
