#include "platform/surface.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kest::platform {

namespace {

// Far above any picture a camera sends; keeps every size product in range.
constexpr int32_t kMaxSide = 16384;

inline void Put(uint8_t* p, Rgb c) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

}  // namespace

bool Surface::Reset(int32_t width, int32_t height, bool clear) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
        width_ = height_ = 0;
        return false;
    }
    const size_t bytes = size_t(width) * size_t(height) * kBytesPerPixel;
    if (bytes > capacity_) {
        pixels_.reset(static_cast<uint8_t*>(std::calloc(bytes, 1)));
        capacity_ = pixels_ ? bytes : 0;
        if (!pixels_) {
            width_ = height_ = 0;
            return false;
        }
    } else if (bytes && clear) {
        std::memset(pixels_.get(), 0, bytes);
    }
    width_ = width;
    height_ = height;
    return true;
}

void Surface::Fill(const Rect& area, Rgb c) {
    const int64_t x0 = std::max<int64_t>(area.x, 0);
    const int64_t y0 = std::max<int64_t>(area.y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(area.x) + area.width, width_);
    const int64_t y1 = std::min<int64_t>(int64_t(area.y) + area.height, height_);
    if (x0 >= x1 || y0 >= y1) return;
    uint8_t* first = row(int32_t(y0)) + x0 * kBytesPerPixel;
    for (int64_t x = x0; x < x1; ++x)
        Put(first + (x - x0) * kBytesPerPixel, c);
    const size_t bytes = size_t(x1 - x0) * kBytesPerPixel;
    for (int64_t y = y0 + 1; y < y1; ++y)
        std::memcpy(row(int32_t(y)) + x0 * kBytesPerPixel, first, bytes);
}

void Surface::Line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb c) {
    if (y0 == y1) {
        if (x0 == x1) return;
        const int32_t lo = x0 < x1 ? x0 : x1 + 1;
        Fill({lo, y0, x0 < x1 ? x1 - x0 : x0 - x1, 1}, c);
        return;
    }
    if (x0 == x1) {
        const int32_t lo = y0 < y1 ? y0 : y1 + 1;
        Fill({x0, lo, 1, y0 < y1 ? y1 - y0 : y0 - y1}, c);
        return;
    }
    // Bresenham over the longer axis; the end point is left out like a pen's.
    int64_t x = x0, y = y0;
    const int64_t dx = std::abs(int64_t(x1) - x0), dy = -std::abs(int64_t(y1) - y0);
    const int64_t step_x = x0 < x1 ? 1 : -1, step_y = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    while (x != x1 || y != y1) {
        SetPixel(int32_t(x), int32_t(y), c);
        const int64_t e2 = 2 * err;
        if (e2 >= dy) err += dy, x += step_x;
        if (e2 <= dx) err += dx, y += step_y;
    }
}

bool Surface::LoadBottomUp(const uint8_t* pixels, int32_t width, int32_t height, size_t row_bytes) {
    if (!pixels || row_bytes < size_t(std::max(width, 0)) * kBytesPerPixel) return false;
    if (!Reset(width, height, false)) return false;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(row(y), pixels + size_t(height - 1 - y) * row_bytes, stride());
    return true;
}

void Copy(Surface& dst, int32_t dx, int32_t dy, int32_t w, int32_t h, const Surface& src,
          int32_t sx, int32_t sy) {
    int64_t x0 = dx, y0 = dy, u0 = sx, v0 = sy, cw = w, ch = h;
    // Clip the left and top edges against both surfaces, then the sizes.
    if (x0 < 0) u0 -= x0, cw += x0, x0 = 0;
    if (u0 < 0) x0 -= u0, cw += u0, u0 = 0;
    if (y0 < 0) v0 -= y0, ch += y0, y0 = 0;
    if (v0 < 0) y0 -= v0, ch += v0, v0 = 0;
    cw = std::min({cw, int64_t(dst.width()) - x0, int64_t(src.width()) - u0});
    ch = std::min({ch, int64_t(dst.height()) - y0, int64_t(src.height()) - v0});
    if (cw <= 0 || ch <= 0) return;
    const size_t bytes = size_t(cw) * Surface::kBytesPerPixel;
    const auto copy_row = [&](int64_t r) {
        std::memmove(dst.row(int32_t(y0 + r)) + x0 * Surface::kBytesPerPixel,
                     src.row(int32_t(v0 + r)) + u0 * Surface::kBytesPerPixel, bytes);
    };
    // Within one surface a downward copy must start at the bottom.
    if (&dst == &src && y0 > v0) {
        for (int64_t r = ch - 1; r >= 0; --r)
            copy_row(r);
    } else {
        for (int64_t r = 0; r < ch; ++r)
            copy_row(r);
    }
}

void Stretch(Surface& dst, const Rect& to, const Surface& src, const Rect& from) {
    if (to.width <= 0 || to.height <= 0 || from.width <= 0 || from.height <= 0) return;
    if (&dst == &src) return;  // a stretch would read what it has just written
    if (to.width == from.width && to.height == from.height) {
        Copy(dst, to.x, to.y, to.width, to.height, src, from.x, from.y);
        return;
    }
    const int64_t x0 = std::max<int64_t>(to.x, 0);
    const int64_t x1 = std::min<int64_t>(int64_t(to.x) + to.width, dst.width());
    const int64_t y0 = std::max<int64_t>(to.y, 0);
    const int64_t y1 = std::min<int64_t>(int64_t(to.y) + to.height, dst.height());
    if (x0 >= x1 || y0 >= y1) return;

    // Source byte offset of every destination column; -1 where it falls outside.
    std::vector<int64_t> columns(size_t(x1 - x0));
    bool all_inside = true;
    for (int64_t x = x0; x < x1; ++x) {
        const int64_t u = from.x + (x - to.x) * from.width / to.width;
        const bool inside = u >= 0 && u < src.width();
        columns[size_t(x - x0)] = inside ? u * int64_t(Surface::kBytesPerPixel) : -1;
        all_inside = all_inside && inside;
    }
    int64_t last_v = -1;
    int64_t last_y = -1;
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t v = from.y + (y - to.y) * from.height / to.height;
        if (v < 0 || v >= src.height()) continue;
        uint8_t* out = dst.row(int32_t(y)) + x0 * Surface::kBytesPerPixel;
        if (v == last_v && all_inside) {
            // A repeated row is the row just made.
            std::memcpy(out, dst.row(int32_t(last_y)) + x0 * Surface::kBytesPerPixel,
                        size_t(x1 - x0) * Surface::kBytesPerPixel);
        } else {
            const uint8_t* in = src.row(int32_t(v));
            for (size_t i = 0; i < columns.size(); ++i) {
                if (columns[i] < 0) continue;
                const uint8_t* p = in + columns[i];
                uint8_t* q = out + i * Surface::kBytesPerPixel;
                q[0] = p[0], q[1] = p[1], q[2] = p[2];
            }
        }
        last_v = v;
        last_y = y;
    }
}

}  // namespace kest::platform
