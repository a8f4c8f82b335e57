// libFuzzer target: a frame as a camera sends it, completed by the client and
// decoded through the plug-in the client loads (picdec.spi beside libkest.so),
// so the live path of the client and the plug-in run together.
//
// Input: byte 0 picks the model (0, 11, 13 or 20); bytes 1-2 and 3-4 are the
// width and height a picture packet claims (little-endian), bytes 5-6 the
// length of the camera's own header (models 11, 13 and 20), which follows;
// the rest is the compressed data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "control/stream/camera.h"
#include "control/stream/frame_format.h"
#include "platform/byte_cursor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHead = 7;
    if (size < kHead) return 0;
    static constexpr int kModels[] = {0, 11, 13, 20};
    // One camera object for the whole run, as one live stream has.
    static kest::CKestCamera* const camera = new kest::CKestCamera("live-frame-fuzz");

    kest::FrameHeaderInput in;
    in.model_code = kModels[data[0] & 3];
    in.width = kest::LoadU16(data + 1);
    in.height = kest::LoadU16(data + 3);
    in.sampling = (data[0] >> 2) & 1;
    in.quality_level = data[0] >> 4;
    const size_t rest = size - kHead;
    size_t header_length = kest::LoadU16(data + 5);
    if (header_length > rest) header_length = rest;
    in.camera_header = {data + kHead, header_length};
    const size_t data_length = rest - header_length;

    // As the receive buffer holds it: the compressed data first.
    std::vector<uint8_t> buffer(data_length + 4096);
    std::copy(data + kHead + header_length, data + size, buffer.begin());
    const size_t n = kest::CompleteFrame(buffer, data_length, in, {2024, 1, 1, 0, 0, 0, 0});
    if (n == 0) return 0;
    int32_t width = 0, height = 0;
    camera->DecodePicture(buffer.data(), n, &width, &height);
    return 0;
}
