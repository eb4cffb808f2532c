// Pictures on the real clipboard and the screen grab, on Qt's offscreen
// platform: packed DIBs go in and come out byte for byte, odd bytes are
// refused without touching the clipboard, and headless stays in-process.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "qt/window_system.hpp"

namespace vx::test {
namespace {

void PutLe(std::string& out, std::uint32_t v, int bytes) {
  for (int k = 0; k < bytes; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

// A packed DIB: 40-byte header, then `rows` as stored (bottom row first).
std::string Dib(int width, int height, int bits, const std::string& rows) {
  std::string dib;
  PutLe(dib, 40, 4);
  PutLe(dib, static_cast<std::uint32_t>(width), 4);
  PutLe(dib, static_cast<std::uint32_t>(height), 4);
  PutLe(dib, 1, 2);
  PutLe(dib, static_cast<std::uint32_t>(bits), 2);
  PutLe(dib, 0, 4);
  PutLe(dib, static_cast<std::uint32_t>(rows.size()), 4);
  PutLe(dib, 0, 16);
  return dib + rows;
}

// 3 x 2: each stored row is 9 pixel bytes and 3 zeros of padding.
const std::string kThreeByTwoRows = std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\0\0\0", 12) +
                                    std::string("\x10\x20\x30\x40\x50\x60\x70\x80\x90\0\0\0", 12);

class ClipboardPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::clipboard()->clear(); }
  qt::QtWindowSystem window{false};
};

TEST_F(ClipboardPictureTest, PaddedDibRoundTripsThroughTheSystemClipboard) {
  const std::string dib = Dib(3, 2, 24, kThreeByTwoRows);
  ASSERT_TRUE(window.SetClipboardPicture(dib));
  const QImage shown = QApplication::clipboard()->image();
  ASSERT_EQ(shown.size(), QSize(3, 2));
  // The last stored row is the top one; bytes are blue, green, red.
  EXPECT_EQ(shown.pixel(0, 0), qRgb(0x30, 0x20, 0x10));
  EXPECT_EQ(shown.pixel(2, 0), qRgb(0x90, 0x80, 0x70));
  EXPECT_EQ(shown.pixel(1, 1), qRgb(0x06, 0x05, 0x04));
  EXPECT_EQ(window.ClipboardPicture(), dib);
}

TEST_F(ClipboardPictureTest, PicturesFromOtherProgramsComeOutAs24BitBottomUp) {
  QImage picture(5, 1, QImage::Format_ARGB32);
  for (int x = 0; x < 5; ++x) picture.setPixel(x, 0, qRgba(10 * x, 20 * x, 30 * x, 255));
  QApplication::clipboard()->setImage(picture);
  std::string rows;
  for (int x = 0; x < 5; ++x) rows += {static_cast<char>(30 * x), static_cast<char>(20 * x), static_cast<char>(10 * x)};
  rows.append(1, '\0');  // 15 bytes padded to 16
  EXPECT_EQ(window.ClipboardPicture(), Dib(5, 1, 24, rows));
  QApplication::clipboard()->clear();
  EXPECT_EQ(window.ClipboardPicture(), "");
}

TEST_F(ClipboardPictureTest, OddDibsAreRefusedAndLeaveTheClipboard) {
  const std::string good = Dib(3, 2, 24, kThreeByTwoRows);
  ASSERT_TRUE(window.SetClipboardPicture(good));
  const std::string odd[] = {
      "",
      good.substr(0, 20),                            // half a header
      good.substr(0, 40),                            // no rows
      good.substr(0, good.size() - 1),               // last row one byte short
      Dib(3, 2, 8, kThreeByTwoRows),                 // palette pictures are not taken
      Dib(0, 2, 24, kThreeByTwoRows),                // no columns
      Dib(3, 0, 24, kThreeByTwoRows),                // no rows
      Dib(1000, 1000, 24, kThreeByTwoRows),          // claims more rows than it has
      Dib(100000, 100000, 24, kThreeByTwoRows),      // and far beyond any bank
  };
  for (const std::string& dib : odd) {
    EXPECT_FALSE(window.SetClipboardPicture(dib)) << dib.size();
    EXPECT_EQ(window.ClipboardPicture(), good) << dib.size();
  }
}

TEST_F(ClipboardPictureTest, TopDownAnd32BitDibsAreTaken) {
  // Height -1 stores the top row first; 32-bit pixels drop their fourth byte.
  const std::string dib = Dib(2, -1, 32, std::string("\x01\x02\x03\xFF\x04\x05\x06\xFF", 8));
  ASSERT_TRUE(window.SetClipboardPicture(dib));
  EXPECT_EQ(window.ClipboardPicture(), Dib(2, 1, 24, std::string("\x01\x02\x03\x04\x05\x06\0\0", 8)));
}

TEST_F(ClipboardPictureTest, GrabGivesTheScreenAsADibOfTheAskedSize) {
  int width = 0, height = 0;
  window.ScreenSize(&width, &height);
  ASSERT_GT(width, 0);
  ASSERT_GT(height, 0);
  // The offscreen screen shows only windows: put a red one under the grab.
  QWidget red;
  red.setStyleSheet(QStringLiteral("background: #ff0000"));
  red.setAutoFillBackground(true);
  red.setGeometry(0, 0, 60, 40);
  red.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&red));
  QApplication::processEvents();
  std::string dib;
  ASSERT_TRUE(window.GrabScreen(10, 10, 3, 2, &dib));
  const std::string red_row = std::string("\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 12);
  EXPECT_EQ(dib, Dib(3, 2, 24, red_row + red_row));
  EXPECT_FALSE(window.GrabScreen(10, 10, 0, 5, &dib));
}

TEST(HeadlessClipboardPicture, StaysInTheProcessAndHasNoScreen) {
  QApplication::clipboard()->clear();
  qt::QtWindowSystem headless{true};
  EXPECT_EQ(headless.ClipboardPicture(), "");
  EXPECT_TRUE(headless.SetClipboardPicture("any bytes"));
  EXPECT_EQ(headless.ClipboardPicture(), "any bytes");
  EXPECT_TRUE(QApplication::clipboard()->image().isNull());
  int width = -1, height = -1;
  headless.ScreenSize(&width, &height);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
  std::string dib;
  EXPECT_FALSE(headless.GrabScreen(0, 0, 10, 10, &dib));
  EXPECT_TRUE(dib.empty());
}

}  // namespace
}  // namespace vx::test
