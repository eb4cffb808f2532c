#pragma once
// Reed-Solomon error correction over GF(256) as QR codes use it (field
// polynomial 0x11D, generator roots alpha^0 ... alpha^(ec - 1)).
#include <cstdint>
#include <span>

namespace vx::recognition {

struct RsOutcome {
  bool ok = false;  // the block is now a codeword (it may have been one already)
  int corrected = 0;
};

// Corrects `block` (data codewords followed by `ec` error-correction
// codewords) in place, up to ec / 2 errors, using all ec syndromes. An
// uncorrectable block is left as read.
RsOutcome RsCorrect(std::span<std::uint8_t> block, int ec);

// The error-correction codewords of `data` (for tests and the encoder side).
void RsEncode(std::span<const std::uint8_t> data, std::span<std::uint8_t> ec);

std::uint8_t GfMul(std::uint8_t a, std::uint8_t b);

}  // namespace vx::recognition
