// Fonts from logical-font descriptions: the face fontconfig picks, heights,
// and text drawn by its box and colours (glyph shapes depend on the fonts
// installed, so they are not compared).
#include "platform/font.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kest::platform {
namespace {

LogFont Description(const char* face, int32_t height, int32_t weight = 400) {
    LogFont f;
    f.height = height;
    f.weight = weight;
    f.char_set = 1;
    f.quality = 1;
    f.pitch_and_family = 1;
    std::strncpy(f.face_name, face, sizeof f.face_name - 1);
    return f;
}

struct Box {
    int32_t count = 0;
    int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
};
Box PixelsOf(const Surface& s, Rgb c) {
    Box b;
    for (int32_t y = 0; y < s.height(); ++y) {
        for (int32_t x = 0; x < s.width(); ++x) {
            if (s.Pixel(x, y) != c) continue;
            ++b.count;
            b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
            b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
        }
    }
    return b;
}

TEST(Font, TerminalFallsBackToAMonospaceFace) {
    auto font = Font::Create(Description("Terminal", -13));
    ASSERT_NE(font, nullptr) << "no font installed (fonts-dejavu-core)";
    EXPECT_FALSE(font->file().empty());
    // Monospace: every character takes the same advance.
    EXPECT_EQ(font->Measure("iiii").width, font->Measure("WWWW").width);
    EXPECT_EQ(font->Measure("2002/03/05").width, 10 * font->Measure("0").width);
    EXPECT_GE(font->ascent() + font->descent(), 13);
    EXPECT_LE(font->ascent() + font->descent(), 20);
}

TEST(Font, HeightNegativeIsTheCharacterPositiveTheCell) {
    auto cell = Font::Create(Description("DejaVu Sans Mono", 30));
    auto character = Font::Create(Description("DejaVu Sans Mono", -30));
    ASSERT_TRUE(cell && character);
    EXPECT_NEAR(cell->Measure("x").height, 30, 1);
    EXPECT_GT(character->Measure("x").height, 30);  // the em plus the line gap of the face
    auto wide = Font::Create([] {
        LogFont f = Description("DejaVu Sans Mono", -20);
        f.width = 20;
        return f;
    }());
    auto normal = Font::Create(Description("DejaVu Sans Mono", -20));
    ASSERT_TRUE(wide && normal);
    EXPECT_GT(wide->Measure("0000").width, normal->Measure("0000").width);
}

TEST(Font, TextIsDrawnInItsCellInTheTextColourOnly) {
    auto font = Font::Create(Description("Terminal", -13));
    ASSERT_NE(font, nullptr);
    const Rgb ink{255, 255, 0}, back{0, 0, 128}, paper{50, 60, 70};
    const char* text = "2002/03/05 14:07:09";
    const Font::Extent e = font->Measure(text);

    Surface s(200, 50);
    s.Fill({0, 0, 200, 50}, paper);
    font->Draw(s, 7, 9, text, ink, false, back);
    const Box glyphs = PixelsOf(s, ink);
    EXPECT_GT(glyphs.count, 19 * 4);
    EXPECT_GE(glyphs.x0, 7);
    EXPECT_GE(glyphs.y0, 9);
    EXPECT_LT(glyphs.x1, 7 + e.width);
    EXPECT_LT(glyphs.y1, 9 + e.height);
    // Plain (non-smoothed) glyphs: nothing but ink and untouched paper.
    EXPECT_EQ(glyphs.count + PixelsOf(s, paper).count, 200 * 50);

    // Opaque: the measured cell is filled with the background first.
    s.Fill({0, 0, 200, 50}, paper);
    font->Draw(s, 7, 9, text, ink, true, back);
    const Box filled = PixelsOf(s, back);
    EXPECT_EQ(filled.x0, 7);
    EXPECT_EQ(filled.y0, 9);
    EXPECT_EQ(filled.x1, 7 + e.width - 1);
    EXPECT_EQ(filled.y1, 9 + e.height - 1);
    EXPECT_EQ(filled.count + PixelsOf(s, ink).count, e.width * e.height);
}

TEST(Font, UnderlineStrikeOutAndWeight) {
    LogFont d = Description("DejaVu Sans Mono", -16);
    auto plain = Font::Create(d);
    d.underline = 1;
    auto underlined = Font::Create(d);
    d.underline = 0;
    d.strike_out = 1;
    auto struck = Font::Create(d);
    auto bold = Font::Create(Description("DejaVu Sans Mono", -16, 700));
    ASSERT_TRUE(plain && underlined && struck && bold);

    const Rgb ink{255, 0, 0};
    const auto draw = [&](const Font& f) {
        Surface s(120, 30);
        f.Draw(s, 2, 2, "00:00", ink, false, {});
        return s;
    };
    const Surface p = draw(*plain), u = draw(*underlined), k = draw(*struck), b = draw(*bold);
    const int32_t width = plain->Measure("00:00").width;
    // A full line under the text, inside its cell, below the baseline.
    int32_t full_rows = 0;
    for (int32_t y = 0; y < 30; ++y) {
        int32_t n = 0;
        for (int32_t x = 2; x < 2 + width; ++x)
            n += u.Pixel(x, y) == ink;
        if (n == width) {
            ++full_rows;
            EXPECT_GE(y, 2 + underlined->ascent());
            EXPECT_LT(y, 2 + underlined->ascent() + underlined->descent());
        }
    }
    EXPECT_GE(full_rows, 1);
    // The strike-out line runs through the glyphs, above the baseline.
    bool struck_row = false;
    for (int32_t y = 2; y < 2 + struck->ascent(); ++y) {
        int32_t n = 0;
        for (int32_t x = 2; x < 2 + width; ++x)
            n += k.Pixel(x, y) == ink;
        struck_row = struck_row || n == width;
    }
    EXPECT_TRUE(struck_row);
    EXPECT_GT(PixelsOf(b, ink).count, PixelsOf(p, ink).count);
}

TEST(Font, SmoothedQualityBlendsAndNothingLeavesTheSurface) {
    LogFont d = Description("DejaVu Sans", -24);
    d.quality = 4;  // antialiased
    auto font = Font::Create(d);
    ASSERT_NE(font, nullptr);
    Surface s(40, 20);
    // Drawn half outside: clipped, no pixel written past the surface.
    font->Draw(s, 25, -8, "Wq", {255, 255, 255}, false, {});
    font->Draw(s, -10, 10, "Wq", {255, 255, 255}, true, {0, 0, 255});
    int32_t partial = 0;
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 40; ++x) {
            const Rgb p = s.Pixel(x, y);
            partial += p.r > 0 && p.r < 255;
        }
    }
    EXPECT_GT(partial, 0);
    EXPECT_EQ(font->Measure("\x01\xff").width, 0);  // characters without glyphs take no room
}

}  // namespace
}  // namespace kest::platform
