// Rendering of decoded pictures: the process-wide time-stamp and lattice
// settings, the overlays, the placeholder pictures and the fixed picture
// blocks of the camera object. The camera object's own rendering operations
// (DecodeFrame, PresentFrame, RenderFrame, CopySurface) are in render.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "control/stream/frame_format.h"
#include "platform/font.h"
#include "platform/surface.h"

namespace kest {

// Process-wide time-stamp settings, shared by every control.
struct TimeStampSettings {
    static constexpr int32_t kTransparent = 1;
    static constexpr int32_t kOpaque = 2;

    bool enabled = false;
    uint32_t text_colour = 0;  // colour references: red | green << 8 | blue << 16
    uint32_t back_colour = 0;
    int32_t style = 0;      // 0 to 6
    int32_t back_mode = 0;  // kTransparent or kOpaque (0 until first set)
    int32_t x = 0;
    int32_t y = 0;
};

// Process-wide motion-lattice settings.
struct LatticeSettings {
    bool enabled = false;
    uint32_t line_colour = 0;
    uint32_t setting_colour = 0;    // first lattice: the detection area
    uint32_t detection_colour = 0;  // second lattice: what was detected
};

// A 24-bit picture of width x height fits a block of capacity bytes; false
// for a size that is zero or negative.
bool PictureFits(int64_t width, int64_t height, uint64_t capacity);

// The settings are read and written as a whole under their own locks.
TimeStampSettings GetTimeStampSettings();
void SetTimeStampSettings(const TimeStampSettings& settings);
LatticeSettings GetLatticeSettings();
void SetLatticeSettings(const LatticeSettings& settings);

// The text of the time stamp in a style (0 to 6; others as 1). Live frames
// and still pictures have their own formats.
std::string FormatTimeStamp(const FrameTime& time, int32_t style, bool still);

// Draws the time stamp when enabled, its cell's top-left corner at (x, y).
// A null font draws nothing.
void DrawTimeStamp(platform::Surface& surface, const TimeStampSettings& settings,
                   const FrameTime& time, const platform::Font* font, bool still = false);

// Draws the cells of both lattices as dots and the 20 x 15 grid lines when
// enabled. With reversed the cells are taken in reverse order, following a
// picture turned by 180 degrees.
void DrawLattice(platform::Surface& surface, const LatticeSettings& settings,
                 const MotionLattices& lattices, bool reversed);

// The surface size of a frame-size class: 0 640 x 480, 1 320 x 240, 2 160 x 120.
platform::Rect DisplaySize(int32_t size_class);

// The picture shown until the first frame arrives, one per display size:
// grey with a drawing of a camera.
void DrawPlaceholder(platform::Surface& surface);

// A fixed block allocated once with its owner, zero-filled.
class PictureBlock {
  public:
    explicit PictureBlock(size_t capacity)
        : bytes_(static_cast<uint8_t*>(std::calloc(capacity, 1))),
          capacity_(bytes_ ? capacity : 0) {}
    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    size_t capacity() const { return capacity_; }

  private:
    struct FreeBlock {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t[], FreeBlock> bytes_;
    size_t capacity_;
};

}  // namespace kest
