#pragma once
// Module patterns of the symbols MkBCD draws: EAN-13 and Interleaved 2 of 5
// as a row of modules (1 dark), QR codes through libqrencode (loaded on
// first use).
#include <string>
#include <string_view>

#include "recognition/qr.hpp"

namespace vx::recognition {

inline constexpr int EAN_QUIET_LEFT = 11;
inline constexpr int EAN_QUIET_RIGHT = 7;
inline constexpr int ITF_QUIET = 10;
inline constexpr int ITF_WIDE = 3;       // wide elements are three narrow ones
inline constexpr int QR_QUIET = 4;
inline constexpr std::size_t ITF_DIGITS_MAX = 254;
inline constexpr std::size_t QR_INPUT_MAX = 7089;  // digits in the largest symbol

// The check digit of 12 EAN-13 digits.
char EanCheckDigit(std::string_view digits12);
// 95 modules (guards included) for 12 digits (check digit added) or 13
// (check digit verified); empty with `error` set otherwise. `digits` gets
// the 13 digits.
std::string EanModules(std::string_view text, std::string& digits, std::string& error);
// Start, pairs and stop; an odd count gets a leading 0.
std::string ItfModules(std::string_view text, std::string& error);
// A QR symbol of the text at level 0-3 (L, M, Q, H); Shift-JIS kanji are
// encoded in kanji mode. size 0 with `error` set on failure, also when
// libqrencode cannot be loaded.
QrMatrix EncodeQr(std::string_view text, int level, std::string& error);

}  // namespace vx::recognition
