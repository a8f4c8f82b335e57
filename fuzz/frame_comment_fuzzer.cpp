// libFuzzer target: the frame comment reader and frame completion on
// arbitrary bytes. The first byte picks the model whose rules apply.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "control/stream/frame_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static constexpr int kModels[] = {0, 11, 13, 20};
    const int model = kModels[data[0] & 3];
    const std::span<const uint8_t> bytes(data + 1, size - 1);

    int16_t flag = 0;
    kest::MotionLattices lattices;
    kest::ParseFrameComment(bytes);
    kest::ParseFrameComment(bytes, &flag, &lattices);

    // The same bytes as a camera header in front of a little data, in a
    // buffer only just large enough for some of the cases.
    std::vector<uint8_t> buffer(bytes.size() + 700);
    kest::FrameHeaderInput in;
    in.model_code = model;
    in.width = 64 + data[0];
    in.height = 48;
    in.quality_level = data[0] >> 4;
    in.camera_header = bytes;
    const size_t n = kest::CompleteFrame(buffer, 16, in, {2024, 1, 1, 0, 0, 0, 0});
    if (n) kest::ParseFrameComment(std::span<const uint8_t>(buffer.data(), n), &flag, &lattices);
    return 0;
}
