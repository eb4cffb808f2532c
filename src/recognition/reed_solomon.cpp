#include "recognition/reed_solomon.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace vx::recognition {
namespace {

struct Field {
  std::array<std::uint8_t, 512> exp{};
  std::array<int, 256> log{};
  Field() {
    int x = 1;
    for (int i = 0; i < 255; ++i) {
      exp[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x);
      log[static_cast<std::size_t>(x)] = i;
      x <<= 1;
      if (x & 0x100) x ^= 0x11D;
    }
    for (int i = 255; i < 512; ++i) exp[static_cast<std::size_t>(i)] = exp[static_cast<std::size_t>(i - 255)];
  }
};

const Field& F() {
  static const Field field;
  return field;
}

std::uint8_t Exp(int power) { return F().exp[static_cast<std::size_t>(((power % 255) + 255) % 255)]; }

std::uint8_t Div(std::uint8_t a, std::uint8_t b) {
  if (a == 0) return 0;
  return F().exp[static_cast<std::size_t>((F().log[a] - F().log[b] + 255) % 255)];
}

// p(x) with p[i] the coefficient of x^i.
std::uint8_t Eval(const std::vector<std::uint8_t>& p, std::uint8_t x) {
  std::uint8_t y = 0;
  for (std::size_t i = p.size(); i-- > 0;) y = static_cast<std::uint8_t>(GfMul(y, x) ^ p[i]);
  return y;
}

}  // namespace

std::uint8_t GfMul(std::uint8_t a, std::uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return F().exp[static_cast<std::size_t>(F().log[a] + F().log[b])];
}

void RsEncode(std::span<const std::uint8_t> data, std::span<std::uint8_t> ec) {
  const std::size_t n = ec.size();
  // Generator (x - a^0)(x - a^1)...: g[i] is the coefficient of x^(n - 1 - i) after the leading 1.
  std::vector<std::uint8_t> g(n, 0);
  std::vector<std::uint8_t> poly{1};
  for (std::size_t r = 0; r < n; ++r) {
    std::vector<std::uint8_t> next(poly.size() + 1, 0);
    for (std::size_t i = 0; i < poly.size(); ++i) {
      next[i] ^= poly[i];
      next[i + 1] ^= GfMul(poly[i], Exp(static_cast<int>(r)));
    }
    poly = std::move(next);
  }
  for (std::size_t i = 0; i < n; ++i) g[i] = poly[i + 1];
  std::vector<std::uint8_t> rem(n, 0);
  for (std::uint8_t d : data) {
    const std::uint8_t factor = d ^ rem[0];
    for (std::size_t i = 0; i + 1 < n; ++i) rem[i] = rem[i + 1] ^ GfMul(g[i], factor);
    rem[n - 1] = GfMul(g[n - 1], factor);
  }
  for (std::size_t i = 0; i < n; ++i) ec[i] = rem[i];
}

RsOutcome RsCorrect(std::span<std::uint8_t> block, int ec) {
  const int n = static_cast<int>(block.size());
  if (ec <= 0 || ec >= n || n > 255) return {};
  std::vector<std::uint8_t> s(static_cast<std::size_t>(ec), 0);
  bool clean = true;
  for (int j = 0; j < ec; ++j) {
    std::uint8_t v = 0;
    const std::uint8_t x = Exp(j);
    for (std::uint8_t c : block) v = static_cast<std::uint8_t>(GfMul(v, x) ^ c);
    s[static_cast<std::size_t>(j)] = v;
    clean = clean && v == 0;
  }
  if (clean) return {true, 0};

  // Berlekamp-Massey: the error locator.
  std::vector<std::uint8_t> c{1};
  std::vector<std::uint8_t> b{1};
  int errors = 0;
  int shift = 1;
  std::uint8_t last = 1;
  for (int k = 0; k < ec; ++k) {
    std::uint8_t d = s[static_cast<std::size_t>(k)];
    for (int i = 1; i <= errors && i < static_cast<int>(c.size()); ++i) {
      d ^= GfMul(c[static_cast<std::size_t>(i)], s[static_cast<std::size_t>(k - i)]);
    }
    if (d == 0) {
      ++shift;
      continue;
    }
    std::vector<std::uint8_t> t = c;
    const std::uint8_t coefficient = Div(d, last);
    if (c.size() < b.size() + static_cast<std::size_t>(shift)) c.resize(b.size() + static_cast<std::size_t>(shift), 0);
    for (std::size_t i = 0; i < b.size(); ++i) c[i + static_cast<std::size_t>(shift)] ^= GfMul(coefficient, b[i]);
    if (2 * errors <= k) {
      errors = k + 1 - errors;
      b = std::move(t);
      last = d;
      shift = 1;
    } else {
      ++shift;
    }
  }
  if (errors == 0 || 2 * errors > ec) return {};
  c.resize(static_cast<std::size_t>(errors) + 1);

  // Roots: an error at array index i has locator X = a^(n - 1 - i).
  std::vector<int> positions;
  for (int i = 0; i < n; ++i) {
    const int power = n - 1 - i;
    if (Eval(c, Exp(-power)) == 0) positions.push_back(i);
  }
  if (static_cast<int>(positions.size()) != errors) return {};

  // Forney: error value = X * omega(1/X) / lambda'(1/X), omega = S * lambda mod x^ec.
  std::vector<std::uint8_t> omega(static_cast<std::size_t>(ec), 0);
  for (int i = 0; i < ec; ++i) {
    for (int j = 0; j <= errors && j <= i; ++j) {
      omega[static_cast<std::size_t>(i)] ^= GfMul(s[static_cast<std::size_t>(i - j)], c[static_cast<std::size_t>(j)]);
    }
  }
  const std::vector<std::uint8_t> original(block.begin(), block.end());
  std::vector<std::uint8_t> derivative(c.size() > 1 ? c.size() - 1 : 1, 0);
  for (std::size_t i = 1; i < c.size(); i += 2) derivative[i - 1] = c[i];
  for (int i : positions) {
    const int power = n - 1 - i;
    const std::uint8_t inverse = Exp(-power);
    const std::uint8_t denominator = Eval(derivative, inverse);
    if (denominator == 0) {
      std::copy(original.begin(), original.end(), block.begin());
      return {};
    }
    const std::uint8_t value = GfMul(Exp(power), Div(Eval(omega, inverse), denominator));
    block[static_cast<std::size_t>(i)] ^= value;
  }
  // A locator that fits but does not give a codeword means more errors
  // than the code can take.
  for (int j = 0; j < ec; ++j) {
    std::uint8_t v = 0;
    const std::uint8_t x = Exp(j);
    for (std::uint8_t cw : block) v = static_cast<std::uint8_t>(GfMul(v, x) ^ cw);
    if (v != 0) {
      std::copy(original.begin(), original.end(), block.begin());
      return {};
    }
  }
  return {true, errors};
}

}  // namespace vx::recognition
