// ALSA is bound at run time: every function the sound and MIDI code calls
// must exist in the library under the name it is bound by, and a missing
// library or function must be named, not fatal.
#include "audio/alsa_api.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vx::audio {
namespace {

TEST(AlsaApi, BindsEveryFunctionFromTheSystemLibrary) {
  AlsaApi api;
  std::string error;
  ASSERT_TRUE(LoadAlsa(ALSA_LIBRARY, api, error)) << error;
  EXPECT_TRUE(error.empty());
  EXPECT_NE(api.snd_lib_error_set_handler, nullptr);
  EXPECT_NE(api.snd_seq_event_output_direct, nullptr);
  ASSERT_NE(Alsa(), nullptr) << AlsaLoadError();
  EXPECT_EQ(Alsa()->snd_seq_open, api.snd_seq_open);  // one library for the process
}

TEST(AlsaApi, AMissingLibraryOrFunctionIsNamed) {
  AlsaApi api;
  std::string error;
  EXPECT_FALSE(LoadAlsa("libvexmora-no-such-sound.so.2", api, error));
  EXPECT_NE(error.find("ALSA is not available"), std::string::npos) << error;
  EXPECT_NE(error.find("libvexmora-no-such-sound.so.2"), std::string::npos) << error;

  // A library that opens but is not ALSA.
  error.clear();
  EXPECT_FALSE(LoadAlsa("libm.so.6", api, error));
  EXPECT_NE(error.find("snd_"), std::string::npos) << error;
}

}  // namespace
}  // namespace vx::audio
