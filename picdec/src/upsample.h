#pragma once

#include <cstdint>

namespace picdec {

// Up-sampling mode of one component, from the frame's largest sampling factors.
enum class UpMode : uint8_t { kNone, kH2v1, kH2v2, kReplicate };

// Each input sample repeated `factor` times; n_out samples are written.
void Replicate(const uint8_t* in, int n_out, int factor, uint8_t* out);

}  // namespace picdec
