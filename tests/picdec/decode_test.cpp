// Whole pictures against libjpeg-turbo's accurate integer decode, for both paths, and every
// SIMD width against the scalar model of the SIMD arithmetic, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "jpeg_fixtures.h"
#include "kernels.h"

namespace picdec_test {
namespace {

using picdec::Path;

struct Case {
    const char* name;
    int w, h, channels;
    const char* options;
    bool fast_upsample;  // libjpeg-turbo filters 1x2 chroma vertically; the decoder replicates
};

const Case kCases[] = {
    {"baseline444", 96, 64, 3, "-sample 1x1 -quality 90", false},
    {"baseline422", 96, 64, 3, "-sample 2x1 -quality 75", false},
    {"baseline420", 128, 96, 3, "-sample 2x2 -quality 75", false},
    {"baseline440", 96, 64, 3, "-sample 1x2 -quality 80", true},
    {"baseline411", 128, 48, 3, "-sample 4x1 -quality 80", false},
    {"luma3x1", 120, 40, 3, "-sample 3x1,1x1,1x1 -quality 85", false},
    {"mixed2x1_2x1_1x1", 80, 40, 3, "-sample 2x1,2x1,1x1 -quality 85", false},
    {"grey", 161, 10, 1, "-grayscale -quality 80", false},
    {"odd1x1", 1, 1, 3, "-sample 2x2", false},
    {"odd161x10", 161, 10, 3, "-sample 2x2", false},
    {"odd17x33", 17, 33, 3, "-sample 2x2", false},
    {"odd17x33_422", 17, 33, 3, "-sample 2x1", false},
    {"large1023x767", 1023, 767, 3, "-sample 2x2 -quality 75", false},
    {"optimised", 160, 120, 3, "-sample 2x2 -optimize -quality 60", false},
    {"restart", 160, 120, 3, "-sample 2x2 -restart 1B -quality 75", false},
    {"restart_rows", 160, 120, 3, "-sample 2x1 -restart 1 -quality 75", false},
    {"progressive420", 160, 120, 3, "-sample 2x2 -progressive -quality 75", false},
    {"progressive444", 97, 61, 3, "-sample 1x1 -progressive -quality 92", false},
    {"progressive_grey", 161, 10, 1, "-grayscale -progressive", false},
    {"progressive_restart", 160, 120, 3, "-sample 2x2 -progressive -restart 3B", false},
    {"quality100", 64, 48, 3, "-sample 1x1 -quality 100", false},
    {"quality5", 64, 48, 3, "-sample 2x2 -quality 5", false},
};

class DecodeTest : public ::testing::TestWithParam<Case> {};

std::vector<Path> SimdWidths() {
    std::vector<Path> v;
    for (Path p : {Path::kSse2, Path::kAvx2, Path::kAvx512}) {
        if (picdec::PathAvailable(p)) v.push_back(p);
    }
    return v;
}

TEST_P(DecodeTest, MatchesLibjpegTurboOnBothPathsAndSimdMatchesItsModel) {
    const Case& c = GetParam();
    Bytes jpeg = Encode(SynthImage(c.w, c.h, c.channels), c.w, c.h, c.channels, c.options);
    Reference ref = DecodeReference(jpeg, c.fast_upsample);
    ASSERT_EQ(ref.width, c.w);
    for (Path p : {Path::kPlain, Path::kSimdModel}) {
        Decoded d = DecodeWithPath(jpeg, static_cast<int>(p));
        ASSERT_EQ(d.result, 0) << picdec::PathName(p);
        ASSERT_EQ(d.width, c.w);
        ASSERT_EQ(d.height, c.h);
        ASSERT_EQ(d.bits, c.channels * 8);
        Diff diff = Compare(d, ref);
        EXPECT_LE(diff.mean, 1.5) << picdec::PathName(p);
        EXPECT_LE(diff.max, 16) << picdec::PathName(p);
    }
    Bytes model = PictureBytes(DecodeWithPath(jpeg, static_cast<int>(Path::kSimdModel)));
    Bytes model_preview =
        PictureBytes(DecodeWithPath(jpeg, static_cast<int>(Path::kSimdModel), true));
    for (Path p : SimdWidths()) {
        EXPECT_EQ(PictureBytes(DecodeWithPath(jpeg, static_cast<int>(p))), model)
            << picdec::PathName(p);
        EXPECT_EQ(PictureBytes(DecodeWithPath(jpeg, static_cast<int>(p), true)), model_preview)
            << picdec::PathName(p);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, DecodeTest, ::testing::ValuesIn(kCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace picdec_test
