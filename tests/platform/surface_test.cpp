// The 24-bit drawing surface: clipping of every operation, copies within one
// surface, colour-on-colour stretching, pen lines and bottom-up pictures.
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kest::platform {
namespace {

// Every pixel a colour of its own: red x, green y, blue a checksum.
Surface Numbered(int32_t w, int32_t h) {
    Surface s(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x)
            s.SetPixel(x, y, {uint8_t(x), uint8_t(y), uint8_t(x * 7 + y * 13)});
    }
    return s;
}

int32_t CountColour(const Surface& s, Rgb c) {
    int32_t n = 0;
    for (int32_t y = 0; y < s.height(); ++y) {
        for (int32_t x = 0; x < s.width(); ++x)
            n += s.Pixel(x, y) == c;
    }
    return n;
}

TEST(Surface, PixelsAreBlueGreenRedTopDown) {
    Surface s(4, 3);
    EXPECT_EQ(s.stride(), 12u);
    s.SetPixel(1, 2, {10, 20, 30});
    const uint8_t* p = s.row(2) + 3;
    EXPECT_EQ(p[0], 30);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 10);
    EXPECT_EQ(s.Pixel(1, 2), (Rgb{10, 20, 30}));
    // Outside: reads black, writes nothing.
    s.SetPixel(-1, 0, {1, 1, 1});
    s.SetPixel(4, 0, {1, 1, 1});
    EXPECT_EQ(s.Pixel(7, 7), Rgb{});
    EXPECT_EQ(CountColour(s, {1, 1, 1}), 0);
    EXPECT_EQ(Rgb::FromColorRef(0x00332211), (Rgb{0x11, 0x22, 0x33}));
    EXPECT_EQ((Rgb{0x11, 0x22, 0x33}).ColorRef(), 0x00332211u);
}

TEST(Surface, ResetKeepsABlockLargeEnoughAndRefusesImpossibleSizes) {
    Surface s(100, 100);
    s.Fill({0, 0, 100, 100}, {9, 9, 9});
    EXPECT_TRUE(s.Reset(10, 10));
    EXPECT_EQ(CountColour(s, Rgb{}), 100);  // black again
    EXPECT_FALSE(s.Reset(-1, 5));
    EXPECT_TRUE(s.empty());
    EXPECT_FALSE(s.Reset(1 << 20, 1 << 20));
    EXPECT_TRUE(s.Reset(0, 0));
    EXPECT_TRUE(s.empty());
}

TEST(Surface, FillClips) {
    Surface s(10, 8);
    s.Fill({-5, -5, 8, 7}, {1, 2, 3});
    EXPECT_EQ(CountColour(s, {1, 2, 3}), 3 * 2);
    s.Fill({8, 6, 100, 100}, {4, 5, 6});
    EXPECT_EQ(CountColour(s, {4, 5, 6}), 2 * 2);
    s.Fill({0, 0, -3, 4}, {7, 7, 7});
    s.Fill({INT32_MAX - 1, 0, INT32_MAX, 2}, {7, 7, 7});
    EXPECT_EQ(CountColour(s, {7, 7, 7}), 0);
}

TEST(Surface, LinesLeaveOutTheirEndPoint) {
    Surface s(20, 20);
    const Rgb c{200, 0, 0};
    s.Line(2, 5, 12, 5, c);
    EXPECT_EQ(s.Pixel(2, 5), c);
    EXPECT_EQ(s.Pixel(11, 5), c);
    EXPECT_NE(s.Pixel(12, 5), c);
    EXPECT_EQ(CountColour(s, c), 10);
    s.Line(3, 19, 3, 9, c);  // upwards: 19 down to 10
    EXPECT_EQ(s.Pixel(3, 10), c);
    EXPECT_NE(s.Pixel(3, 9), c);
    EXPECT_EQ(CountColour(s, c), 20);
    // Lines running off the surface are clipped.
    s.Line(15, -100, 15, 100, c);
    EXPECT_EQ(CountColour(s, c), 40);
    // A diagonal: one pixel per step, no end point.
    Surface d(10, 10);
    d.Line(0, 0, 5, 5, c);
    EXPECT_EQ(CountColour(d, c), 5);
    EXPECT_EQ(d.Pixel(4, 4), c);
    EXPECT_NE(d.Pixel(5, 5), c);
}

TEST(Surface, CopyClipsToBothSurfaces) {
    const Surface src = Numbered(30, 20);
    Surface dst(25, 15);
    // Negative source and destination corners, sizes past both.
    Copy(dst, -2, 3, 100, 100, src, 4, -5);
    // dst (0, 8) gets src (6, 0): two columns and five rows were clipped away.
    EXPECT_EQ(dst.Pixel(0, 8), src.Pixel(6, 0));
    EXPECT_EQ(dst.Pixel(23, 14), src.Pixel(29, 6));
    EXPECT_EQ(dst.Pixel(24, 14), Rgb{});  // src has no column 30
    EXPECT_EQ(dst.Pixel(0, 7), Rgb{});
    // Entirely outside: nothing.
    Surface untouched(5, 5);
    Copy(untouched, 10, 10, 5, 5, src, 0, 0);
    Copy(untouched, 0, 0, 5, 5, src, 40, 0);
    EXPECT_EQ(CountColour(untouched, Rgb{}), 25);
}

TEST(Surface, CopyWithinOneSurfaceIsAsFromACopy) {
    Surface s = Numbered(16, 16);
    const Surface before = Numbered(16, 16);
    Copy(s, 3, 4, 10, 10, s, 1, 1);  // overlapping, down and right
    for (int32_t y = 0; y < 10; ++y) {
        for (int32_t x = 0; x < 10; ++x)
            ASSERT_EQ(s.Pixel(3 + x, 4 + y), before.Pixel(1 + x, 1 + y)) << x << "," << y;
    }
    Surface t = Numbered(16, 16);
    Copy(t, 0, 0, 12, 12, t, 2, 3);  // up and left
    EXPECT_EQ(t.Pixel(0, 0), before.Pixel(2, 3));
    EXPECT_EQ(t.Pixel(11, 11), before.Pixel(13, 14));
}

TEST(Surface, StretchDropsAndRepeatsWithoutBlending) {
    const Surface src = Numbered(40, 30);
    Surface big(100, 75);
    Stretch(big, {0, 0, 100, 75}, src, {0, 0, 40, 30});
    // Every pixel is a source pixel; every source pixel appears.
    std::set<uint32_t> seen;
    for (int32_t y = 0; y < 75; ++y) {
        for (int32_t x = 0; x < 100; ++x) {
            const Rgb p = big.Pixel(x, y);
            ASSERT_EQ(p.b, uint8_t(p.r * 7 + p.g * 13)) << "blended at " << x << "," << y;
            ASSERT_LT(p.r, 40);
            ASSERT_LT(p.g, 30);
            seen.insert(p.ColorRef());
        }
    }
    EXPECT_EQ(seen.size(), 40u * 30u);
    EXPECT_EQ(big.Pixel(0, 0), src.Pixel(0, 0));
    EXPECT_EQ(big.Pixel(99, 74), src.Pixel(39, 29));

    // Shrinking a window of the source: only its columns, in order.
    Surface small(16, 10);
    Stretch(small, {0, 0, 16, 10}, src, {6, 2, 28, 20});
    int32_t last = -1;
    for (int32_t x = 0; x < 16; ++x) {
        const Rgb p = small.Pixel(x, 0);
        EXPECT_GE(p.r, 6);
        EXPECT_LT(p.r, 34);
        EXPECT_GT(int32_t(p.r), last);
        last = p.r;
        EXPECT_EQ(p.g, 2);
    }
    EXPECT_EQ(small.Pixel(0, 0), src.Pixel(6, 2));
}

TEST(Surface, StretchClipsToBothSurfaces) {
    const Surface src = Numbered(20, 20);
    Surface dst(30, 30);
    dst.Fill({0, 0, 30, 30}, {255, 255, 255});
    // The destination rectangle runs off dst; the source rectangle off src.
    Stretch(dst, {-10, 20, 40, 40}, src, {10, 0, 20, 20});
    // Destination pixels whose source column lies past src stay white.
    EXPECT_EQ(dst.Pixel(0, 20), src.Pixel(15, 0));
    EXPECT_EQ(dst.Pixel(9, 20), src.Pixel(19, 0));
    EXPECT_EQ(dst.Pixel(10, 20), (Rgb{255, 255, 255}));
    EXPECT_EQ(dst.Pixel(0, 19), (Rgb{255, 255, 255}));
    EXPECT_EQ(dst.Pixel(0, 29), src.Pixel(15, 4));
    // Degenerate rectangles draw nothing.
    Surface none(5, 5);
    Stretch(none, {0, 0, 0, 5}, src, {0, 0, 5, 5});
    Stretch(none, {0, 0, 5, 5}, src, {0, 0, -5, 5});
    EXPECT_EQ(CountColour(none, Rgb{}), 25);
}

TEST(Surface, LoadBottomUpTurnsRowsAndSkipsPadding) {
    // Two rows of 3 pixels with 3 padding bytes each, bottom row first.
    const std::vector<uint8_t> rows = {
        1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,  // bottom
        11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE,  // top
    };
    Surface s;
    ASSERT_TRUE(s.LoadBottomUp(rows.data(), 3, 2, 12));
    EXPECT_EQ(s.Pixel(0, 0), (Rgb{13, 12, 11}));
    EXPECT_EQ(s.Pixel(2, 1), (Rgb{9, 8, 7}));
    EXPECT_FALSE(s.LoadBottomUp(rows.data(), 5, 2, 12));  // rows shorter than the width
    EXPECT_FALSE(s.LoadBottomUp(nullptr, 3, 2, 12));
}

}  // namespace
}  // namespace kest::platform
