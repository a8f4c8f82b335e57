// Picture decoding: sequential pictures one MCU row at a time, progressive (and multi-scan)
// pictures scan by scan into a whole-picture coefficient buffer, both followed by the same
// up-sampling, colour conversion and bottom-up output of MCU rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "context.h"

namespace picdec {

using ProgressFn = int (*)(int numerator, int denominator, long data);

struct OutputBitmap {
    uint8_t* pixels = nullptr;  // bottom-up rows
    size_t stride = 0;
    int width = 0, height = 0;  // of the bitmap (the preview's when reduced)
};

// Derives component sizes and up-sampling modes; unsupported sampling arrangements give 2.
[[nodiscard]] Status PrepareFrame(Context& ctx);

// Decodes from the start-of-scan marker that the marker search has just returned.
[[nodiscard]] Status DecodePicture(Context& ctx, bool preview, const OutputBitmap& out,
                                   ProgressFn progress, long progress_data);

}  // namespace picdec
