#include "recognition/symbols.hpp"

#include <qrencode.h>

#include <algorithm>
#include <array>
#include <memory>

#include "platform/shared_library.hpp"

namespace vx::recognition {
namespace {

// libqrencode is loaded when the first QR symbol is drawn.
constexpr const char* kQrencodeLibrary = "libqrencode.so.4";

struct QrencodeApi {
  decltype(&::QRcode_encodeString) QRcode_encodeString = nullptr;
  decltype(&::QRcode_free) QRcode_free = nullptr;
};

bool BindQrencode(QrencodeApi& api, std::string& error) {
  platform::SharedLibrary& library = platform::SharedLibrary::Resident(kQrencodeLibrary);
  const bool ok = library.Loaded() && library.Bind("QRcode_encodeString", &api.QRcode_encodeString) &&
                  library.Bind("QRcode_free", &api.QRcode_free);
  if (!ok) error = "QR codes are not available: " + library.Error();
  return ok;
}

// Its error is empty once every function is bound.
const platform::BoundApi<QrencodeApi>& Load() { return platform::BindOnce<QrencodeApi, BindQrencode>(); }

constexpr std::array<const char*, 10> kWidths = {"3211", "2221", "2122", "1411", "1132",
                                                 "1231", "1114", "1312", "1213", "3112"};
constexpr std::array<int, 10> kParity = {0, 11, 13, 14, 19, 25, 28, 21, 22, 26};
constexpr std::array<int, 10> kItf = {0x0C, 0x11, 0x12, 0x03, 0x14, 0x05, 0x06, 0x18, 0x09, 0x0A};

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Four elements of widths w (read forwards or backwards), starting light or dark.
void Append(std::string& out, const char* w, bool backwards, bool dark_first) {
  for (int i = 0; i < 4; ++i) {
    const int width = w[backwards ? 3 - i : i] - '0';
    const bool dark = (i % 2 == 0) == dark_first;
    out.append(static_cast<std::size_t>(width), dark ? '1' : '0');
  }
}

struct QrFree {
  void operator()(QRcode* code) const { Load().api.QRcode_free(code); }
};

}  // namespace

char EanCheckDigit(std::string_view d) {
  int sum = 0;
  for (int i = 0; i < 12; ++i) sum += (d[static_cast<std::size_t>(i)] - '0') * (i % 2 == 0 ? 1 : 3);
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

std::string EanModules(std::string_view text, std::string& digits, std::string& error) {
  if ((text.size() != 12 && text.size() != 13) || !AllDigits(text)) {
    error = "EAN-13 needs 12 or 13 digits";
    return {};
  }
  digits = std::string(text.substr(0, 12)) + EanCheckDigit(text);
  if (text.size() == 13 && text[12] != digits[12]) {
    error = "EAN-13 check digit is wrong";
    return {};
  }
  const int parity = kParity[static_cast<std::size_t>(digits[0] - '0')];
  std::string m = "101";
  for (int k = 0; k < 6; ++k) {
    const bool even = (parity >> (5 - k)) & 1;
    Append(m, kWidths[static_cast<std::size_t>(digits[static_cast<std::size_t>(k + 1)] - '0')], even, false);
  }
  m += "01010";
  for (int k = 7; k < 13; ++k) Append(m, kWidths[static_cast<std::size_t>(digits[static_cast<std::size_t>(k)] - '0')], false, true);
  m += "101";
  return m;
}

std::string ItfModules(std::string_view text, std::string& error) {
  if (text.empty() || !AllDigits(text) || text.size() > ITF_DIGITS_MAX) {
    error = "Interleaved 2 of 5 needs 1 to 254 digits";
    return {};
  }
  std::string digits(text);
  if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');
  std::string m = "1010";
  auto element = [&](bool wide, bool dark) { m.append(wide ? ITF_WIDE : 1, dark ? '1' : '0'); };
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int bars = kItf[static_cast<std::size_t>(digits[i] - '0')];
    const int spaces = kItf[static_cast<std::size_t>(digits[i + 1] - '0')];
    for (int e = 0; e < 5; ++e) {
      element((bars >> e) & 1, true);
      element((spaces >> e) & 1, false);
    }
  }
  element(true, true);
  element(false, false);
  element(false, true);
  return m;
}

QrMatrix EncodeQr(std::string_view text, int level, std::string& error) {
  if (text.empty() || text.size() > QR_INPUT_MAX || text.find('\0') != std::string_view::npos) {
    error = "QR text must be 1 to 7089 bytes";
    return {};
  }
  if (!Load().error.empty()) {
    error = Load().error;
    return {};
  }
  static constexpr QRecLevel kLevels[4] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};
  const std::string copy(text);
  std::unique_ptr<QRcode, QrFree> code(
      Load().api.QRcode_encodeString(copy.c_str(), 0, kLevels[std::clamp(level, 0, 3)], QR_MODE_KANJI, 1));
  if (!code) {
    error = "the text does not fit in a QR code";
    return {};
  }
  QrMatrix m{code->width, std::vector<std::uint8_t>(static_cast<std::size_t>(code->width * code->width))};
  for (std::size_t i = 0; i < m.dark.size(); ++i) m.dark[i] = code->data[i] & 1;
  return m;
}

}  // namespace vx::recognition
