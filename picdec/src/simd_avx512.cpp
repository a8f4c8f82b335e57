// SIMD kernels at the avx512 width.
#define SIMD_NS avx512
#define SIMD_LEVEL 3
#define SIMD_PATH Path::kAvx512
#define SIMD_NAME "avx512"
#include "simd_x86.inc"
