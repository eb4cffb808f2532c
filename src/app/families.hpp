#pragma once
// The registration function of every API family. Each family file defines
// its own; RegisterFamilies calls them all once, when the dispatcher's
// handler table is built.
namespace vx::api {

class Registry;

void RegisterFamilies(Registry& registry);

void RegisterStringApis(Registry& registry);  // strings.cpp
void RegisterBitApis(Registry& registry);     // bits.cpp
void RegisterRandomApis(Registry& registry);  // random.cpp
void RegisterArrayApis(Registry& registry);   // arrays.cpp
void RegisterFileApis(Registry& registry);    // files.cpp
void RegisterDateApis(Registry& registry);    // dates.cpp
void RegisterSystemApis(Registry& registry);  // system.cpp
void RegisterCallStackApis(Registry& registry);  // call_stack.cpp
void RegisterPreprocApis(Registry& registry);    // preproc.cpp
void RegisterControlApis(Registry& registry);    // controls.cpp
void RegisterDialogApis(Registry& registry);     // dialogs.cpp
void RegisterVramApis(Registry& registry);    // vram.cpp
void RegisterClickAreaApis(Registry& registry);  // click_areas.cpp
void RegisterWindowApis(Registry& registry);  // window.cpp
void RegisterEventApis(Registry& registry);   // events.cpp
void RegisterImageApis(Registry& registry);            // images.cpp
void RegisterImageProcessingApis(Registry& registry);  // image_processing.cpp
void RegisterImageAnalysisApis(Registry& registry);    // image_analysis.cpp
void RegisterCommApis(Registry& registry);     // comm.cpp
void RegisterAudioApis(Registry& registry);        // audio.cpp
void RegisterAudioFileApis(Registry& registry);    // audio_files.cpp
void RegisterAudioDeviceApis(Registry& registry);  // audio_devices.cpp
void RegisterAudioSignalApis(Registry& registry);  // audio_signal.cpp
void RegisterPcbApis(Registry& registry);              // pcb.cpp
void RegisterMusicApis(Registry& registry);            // music.cpp
void RegisterRecognitionApis(Registry& registry);      // recognition.cpp
void RegisterPlateApis(Registry& registry);        // plates.cpp
void RegisterVectorApis(Registry& registry);       // geometry3d_vectors.cpp
void RegisterWire3dApis(Registry& registry);       // geometry3d_wire.cpp
void RegisterPolygonApis(Registry& registry);      // geometry3d_polygons.cpp
void RegisterSimulationApis(Registry& registry);   // simulation.cpp
void RegisterSentenceApis(Registry& registry);     // sentences.cpp
void RegisterPolygonRenderApis(Registry& registry);  // geometry3d_render.cpp
void RegisterPolygonShapeApis(Registry& registry);   // geometry3d_shapes.cpp
void RegisterBlockApis(Registry& registry);          // blocks.cpp
void RegisterCameraApis(Registry& registry);       // camera.cpp
void RegisterSensorApis(Registry& registry);       // sensors.cpp
void RegisterPrintingApis(Registry& registry);     // printing.cpp
void RegisterSpeechApis(Registry& registry);       // speech.cpp

}  // namespace vx::api
