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
