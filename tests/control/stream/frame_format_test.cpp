// The JPEG files built from camera frames, byte for byte, and decoded by
// libjpeg-turbo and by picdec.
#include "control/stream/frame_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "jpeg_fixtures.h"
#include "tests/control/stream/camera_jpeg.h"

namespace kest {
namespace {

using test::Bytes;
using test::FindMarker;

constexpr FrameTime kMarch5{2002, 3, 5, 14, 7, 9, 45};

std::string Text(const Bytes& b, size_t from, size_t n) {
    return std::string(b.begin() + long(from), b.begin() + long(from + n));
}

Bytes Slice(const Bytes& b, size_t from, size_t n) {
    return Bytes(b.begin() + long(from), b.begin() + long(from + n));
}

// The payloads of every segment with this marker, concatenated.
Bytes Segments(const Bytes& file, uint8_t code) {
    Bytes out;
    const size_t sos = FindMarker(file, 0xDA);
    for (size_t at = FindMarker(file, code); at < sos; at = FindMarker(file, code, at + 2)) {
        const size_t len = (size_t(file[at + 2]) << 8) | file[at + 3];
        out.insert(out.end(), file.begin() + long(at + 4), file.begin() + long(at + 2 + len));
    }
    return out;
}

TEST(QuantTable, WorkedValues) {
    EXPECT_EQ(QualityValue(2, 25.0f), 50);
    EXPECT_EQ(QualityValue(15, 50.0f), 750);
    EXPECT_EQ(QualityValue(3, 12.5f), 37);  // truncated toward zero

    // q = 50 gives the base table 4 (u + v + 1) in zig-zag order.
    const auto base = QuantTable(50);
    const uint8_t first[] = {4, 8, 8, 12, 12, 12, 16, 16, 16, 16};
    for (size_t k = 0; k < 10; ++k)
        EXPECT_EQ(base[k], first[k]) << k;
    EXPECT_EQ(base[63], 60);

    for (uint8_t e : QuantTable(0))
        EXPECT_EQ(e, 1);

    const auto high = QuantTable(750);
    const uint8_t start[] = {60, 120, 120, 180, 180, 180, 240, 240, 240, 240};
    for (size_t k = 0; k < 10; ++k)
        EXPECT_EQ(high[k], start[k]) << k;
    for (size_t k = 10; k < 64; ++k)
        EXPECT_EQ(high[k], 255) << k;

    // Rounding at t mod 50 = 25, and the 16-bit wrap of base x q.
    EXPECT_EQ(QuantTable(3)[0], 1);      // 12 / 50 rounds to 0, becomes 1
    EXPECT_EQ(QuantTable(25)[0], 2);     // 100 / 50
    EXPECT_EQ(QuantTable(19)[0], 2);     // 76: 1 remainder 26
    EXPECT_EQ(QuantTable(16384)[0], 1);  // 4 x 16384 wraps to 0
}

TEST(BuildJfifHeader, LayoutByteForByte) {
    Bytes h(kHeaderCapacity);
    const size_t n = BuildJfifHeader(h, 640, 480, 1, 50, 0, 10000, kMarch5);
    h.resize(n);
    const std::string comment =
        "size =      10686; reverse = 0; timestamp = 20020305140709045; camera = ;";
    const size_t c = comment.size();
    ASSERT_EQ(c, 73u);
    ASSERT_EQ(n, c + 611);

    const Bytes start = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                         0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(Slice(h, 0, 20), start);
    EXPECT_EQ(Slice(h, 20, 4), (Bytes{0xFF, 0xFE, 0x00, uint8_t(c + 2)}));
    EXPECT_EQ(Text(h, 24, c), comment);
    // The fixed offsets other readers of the comment rely on.
    EXPECT_EQ(Text(h, 43, 10), "reverse = ");
    EXPECT_EQ(Text(h, 56, 12), "timestamp = ");
    EXPECT_EQ(Text(h, 68, 17), "20020305140709045");

    const Bytes sof = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80, 0x03,
                       0x01, 0x21, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
    EXPECT_EQ(Slice(h, 24 + c, 19), sof);
    EXPECT_EQ(Slice(h, 43 + c, 5), (Bytes{0xFF, 0xDB, 0x00, 0x84, 0x00}));
    EXPECT_EQ(h[43 + c + 5], 4);
    EXPECT_EQ(h[43 + c + 68], 60);  // last entry of table 0
    EXPECT_EQ(h[43 + c + 69], 0x01);
    EXPECT_EQ(Slice(h, 43 + c + 5, 64), Slice(h, 43 + c + 70, 64));
    EXPECT_EQ(Slice(h, 177 + c, 5), (Bytes{0xFF, 0xC4, 0x01, 0xA2, 0x00}));
    const Bytes sos = {0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00,
                       0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00};
    EXPECT_EQ(Slice(h, 597 + c, 14), sos);
}

TEST(BuildJfifHeader, SamplingReverseAndSizeField) {
    Bytes h(kHeaderCapacity);
    const size_t n = BuildJfifHeader(h, 176, 112, 0, 50, 1, 10000, kMarch5);
    ASSERT_GT(n, 611u);
    const size_t c = n - 611;
    EXPECT_EQ(h[24 + c + 11], 0x22);  // 4:2:0
    EXPECT_EQ(h[24 + c + 5], 0x00);
    EXPECT_EQ(h[24 + c + 6], 112);
    EXPECT_EQ(h[24 + c + 8], 176);
    EXPECT_EQ(h[53], '1');
    // The size field shows the file length, C + N + 613, in 10 characters.
    EXPECT_EQ(Text(h, 31, 10), "     " + std::to_string(c + 10613));

    // Too small a buffer builds nothing.
    Bytes small(n - 1);
    EXPECT_EQ(BuildJfifHeader(small, 176, 112, 0, 50, 1, 10000, kMarch5), 0u);
}

TEST(BuildJfifHeader, TablesAreTheOnesLibjpegTurboWrites) {
    const Bytes rgb = test::TestPicture(64, 48);
    const auto scan = test::EncodeCameraScan(rgb, 64, 48, 1, 50);
    const Bytes built = test::BuildCameraFile(scan, 64, 48, 1, 50, 0, kMarch5);
    // libjpeg-turbo writes each table in a segment of its own, we write them
    // in one: the payloads are the same bytes in the same order.
    EXPECT_EQ(Segments(built, 0xC4), Segments(scan.file, 0xC4));
    EXPECT_EQ(Segments(built, 0xDB), Segments(scan.file, 0xDB));
}

struct DecodeCase {
    int width, height, sampling, q;
};

class BuiltFileDecodes : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(BuiltFileDecodes, WithLibjpegTurboAndPicdec) {
    const DecodeCase d = GetParam();
    const Bytes rgb = test::TestPicture(d.width, d.height, uint32_t(d.q));
    const auto scan = test::EncodeCameraScan(rgb, d.width, d.height, d.sampling, d.q);
    const Bytes built = test::BuildCameraFile(scan, d.width, d.height, d.sampling, d.q, 0, kMarch5);
    ASSERT_EQ(built.size(), 73 + scan.scan.size() + 613);

    // Same coefficients, same tables: libjpeg-turbo gives identical pixels.
    const auto original = picdec_test::DecodeReference(scan.file);
    const auto ours = picdec_test::DecodeReference(built);
    ASSERT_EQ(ours.width, d.width);
    ASSERT_EQ(ours.height, d.height);
    EXPECT_EQ(ours.pixels, original.pixels);

    const auto decoded = picdec_test::Decode(built);
    ASSERT_EQ(decoded.result, 0);
    ASSERT_EQ(decoded.width, d.width);
    ASSERT_EQ(decoded.bits, 24);
    const auto diff = picdec_test::Compare(decoded, ours);
    EXPECT_LE(diff.mean, 1.5);
    EXPECT_LE(diff.max, 16);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BuiltFileDecodes,
                         ::testing::Values(DecodeCase{640, 480, 1, 50}, DecodeCase{704, 480, 0, 75},
                                           DecodeCase{176, 112, 1, 25},
                                           DecodeCase{100, 75, 0, 200}));

// A camera's own header: libjpeg-turbo's file up to and including the scan header.
Bytes CameraHeader(const test::CameraScan& scan) {
    const size_t sos = FindMarker(scan.file, 0xDA);
    const size_t len = (size_t(scan.file[sos + 2]) << 8) | scan.file[sos + 3];
    return Slice(scan.file, 0, sos + 2 + len);
}

TEST(InsertJfifComment, ModelThirteenHeaderGetsAppZeroAndComment) {
    const auto scan = test::EncodeCameraScan(test::TestPicture(160, 120), 160, 120, 1, 40);
    const Bytes camera = CameraHeader(scan);
    const size_t k = camera.size();
    Bytes h(kHeaderCapacity);
    std::copy(camera.begin(), camera.end(), h.begin());
    const int32_t n = int32_t(scan.scan.size()) + 2;  // the camera's data ends with FF D9
    const size_t length = InsertJfifComment(h, k, 1, n, kMarch5);
    const size_t c = length - k - 22;
    ASSERT_EQ(c, 73u);
    EXPECT_EQ(Slice(h, 0, 2), (Bytes{0xFF, 0xD8}));
    EXPECT_EQ(Text(h, 6, 4), "JFIF");
    EXPECT_EQ(Slice(h, 20, 2), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(Text(h, 31, 10), std::string(10 - std::to_string(c + k + n + 22).size(), ' ') +
                                   std::to_string(c + k + n + 22));
    EXPECT_EQ(h[53], '1');
    EXPECT_EQ(Slice(h, 24 + c, k - 2), Slice(camera, 2, k - 2));

    // Completed in a receive buffer it is the file libjpeg-turbo made, plus
    // our segments: it decodes to the same pixels.
    Bytes buffer(300000);
    Bytes data = scan.scan;
    data.push_back(0xFF), data.push_back(0xD9);
    std::copy(data.begin(), data.end(), buffer.begin());
    FrameHeaderInput in;
    in.model_code = 13;
    in.reverse = 1;
    in.camera_header = camera;
    const size_t total = CompleteFrame(buffer, data.size(), in, kMarch5);
    ASSERT_EQ(total, c + k + data.size() + 22);
    buffer.resize(total);
    EXPECT_EQ(picdec_test::DecodeReference(buffer).pixels,
              picdec_test::DecodeReference(scan.file).pixels);
    EXPECT_EQ(picdec_test::Decode(buffer).result, 0);
    EXPECT_EQ(ParseFrameComment(buffer), kMarch5);
}

TEST(InsertJfifComment, ShortOrOversizedHeadersAreRefused) {
    Bytes h(kHeaderCapacity, 0xAB);
    EXPECT_EQ(InsertJfifComment(h, 1, 0, 100, kMarch5), 0u);
    EXPECT_EQ(InsertJfifComment(h, 0, 0, 100, kMarch5), 0u);
    // A header that would grow past its buffer is left as it was.
    Bytes tight(200, 0xCD);
    tight[0] = 0xFF, tight[1] = 0xD8;
    const Bytes before = tight;
    EXPECT_EQ(InsertJfifComment(tight, 150, 0, 100, kMarch5), 0u);
    EXPECT_EQ(tight, before);
    // The largest camera header fits the header capacity.
    EXPECT_EQ(InsertJfifComment(h, kCameraHeaderMaxBytes, 0, 100, kMarch5), kCameraHeaderMaxBytes + 95);
}

TEST(StampCameraHeader, ModelElevenTimeStampOverTheHeader) {
    Bytes h(120, '.');
    const Bytes before = h;
    EXPECT_EQ(StampCameraHeader(h, 120, kMarch5), 120u);
    EXPECT_EQ(Text(h, 56, 31), "timestamp = 20020305140709045; ");
    EXPECT_EQ(Slice(h, 0, 56), Slice(before, 0, 56));
    EXPECT_EQ(Slice(h, 87, 33), Slice(before, 87, 33));

    // Too short to hold the stamp: unchanged, length kept.
    Bytes short_header(86, '.');
    EXPECT_EQ(StampCameraHeader(short_header, 86, kMarch5), 86u);
    EXPECT_EQ(short_header, Bytes(86, '.'));
}

TEST(CompleteFrame, DataMovesUpBehindTheHeaderAndTheEndMarkerFollows) {
    Bytes buffer(5000, 0);
    for (size_t i = 0; i < 1000; ++i)
        buffer[i] = uint8_t(i * 7);
    const Bytes data = Slice(buffer, 0, 1000);
    FrameHeaderInput in;
    in.model_code = 0;
    in.width = 320, in.height = 240, in.sampling = 1, in.quality_level = 2;
    in.scale_factor = 25.0f;
    const size_t total = CompleteFrame(buffer, 1000, in, kMarch5);
    ASSERT_EQ(total, 73 + 1000 + 613u);
    EXPECT_EQ(Slice(buffer, 684, 1000), data);
    EXPECT_EQ(Slice(buffer, 1684, 2), (Bytes{0xFF, 0xD9}));
    EXPECT_EQ(buffer[43 + 73 + 5], 4);  // q = 2 x 25 gives the base table

    // Model 20: the header exactly as the camera sent it, no end marker.
    Bytes b20(3000, 0x11);
    const Bytes camera(40, 0x77);
    in.model_code = 20;
    in.camera_header = camera;
    EXPECT_EQ(CompleteFrame(b20, 500, in, kMarch5), 540u);
    EXPECT_EQ(Slice(b20, 0, 40), camera);
    EXPECT_EQ(Slice(b20, 40, 500), Bytes(500, 0x11));
}

TEST(CompleteFrame, FramesThatDoNotFitAreDroppedUntouched) {
    FrameHeaderInput in;
    in.width = 320, in.height = 240;
    // Header plus data plus end marker one byte over the buffer.
    Bytes buffer(1000 + 684 + 1, 0x5A);
    const Bytes before = buffer;
    EXPECT_EQ(CompleteFrame(buffer, 1000, in, kMarch5), 0u);
    EXPECT_EQ(buffer, before);
    Bytes exact(1000 + 686, 0x5A);
    EXPECT_EQ(CompleteFrame(exact, 1000, in, kMarch5), exact.size());
    // Data longer than the buffer itself.
    EXPECT_EQ(CompleteFrame(buffer, buffer.size() + 1, in, kMarch5), 0u);

    // Model 13 with a header shorter than 2 bytes, or longer than 1300.
    const Bytes one = {0xFF};
    in.model_code = 13;
    in.camera_header = one;
    EXPECT_EQ(CompleteFrame(buffer, 10, in, kMarch5), 0u);
    EXPECT_EQ(buffer, before);
    const Bytes huge(kCameraHeaderMaxBytes + 1, 0xFF);
    for (int model : {11, 13, 20}) {
        in.model_code = model;
        in.camera_header = huge;
        EXPECT_EQ(CompleteFrame(buffer, 10, in, kMarch5), 0u) << model;
    }
    EXPECT_EQ(buffer, before);
}

}  // namespace
}  // namespace kest
