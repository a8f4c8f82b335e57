// Whole pictures against libjpeg-turbo's accurate integer decode, for both paths, and every
// SIMD width against the scalar model of the SIMD arithmetic, byte for byte.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <cstdio>
#include <string>
#include <utility>

#include "jpeg_fixtures.h"
#include "kernels.h"
#include "picdec.h"

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
    {"rgb", 40, 24, 3, "-rgb -sample 1x1", false},
    // Sequential, one component per scan: decoded through the coefficient store.
    {"sequential_three_scans", 70, 50, 3, "-sample 2x2 -scans @SEQ", false},
    // Spectral selection and successive approximation in an explicit script.
    {"progressive_script", 70, 50, 3, "-sample 2x1 -scans @PROG", false},
    // Deep successive approximation: AC refinements from bit 3 down, end-of-band runs that
    // cross many blocks, bands split at 5 and 20.
    {"progressive_deep", 203, 157, 3, "-sample 2x2 -quality 95 -scans @DEEP", false},
    {"progressive422_q50", 240, 176, 3, "-sample 2x1 -progressive -quality 50", false},
};

// cjpeg scan scripts, written once.
std::string ScanScript(const char* name, const char* text) {
    std::string path = std::string("/tmp/picdec_scans_") + name + ".txt";
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(text, f);
    std::fclose(f);
    return path;
}

std::string Options(const char* options) {
    std::string o = options;
    static const std::string seq = ScanScript("seq", "0;\n1;\n2;\n");
    static const std::string prog =
        ScanScript("prog",
                   "0,1,2: 0-0, 0, 1;\n0: 1-5, 0, 2;\n2: 1-63, 0, 1;\n1: 1-63, 0, 1;\n"
                   "0: 6-63, 0, 2;\n0: 1-63, 2, 1;\n0,1,2: 0-0, 1, 0;\n2: 1-63, 1, 0;\n"
                   "1: 1-63, 1, 0;\n0: 1-63, 1, 0;\n");
    static const std::string deep =
        ScanScript("deep",
                   "0,1,2: 0-0, 0, 2;\n0: 1-5, 0, 3;\n1: 1-63, 0, 2;\n2: 1-63, 0, 2;\n"
                   "0: 6-20, 0, 3;\n0: 21-63, 0, 3;\n0: 1-63, 3, 2;\n0,1,2: 0-0, 2, 1;\n"
                   "0: 1-63, 2, 1;\n1: 1-63, 2, 1;\n2: 1-63, 2, 1;\n0,1,2: 0-0, 1, 0;\n"
                   "0: 1-63, 1, 0;\n1: 1-63, 1, 0;\n2: 1-63, 1, 0;\n");
    for (auto [key, path] :
         {std::pair{"@SEQ", &seq}, std::pair{"@PROG", &prog}, std::pair{"@DEEP", &deep}}) {
        size_t at = o.find(key);
        if (at != std::string::npos) o.replace(at, std::string(key).size(), *path);
    }
    return o;
}

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
    Bytes jpeg = Encode(SynthImage(c.w, c.h, c.channels), c.w, c.h, c.channels, Options(c.options));
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
    // Progressive scans (refinements and end-of-band runs above all) give exactly the
    // coefficients of the sequential stream that jpegtran makes of them.
    if (std::string(c.options).find("-progressive") != std::string::npos ||
        std::string(c.options).find("@PROG") != std::string::npos) {
        Bytes sequential = Transcode(jpeg, "-optimize");
        for (Path p : {Path::kPlain, Path::kSimdModel}) {
            EXPECT_EQ(PictureBytes(DecodeWithPath(jpeg, static_cast<int>(p))),
                      PictureBytes(DecodeWithPath(sequential, static_cast<int>(p))))
                << picdec::PathName(p);
        }
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

// clang-format off
#include <jpeglib.h>
// clang-format on

namespace picdec_test {
namespace {

// Four-component pictures from libjpeg's compressor: CMYK (Adobe transform 0, identifiers
// C, M, Y, K: the "other" arrangement) and YCCK (Adobe transform 2).
Bytes EncodeFourComponents(const Bytes& cmyk, int w, int h, J_COLOR_SPACE space) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, space);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(cmyk.data() + cinfo.next_scanline * w * 4);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes j(out, out + size);
    std::free(out);
    return j;
}

Bytes DecodeCmyk(const Bytes& jpeg) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_CMYK;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    Bytes px(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row =
            px.data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 4;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return px;
}

TEST(FourComponentTest, OtherAndYcckAgainstLibjpegsInks) {
    const int w = 48, h = 32;
    Bytes rgb = SynthImage(w, h, 3);
    Bytes cmyk(static_cast<size_t>(w) * h * 4);
    for (int i = 0; i < w * h; ++i) {
        for (int c = 0; c < 3; ++c)
            cmyk[4 * i + c] = rgb[3 * i + c];
        cmyk[4 * i + 3] = static_cast<uint8_t>(160 + (i % 90));
    }
    for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
        Bytes jpeg = EncodeFourComponents(cmyk, w, h, space);
        Bytes inks = DecodeCmyk(jpeg);
        Reference ref;
        ref.width = w;
        ref.height = h;
        ref.channels = 3;
        ref.pixels.resize(static_cast<size_t>(w) * h * 3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const uint8_t* s = inks.data() + (static_cast<size_t>(y) * w + x) * 4;
                uint8_t* d = ref.pixels.data() + (static_cast<size_t>(h - 1 - y) * w + x) * 3;
                for (int c = 0; c < 3; ++c) {
                    // libjpeg gives YCCK back as inverted inks; "other" as stored.
                    d[2 - c] = space == JCS_CMYK
                                   ? static_cast<uint8_t>((s[3] + 2 * s[c]) / 3)
                                   : static_cast<uint8_t>(((255 - s[c]) * s[3] + 127) / 255);
                }
            }
        }
        for (int path : {0, 1}) {
            Decoded d = DecodeWithPath(jpeg, path);
            ASSERT_EQ(d.result, 0);
            EXPECT_EQ(d.bits, 24);
            Diff diff = Compare(d, ref);
            EXPECT_LE(diff.mean, 1.5) << space;
            EXPECT_LE(diff.max, 16) << space;
        }
    }
}

// PICDEC_PATH picks the path when the library is loaded: a fresh copy of picdec.spi in a
// child process gives the bytes of the path it was told to use.
TEST(PathSelectionTest, EnvironmentForcesThePathAtLoad) {
    Bytes jpeg = Encode(SynthImage(37, 21, 3), 37, 21, 3, "-sample 2x2");
    struct Want {
        const char* env;
        Path path;
    };
    for (Want want : {Want{"plain", Path::kPlain}, Want{"sse2", Path::kSse2},
                      Want{"avx2", Path::kAvx2}, Want{"avx512", Path::kAvx512}}) {
        if (!picdec::PathAvailable(want.path)) continue;
        Bytes expected = PictureBytes(DecodeWithPath(jpeg, static_cast<int>(Path::kSimdModel)));
        if (want.path == Path::kPlain) {
            expected = PictureBytes(DecodeWithPath(jpeg, static_cast<int>(Path::kPlain)));
        }
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setenv("PICDEC_PATH", want.env, 1);
            void* lib = dlopen(PICDEC_SPI_PATH, RTLD_NOW | RTLD_LOCAL);
            if (lib == nullptr) _exit(2);
            auto get = reinterpret_cast<decltype(&GetPicture)>(dlsym(lib, "GetPicture"));
            void* info = nullptr;
            void* bits = nullptr;
            if (get(reinterpret_cast<const char*>(jpeg.data()), static_cast<long>(jpeg.size()), 1,
                    &info, &bits, nullptr, 0) != 0) {
                _exit(3);
            }
            Decoded d;
            d.width = 37;
            d.height = 21;
            d.bits = 24;
            d.stride = (37 * 3 + 3) & ~3;
            d.pixels.assign(static_cast<uint8_t*>(bits),
                            static_cast<uint8_t*>(bits) + d.stride * 21);
            _exit(PictureBytes(d) == expected ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << want.env << " " << status;
    }
}

}  // namespace
}  // namespace picdec_test
