#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/files.hpp"
#include "text/encoding.hpp"
#include "text/messages.hpp"
#include "text/sjis.hpp"

namespace vx {
namespace {

TEST(SjisRules, LeadByteRanges) {
  EXPECT_TRUE(sjis::IsLeadNarrow(std::uint8_t{0x7F}));
  EXPECT_TRUE(sjis::IsLeadNarrow(std::uint8_t{0x9F}));
  EXPECT_FALSE(sjis::IsLeadNarrow(std::uint8_t{0xE0}));
  EXPECT_TRUE(sjis::IsLeadWide(std::uint8_t{0xE0}));
  EXPECT_TRUE(sjis::IsLeadWide(std::uint8_t{0xFF}));
  EXPECT_FALSE(sjis::IsLeadWide(std::uint8_t{0xA0}));
  EXPECT_FALSE(sjis::IsLeadStrict(std::uint8_t{0x7F}));
  EXPECT_FALSE(sjis::IsLeadStrict(std::uint8_t{0x80}));
  EXPECT_TRUE(sjis::IsLeadStrict(std::uint8_t{0x81}));
  EXPECT_TRUE(sjis::IsLeadStrict(std::uint8_t{0xFC}));
  EXPECT_FALSE(sjis::IsLeadStrict(std::uint8_t{0xFD}));
  // A lead byte at the very end is one byte long.
  EXPECT_EQ(sjis::CharLengthNarrow("a\x81", 1), 1u);
  EXPECT_EQ(sjis::CharLengthNarrow("\x81\x5C", 0), 2u);
}

TEST(SjisRules, LastBackslashSkipsTrailBytes) {
  // 表 is 0x95 0x5C: its second byte is not a separator.
  EXPECT_EQ(sjis::FindLastSingleByte("dir\\\x95\x5C", '\\'), 3u);
  EXPECT_EQ(sjis::FindLastSingleByte("\x95\x5C", '\\'), std::string_view::npos);
}

TEST(Encoding, Cp932RoundTripsThroughUtf8AndUtf16) {
  const std::string sjis = "\x95\x5C\x8E\xA6 abc \x87\x40";  // 表示 abc ①
  const auto utf8 = text::Cp932ToUtf8Strict(sjis);
  ASSERT_TRUE(utf8);
  EXPECT_EQ(*utf8, "表示 abc ①");
  EXPECT_EQ(text::Utf8ToCp932Strict(*utf8), sjis);
  const auto utf16 = text::Cp932ToUtf16(sjis);
  ASSERT_TRUE(utf16);
  EXPECT_EQ(*utf16, u"表示 abc ①");
  EXPECT_EQ(text::Utf16ToCp932(*utf16), sjis);
}

TEST(Encoding, AsciiIsTheSameInEveryEncoding) {
  // Pure ASCII skips the converters; the UTF-16 directions still use them,
  // so the two ways must agree byte for byte, NUL and backslash included.
  std::string ascii;
  for (int c = 0; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
  EXPECT_EQ(text::Cp932ToUtf8Strict(ascii), ascii);
  EXPECT_EQ(text::Utf8ToCp932Strict(ascii), ascii);
  const auto utf16 = text::Cp932ToUtf16(ascii);
  ASSERT_TRUE(utf16);
  ASSERT_EQ(utf16->size(), ascii.size());
  for (std::size_t i = 0; i < ascii.size(); ++i) EXPECT_EQ((*utf16)[i], static_cast<char16_t>(i));
  EXPECT_EQ(text::Utf16ToCp932(*utf16), ascii);
}

TEST(Encoding, BadBytesAreReplacedLeniently) {
  EXPECT_FALSE(text::Cp932ToUtf8Strict("a\x81"));
  EXPECT_EQ(text::Cp932ToUtf8("a\x81"), "a?");
  EXPECT_FALSE(text::Utf8ToCp932Strict("\xF0\x9F\x98\x80"));  // no CP932 emoji
  EXPECT_EQ(text::Utf8ToCp932("x\xC3"), "x?");
}

TEST(Encoding, AFailedConversionLeavesTheNextOneWhole) {
  // Each direction keeps its converter open between calls: a conversion
  // stopped in the middle of a character must not leak into the next.
  for (int round = 0; round < 3; ++round) {
    EXPECT_FALSE(text::Cp932ToUtf8Strict("abc\x95"));
    EXPECT_EQ(text::Cp932ToUtf8Strict("\x5C\x95\x5C"), "\\表");
    EXPECT_FALSE(text::Utf8ToCp932Strict("\xE8\xA1"));
    EXPECT_EQ(text::Utf8ToCp932Strict("表"), "\x95\x5C");
    EXPECT_FALSE(text::Utf16ToCp932(u"\xD800"));  // a lone surrogate
    EXPECT_EQ(text::Utf16ToCp932(u"表"), "\x95\x5C");
  }
}

TEST(Encoding, ThreadsConvertAtTheSameTime) {
  // Converters and converted messages are each made once, by whichever
  // thread comes first.
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&wrong] {
      for (int i = 0; i < 200; ++i) {
        const auto id = static_cast<msg::Id>(i % static_cast<int>(msg::Id::kCount));
        if (text::Cp932ToUtf8Strict(msg::Text(id)) != msg::Utf8(id)) ++wrong;
        if (text::Utf8ToCp932("表示") != "\x95\x5C\x8E\xA6") ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(Messages, ShiftJisBytesAndFormatting) {
  EXPECT_EQ(msg::Text(msg::Id::kExpressionError), "\x8C\x76\x8E\x5A\x8E\xAE\x83\x47\x83\x89\x81\x5B");
  EXPECT_EQ(msg::Text(msg::Id::kStackOverflow), text::Utf8ToCp932("スタックオーバーフロー"));
  const std::string m = msg::Format(msg::Id::kParamNoResource, "ABC");
  EXPECT_EQ(text::Cp932ToUtf8(m), "パラメータエラー(対応するリソースがありません[ABC])");
  EXPECT_EQ(text::Cp932ToUtf8(msg::Format(msg::Id::kIfNotClosed, 12L)),
            "if ブロックがクローズされていません(address = 12)");
  for (int i = 0; i < static_cast<int>(msg::Id::kCount); ++i) {
    const auto id = static_cast<msg::Id>(i);
    EXPECT_EQ(text::Cp932ToUtf8Strict(msg::Text(id)), msg::Utf8(id)) << i;
  }
}

TEST(Paths, BackslashesBecomeSlashesExceptTrailBytes) {
  EXPECT_EQ(files::ToSystemPath("data\\in.txt"), "data/in.txt");
  EXPECT_EQ(files::ToSystemPath("\x95\x5C\\a.txt"), "表/a.txt");
  EXPECT_EQ(files::FromSystemName("表.txt"), "\x95\x5C.txt");
}

}  // namespace
}  // namespace vx
