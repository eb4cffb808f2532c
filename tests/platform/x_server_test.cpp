#include "platform/x_server.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace vx::platform {
namespace {

// A stand-in X server on 127.0.0.1 (display N listens on port 6000 + N) that
// answers one connection set-up with `status`: 1 accepts it, 0 refuses it
// (as a server does to a client it does not authorise).
class FakeXServer {
 public:
  explicit FakeXServer(std::uint8_t status) : status_(status) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    for (int n = 40; n < 100 && display_ < 0; ++n) {
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<std::uint16_t>(6000 + n));
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) display_ = n;
    }
    if (display_ >= 0 && listen(listener_, 1) == 0) thread_ = std::thread([this] { Serve(); });
  }
  ~FakeXServer() {
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }

  bool Listening() const { return thread_.joinable(); }
  // Whether the client has closed its end, waiting up to `tenths` tenths of
  // a second for it.
  bool ClientLeft(int tenths = 10) const {
    for (int i = 0; i < tenths * 10 && !client_left_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return client_left_;
  }
  std::string Display() const { return "127.0.0.1:" + std::to_string(display_); }

 private:
  void Serve() {
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    // The client's set-up request: 12 bytes, then the authorisation name and
    // data (each padded to 4), which this server ignores.
    std::array<unsigned char, 12> request{};
    if (read(client, request.data(), request.size()) == 12) {
      const std::uint16_t name = request[6] | request[7] << 8;
      const std::uint16_t data = request[8] | request[9] << 8;
      std::array<unsigned char, 512> rest{};
      const std::size_t skip = (name + 3u) / 4 * 4 + (data + 3u) / 4 * 4;
      if (skip > 0 && skip <= rest.size()) (void)!read(client, rest.data(), skip);
      // Reply: status, reason length, protocol 11.0, then 8 words: a set-up
      // with no vendor, no pixmap formats and no screens (or, refused, an
      // empty reason padded to the same length).
      std::array<unsigned char, 40> reply{};
      reply[0] = status_;
      reply[2] = 11;
      reply[6] = 8;  // additional words
      if (status_ == 1) {
        reply[14] = 0x20;                                      // resource-id base
        reply[16] = 0xff, reply[17] = 0xff, reply[18] = 0x1f;  // resource-id mask
        reply[26] = 0xff, reply[27] = 0xff;                    // largest request
      }
      (void)!write(client, reply.data(), reply.size());
    }
    // Hold the connection until the client has closed its end.
    std::array<char, 64> drain{};
    while (read(client, drain.data(), drain.size()) > 0) {
    }
    close(client);
    client_left_ = true;
  }

  std::uint8_t status_;
  std::atomic<bool> client_left_ = false;
  int listener_ = -1;
  int display_ = -1;
  std::thread thread_;
};

TEST(XServerTest, AnAcceptedConnectionIsHeldUntilClosed) {
  FakeXServer server(1);
  ASSERT_TRUE(server.Listening());
  std::string error;
  XServerConnection connection = ConnectToXServer(server.Display().c_str(), &error);
  EXPECT_TRUE(connection.Open()) << error;
  EXPECT_EQ(error, "");
  // Moving it keeps the one connection open.
  XServerConnection moved = std::move(connection);
  EXPECT_FALSE(connection.Open());
  EXPECT_TRUE(moved.Open());
  EXPECT_FALSE(server.ClientLeft(2));
  moved.Close();
  EXPECT_FALSE(moved.Open());
  EXPECT_TRUE(server.ClientLeft());
}

TEST(XServerTest, AServerThatRefusesTheSetUpDoesNot) {
  // Reaching the socket is not enough: Qt would fail on this server too.
  FakeXServer server(0);
  ASSERT_TRUE(server.Listening());
  std::string error;
  EXPECT_FALSE(ConnectToXServer(server.Display().c_str(), &error).Open());
  EXPECT_EQ(error, "");  // the library was there; the server said no
  EXPECT_TRUE(server.ClientLeft());  // a refused connection is not kept
}

TEST(XServerTest, NoServerAndMalformedNamesDoNotAnswer) {
  std::string error;
  EXPECT_FALSE(ConnectToXServer(":7391", &error).Open());  // no such local display
  EXPECT_FALSE(ConnectToXServer("no display here", &error).Open());
  EXPECT_FALSE(ConnectToXServer("", &error).Open());
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace vx::platform
