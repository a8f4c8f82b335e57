#include "platform/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace kest::platform {

namespace {

constexpr int32_t kDefaultEm = 13;  // a height of 0 means "a usual size"
constexpr int32_t kMaxEm = 1000;

// The generic family a logical font asks for with its pitch-and-family byte:
// fixed pitch or the modern family ask for monospace.
const char* GenericFamily(uint8_t pitch_and_family) {
    if ((pitch_and_family & 0x03) == 1) return "monospace";
    switch (pitch_and_family & 0xF0) {
        case 0x10:
            return "serif";
        case 0x30:
            return "monospace";
        case 0x40:
            return "cursive";
        case 0x50:
            return "fantasy";
        default:
            return "sans-serif";
    }
}

struct Match {
    std::string file;
    int index = 0;
    bool embolden = false;
};

// fontconfig keeps its configuration until FcFini; it is released as the
// library goes, once fontconfig has been used.
struct FontconfigUse {
    std::atomic<bool> used{false};
    ~FontconfigUse() {
        if (used.load()) FcFini();
    }
};
FontconfigUse g_fontconfig;

bool MatchFace(const LogFont& d, Match& out) {
    g_fontconfig.used.store(true);
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    const std::string face(d.face_name, strnlen(d.face_name, sizeof d.face_name));
    if (!face.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    }
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(GenericFamily(d.pitch_and_family)));
    const int weight = d.weight > 0 ? std::clamp(d.weight, 1, 1000) : 400;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, d.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
        out.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &out.index);
        FcBool embolden = FcFalse;
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        out.embolden = embolden == FcTrue;
    }
    FcPatternDestroy(match);
    return found;
}

int32_t Pixels26_6(FT_Pos v) {
    return int32_t((v + 32) >> 6);
}

// Sets the pixel size from the description; false when the face takes none.
bool SizeFace(FT_Face face, const LogFont& d) {
    if (!FT_IS_SCALABLE(face)) {
        if (face->num_fixed_sizes <= 0) return false;
        // A bitmap face: the strike nearest the height asked for.
        const int32_t want = d.height ? std::abs(d.height) : kDefaultEm;
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i) {
            if (std::abs(face->available_sizes[i].height - want) <
                std::abs(face->available_sizes[best].height - want)) {
                best = i;
            }
        }
        return FT_Select_Size(face, best) == 0;
    }
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int32_t upem = face->units_per_EM ? face->units_per_EM : 2048;
    int64_t em = kDefaultEm;
    if (d.height < 0) {
        em = -int64_t(d.height);
    } else if (d.height > 0) {
        // The cell is ascent plus descent, as the font's own line metrics give it.
        int64_t cell = os2 && os2->version != 0xFFFF ? int64_t(os2->usWinAscent) + os2->usWinDescent
                                                     : int64_t(face->ascender) - face->descender;
        if (cell <= 0) cell = upem;
        em = (int64_t(d.height) * upem + cell / 2) / cell;
    }
    em = std::clamp<int64_t>(em, 1, kMaxEm);
    int64_t em_x = em;
    if (d.width > 0 && os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) {
        // The width asked for is the average character width.
        em_x = (int64_t(d.width) * upem + os2->xAvgCharWidth / 2) / os2->xAvgCharWidth;
        em_x = std::clamp<int64_t>(em_x, 1, kMaxEm);
    }
    return FT_Set_Pixel_Sizes(face, FT_UInt(em_x), FT_UInt(em)) == 0;
}

}  // namespace

std::unique_ptr<Font> Font::Create(const LogFont& d) {
    Match match;
    if (!MatchFace(d, match)) return nullptr;

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, match.file.c_str(), match.index, &face) != 0) {
        FT_Done_FreeType(library);
        return nullptr;
    }
    std::unique_ptr<Font> font;
    if (SizeFace(face, d)) {
        font.reset(new Font());
        font->file_ = match.file;
        const FT_Size_Metrics& m = face->size->metrics;
        if (FT_IS_SCALABLE(face)) {
            // The cell from the same line metrics the height was scaled by,
            // rounded once, so a positive height gives exactly that cell.
            const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            const bool win = os2 && os2->version != 0xFFFF && os2->usWinAscent > 0;
            const FT_Long up = win ? FT_Long(os2->usWinAscent) : face->ascender;
            const FT_Long down = win ? FT_Long(os2->usWinDescent) : -FT_Long(face->descender);
            font->ascent_ = std::max(1, Pixels26_6(FT_MulFix(up, m.y_scale)));
            font->descent_ = std::max(0, Pixels26_6(FT_MulFix(down, m.y_scale)));
        } else {
            font->ascent_ = std::max(1, Pixels26_6(m.ascender));
            font->descent_ = std::max(0, Pixels26_6(-m.descender));
        }
        font->underline_ = d.underline != 0;
        font->strike_out_ = d.strike_out != 0;
        if (FT_IS_SCALABLE(face)) {
            font->underline_position_ =
                std::max(1, Pixels26_6(-FT_MulFix(face->underline_position, m.y_scale)));
            font->line_thickness_ =
                std::max(1, Pixels26_6(FT_MulFix(face->underline_thickness, m.y_scale)));
            const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            font->strike_position_ = os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition > 0
                                         ? Pixels26_6(FT_MulFix(os2->yStrikeoutPosition, m.y_scale))
                                         : font->ascent_ / 3;
        } else {
            font->underline_position_ = std::max(1, font->descent_ / 2);
            font->strike_position_ = font->ascent_ / 3;
        }
        font->underline_position_ = std::min(font->underline_position_, font->descent_);

        const bool smooth = d.quality == 4 || d.quality == 5;
        const FT_Int32 load = smooth ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
        const FT_Render_Mode mode = smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO;
        for (char c = kFirst; c <= kLast; ++c) {
            Glyph& g = font->glyphs_[size_t(c - kFirst)];
            if (FT_Load_Char(face, FT_ULong(c), load) != 0) continue;
            FT_GlyphSlot slot = face->glyph;
            if (match.embolden) FT_GlyphSlot_Embolden(slot);
            g.advance = Pixels26_6(slot->advance.x);
            if (FT_Render_Glyph(slot, mode) != 0) continue;
            const FT_Bitmap& b = slot->bitmap;
            g.left = slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = int32_t(b.width);
            g.rows = int32_t(b.rows);
            g.coverage.assign(size_t(g.width) * size_t(g.rows), 0);
            for (int32_t r = 0; r < g.rows; ++r) {
                const uint8_t* src = b.buffer + int64_t(r) * b.pitch;
                for (int32_t x = 0; x < g.width; ++x) {
                    uint8_t v = 0;
                    if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
                        v = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                    } else if (b.pixel_mode == FT_PIXEL_MODE_GRAY) {
                        v = b.num_grays == 256
                                ? src[x]
                                : uint8_t(src[x] * 255 / std::max(1, b.num_grays - 1));
                    }
                    g.coverage[size_t(r) * size_t(g.width) + size_t(x)] = v;
                }
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return font;
}

Font::~Font() = default;

const Font::Glyph* Font::Find(char c) const {
    if (c < kFirst || c > kLast) return nullptr;
    return &glyphs_[size_t(c - kFirst)];
}

Font::Extent Font::Measure(std::string_view text) const {
    Extent e{0, ascent_ + descent_};
    for (char c : text) {
        if (const Glyph* g = Find(c)) e.width += g->advance;
    }
    return e;
}

void Font::Draw(Surface& surface, int32_t x, int32_t y, std::string_view text, Rgb colour,
                bool opaque, Rgb back) const {
    const Extent e = Measure(text);
    if (opaque) surface.Fill({x, y, e.width, e.height}, back);
    const int64_t baseline = int64_t(y) + ascent_;
    int64_t pen = x;
    for (char c : text) {
        const Glyph* g = Find(c);
        if (!g) continue;
        for (int32_t r = 0; r < g->rows; ++r) {
            const int64_t py = baseline - g->top + r;
            if (py < 0 || py >= surface.height()) continue;
            uint8_t* line = surface.row(int32_t(py));
            for (int32_t col = 0; col < g->width; ++col) {
                const int64_t px = pen + g->left + col;
                if (px < 0 || px >= surface.width()) continue;
                const uint32_t a = g->coverage[size_t(r) * size_t(g->width) + size_t(col)];
                if (a == 0) continue;
                uint8_t* p = line + px * int64_t(Surface::kBytesPerPixel);
                const auto mix = [a](uint8_t under, uint8_t over) {
                    return uint8_t((over * a + under * (255 - a) + 127) / 255);
                };
                p[0] = mix(p[0], colour.b);
                p[1] = mix(p[1], colour.g);
                p[2] = mix(p[2], colour.r);
            }
        }
        pen += g->advance;
    }
    const auto clamp32 = [](int64_t v) {
        return int32_t(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    if (underline_) {
        surface.Fill({x, clamp32(baseline + underline_position_), e.width, line_thickness_},
                     colour);
    }
    if (strike_out_) {
        surface.Fill({x, clamp32(baseline - strike_position_), e.width, line_thickness_}, colour);
    }
}

}  // namespace kest::platform
