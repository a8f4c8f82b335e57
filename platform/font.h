// A font made from a logical-font description, drawing text on a Surface.
//
// fontconfig picks the face: the face name first, then the generic family
// that the pitch-and-family byte names (so "Terminal" and other faces that
// are not installed fall back to a monospace face), with the weight and
// italic of the description. FreeType renders the printable ASCII glyphs once
// when the font is made; afterwards a Font is read-only and may be used from
// any thread.
//
// Height follows the logical-font rule: negative gives the character height
// (the em) in pixels, positive the cell height (ascent plus descent), 0 a
// default. A positive width sets the average character width. Quality 4 or 5
// (antialiased, cleartype) draws smoothed glyphs, anything else plain ones in
// the text colour only. Escapement and orientation are not used: text runs
// horizontally.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host_ui.h"
#include "platform/surface.h"

namespace kest::platform {

class Font {
  public:
    struct Extent {
        int32_t width = 0;
        int32_t height = 0;
    };

    // Null when fontconfig finds no face or FreeType cannot load it.
    static std::unique_ptr<Font> Create(const LogFont& description);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The text's cell: the sum of the advances by ascent plus descent.
    Extent Measure(std::string_view text) const;

    // Draws text with the top-left corner of its cell at (x, y). Opaque fills
    // the measured cell with back first. Underline and strike-out are drawn as
    // lines across the text.
    void Draw(Surface& surface, int32_t x, int32_t y, std::string_view text, Rgb colour,
              bool opaque, Rgb back) const;

    const std::string& file() const { return file_; }
    int32_t ascent() const { return ascent_; }
    int32_t descent() const { return descent_; }

  private:
    struct Glyph {
        int32_t left = 0;     // from the pen position to the bitmap
        int32_t top = 0;      // from the baseline up to the bitmap's first row
        int32_t advance = 0;  // pixels
        int32_t width = 0;
        int32_t rows = 0;
        std::vector<uint8_t> coverage;  // 0..255, rows of width bytes
    };
    static constexpr char kFirst = ' ';
    static constexpr char kLast = '~';

    Font() = default;
    const Glyph* Find(char c) const;

    std::string file_;
    int32_t ascent_ = 0;
    int32_t descent_ = 0;
    int32_t underline_position_ = 0;  // below the baseline
    int32_t strike_position_ = 0;     // above the baseline
    int32_t line_thickness_ = 1;
    bool underline_ = false;
    bool strike_out_ = false;
    std::array<Glyph, kLast - kFirst + 1> glyphs_;
};

}  // namespace kest::platform
