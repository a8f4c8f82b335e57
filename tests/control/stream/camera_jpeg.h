// Camera-style pictures for the tests: libjpeg-turbo encodes a picture with
// the tables a camera uses (quantisation from the quality value, the standard
// Huffman tables, no restarts), and the entropy-coded scan is cut out, which
// is what such a camera sends.
#pragma once

#include <cstdint>
#include <vector>

#include "control/stream/frame_format.h"

namespace kest::test {

using Bytes = std::vector<uint8_t>;

struct CameraScan {
    Bytes file;  // libjpeg-turbo's complete file
    Bytes scan;  // the compressed data between the scan header and the end marker
};

// rgb: width x height pixels of red, green, blue. sampling 1 is 4:2:2, 0 4:2:0.
CameraScan EncodeCameraScan(const Bytes& rgb, int width, int height, int sampling, int32_t q);

// A smooth picture with texture, deterministic for a seed.
Bytes TestPicture(int width, int height, uint32_t seed = 1);

// The frame a camera without its own header gives: our header, scan, end marker.
Bytes BuildCameraFile(const CameraScan& scan, int width, int height, int sampling, int32_t q,
                      int32_t reverse, const FrameTime& time);

// Offset of the first marker FF code at or after from; npos when none.
size_t FindMarker(const Bytes& file, uint8_t code, size_t from = 0);

}  // namespace kest::test
