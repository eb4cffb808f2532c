#include "api/families.hpp"

namespace vx::api {

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
