#include "control/stream/render.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "control/stream/camera.h"
#include "control/stream/picdec_binding.h"

namespace kest {

namespace {

std::mutex g_timestamp_mutex;
TimeStampSettings g_timestamp;
std::mutex g_lattice_mutex;
LatticeSettings g_lattice;

constexpr platform::Rgb kGrey{192, 192, 192};

}  // namespace

bool PictureFits(int64_t width, int64_t height, uint64_t capacity) {
    if (width <= 0 || height <= 0) return false;
    return uint64_t(width) * uint64_t(height) * 3 <= capacity;
}

TimeStampSettings GetTimeStampSettings() {
    std::lock_guard lock(g_timestamp_mutex);
    return g_timestamp;
}

void SetTimeStampSettings(const TimeStampSettings& settings) {
    std::lock_guard lock(g_timestamp_mutex);
    g_timestamp = settings;
}

LatticeSettings GetLatticeSettings() {
    std::lock_guard lock(g_lattice_mutex);
    return g_lattice;
}

void SetLatticeSettings(const LatticeSettings& settings) {
    std::lock_guard lock(g_lattice_mutex);
    g_lattice = settings;
}

std::string FormatTimeStamp(const FrameTime& t, int32_t style, bool still) {
    char text[96];
    const int y = t.year, mo = t.month, d = t.day, h = t.hour, mi = t.minute, s = t.second;
    const int cs = t.millisecond / 10;
    int n = 0;
    switch (style) {
        case 0:
            n = still
                    ? std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d.%2.2d",
                                    y, mo, d, h, mi, s, cs)
                    : std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d.%02d", y, mo, d,
                                    h, mi, s, cs);
            break;
        case 2:
            n = still ? std::snprintf(text, sizeof text, "%2.2d/%2.2d/%4.4d %2.2d:%2.2d:%2.2d", d,
                                      mo, y, h, mi, s)
                      : std::snprintf(text, sizeof text, "%02d/%02d/%d %02d:%02d:%02d", d, mo, y, h,
                                      mi, s);
            break;
        case 3:
            n = still ? std::snprintf(text, sizeof text, "%2.2d/%2.2d/%4.4d %2.2d:%2.2d:%2.2d", mo,
                                      d, y, h, mi, s)
                      : std::snprintf(text, sizeof text, "%02d/%02d/%d %02d:%02d:%02d", mo, d, y, h,
                                      mi, s);
            break;
        case 4:
            n = still
                    ? std::snprintf(text, sizeof text, "%2.2d/%2.2d %2.2d:%2.2d:%2.2d", mo, d, h,
                                    mi, s)
                    : std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d:%02d", mo, d, h, mi, s);
            break;
        case 5:
            n = still ? std::snprintf(text, sizeof text, "%2.2d:%2.2d:%2.2d", h, mi, s)
                      : std::snprintf(text, sizeof text, "%02d:%02d:%02d", h, mi, s);
            break;
        case 6:
            n = still ? std::snprintf(text, sizeof text, "%2.2d:%2.2d", h, mi)
                      : std::snprintf(text, sizeof text, "%02d:%02d", h, mi);
            break;
        case 1:
        default:  // any other style draws as style 1
            n = still ? std::snprintf(text, sizeof text, "%4.4d/%2.2d/%2.2d %2.2d:%2.2d:%2.2d", y,
                                      mo, d, h, mi, s)
                      : std::snprintf(text, sizeof text, "%d/%02d/%02d %02d:%02d:%02d", y, mo, d, h,
                                      mi, s);
            break;
    }
    return n > 0 ? std::string(text, std::min(size_t(n), sizeof text - 1)) : std::string();
}

void DrawTimeStamp(platform::Surface& surface, const TimeStampSettings& settings,
                   const FrameTime& time, const platform::Font* font, bool still) {
    if (!settings.enabled || !font) return;
    const std::string text = FormatTimeStamp(time, settings.style, still);
    font->Draw(surface, settings.x, settings.y, text,
               platform::Rgb::FromColorRef(settings.text_colour),
               settings.back_mode != TimeStampSettings::kTransparent,
               platform::Rgb::FromColorRef(settings.back_colour));
}

void DrawLattice(platform::Surface& surface, const LatticeSettings& settings,
                 const MotionLattices& lattices, bool reversed) {
    if (!settings.enabled) return;
    const int32_t w = surface.width(), h = surface.height();
    const int32_t cw = w / 20, ch = h / 15;
    // The cells lie inside the picture (20 x cw <= W, 15 x ch <= H), so the
    // dots are written straight into the rows.
    const auto dots = [&](const std::array<uint8_t, MotionLattices::kCells>& cells,
                          uint32_t colour) {
        const platform::Rgb c = platform::Rgb::FromColorRef(colour);
        for (int32_t n = 0; n < int32_t(MotionLattices::kCells); ++n) {
            if (!cells[size_t(n)]) continue;
            const int32_t place = reversed ? 299 - n : n;
            const int32_t x0 = (place % 20) * cw, y0 = (place / 20) * ch;
            for (int32_t j = 1; j < ch; j += 2) {
                uint8_t* p =
                    surface.row(y0 + j) + size_t(x0 + 1) * platform::Surface::kBytesPerPixel;
                for (int32_t i = 1; i < cw; i += 2, p += 2 * platform::Surface::kBytesPerPixel)
                    p[0] = c.b, p[1] = c.g, p[2] = c.r;
            }
        }
    };
    dots(lattices.setting, settings.setting_colour);
    dots(lattices.detection, settings.detection_colour);
    const platform::Rgb line = platform::Rgb::FromColorRef(settings.line_colour);
    for (int32_t k = 0; k < 20; ++k) {
        const int32_t x = w / 20 + k * cw;
        surface.Line(x, 0, x, h, line);
    }
    for (int32_t k = 0; k < 15; ++k) {
        const int32_t y = h / 15 + k * ch;
        surface.Line(0, y, w, y, line);
    }
}

platform::Rect DisplaySize(int32_t size_class) {
    switch (size_class) {
        case 0:
            return {0, 0, 640, 480};
        case 2:
            return {0, 0, 160, 120};
        default:
            return {0, 0, 320, 240};
    }
}

void DrawPlaceholder(platform::Surface& s) {
    const int32_t w = s.width(), h = s.height();
    s.Fill({0, 0, w, h}, kGrey);
    const platform::Rgb dark{64, 64, 64}, mid{128, 128, 128}, glass{40, 60, 96};
    // A camera body with its viewfinder, centred.
    const int32_t bw = w * 2 / 5, bh = h * 3 / 10;
    const int32_t bx = (w - bw) / 2, by = (h - bh) / 2 + h / 20;
    s.Fill({bx + bw / 8, by - bh / 5, bw / 4, bh / 5}, dark);
    s.Fill({bx, by, bw, bh}, dark);
    // Its lens: rings of mid grey and dark glass, drawn pixel by pixel once.
    const int32_t cx = bx + bw / 2, cy = by + bh / 2, r = bh * 2 / 5;
    for (int32_t y = cy - r; y <= cy + r; ++y) {
        for (int32_t x = cx - r; x <= cx + r; ++x) {
            const int32_t d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d2 <= r * r) s.SetPixel(x, y, d2 * 4 <= r * r * 2 ? glass : mid);
        }
    }
    // A lit lamp and a one-pixel frame around the picture.
    s.Fill({bx + bw - bw / 8, by + bh / 8, std::max(1, bw / 16), std::max(1, bw / 16)},
           platform::Rgb{200, 32, 32});
    s.Line(0, 0, w - 1, 0, dark);
    s.Line(w - 1, 0, w - 1, h - 1, dark);
    s.Line(w - 1, h - 1, 0, h - 1, dark);
    s.Line(0, h - 1, 0, 0, dark);
}

// The camera object's rendering operations.

CKestCamera::Decode CKestCamera::DecodePicture(const uint8_t* jpeg, size_t length, int32_t* width,
                                               int32_t* height) {
    const auto report = [&](Decode result) {
        if (width) *width = last_width_;
        if (height) *height = last_height_;
        return result;
    };
    const PicdecBinding& picdec = ProcessPicdec();
    if (!picdec.can_decode() || !jpeg || length == 0 || length > size_t(LONG_MAX)) {
        return report(Decode::kFailed);
    }
    const char* data = reinterpret_cast<const char*>(jpeg);
    // The frame header's size decides before anything is decoded: a camera
    // that claims a huge picture with a few bytes of scan would otherwise
    // cost the whole bitmap.
    PicdecPictureInfo info{};
    const int read = picdec.get_picture_info(data, long(length), PICDEC_INPUT_MEMORY, &info);
    std::free(info.comment);
    if (read != PICDEC_OK) return report(Decode::kFailed);
    if (!PictureFits(info.width, info.height, decoded_picture_.capacity())) {
        return report(Decode::kTooLarge);
    }

    struct Blocks {
        void* info = nullptr;
        void* pixels = nullptr;
        ~Blocks() {
            std::free(info);
            std::free(pixels);
        }
    } blocks;
    const int result = picdec.get_picture(data, long(length), PICDEC_INPUT_MEMORY, &blocks.info,
                                          &blocks.pixels, nullptr, 0);
    // A picture that did not decode completely is not shown: its unwritten
    // rows hold whatever the block held.
    if (result != PICDEC_OK || !blocks.info || !blocks.pixels) return report(Decode::kFailed);
    PicdecBitmapInfoHeader header;
    std::memcpy(&header, blocks.info, sizeof header);
    const int64_t w = header.width, h = header.height;
    const uint64_t row = uint64_t(w) * 3;
    const uint64_t stride = (row + 3) & ~uint64_t(3);
    // Only 24-bit pictures that fit the decoded picture are taken; anything
    // else keeps the previous picture.
    if (header.bit_count != 24 || w <= 0 || h <= 0 ||
        row * uint64_t(h) > decoded_picture_.capacity() ||
        uint64_t(header.size_image) < stride * uint64_t(h)) {
        return report(Decode::kFailed);
    }
    const uint8_t* in = static_cast<const uint8_t*>(blocks.pixels);
    uint8_t* out = decoded_picture_.data();
    const bool turn = frame_.reverse != 0;
    for (int64_t r = 0; r < h; ++r) {
        const uint8_t* src = in + uint64_t(r) * stride;
        if (!turn) {
            std::memcpy(out + uint64_t(r) * row, src, row);
            continue;
        }
        // Turned by 180 degrees: the last row first, each row's pixels backwards.
        uint8_t* dst = out + uint64_t(h - 1 - r) * row;
        for (int64_t x = 0; x < w; ++x) {
            const uint8_t* p = src + uint64_t(w - 1 - x) * 3;
            dst[x * 3] = p[0], dst[x * 3 + 1] = p[1], dst[x * 3 + 2] = p[2];
        }
    }
    decoded_width_ = last_width_ = int32_t(w);
    decoded_height_ = last_height_ = int32_t(h);
    decoded_reverse_ = turn;
    decoded_fresh_ = true;
    return report(Decode::kDecoded);
}

void CKestCamera::PresentFrame(const uint8_t* jpeg, size_t length) {
    if (jpeg && length <= kPresentedJpegSize) {
        std::memcpy(presented_jpeg_.get(), jpeg, length);
        presented_length_ = length;
    } else {
        // Too long for the presented copy: there is no current JPEG rather
        // than one that belongs to another picture.
        presented_length_ = 0;
    }
    // A newly decoded picture changes places with the presented one, so the
    // hand-over copies nothing. Without a new one the presented picture
    // stays, just as a copy of the unchanged decoded picture would leave it.
    if (decoded_fresh_) {
        std::swap(decoded_picture_, presented_picture_);
        std::swap(decoded_width_, presented_width_);
        std::swap(decoded_height_, presented_height_);
        presented_reverse_ = decoded_reverse_;
        decoded_fresh_ = false;
    }
}

void CKestCamera::RenderFrame() {
    const int32_t w = presented_width_, h = presented_height_;
    const uint8_t* picture = presented_picture_.data();
    if (w <= 0 || h <= 0) return;
    const int32_t model = model_code();
    if (model == 20) {
        static constexpr uint8_t kZero[4] = {};
        // A picture of model 20 that starts black is taken as empty.
        if (std::memcmp(picture, kZero, 4) == 0 && std::memcmp(picture + 10, kZero, 4) == 0) return;
    }
    const bool with_motion = model == 11 || model == 20;
    presented_time_ = ParseFrameComment({presented_jpeg_.get(), presented_length_},
                                        with_motion ? &drawn_motion_flag_ : nullptr,
                                        with_motion ? &drawn_lattices_ : nullptr);
    if (!LockPlaceholder()) return;

    const TimeStampSettings stamp = GetTimeStampSettings();
    timestamp_font_.Load();
    const auto draw_stamp = [&](platform::Surface& s) {
        timestamp_font_.WithFont(
            [&](const platform::Font* font) { DrawTimeStamp(s, stamp, presented_time_, font); });
    };
    // The camera sizes with a wider picture are shown at the display sizes.
    const auto scaled = [&](int32_t to_w, int32_t to_h, const platform::Rect& from) {
        scaled_surface_.Reset(to_w, to_h);
        platform::Stretch(scaled_surface_, {0, 0, to_w, to_h}, work_surface_, from);
        draw_stamp(scaled_surface_);
        platform::Copy(frame_surface_, 0, 0, to_w, to_h, scaled_surface_, 0, 0);
    };
    // A picture of the surface's own size is loaded straight into it; the
    // others go through the work surface.
    const bool direct = w != 176 && w != 352 && w != 704 && frame_surface_.width() == w &&
                        frame_surface_.height() == h;
    platform::Surface& picture_surface = direct ? frame_surface_ : work_surface_;
    picture_surface.LoadBottomUp(picture, w, h, size_t(w) * 3);
    switch (w) {
        case 176:
            scaled(160, 120, {6, 0, w - 12, 112});
            break;
        case 352:
            scaled(320, 240, {0, 0, w, h});
            break;
        case 704:
            scaled(640, 480, {0, 0, w, h});
            break;
        default:
            if (with_motion) {
                DrawLattice(picture_surface, GetLatticeSettings(), drawn_lattices_,
                            presented_reverse_);
            }
            draw_stamp(picture_surface);
            if (!direct) platform::Copy(frame_surface_, 0, 0, w, h, work_surface_, 0, 0);
            break;
    }
    UnlockPlaceholder();
}

void CKestCamera::CopySurface(platform::Surface& target, const platform::Rect& rect) {
    if (!LockPlaceholder()) return;
    const int32_t sw = frame_surface_.width(), sh = frame_surface_.height();
    const int64_t dw = int64_t(rect.width) - sw, dh = int64_t(rect.height) - sh;
    if (std::abs(dw) < 10 && std::abs(dh) < 10) {
        // Nearly the surface's size: centred, on black where it does not cover.
        if (dw || dh) target.Fill({rect.x, rect.y, sw, sh}, {});
        platform::Copy(target, rect.x + int32_t(dw / 2), rect.y + int32_t(dh / 2), sw, sh,
                       frame_surface_, 0, 0);
    } else {
        platform::Copy(target, rect.x, rect.y, rect.width, rect.height, frame_surface_, 0, 0);
    }
    UnlockPlaceholder();
}

void CKestCamera::ResizeFrameSurface(int32_t size_class) {
    const platform::Rect size = DisplaySize(size_class);
    if (!LockPlaceholder()) return;
    placeholder_mode_ = size.width == 640 ? 0 : size.width == 160 ? 2 : 1;
    placeholder_.Reset(size.width, size.height);
    DrawPlaceholder(placeholder_);
    frame_surface_.Reset(size.width, size.height);
    platform::Copy(frame_surface_, 0, 0, size.width, size.height, placeholder_, 0, 0);
    UnlockPlaceholder();
}

}  // namespace kest
