// SIMD kernels at the avx2 width.
#define SIMD_NS avx2
#define SIMD_LEVEL 2
#define SIMD_PATH Path::kAvx2
#define SIMD_NAME "avx2"
#include "simd_x86.inc"
