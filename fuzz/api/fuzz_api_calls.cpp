// Every provided API called with odd and extreme arguments, on a fresh
// runtime per input. An input is up to kCallsPerInput lines, each
//   NAME <TAB> ARGUMENT <TAB> ARGUMENT ...
// NAME picks the API (any other text picks one by its hash, so that APIs
// registered later are reached too). An argument becomes
//   (nothing)        an empty argument
//   a number         itself: 0, -1, 2147483648, 1e300 ...
//   a declared name  the resource: every kind of variable and control
//   ?NAME            a name nobody declared
//   #NAN #INF #BIG   a double holding NaN, one holding infinity, a quoted
//                    text of 131072 bytes
//   # and one byte   one of kExtremes, picked by the byte
//   anything else    a quoted text, made safe as a file name
// No argument is an expression, and no text holds a path separator or is
// only dots, so every file name stays inside the scratch folder, which is
// the current directory and is emptied and refilled before every input.
// APIs that act outside the process are left out by name (kLeftOut).
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/support/fake_window_system.hpp"
#include "api/api_table.hpp"
#include "engine/lifecycle.hpp"
#include "engine/loader.hpp"
#include "engine/runtime.hpp"
#include "engine/script_input.hpp"
#include "graphics/jpeg.hpp"
#include "graphics/vram.hpp"

namespace vx {
namespace {

constexpr int kCallsPerInput = 8;
// Some calls rightly work on the whole 2600 x 2000 surface, which takes the
// sanitizers tens of seconds: no further call starts after this long, so
// only one call that never ends counts as a hang.
constexpr std::chrono::seconds kCallsStartWithin{10};
constexpr int kStripeRows = 8;
constexpr int kArgumentsMax = 12;
constexpr std::size_t kBigTextBytes = 131072;
constexpr std::size_t kUndeclaredNameMax = 40;
// Files may grow this far; a larger write fails (EFBIG) instead of filling
// the disk, and a sparse file is never too large to be read in time.
constexpr rlim_t kFileBytesMax = 64u << 20;

// Process control, other windows and programs, devices (sound, video,
// serial ports, printers, speech, MIDI, mouse, keyboard, screen), system
// settings, dialogs waiting for a person, the clipboard, sleeping, OCR.
constexpr std::string_view kLeftOut[] = {
    "WinExec", "ProcCtrl", "OprtSys", "CtrlMonitor", "PipeStart", "PipeWrite",
    "ChkWin", "PostMsg", "ShowOtherWindow", "CtrlWindow", "GetVexmoraWinList",
    "SetMCur", "MouseCtrl", "GetMCurScrPos", "GetKeyState", "KeyEvent", "$Mouse", "$DeskTop",
    "GetScreenShot", "ClipBdToVRam", "VRamToClipBd", "Sleep",
    "OpenDialog", "InputDialog", "InputDialogHoli", "Prm1Dialog", "EditDialog", "DigitDialog",
    "MsgBx", "ColorDialog", "SpeedMenu", "ListSelect", "ListSelectStr", "CatListSelect",
    "ListSelectSArray",
    "AudioInfo", "AudioCtrl", "AudioPlay", "AudioRec", "StopRec", "IsPlayNow", "PlaySound",
    "AnlzWave",
    "ChkCOM", "SttCOM", "RstCOM", "SetComSig", "GetComSig",
    "PrtStart", "PrtNextPage", "PrtEndPage", "PrtGFg", "SetPrtScreen",
    "GetSpchStat", "Speech", "ClrSpeech", "SetSpeechPrm", "VoiceChange", "VoiceList",
    "MIDISend", "MIDIVol", "MIDIRef", "ToneLocation", "MscMain", "MscAuto",
    "SensorCmd", "CrtVideoWin", "VideoInit", "DtryVideoWin", "SetVideoPrm", "CameraCtrl",
    "VideoVramOff", "VideoCapture", "GetVideoInfo", "GetVideoStat", "VideoDlg", "VideoFile",
    "MtuCamera", "MtuCameraBySerial",
    // The plate readers load the OCR engine: seconds per call and its own
    // allocations, outside what this target checks.
    "RcgCarNbr", "CarNbrIntrNtnl",
};

// One resource of every kind a script can declare, under short names the
// seeds use.
constexpr std::string_view kPrelude =
    "Data long L 7\n"
    "Data long L2 -1\n"
    "Data double D 2.5\n"
    "Data double DN 0\n"
    "Data double DI 0\n"
    "Data string S 140000\n"
    "Data string S2 \"a.txt\"\n"
    "Data FILE F \"a.txt\"\n"
    "Data FILE FD \"adir\"\n"
    "Data ClipBoard CB\n"
    "Data COM CM 99, \"9600,8,N,1\"\n"
    "MakeButton BT 0, 0, 40, 20, \"b\"\n"
    "MakePWBox PW 0, 0, 40, 20\n"
    "MakeTextBox TB 0, 0, 40, 20\n"
    "MakeEditBox EB 0, 0, 40, 20\n"
    "MakeListBox LB 0, 0, 40, 40\n"
    "MakeComboBox CO 0, 0, 40, 40\n"
    "MakeCheckBox CK 0, 0, 40, 20, \"c\"\n"
    "MakeRadioButton1 R1 0, 0, 40, 20, \"r\"\n"
    "MakeRadioButton R2 0, 0, 40, 20, \"s\"\n"
    "MakePgsBar PB 0, 0, 40, 20\n"
    "MakeTrackBar TR 0, 0, 40, 20, 100, 0\n"
    "MakeScrollBar SB 0, 0, 40, 20, 100, 0\n"
    "MakeTimer TM 1000\n"
    "MakeStepTimer ST 1000\n"
    ":Initial\n";

constexpr std::string_view kDeclared[] = {"L",  "L2", "D",  "DN", "DI", "S",  "S2", "F",
                                          "FD", "CB", "CM", "BT", "PW", "TB", "EB", "LB",
                                          "CO", "CK", "R1", "R2", "PB", "TR", "SB", "TM",
                                          "ST"};

// Values every argument should survive; "#a" is the first, "#b" the next...
constexpr std::string_view kExtremes[] = {
    "0", "-1", "1", "2147483647", "-2147483648", "2147483648", "-2147483649",
    "4294967296", "1e300", "-1e300", "DN", "DI", "S", "\"\"", "\"\x82\"", "\"ab\x81\"",
    "QU_NOSUCH", "L", "D", "S2", "F", "FD", "CB", "CM", "BT", "LB", "CK", "TR", "ST", "TM",
    "0.5", "-0.5", "65536", "-65536", "\"*\"", "\"adir\"", "\"a.txt\"", "\"b.bmp\"",
    "\"c.jpg\"", "\"v.vx\"", "\"%s%n%x\"", "\"\x81\x5c\x82\"",
};

std::filesystem::path& Scratch() {
  static std::filesystem::path scratch;
  return scratch;
}

// The fuzzer's own folder: corpus and crash files are named relative to it.
std::filesystem::path& Home() {
  static std::filesystem::path home;
  return home;
}

// Crash files go where the fuzzer was started, not into the scratch folder
// current while an input runs; and a file grown past kFileBytesMax is a
// refused write (EFBIG), not a finding.
void AddFuzzerFlags(int* argc, char*** argv) {
  static std::vector<std::string> flags = {"-artifact_prefix=" + Home().string() + "/",
                                           "-handle_xfsz=0"};
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  for (std::string& flag : flags) {
    const std::string name = flag.substr(0, flag.find('=') + 1);
    const bool given = std::any_of(args.begin() + 1, args.end(), [&](const char* a) {
      return std::string_view(a).starts_with(name);
    });
    if (!given) args.push_back(flag.data());
  }
  *argc = static_cast<int>(args.size());
  args.push_back(nullptr);
  *argv = args.data();
}

std::string& JpegFixture() {
  static std::string jpeg;
  return jpeg;
}

// A 16 x 16 picture of colour bands.
void MakeJpegFixture() {
  std::vector<std::uint8_t> bank(graphics::VRAM_BANK_BYTES);
  for (std::size_t i = 0; i < graphics::VRAM_ROW_BYTES * 16; ++i) bank[i] = static_cast<std::uint8_t>(i * 7);
  std::string error;
  if (!graphics::EncodeJpeg(bank.data(), graphics::PixelRect{0, 0, 15, 15}, &JpegFixture(), &error))
    __builtin_trap();
}

std::vector<int>& Callable() {
  static std::vector<int> ids;
  return ids;
}

bool LeftOut(std::string_view name) {
  return std::find(std::begin(kLeftOut), std::end(kLeftOut), name) != std::end(kLeftOut);
}

// The files every input starts with: a text, a folder, a picture, a script.
void RefillScratch() {
  std::error_code ec;
  chdir(Scratch().c_str());
  for (const auto& entry : std::filesystem::directory_iterator(Scratch(), ec))
    std::filesystem::remove_all(entry.path(), ec);
  std::ofstream("a.txt", std::ios::binary) << "[b] two\r\n[a] one\r\nname=value\r\n\x82\xa0\r\n";
  std::ofstream("v.vx", std::ios::binary) << "#define N 3\r\nA = N\r\n";
  std::filesystem::create_directory("adir", ec);
  std::ofstream("adir/in.txt", std::ios::binary) << "x\r\n";
  // A 2 x 2 picture, 24 bits a pixel.
  static const unsigned char kBmp[] = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
      1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};
  std::ofstream("b.bmp", std::ios::binary)
      .write(reinterpret_cast<const char*>(kBmp), sizeof kBmp);
  std::ofstream("c.jpg", std::ios::binary) << JpegFixture();
}

// Nothing that could name a place outside the current folder.
void MakeSafe(std::string& text) {
  std::replace(text.begin(), text.end(), '/', '_');
  std::replace(text.begin(), text.end(), '\\', '_');
  if (!text.empty() && text.find_first_not_of('.') == std::string::npos) text.insert(0, "x");
}

bool IsNumber(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  const std::size_t digits = i;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
  if (i == digits) return false;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
    const std::size_t exponent = i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    if (i == exponent) return false;
  }
  return i == t.size();
}

void AppendQuoted(std::string& out, std::string_view text) {
  std::string inner;
  for (const char c : text) {
    if (c != '"' && c != '\r' && c != '\n' && c != '\0') inner.push_back(c);
  }
  MakeSafe(inner);
  out += '"';
  out += inner;
  out += '"';
}

void AppendArgument(std::string& out, std::string_view token) {
  if (token.empty()) return;
  if (std::find(std::begin(kDeclared), std::end(kDeclared), token) != std::end(kDeclared) ||
      IsNumber(token)) {
    out += token;
  } else if (token == "#NAN") {
    out += "DN";
  } else if (token == "#INF") {
    out += "DI";
  } else if (token.size() == 2 && token[0] == '#') {
    out += kExtremes[static_cast<unsigned char>(token[1] - 'a') % std::size(kExtremes)];
  } else if (token == "#BIG") {
    out += '"';
    out.append(kBigTextBytes, 'a');
    out += '"';
  } else if (token.size() > 1 && token[0] == '?') {
    out += "QU_";
    for (const char c : token.substr(1, kUndeclaredNameMax)) {
      out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
  } else {
    AppendQuoted(out, token);
  }
}

int PickApi(std::string_view name) {
  const std::vector<int>& ids = Callable();
  for (const int id : ids) {
    if (api::NameOf(id) == name) return id;
  }
  return ids[std::hash<std::string_view>{}(name) % ids.size()];
}

// Texts a call left behind are arguments of the calls after it: they must
// not lead outside the scratch folder either (GetCurDir, for one, writes an
// absolute path).
void MakeTextsSafe(Runtime& rt, test::FakeWindowSystem& window) {
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    ResourceEntry& e = rt.program.Resource(i);
    if (!e.text || e.text_capacity <= 0) continue;
    // Through the C library: texts are long, and this runs after every call.
    char* text = e.text.get();
    const std::size_t length = strnlen(text, static_cast<std::size_t>(e.text_capacity));
    for (const char separator : {'/', '\\'}) {
      for (char* at = text; (at = static_cast<char*>(std::memchr(at, separator, length - (at - text))));)
        *at = '_';
    }
    if (length > 0 && std::string_view(text, length).find_first_not_of('.') == std::string_view::npos)
      text[0] = 'x';
  }
  for (auto& [handle, control] : window.controls) {
    MakeSafe(control.text);
    for (std::string& item : control.items) MakeSafe(item);
  }
  MakeSafe(window.clipboard);
}

void FillBigText(Runtime& rt) {
  const std::int32_t s = rt.program.FindResource("S");
  ResourceEntry& e = rt.program.Resource(s);
  const std::size_t n = std::min<std::size_t>(kBigTextBytes, e.text_capacity - 1);
  std::memset(e.text.get(), 'b', n);
  e.text[n] = '\0';
  // Lead bytes of Shift-JIS characters at the end, without their second bytes.
  if (n >= 2) e.text[n - 1] = '\x82', e.text[n - 2] = '\x81';
  rt.program.Resource(rt.program.FindResource("DN")).double_value =
      std::numeric_limits<double>::quiet_NaN();
  rt.program.Resource(rt.program.FindResource("DI")).double_value =
      std::numeric_limits<double>::infinity();
}

void RunCalls(std::string_view bytes) {
  test::FakeWindowSystem window;
  Runtime rt{window};
  BeginProgram(rt);
  ScriptInput input = ScriptInput::FromBytes(std::string(kPrelude), false);
  if (CompileScript(rt, input) != CompileStatus::kCompiled) __builtin_trap();
  engine::CreateDeclaredControls(rt);
  FillBigText(rt);
  // Whole-surface work (blurs, fills) takes tens of seconds under the
  // sanitizers; a small clip keeps most calls quick. ClrUdArea, which the
  // inputs reach too, gives the whole surface back.
  if (const auto clip = api::LookupApi("SetUdArea")) api::Dispatch(rt, clip->id, "10, 10, 90, 70");
  // White lines across the black page stop a flood within a few rows; on
  // the plain page it would cover the whole surface. (The other banks stay
  // as they are: drawing on them all would cost more time than it saves.)
  for (int row = 0; row < graphics::VRAM_HEIGHT; row += kStripeRows)
    std::memset(rt.vram.Current() + row * graphics::VRAM_ROW_BYTES, 0xFF, graphics::VRAM_ROW_BYTES);

  const auto started = std::chrono::steady_clock::now();
  std::size_t at = 0;
  for (int call = 0; call < kCallsPerInput && at < bytes.size(); ++call) {
    if (std::chrono::steady_clock::now() - started > kCallsStartWithin) break;
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(at, end - at);
    at = end + 1;

    std::size_t tab = line.find('\t');
    const int id = PickApi(line.substr(0, tab));
    std::string arguments;
    for (int n = 0; n < kArgumentsMax && tab != std::string_view::npos; ++n) {
      const std::size_t next = line.find('\t', tab + 1);
      if (n > 0) arguments += ", ";
      AppendArgument(arguments, line.substr(tab + 1, next == std::string_view::npos
                                                         ? std::string_view::npos
                                                         : next - tab - 1));
      tab = next;
    }
    // VEXMORA_FUZZ_TRACE=1 shows each call, for reading a finding.
    static const bool trace = std::getenv("VEXMORA_FUZZ_TRACE") != nullptr;
    if (trace) {
      const std::string_view name = api::NameOf(id);
      std::fprintf(stderr, "CALL %.*s %.*s\n", static_cast<int>(name.size()), name.data(),
                   static_cast<int>(std::min<std::size_t>(arguments.size(), 200)), arguments.data());
    }
    api::Dispatch(rt, id, arguments);
    rt.error.Clear();
    MakeTextsSafe(rt, window);
  }
}

}  // namespace
}  // namespace vx

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  using namespace vx;
  Home() = std::filesystem::current_path();
  AddFuzzerFlags(argc, argv);
  char pattern[] = "/tmp/vexmora-api-calls-XXXXXX";
  if (mkdtemp(pattern) == nullptr) __builtin_trap();
  Scratch() = pattern;
  // The per-user registry store goes to the scratch folder too.
  setenv("XDG_CONFIG_HOME", pattern, 1);
  setenv("HOME", pattern, 1);
  const rlimit limit{kFileBytesMax, kFileBytesMax};
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, SIG_IGN);
  MakeJpegFixture();
  for (const ApiEntry& e : api::Table()) {
    if (api::IsProvided(e.id) && !LeftOut(e.name)) Callable().push_back(e.id);
  }
  if (Callable().empty()) __builtin_trap();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vx;
  RefillScratch();
  RunCalls(std::string_view(reinterpret_cast<const char*>(data), size));
  if (chdir(Home().c_str()) != 0) __builtin_trap();
  return 0;
}
