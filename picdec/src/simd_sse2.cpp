// SIMD kernels at the sse2 width.
#define SIMD_NS sse2
#define SIMD_LEVEL 1
#define SIMD_PATH Path::kSse2
#define SIMD_NAME "sse2"
#include "simd_x86.inc"
