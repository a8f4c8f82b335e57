// Entry for the tests: the whole picture call with an explicit path.
#pragma once

#include "decoder.h"
#include "kernels.h"
#include "status.h"

namespace picdec {

[[nodiscard]] Status DecodeToBitmap(const Kernels& kernels, const char* buf, long len,
                                    unsigned int flag, bool preview, void** info_block,
                                    void** pixel_block, ProgressFn progress, long progress_data);

}  // namespace picdec
