#include "music/midi_output.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vx::music {
namespace {

constexpr std::string_view kRecordPrefix = "record:";
constexpr std::string_view kAlsaPrefix = "alsa:";
constexpr std::string_view kFluidSynth = "fluidsynth";
constexpr std::string_view kFluidSynthFilePrefix = "fluidsynth:file:";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// One line per message, flushed at once so that a log read while the
// program runs (or after a crash) is complete: "TICK SS D1 D2" in hex bytes.
class RecordOutput final : public MidiOutput {
 public:
  explicit RecordOutput(std::FILE* f) : file_(f) {}
  void Send(std::uint32_t tick, std::uint8_t status, std::uint8_t data1,
            std::uint8_t data2) override {
    std::fprintf(file_.get(), "%u %02X %02X %02X\n", tick, status, data1, data2);
    std::fflush(file_.get());
  }
  void SetVolume(std::uint32_t tick, std::uint16_t left, std::uint16_t right) override {
    std::fprintf(file_.get(), "%u volume %u %u\n", tick, left, right);
    std::fflush(file_.get());
  }

 private:
  std::unique_ptr<std::FILE, FileCloser> file_;
};

constexpr const char* kSoundFontPlaces[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/soundfonts/default.sf2",
    "/usr/share/soundfonts/FluidR3_GM.sf2",
};

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

OpenedOutput OpenRecordOutput(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return {nullptr, OpenError::kOther, "cannot create " + path};
  return {std::make_unique<RecordOutput>(f), OpenError::kNone, {}};
}

std::string FindSoundFont() {
  if (const char* chosen = std::getenv("VEXMORA_SOUNDFONT"); chosen != nullptr && *chosen) {
    return IsFile(chosen) ? std::string(chosen) : std::string();
  }
  for (const char* place : kSoundFontPlaces) {
    if (IsFile(place)) return place;
  }
  for (const char* folder : {"/usr/share/sounds/sf2", "/usr/share/soundfonts"}) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      if (entry.path().extension() == ".sf2" && IsFile(entry.path().string())) {
        return entry.path().string();
      }
    }
  }
  return {};
}

OpenedOutput OpenMidiOutput(std::string_view choice, std::uint32_t tick) {
  if (choice.starts_with(kRecordPrefix)) {
    return OpenRecordOutput(std::string(choice.substr(kRecordPrefix.size())));
  }
  if (choice.starts_with(kAlsaPrefix)) return OpenAlsaOutput(choice.substr(kAlsaPrefix.size()));
  if (choice.starts_with(kFluidSynthFilePrefix)) {
    const std::string_view path = choice.substr(kFluidSynthFilePrefix.size());
    if (path.empty()) return {nullptr, OpenError::kInvalParam, "no file named"};
    return OpenFluidSynthOutput(path, tick);
  }
  if (choice.empty() || choice == kFluidSynth) return OpenFluidSynthOutput({}, tick);
  return {nullptr, OpenError::kInvalParam, "unknown MIDI back end"};
}

}  // namespace vx::music
