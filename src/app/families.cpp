// The list of families: every API family registers its handlers here, once,
// when the dispatcher first needs its table, and the families that follow a
// program's life hook into the engine here. A new family (or a new handler
// file of one) adds its Register...Apis function below and to the list.
#include "api/call.hpp"
#include "camera/camera_system.hpp"
#include "comm/port_resources.hpp"
#include "engine/family_hooks.hpp"
#include "graphics/program_hooks.hpp"
#include "host/controls.hpp"
#include "system/random.hpp"

namespace vx::api {

void RegisterStringApis(Registry& registry);           // strings/api.cpp
void RegisterArrayApis(Registry& registry);            // arrays/api.cpp
void RegisterFileApis(Registry& registry);             // files/api.cpp
void RegisterSystemApis(Registry& registry);           // system/api.cpp
void RegisterDateApis(Registry& registry);             // system/api_dates.cpp
void RegisterBitApis(Registry& registry);              // system/api_bits.cpp
void RegisterRandomApis(Registry& registry);           // system/api_random.cpp
void RegisterCallStackApis(Registry& registry);        // system/api_call_stack.cpp
void RegisterPreprocApis(Registry& registry);          // preproc/api.cpp
void RegisterControlApis(Registry& registry);          // host/api_controls.cpp
void RegisterDialogApis(Registry& registry);           // host/api_dialogs.cpp
void RegisterWindowApis(Registry& registry);           // host/api_window.cpp
void RegisterEventApis(Registry& registry);            // host/api_events.cpp
void RegisterVramApis(Registry& registry);             // graphics/api_drawing.cpp
void RegisterClickAreaApis(Registry& registry);        // graphics/api_click_areas.cpp
void RegisterImageApis(Registry& registry);            // graphics/api_images.cpp
void RegisterImageProcessingApis(Registry& registry);  // graphics/api_image_processing.cpp
void RegisterImageAnalysisApis(Registry& registry);    // graphics/api_image_analysis.cpp
void RegisterCommApis(Registry& registry);             // comm/api.cpp
void RegisterAudioApis(Registry& registry);            // audio/api_stores.cpp
void RegisterAudioFileApis(Registry& registry);        // audio/api_files.cpp
void RegisterAudioDeviceApis(Registry& registry);      // audio/api_devices.cpp
void RegisterAudioSignalApis(Registry& registry);      // audio/api_signal.cpp
void RegisterPcbApis(Registry& registry);              // pcb/api.cpp
void RegisterMusicApis(Registry& registry);            // music/api.cpp
void RegisterRecognitionApis(Registry& registry);      // recognition/api.cpp
void RegisterPlateApis(Registry& registry);            // recognition/api_plates.cpp
void RegisterVectorApis(Registry& registry);           // geometry3d/api_vectors.cpp
void RegisterWire3dApis(Registry& registry);           // geometry3d/api_wire.cpp
void RegisterPolygonApis(Registry& registry);          // geometry3d/api_polygons.cpp
void RegisterPolygonRenderApis(Registry& registry);    // geometry3d/api_render.cpp
void RegisterPolygonShapeApis(Registry& registry);     // geometry3d/api_shapes.cpp
void RegisterBlockApis(Registry& registry);            // geometry3d/api_blocks.cpp
void RegisterSimulationApis(Registry& registry);       // simulation/api.cpp
void RegisterSentenceApis(Registry& registry);         // sentences/api.cpp
void RegisterCameraApis(Registry& registry);           // camera/api.cpp
void RegisterSensorApis(Registry& registry);           // sensors/api.cpp
void RegisterPrintingApis(Registry& registry);         // printing/api.cpp
void RegisterSpeechApis(Registry& registry);           // speech/api.cpp

void RegisterFamilies(Registry& registry) {
  RegisterStringApis(registry);
  RegisterBitApis(registry);
  RegisterRandomApis(registry);
  RegisterArrayApis(registry);
  RegisterFileApis(registry);
  RegisterDateApis(registry);
  RegisterSystemApis(registry);
  RegisterCallStackApis(registry);
  RegisterPreprocApis(registry);
  RegisterControlApis(registry);
  RegisterDialogApis(registry);
  RegisterVramApis(registry);
  RegisterClickAreaApis(registry);
  RegisterWindowApis(registry);
  RegisterEventApis(registry);
  RegisterImageApis(registry);
  RegisterImageProcessingApis(registry);
  RegisterImageAnalysisApis(registry);
  RegisterCommApis(registry);
  RegisterAudioApis(registry);
  RegisterAudioFileApis(registry);
  RegisterAudioDeviceApis(registry);
  RegisterAudioSignalApis(registry);
  RegisterPcbApis(registry);
  RegisterMusicApis(registry);
  RegisterRecognitionApis(registry);
  RegisterPlateApis(registry);
  RegisterVectorApis(registry);
  RegisterWire3dApis(registry);
  RegisterPolygonApis(registry);
  RegisterSimulationApis(registry);
  RegisterSentenceApis(registry);
  RegisterPolygonRenderApis(registry);
  RegisterPolygonShapeApis(registry);
  RegisterBlockApis(registry);
  RegisterCameraApis(registry);
  RegisterSensorApis(registry);
  RegisterPrintingApis(registry);
  RegisterSpeechApis(registry);
}

}  // namespace vx::api

namespace vx::engine {

// In the order they run: controls go before the ports, and so on.
std::span<const FamilyHooks> AllFamilyHooks() {
  static constexpr FamilyHooks kHooks[] = {
      {.unload = host::DestroyControls,
       .declare = [](Runtime& rt) { host::CreateControls(rt); },
       .after_initial = host::AfterInitialLabel},
      {.unload = comm::CloseDeclaredPorts, .declare = comm::OpenDeclaredPorts},
      {.unload = graphics::ForgetProgramClip,
       .start = graphics::StartOnWhitePage,
       .started = graphics::HandOverInitialDrawing},
      {.start = api::ResetRandom},
      {.reload = camera::Release},
  };
  return kHooks;
}

}  // namespace vx::engine
