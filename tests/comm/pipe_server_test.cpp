// The pipe server and client over their Unix domain sockets, in a private
// runtime folder of the test's own.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "comm/pipe_server.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"

namespace vx::comm {
namespace {

using namespace std::chrono_literals;

class PipeTest : public ::testing::Test {
 protected:
  PipeServer::Deliver Collect() {
    return [this](std::string text) {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back(std::move(text));
      total_ += texts_.back().size();
      changed_.notify_all();
    };
  }
  bool WaitForBytes(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, 3s, [&] { return total_ >= count; });
  }
  std::vector<std::string> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

  test::TempFolder runtime_dir_;
  test::ScopedEnv xdg_{"XDG_RUNTIME_DIR", runtime_dir_.path()};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> texts_;
  std::size_t total_ = 0;
};

TEST_F(PipeTest, NamesMapToSocketsInAPrivateFolder) {
  const std::string path = PipeSocketPath("\\\\.\\pipe\\Demo");
  EXPECT_EQ(path, runtime_dir_.path() + "/vexmora/pipes/demo");
  struct stat st {};
  ASSERT_EQ(::stat((runtime_dir_.path() + "/vexmora/pipes").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Case does not matter; other characters are escaped; long names hashed.
  EXPECT_EQ(PipeSocketPath("\\\\.\\PIPE\\DEMO"), path);
  EXPECT_EQ(PipeSocketPath("\\\\.\\pipe\\a/b c").substr(path.size() - 4), "a%2Fb%20c");
  const std::string long_name = PipeSocketPath("\\\\.\\pipe\\" + std::string(500, 'x'));
  EXPECT_LT(long_name.size(), 108u);
  EXPECT_NE(long_name, PipeSocketPath("\\\\.\\pipe\\" + std::string(501, 'x')));
  // Not local pipe names.
  EXPECT_EQ(PipeSocketPath("demo"), "");
  EXPECT_EQ(PipeSocketPath("\\\\.\\pipe\\"), "");
  EXPECT_EQ(PipeSocketPath("\\\\server\\pipe\\demo"), "");
}

TEST_F(PipeTest, TextsArriveInReadsOfAtMost4095Bytes) {
  PipeServer server(Collect());
  ASSERT_TRUE(server.Start("\\\\.\\pipe\\big"));
  std::string text(10000, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  ASSERT_TRUE(WritePipe("\\\\.\\pipe\\big", text, 0));
  ASSERT_TRUE(WaitForBytes(text.size()));
  std::string joined;
  const std::vector<std::string> texts = Texts();
  EXPECT_GE(texts.size(), 3u);
  for (const std::string& t : texts) {
    EXPECT_LE(t.size(), PIPE_READ_MAX);
    joined += t;
  }
  EXPECT_EQ(joined, text);
  // The next client is served after the first has gone.
  ASSERT_TRUE(WritePipe("\\\\.\\pipe\\big", "more", 0));
  ASSERT_TRUE(WaitForBytes(text.size() + 4));
  EXPECT_EQ(Texts().back(), "more");
}

TEST_F(PipeTest, ASecondStartReplacesTheFirstServer) {
  PipeServer server(Collect());
  ASSERT_TRUE(server.Start("\\\\.\\pipe\\one"));
  ASSERT_TRUE(server.Start("\\\\.\\pipe\\two"));
  EXPECT_FALSE(WritePipe("\\\\.\\pipe\\one", "x", 0));
  EXPECT_TRUE(WritePipe("\\\\.\\pipe\\two", "y", 0));
  ASSERT_TRUE(WaitForBytes(1));
  EXPECT_EQ(Texts(), std::vector<std::string>{"y"});
  server.Stop();
  EXPECT_FALSE(server.Running());
  EXPECT_FALSE(WritePipe("\\\\.\\pipe\\two", "z", 0));
}

TEST_F(PipeTest, OneServerPerNameAndStaleSocketsAreTakenOver) {
  PipeServer first(Collect());
  PipeServer second(Collect());
  ASSERT_TRUE(first.Start("\\\\.\\pipe\\shared"));
  EXPECT_FALSE(second.Start("\\\\.\\pipe\\shared"));
  first.Stop();
  EXPECT_TRUE(second.Start("\\\\.\\pipe\\shared"));
}

TEST_F(PipeTest, BadNamesFail) {
  PipeServer server(Collect());
  EXPECT_FALSE(server.Start("plain"));
  EXPECT_FALSE(server.Start("\\\\.\\pipe\\" + std::string(PIPE_NAME_MAX, 'n')));
  EXPECT_FALSE(server.Running());
  EXPECT_FALSE(WritePipe("plain", "x", 0));
}

TEST_F(PipeTest, WritesToNoServerRetryUntilTheTimeOut) {
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WritePipe("\\\\.\\pipe\\nobody", "x", 0));
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(WritePipe("\\\\.\\pipe\\nobody", "x", 200));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
}

}  // namespace
}  // namespace vx::comm
