#pragma once
// All process-wide state of one engine instance. The front end owns one;
// tests and fuzzers make fresh ones. Nothing here is global.
#include <memory>
#include <string>

#include "api/api_state.hpp"
#include "arrays/stores.hpp"
#include "comm/comm.hpp"
#include "engine/diagnostics.hpp"
#include "engine/display.hpp"
#include "engine/pending_error.hpp"
#include "engine/program.hpp"
#include "engine/run_state.hpp"
#include "engine/session.hpp"
#include "engine/startup_state.hpp"
#include "engine/window_system.hpp"
#include "graphics/click_areas.hpp"
#include "graphics/drawing_state.hpp"
#include "graphics/image_state.hpp"
#include "graphics/vram.hpp"
#include "host/main_window_state.hpp"
#include "music/music_slot.hpp"
#include "pcb/pattern.hpp"
#include "values/name_table.hpp"

namespace vx {

namespace audio {
struct AudioSystem;
}  // namespace audio
namespace recognition {
struct Store;
}  // namespace recognition
namespace camera {
struct CameraSystem;
}  // namespace camera

namespace geometry3d {
struct Geometry3d;
}  // namespace geometry3d
namespace simulation {
struct Simulation;
}  // namespace simulation
namespace sentences {
struct SentenceState;
}  // namespace sentences

namespace printing {
class Printers;
struct Printing;
}  // namespace printing
namespace speech {
class Speech;
}  // namespace speech

namespace host {
class ControlHost;
class DialogHost;
}  // namespace host

struct Runtime {
  explicit Runtime(WindowSystem& window_system) : window(&window_system), ports(&comm) {}
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  Program program;
  NameTable names;
  PendingError error;
  StartupState startup;  // directories, command line, script selection
  Diagnostics diagnostics;  // explanation language, check mode, what loads noticed
  WindowSystem* window;
  PortIo* ports = nullptr;  // serial ports (the `comm` below)
  std::uint32_t arg_status = 0;  // argument status word (ARG_OPTIONAL...)
  std::string arg_scratch;       // the argument getters' copy of one argument
  api::WorkBuffers work_buffers; // text buffers shared by the API handlers
  api::RandomState random;       // the generator behind rand
  api::Stores stores;            // numeric and string arrays, FIFO, started programs
  graphics::Vram vram;               // drawing banks, colours, pen, dirty rectangle, fonts
  graphics::DrawingState drawing;    // line buffer, gradient stops, sharp area
  graphics::ClickAreas click_areas;  // hot spots of the drawing surface
  graphics::ImageState images;       // last picture size, stored pictures, parts, picture settings
  Display* display = nullptr;        // the window showing the current bank; null: none
  host::MainWindowState main_window; // cursor, hover, topmost, queues of the window thread
  comm::Comm comm{main_window.inbox};  // serial ports and the pipe server; after the inbox they post to
  pcb::PcbState pcb;                 // pattern list, layers, view of the PCB family
  music::MusicSlot music;            // score, sequence, player, MIDI output; made on first use
  std::shared_ptr<recognition::Store> recognition;  // image planes and decode region; made on first use

  // Holds the whole file for ReadAsText of a file resource.
  std::string file_buffer;

  engine::RunState run;             // call stack, exit request, traces, lock
  engine::Session session;          // title setting, exit code, queued labels
  DebugDialog* debugger = nullptr;  // null: Debug statements go on at once
  host::ControlHost* controls = nullptr;  // control windows and timers; null: none
  host::DialogHost* dialogs = nullptr;    // dialog APIs; null: answered as headless
  // 3D view, wire tables, matrix and vector banks; made on first use.
  std::shared_ptr<geometry3d::Geometry3d> geometry3d;
  // The wave chain and lattice; made on first use.
  std::shared_ptr<simulation::Simulation> simulation;
  // The sentence library and its frames; made on first use.
  std::shared_ptr<sentences::SentenceState> sentences;
  // Sound stores and devices, made on first use; last, so that the device
  // threads end before the inbox they post to goes.
  std::shared_ptr<audio::AudioSystem> audio;
  // Camera, video files and sensors, made on first use; after the audio, so
  // that the capture thread ends first of all.
  std::shared_ptr<camera::CameraSystem> camera;
  printing::Printers* printers = nullptr;  // printers and PDF files; null: printing fails
  std::shared_ptr<printing::Printing> printing;  // page setup and the open job; made on first use
  // Text to speech, made on first use; last, so that its thread ends first.
  std::shared_ptr<speech::Speech> speech;
};

}  // namespace vx
