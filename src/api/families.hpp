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
void RegisterVramApis(Registry& registry);    // vram.cpp
void RegisterClickAreaApis(Registry& registry);  // click_areas.cpp
void RegisterImageApis(Registry& registry);            // images.cpp
void RegisterImageProcessingApis(Registry& registry);  // image_processing.cpp
void RegisterImageAnalysisApis(Registry& registry);    // image_analysis.cpp
void RegisterCallStackApis(Registry& registry);  // call_stack.cpp

}  // namespace vx::api
