// The simulator's animated test picture and its JPEG encoding in the forms
// the cameras send: the tables and scan header, and the entropy-coded data.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <vector>

namespace kest::sim {

// RGB pixels of frame `frame`: colour bars, a moving bar, the frame counter
// and the clock.
std::vector<uint8_t> DrawTestPicture(int width, int height, uint32_t frame, const std::tm& clock);

// The quantisation table of quality value q = Q x F in natural order, as the
// client computes it for cameras that send no header of their own.
std::array<unsigned int, 64> QuantTableForQuality(int q);

struct EncodedPicture {
    std::vector<uint8_t> tables;   // DQT, SOF0, DHT and SOS segments (no start marker)
    std::vector<uint8_t> entropy;  // the entropy-coded scan, without the end marker
};

// Baseline JPEG with the standard Huffman tables, both quantisation tables
// from QuantTableForQuality(q), Y sampled 2x1 (sampling 1, 4:2:2) or 2x2 (0, 4:2:0).
EncodedPicture EncodePicture(const std::vector<uint8_t>& rgb, int width, int height, int q,
                             int sampling);

}  // namespace kest::sim
