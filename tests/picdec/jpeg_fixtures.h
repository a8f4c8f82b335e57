// Test pictures: deterministic synthetic images encoded by libjpeg-turbo's cjpeg (so every
// encoder option is reachable), and libjpeg-turbo's decode of them as the reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace picdec_test {

using Bytes = std::vector<uint8_t>;

// Smooth gradients plus texture and noise, so it compresses like a photograph.
// channels 1 (grey) or 3 (red, green, blue interleaved).
Bytes SynthImage(int w, int h, int channels, uint32_t seed = 1);

// Encodes with cjpeg; `options` are its command-line options, e.g. "-sample 2x2 -quality 75".
Bytes Encode(const Bytes& pixels, int w, int h, int channels, const std::string& options);

// Transcodes with jpegtran (the coefficients stay exactly as they are), e.g. "-optimize" turns
// a progressive stream into a sequential one, "-progressive" the other way.
Bytes Transcode(const Bytes& jpeg, const std::string& options);

struct Reference {
    int width = 0, height = 0, channels = 0;
    Bytes pixels;  // bottom-up, blue-green-red (or grey), rows of width * channels bytes
};
// libjpeg-turbo's accurate integer decode; fast_upsample for its non-filtering up-sampling.
Reference DecodeReference(const Bytes& jpeg, bool fast_upsample = false);

struct Decoded {
    int result = -100;
    int width = 0, height = 0, bits = 0;
    size_t stride = 0;
    Bytes info;    // bitmap information block
    Bytes pixels;  // pixel block
};
// Through the exported entry points (the load-time path).
Decoded Decode(const Bytes& jpeg, bool preview = false);
// Through the core with an explicit path ("plain", "simd-model", "sse2", "avx2", "avx512").
Decoded DecodeWithPath(const Bytes& jpeg, int path, bool preview = false);

struct Diff {
    double mean = 0;
    int max = 0;
};
// Per-channel comparison of the picture area (stride padding ignored).
Diff Compare(const Decoded& got, const Reference& ref);

// Rows without their padding, for byte comparisons.
Bytes PictureBytes(const Decoded& d);

// A libjpeg-turbo encoded picture stream, with its markers found.
size_t FindMarker(const Bytes& jpeg, uint8_t code, size_t from = 0);

}  // namespace picdec_test
