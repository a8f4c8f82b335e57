// Decoding through picdec and rendering into the frame surface: sizes,
// turned pictures, the lattice, the time stamp and the copy into a target.
#include "control/stream/render.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>

#include "control/stream/camera.h"
#include "control/stream/picdec_binding.h"
#include "jpeg_fixtures.h"
#include "sim/simulator.h"
#include "tests/control/stream/camera_jpeg.h"
#include "tests/support/temp_dir.h"

namespace kest {
namespace {

using platform::Rgb;
using platform::Surface;
using test::Bytes;

constexpr FrameTime kMarch5{2002, 3, 5, 14, 7, 9, 45};

std::string Token() {
    static std::atomic<int> n{0};
    return "render-test-" + std::to_string(++n);
}

// A frame as a camera without its own header gives it, completed.
Bytes Frame(int w, int h, uint32_t seed = 1, int sampling = 1) {
    const auto scan = test::EncodeCameraScan(test::TestPicture(w, h, seed), w, h, sampling, 50);
    return test::BuildCameraFile(scan, w, h, sampling, 50, 0, kMarch5);
}

// A frame of model 11 or 20: the camera's comment with motion fields.
Bytes MotionFrame(int w, int h, const MotionLattices& cells, uint32_t seed = 1) {
    const auto scan = test::EncodeCameraScan(test::TestPicture(w, h, seed), w, h, 1, 50);
    Bytes body;
    const std::string text = "timestamp = 20020305140709045; camera = ; motion = 1; mask = X; ";
    body.assign(text.begin(), text.end());
    for (const auto* lattice : {&cells.setting, &cells.detection}) {
        Bytes b(38, 0);
        for (size_t n = 0; n < 300; ++n) {
            if ((*lattice)[n]) b[n / 8] |= uint8_t(1 << (n % 8));
        }
        body.insert(body.end(), b.begin(), b.end());
        body.insert(body.end(), {'\r', '\n'});
    }
    Bytes f(scan.file.begin(), scan.file.begin() + 20);  // start marker and APP0
    const size_t len = body.size() + 2;
    f.insert(f.end(), {0xFF, 0xFE, uint8_t(len >> 8), uint8_t(len)});
    f.insert(f.end(), body.begin(), body.end());
    f.insert(f.end(), scan.file.begin() + 20, scan.file.end());
    return f;
}

// The presented picture as a top-down surface.
Surface Presented(const CKestCamera& c) {
    Surface s;
    s.LoadBottomUp(c.presented_picture(), c.presented_width(), c.presented_height(),
                   size_t(c.presented_width()) * 3);
    return s;
}

bool ColumnsEqual(const Surface& a, int32_t ax, const Surface& b, int32_t bx, int32_t rows) {
    for (int32_t y = 0; y < rows; ++y) {
        if (a.Pixel(ax, y) != b.Pixel(bx, y)) return false;
    }
    return true;
}

TEST(FormatTimeStamp, SevenStylesLiveAndStill) {
    const FrameTime t{987, 3, 5, 14, 7, 9, 45};
    struct Row {
        int32_t style;
        const char* live;
        const char* still;
    };
    const Row rows[] = {
        {0, "987/03/05 14:07:09.04", "0987/03/05 14:07:09.04"},
        {1, "987/03/05 14:07:09", "0987/03/05 14:07:09"},
        {2, "05/03/987 14:07:09", "05/03/0987 14:07:09"},
        {3, "03/05/987 14:07:09", "03/05/0987 14:07:09"},
        {4, "03/05 14:07:09", "03/05 14:07:09"},
        {5, "14:07:09", "14:07:09"},
        {6, "14:07", "14:07"},
        {7, "987/03/05 14:07:09", "0987/03/05 14:07:09"},  // any other style is 1
        {-3, "987/03/05 14:07:09", "0987/03/05 14:07:09"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(FormatTimeStamp(t, r.style, false), r.live) << r.style;
        EXPECT_EQ(FormatTimeStamp(t, r.style, true), r.still) << r.style;
    }
    EXPECT_EQ(FormatTimeStamp(kMarch5, 0, false), "2002/03/05 14:07:09.04");
}

TEST(DrawTimeStamp, NothingWhenOffOrWithoutAFont) {
    Surface s(50, 20);
    TimeStampSettings on{true, 0xFFFFFF, 0xFF, 1, 2, 0, 0};
    DrawTimeStamp(s, on, kMarch5, nullptr);
    TimeStampSettings off = on;
    off.enabled = false;
    auto font = platform::Font::Create(TimeStampFont::Defaults());
    ASSERT_NE(font, nullptr);
    DrawTimeStamp(s, off, kMarch5, font.get());
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 50; ++x)
            ASSERT_EQ(s.Pixel(x, y), Rgb{});
    }
    DrawTimeStamp(s, on, kMarch5, font.get());
    EXPECT_EQ(s.Pixel(0, 0), (Rgb{255, 0, 0}));  // the opaque background, colour 0x0000FF
}

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ProcessPicdec().can_decode()) GTEST_SKIP() << "picdec.spi is not built next to kest";
        SetTimeStampSettings({});
        SetLatticeSettings({});
    }
    void TearDown() override {
        SetTimeStampSettings({});
        SetLatticeSettings({});
    }

    // Decoded on "the receive thread", presented and rendered.
    void Show(const Bytes& file, bool reverse = false) {
        camera_.frame_record().reverse = reverse ? 1 : 0;
        int32_t w = 0, h = 0;
        ASSERT_TRUE(camera_.DecodeFrame(file.data(), file.size(), &w, &h));
        camera_.PresentFrame(file.data(), file.size());
        camera_.RenderFrame();
    }
    // A session with a simulated camera of the given model.
    void OpenAs(int model) {
        sim::SimConfig config;
        config.port = 0;
        config.model_code = model;
        sim_ = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim_->Start());
        ASSERT_EQ(camera_.OpenSession("127.0.0.1", sim_->port()), 0);
        ASSERT_EQ(camera_.model_code(), model);
    }

    test::ScopedTempDir dir_;
    std::unique_ptr<sim::Simulator> sim_;
    CKestCamera camera_{Token()};
};

TEST_F(RenderTest, DecodeMatchesLibjpegTurboAndReadsPaddedRows) {
    // 90 pixels make rows of 270 bytes that the plug-in pads to 272.
    for (const auto& [w, h] : {std::pair{90, 30}, std::pair{640, 480}}) {
        const Bytes file = Frame(w, h);
        int32_t dw = 0, dh = 0;
        ASSERT_TRUE(camera_.DecodeFrame(file.data(), file.size(), &dw, &dh));
        EXPECT_EQ(dw, w);
        EXPECT_EQ(dh, h);
        const auto ref = picdec_test::DecodeReference(file);
        ASSERT_EQ(ref.pixels.size(), size_t(w) * h * 3);
        double sum = 0;
        int worst = 0;
        for (size_t i = 0; i < ref.pixels.size(); ++i) {
            const int d = std::abs(int(camera_.decoded_picture()[i]) - int(ref.pixels[i]));
            sum += d;
            worst = std::max(worst, d);
        }
        EXPECT_LE(sum / double(ref.pixels.size()), 1.5) << w;
        EXPECT_LE(worst, 16) << w;
    }
}

TEST_F(RenderTest, ReverseFlagTurnsThePicture) {
    const Bytes file = Frame(320, 240, 7);
    int32_t w = 0, h = 0;
    ASSERT_TRUE(camera_.DecodeFrame(file.data(), file.size(), &w, &h));
    const Bytes upright(camera_.decoded_picture(), camera_.decoded_picture() + w * h * 3);
    camera_.frame_record().reverse = 1;
    ASSERT_TRUE(camera_.DecodeFrame(file.data(), file.size(), &w, &h));
    const uint8_t* turned = camera_.decoded_picture();
    const size_t pixels = size_t(w) * size_t(h);
    for (size_t p = 0; p < pixels; p += 97) {
        for (size_t k = 0; k < 3; ++k)
            ASSERT_EQ(turned[p * 3 + k], upright[(pixels - 1 - p) * 3 + k]) << p;
    }
}

TEST_F(RenderTest, PicturesThatDoNotFitAreNotShown) {
    const Bytes good = Frame(160, 120);
    int32_t w = 0, h = 0;
    ASSERT_TRUE(camera_.DecodeFrame(good.data(), good.size(), &w, &h));
    const Bytes before(camera_.decoded_picture(), camera_.decoded_picture() + 160 * 120 * 3);

    // Grey pictures (8 bits a pixel), pictures larger than the decoded
    // picture's 3 MiB, and what does not decode leave it as it was.
    const Bytes grey_pixels(64 * 48, 128);
    const Bytes grey = picdec_test::Encode(grey_pixels, 64, 48, 1, "-grayscale");
    EXPECT_FALSE(camera_.DecodeFrame(grey.data(), grey.size(), &w, &h));
    const Bytes large_rgb(1100 * 1000 * 3, 90);
    const Bytes large = picdec_test::Encode(large_rgb, 1100, 1000, 3, "-quality 50");
    ASSERT_EQ(picdec_test::Decode(large).result, 0);  // a good picture, only too large
    EXPECT_FALSE(camera_.DecodeFrame(large.data(), large.size(), &w, &h));
    const Bytes junk(500, 0x42);
    EXPECT_FALSE(camera_.DecodeFrame(junk.data(), junk.size(), &w, &h));
    EXPECT_FALSE(camera_.DecodeFrame(nullptr, 0, &w, &h));

    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    EXPECT_EQ(Bytes(camera_.decoded_picture(), camera_.decoded_picture() + 160 * 120 * 3), before);
}

TEST_F(RenderTest, WideFrameIsShownAtSixForty) {
    camera_.ResizeFrameSurface(0);
    Show(Frame(704, 480, 3));
    const Surface src = Presented(camera_);
    const Surface& out = camera_.frame_surface();
    ASSERT_EQ(out.width(), 640);
    // Every row is the picture's row; 64 columns are dropped, none repeated,
    // none blended: each shown column is a whole source column, in order.
    int32_t last = -1;
    for (int32_t x = 0; x < 640; ++x) {
        int32_t found = -1;
        for (int32_t c = std::max(last + 1, x); c <= std::min(703, x * 704 / 640 + 2); ++c) {
            if (ColumnsEqual(out, x, src, c, 480)) {
                found = c;
                break;
            }
        }
        ASSERT_GE(found, 0) << "column " << x;
        last = found;
    }
    EXPECT_GE(last, 700);
}

TEST_F(RenderTest, SmallWideFrameDropsSixColumnsEachSide) {
    camera_.ResizeFrameSurface(2);
    Show(Frame(176, 112, 5));
    const Surface src = Presented(camera_);
    const Surface& out = camera_.frame_surface();
    ASSERT_EQ(out.width(), 160);
    ASSERT_EQ(out.height(), 120);
    // Rows: 112 become 120, each a picture row in order.
    std::vector<int32_t> row_of(120, -1);
    int32_t last_row = 0;
    for (int32_t y = 0; y < 120; ++y) {
        for (int32_t r = last_row; r < 112 && row_of[size_t(y)] < 0; ++r) {
            bool same = true;
            for (int32_t x = 0; x < 160 && same; x += 7)
                same = out.Pixel(x, y) == src.Pixel(6 + x * 164 / 160, r);
            if (same) row_of[size_t(y)] = r;
        }
        ASSERT_GE(row_of[size_t(y)], 0) << "row " << y;
        last_row = row_of[size_t(y)];
    }
    EXPECT_EQ(row_of.front(), 0);
    EXPECT_EQ(row_of.back(), 111);
    // Columns come from 6 .. 169 only.
    const auto column_from = [&](int32_t x) {
        for (int32_t c = 0; c < 176; ++c) {
            bool same = true;
            for (int32_t y = 0; y < 120 && same; ++y)
                same = out.Pixel(x, y) == src.Pixel(c, row_of[size_t(y)]);
            if (same) return c;
        }
        return -1;
    };
    EXPECT_EQ(column_from(0), 6);
    EXPECT_GE(column_from(159), 166);
    EXPECT_LE(column_from(159), 169);
}

TEST_F(RenderTest, LatticeDotsAndLinesAtExactPixels) {
    OpenAs(11);
    camera_.ResizeFrameSurface(0);
    MotionLattices cells;
    cells.setting[0] = 1;     // top-left
    cells.setting[21] = 1;    // column 1, row 1
    cells.detection[21] = 1;  // drawn over the setting
    cells.detection[299] = 1;
    LatticeSettings lattice{true, Rgb{10, 20, 30}.ColorRef(), Rgb{250, 0, 0}.ColorRef(),
                            Rgb{0, 250, 0}.ColorRef()};
    SetLatticeSettings(lattice);
    Show(MotionFrame(640, 480, cells));

    Surface expected = Presented(camera_);
    const auto dots = [&](int32_t n, Rgb c) {
        for (int32_t j = 1; j < 32; j += 2) {
            for (int32_t i = 1; i < 32; i += 2)
                expected.SetPixel((n % 20) * 32 + i, (n / 20) * 32 + j, c);
        }
    };
    dots(0, {250, 0, 0});
    dots(21, {0, 250, 0});
    dots(299, {0, 250, 0});
    for (int32_t k = 0; k < 20; ++k)
        expected.Fill({32 + 32 * k, 0, 1, 480}, {10, 20, 30});
    for (int32_t k = 0; k < 15; ++k)
        expected.Fill({0, 32 + 32 * k, 640, 1}, {10, 20, 30});

    const Surface& out = camera_.frame_surface();
    int32_t wrong = 0;
    for (int32_t y = 0; y < 480; ++y) {
        for (int32_t x = 0; x < 640; ++x)
            wrong += out.Pixel(x, y) != expected.Pixel(x, y);
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(out.Pixel(1, 1), (Rgb{250, 0, 0}));
    EXPECT_EQ(out.Pixel(2, 1), expected.Pixel(2, 1));
    EXPECT_EQ(out.Pixel(32, 100), (Rgb{10, 20, 30}));
}

TEST_F(RenderTest, ReversedFrameTurnsItsLattice) {
    OpenAs(20);
    MotionLattices cells;
    cells.setting[0] = 1;
    SetLatticeSettings({true, 0, Rgb{250, 0, 0}.ColorRef(), 0});
    Show(MotionFrame(320, 240, cells), true);
    // Cell 0 of a turned picture is drawn in the last cell (16 x 16 cells).
    const Surface& out = camera_.frame_surface();
    EXPECT_EQ(out.Pixel(19 * 16 + 1, 14 * 16 + 1), (Rgb{250, 0, 0}));
    EXPECT_NE(out.Pixel(1, 1), (Rgb{250, 0, 0}));

    // Lattice off: the same frame shows no dots.
    SetLatticeSettings({false, 0, Rgb{250, 0, 0}.ColorRef(), 0});
    Show(MotionFrame(320, 240, cells), true);
    EXPECT_NE(camera_.frame_surface().Pixel(19 * 16 + 1, 14 * 16 + 1), (Rgb{250, 0, 0}));
}

TEST_F(RenderTest, OtherModelsGetNoLattice) {
    MotionLattices cells;
    cells.setting.fill(1);
    SetLatticeSettings({true, 0, Rgb{250, 0, 0}.ColorRef(), 0});
    Show(MotionFrame(320, 240, cells));  // no session: model 0
    const Surface src = Presented(camera_);
    EXPECT_EQ(camera_.frame_surface().Pixel(1, 1), src.Pixel(1, 1));
    EXPECT_EQ(camera_.frame_surface().Pixel(16, 5), src.Pixel(16, 5));
}

TEST_F(RenderTest, EmptyModelTwentyPictureIsNotDrawn) {
    OpenAs(20);
    const int32_t before = camera_.frame_surface().Pixel(5, 5).r;
    const Bytes black_rgb(320 * 240 * 3, 0);
    const auto scan = test::EncodeCameraScan(black_rgb, 320, 240, 1, 50);
    Show(test::BuildCameraFile(scan, 320, 240, 1, 50, 0, kMarch5));
    EXPECT_EQ(camera_.frame_surface().Pixel(5, 5).r, before);  // the placeholder's grey
    Show(Frame(320, 240));
    EXPECT_EQ(camera_.frame_surface().Pixel(5, 5), Presented(camera_).Pixel(5, 5));
}

// The pixels that differ between two surfaces of one size.
struct Changes {
    int32_t count = 0;
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
};
Changes Diff(const Surface& a, const Surface& b) {
    Changes c;
    for (int32_t y = 0; y < a.height(); ++y) {
        for (int32_t x = 0; x < a.width(); ++x) {
            if (a.Pixel(x, y) == b.Pixel(x, y)) continue;
            ++c.count;
            c.x0 = std::min(c.x0, x), c.y0 = std::min(c.y0, y);
            c.x1 = std::max(c.x1, x), c.y1 = std::max(c.y1, y);
        }
    }
    return c;
}

Surface Snapshot(const Surface& s) {
    Surface copy(s.width(), s.height());
    platform::Copy(copy, 0, 0, s.width(), s.height(), s, 0, 0);
    return copy;
}

TEST_F(RenderTest, TimeStampInItsCellAndColours) {
    const Bytes file = Frame(320, 240, 11);
    Show(file);
    const Surface plain = Snapshot(camera_.frame_surface());
    ASSERT_EQ(camera_.presented_time(), kMarch5);

    const Rgb text{255, 255, 0}, back{0, 0, 128};
    TimeStampSettings s{true, text.ColorRef(), back.ColorRef(), 1, 2, 10, 20};
    SetTimeStampSettings(s);
    Show(file);
    const Surface opaque = Snapshot(camera_.frame_surface());
    platform::Font::Extent cell;
    camera_.timestamp_font().WithFont([&](const platform::Font* f) {
        ASSERT_NE(f, nullptr);
        cell = f->Measure(FormatTimeStamp(kMarch5, 1, false));
    });
    ASSERT_GT(cell.width, 0);
    // Opaque: the whole measured cell, in text and background colours only.
    const Changes c = Diff(plain, opaque);
    EXPECT_EQ(c.x0, 10);
    EXPECT_EQ(c.y0, 20);
    EXPECT_EQ(c.x1, 10 + cell.width - 1);
    EXPECT_EQ(c.y1, 20 + cell.height - 1);
    int32_t text_pixels = 0;
    for (int32_t y = 20; y < 20 + cell.height; ++y) {
        for (int32_t x = 10; x < 10 + cell.width; ++x) {
            const Rgb p = opaque.Pixel(x, y);
            ASSERT_TRUE(p == text || p == back) << x << "," << y;
            text_pixels += p == text;
        }
    }
    EXPECT_GT(text_pixels, 20 * 5);  // 19 characters

    // Transparent: only glyph pixels change, all in the text colour.
    s.back_mode = TimeStampSettings::kTransparent;
    SetTimeStampSettings(s);
    Show(file);
    const Surface transparent = Snapshot(camera_.frame_surface());
    const Changes t = Diff(plain, transparent);
    EXPECT_EQ(t.count, text_pixels);
    EXPECT_GE(t.x0, 10);
    EXPECT_GE(t.y0, 20);
    EXPECT_LE(t.x1, 10 + cell.width);
    EXPECT_LE(t.y1, 20 + cell.height);

    // Background mode 0 is opaque; style 7 is style 1.
    s.back_mode = 0;
    s.style = 7;
    SetTimeStampSettings(s);
    Show(file);
    EXPECT_EQ(Diff(opaque, camera_.frame_surface()).count, 0);

    // Style 6 is shorter.
    s.style = 6;
    SetTimeStampSettings(s);
    Show(file);
    EXPECT_LT(Diff(plain, camera_.frame_surface()).x1, c.x1);
}

TEST_F(RenderTest, TimeStampOnScaledFramesIsDrawnAfterScaling) {
    camera_.ResizeFrameSurface(0);
    const Bytes file = Frame(704, 480, 2);
    Show(file);
    const Surface plain = Snapshot(camera_.frame_surface());
    SetTimeStampSettings({true, Rgb{255, 255, 255}.ColorRef(), 0, 5, 2, 600, 400});
    Show(file);
    const Changes c = Diff(plain, camera_.frame_surface());
    // At its place on the 640 x 480 picture, not squeezed with the frame.
    EXPECT_EQ(c.x0, 600);
    EXPECT_EQ(c.y0, 400);
    EXPECT_EQ(c.x1, 639);  // "14:07:09" runs past the right edge and is clipped
}

TEST_F(RenderTest, CopySurfacePlacement) {
    Show(Frame(320, 240, 4));
    const Surface& s = camera_.frame_surface();
    const Rgb white{255, 255, 255};

    // Within 10 pixels of the size: centred on black.
    Surface near(325, 238);
    near.Fill({0, 0, 325, 238}, white);
    camera_.CopySurface(near, {0, 0, 325, 238});
    EXPECT_EQ(near.Pixel(0, 0), Rgb{});
    EXPECT_EQ(near.Pixel(1, 237), Rgb{});
    EXPECT_EQ(near.Pixel(2, 0), s.Pixel(0, 1));
    EXPECT_EQ(near.Pixel(321, 237), s.Pixel(319, 238));
    EXPECT_EQ(near.Pixel(322, 0), white);
    EXPECT_EQ(near.Pixel(324, 237), white);

    // Further off: unscaled at the top-left corner, the rest untouched.
    Surface far(400, 300);
    far.Fill({0, 0, 400, 300}, white);
    camera_.CopySurface(far, {0, 0, 400, 300});
    EXPECT_EQ(far.Pixel(0, 0), s.Pixel(0, 0));
    EXPECT_EQ(far.Pixel(319, 239), s.Pixel(319, 239));
    EXPECT_EQ(far.Pixel(320, 0), white);
    EXPECT_EQ(far.Pixel(0, 240), white);

    // The same size: a plain copy.
    Surface same(320, 240);
    camera_.CopySurface(same, {0, 0, 320, 240});
    EXPECT_EQ(Diff(same, s).count, 0);

    // A smaller target gets what fits.
    Surface small(100, 50);
    camera_.CopySurface(small, {0, 0, 100, 50});
    EXPECT_EQ(small.Pixel(99, 49), s.Pixel(99, 49));
}

TEST_F(RenderTest, FrameSurfaceShowsAPlaceholderPerSize) {
    const Surface& s = camera_.frame_surface();
    EXPECT_EQ(s.width(), 320);
    EXPECT_EQ(s.height(), 240);
    EXPECT_EQ(camera_.placeholder_mode(), 1);
    EXPECT_EQ(s.Pixel(5, 5), (Rgb{192, 192, 192}));
    EXPECT_NE(s.Pixel(160, 130), (Rgb{192, 192, 192}));  // the artwork in the middle

    Show(Frame(320, 240));
    EXPECT_NE(s.Pixel(5, 5), (Rgb{192, 192, 192}));
    for (const auto& [size_class, w, h] : {std::tuple{0, 640, 480}, std::tuple{2, 160, 120},
                                           std::tuple{1, 320, 240}, std::tuple{7, 320, 240}}) {
        camera_.ResizeFrameSurface(size_class);
        EXPECT_EQ(s.width(), w);
        EXPECT_EQ(s.height(), h);
        EXPECT_EQ(s.Pixel(5, 5), (Rgb{192, 192, 192}));
        EXPECT_NE(s.Pixel(w / 2, h / 2 + h / 20), (Rgb{192, 192, 192}));
    }
}

TEST_F(RenderTest, PresentedJpegTooLongIsNotKept) {
    const Bytes file = Frame(160, 120);
    Show(file);
    EXPECT_EQ(camera_.presented_length(), file.size());
    EXPECT_EQ(Bytes(camera_.presented_jpeg(), camera_.presented_jpeg() + file.size()), file);
    Bytes longer(CKestCamera::kPresentedJpegSize + 1, 0);
    std::copy(file.begin(), file.end(), longer.begin());
    camera_.PresentFrame(longer.data(), longer.size());
    EXPECT_EQ(camera_.presented_length(), 0u);
    camera_.RenderFrame();
    EXPECT_EQ(camera_.presented_time(), FrameTime{});
}

TEST_F(RenderTest, HandOverKeepsThePresentedPictureWhenADecodeFails) {
    const Bytes a = Frame(160, 120, 1), b = Frame(160, 120, 2);
    Show(a);
    Show(b);
    const Bytes shown(camera_.presented_picture(), camera_.presented_picture() + 160 * 120 * 3);
    const Bytes junk(300, 0x33);
    int32_t w = 0, h = 0;
    EXPECT_FALSE(camera_.DecodeFrame(junk.data(), junk.size(), &w, &h));
    EXPECT_EQ(w, 160);
    camera_.PresentFrame(junk.data(), junk.size());
    EXPECT_EQ(Bytes(camera_.presented_picture(), camera_.presented_picture() + 160 * 120 * 3),
              shown);
    EXPECT_EQ(camera_.presented_width(), 160);
    // The next good frame is presented as usual.
    Show(a);
    EXPECT_NE(Bytes(camera_.presented_picture(), camera_.presented_picture() + 160 * 120 * 3),
              shown);
}

TEST_F(RenderTest, FontDefaultsWithoutSettingsFileAndKeysWhenPresent) {
    TimeStampFont defaults;
    defaults.Load();
    const platform::LogFont d = defaults.description();
    EXPECT_EQ(d.height, -13);
    EXPECT_EQ(d.weight, 400);
    EXPECT_STREQ(d.face_name, "Terminal");
    EXPECT_EQ(d.char_set, 1);
    EXPECT_EQ(d.clip_precision, 2);
    EXPECT_EQ(d.pitch_and_family, 1);

    std::ofstream(dir_.File("KEST.INI"))
        << "[TimeStampFont]\nHeight=-24\nWeight=700\nItalic=1\nFaceName=DejaVu Serif\n";
    TimeStampFont read;
    read.Load();
    EXPECT_EQ(read.description().height, -24);
    EXPECT_EQ(read.description().weight, 700);
    EXPECT_EQ(read.description().italic, 1);
    EXPECT_STREQ(read.description().face_name, "DejaVu Serif");
    EXPECT_EQ(read.description().quality, 1);
    // Read once: a later change of the file is not seen.
    std::ofstream(dir_.File("KEST.INI")) << "[TimeStampFont]\nHeight=-40\n";
    read.Load();
    EXPECT_EQ(read.description().height, -24);
    read.WithFont([](const platform::Font* f) {
        ASSERT_NE(f, nullptr);
        EXPECT_GE(f->ascent() + f->descent(), 24);
    });
}

}  // namespace
}  // namespace kest
