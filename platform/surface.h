// A 24-bit drawing surface: the memory bitmap pictures are rendered into.
//
// Pixels are 3 bytes, blue, green, red, rows top-down without padding. Every
// operation clips: to the surface for fills, lines and pixels, to both
// surfaces for copies and stretches, so no rectangle can reach past a bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kest::platform {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    // A colour reference: red in the low byte, then green, then blue.
    static constexpr Rgb FromColorRef(uint32_t c) {
        return {uint8_t(c & 0xFF), uint8_t((c >> 8) & 0xFF), uint8_t((c >> 16) & 0xFF)};
    }
    constexpr uint32_t ColorRef() const {
        return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
    }
    constexpr bool operator==(const Rgb&) const = default;
};

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

class Surface {
  public:
    static constexpr size_t kBytesPerPixel = 3;

    Surface() = default;
    // A black surface; an impossible size gives an empty one.
    Surface(int32_t width, int32_t height) { Reset(width, height); }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    Surface(Surface&&) = default;
    Surface& operator=(Surface&&) = default;

    // Gives the surface a new size, black (or, without clear, with whatever
    // the block held, for a caller that writes every pixel). The block is
    // kept when it is large enough, so a surface that changes between sizes
    // allocates once. False (and empty) when the size is negative or the
    // block cannot be had.
    bool Reset(int32_t width, int32_t height, bool clear = true);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    size_t stride() const { return size_t(width_) * kBytesPerPixel; }
    uint8_t* row(int32_t y) { return pixels_.get() + size_t(y) * stride(); }
    const uint8_t* row(int32_t y) const { return pixels_.get() + size_t(y) * stride(); }
    bool Contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }

    // Black outside the surface.
    Rgb Pixel(int32_t x, int32_t y) const {
        if (!Contains(x, y)) return {};
        const uint8_t* p = row(y) + size_t(x) * kBytesPerPixel;
        return {p[2], p[1], p[0]};
    }
    void SetPixel(int32_t x, int32_t y, Rgb c) {
        if (!Contains(x, y)) return;
        uint8_t* p = row(y) + size_t(x) * kBytesPerPixel;
        p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
    void Fill(const Rect& area, Rgb c);
    // A one-pixel solid pen from (x0, y0) towards (x1, y1), the end point
    // itself not drawn.
    void Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb c);

    // Takes a picture of rows stored bottom-up with the given row length in
    // bytes (at least width x 3): the surface gets the picture's size.
    bool LoadBottomUp(const uint8_t* pixels, int32_t width, int32_t height, size_t row_bytes);

  private:
    struct FreeBlock {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], FreeBlock> pixels_;
    size_t capacity_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

// Plain block copy of w x h pixels from (sx, sy) of src to (dx, dy) of dst.
void Copy(Surface& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Surface& src,
          int32_t sx, int32_t sy);

// Stretched copy in the colour-on-colour mode: the rectangle from of src is
// scaled to the rectangle to of dst by dropping or repeating rows and columns,
// never blending. Destination pixels whose source lies outside src stay as
// they are. dst and src are different surfaces.
void Stretch(Surface& dst, const Rect& to, const Surface& src, const Rect& from);

}  // namespace kest::platform
