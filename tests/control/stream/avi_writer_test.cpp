// The Motion-JPEG AVI writer, read back chunk by chunk.
#include "control/stream/avi_writer.h"

#include <gtest/gtest.h>

#include "tests/control/stream/avi_test_reader.h"
#include "tests/control/stream/rec_test_pictures.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

TEST(AviWriterTest, EveryPictureComesBackThroughTheFramesAndTheIndex) {
    test::ScopedTempDir dir;
    std::vector<std::vector<uint8_t>> pictures;
    for (int i = 0; i < 5; ++i)  // odd and even lengths: chunks are padded
        pictures.push_back(test::Picture(i, test::Time(2002, 3, 5, 14, 7, 9, 100 * i), 0, 48, 32));
    int w = 0, h = 0;
    ASSERT_TRUE(JpegSize(pictures[0], w, h));
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 32);

    AviWriter avi;
    ASSERT_TRUE(avi.Open(dir.File("a.avi"), w, h, 10, 1));
    for (const auto& p : pictures)
        ASSERT_TRUE(avi.AddFrame(p));
    ASSERT_TRUE(avi.Close());
    const auto a = test::ReadAvi(test::ReadAll(dir.File("a.avi")));
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.total_frames, 5u);
    EXPECT_EQ(a.length, 5u);
    EXPECT_EQ(a.us_per_frame, 100000u);
    EXPECT_EQ(a.rate, 10u);
    EXPECT_EQ(a.scale, 1u);
    EXPECT_EQ(a.width, 48u);
    EXPECT_EQ(a.height, 32u);
    EXPECT_EQ(a.handler, "MJPG");
    EXPECT_EQ(a.compression, "MJPG");
    EXPECT_EQ(a.frames, pictures);
    EXPECT_EQ(a.indexed, pictures);
}

TEST(AviWriterTest, JpegSizeNeedsAFrameHeaderInsideTheData) {
    const auto p = test::EncodeJpeg(20, 10, 1);
    int w = 0, h = 0;
    EXPECT_TRUE(JpegSize(p, w, h));
    EXPECT_FALSE(JpegSize(std::span<const uint8_t>(p.data(), 30), w, h));
    std::vector<uint8_t> junk(p.size(), 0xFF);
    EXPECT_FALSE(JpegSize(junk, w, h));
}

}  // namespace
}  // namespace kest
