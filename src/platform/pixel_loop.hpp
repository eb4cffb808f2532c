#pragma once
// VX_PIXEL_LOOP marks a loop over three-byte pixels that is built twice, for
// AVX2 and for any x86-64, the better one chosen when the program loads:
// GCC vectorises the strided bytes of such pixels only with AVX2's byte
// shuffles. Integer loops give the same bytes either way; the AVX2 build
// does not fuse multiply-adds, so floating-point loops do too.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VX_PIXEL_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define VX_PIXEL_LOOP
#endif

// Loops written with AVX2's own instructions (byte shuffles within each
// 128-bit half) where the compiler's vectorisation of three-byte pixels is
// slow: such a function carries VX_AVX2 and is called only when
// vx::platform::HasAvx2(); VX_HAVE_AVX2_LOOPS says whether they are built.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VX_HAVE_AVX2_LOOPS 1
#include <immintrin.h>

#include <cstdint>
#include <cstring>
#define VX_AVX2 __attribute__((target("avx2")))
namespace vx::platform {
// Whether the AVX2 loops run: the processor's answer, which tests may turn
// off to check the portable loops on the same machine.
inline bool& UseAvx2Loops() {
  static bool use = __builtin_cpu_supports("avx2");
  return use;
}
inline bool HasAvx2() { return UseAvx2Loops(); }

// Loops written with AVX-512's instructions (byte permutes across all 64
// bytes, 16-bit dot products, masks) carry VX_AVX512 and run only when
// HasAvx512(); a processor with them has AVX2 too. Tests may turn them off.
#define VX_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vbmi,avx512vnni")))
inline bool& UseAvx512Loops() {
  static bool use = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                    __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi") &&
                    __builtin_cpu_supports("avx512vnni");
  return use;
}
inline bool HasAvx512() { return UseAvx512Loops() && UseAvx2Loops(); }

// The four bytes at `p` (a pixel's three and the next byte) as doubles.
VX_AVX2 inline __m256d FourBytesAsDoubles(const std::uint8_t* p) {
  std::int32_t bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
}
}  // namespace vx::platform
#else
#define VX_HAVE_AVX2_LOOPS 0
namespace vx::platform {
inline bool& UseAvx2Loops() {
  static bool use = false;
  return use;
}
inline bool HasAvx2() { return false; }
inline bool& UseAvx512Loops() {
  static bool use = false;
  return use;
}
inline bool HasAvx512() { return false; }
}  // namespace vx::platform
#endif
