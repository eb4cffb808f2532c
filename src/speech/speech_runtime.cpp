#include "speech/speech_runtime.hpp"

#include "engine/delivery.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"

namespace vx::speech {

Speech* Get(Runtime& rt, std::string* error) {
  if (rt.speech) return rt.speech.get();
  std::unique_ptr<Engine> engine = OpenEspeak(error);
  if (!engine) return nullptr;
  rt.speech = std::make_shared<Speech>(std::move(engine), audio::MakeBackendFromEnvironment(),
                                       rt.main_window.inbox);
  return rt.speech.get();
}

bool Active(const Runtime& rt) { return rt.speech && rt.speech->Active(); }

void HandleNotice(Runtime& rt, const host::Message& m) {
  if (!rt.speech) return;
  rt.speech->Noticed();
  if (host::LabelEntry(rt, SPEECH_END_LABEL) == 0) return;
  host::SetSystemLong(rt, sysvar::G_EV_1, m.code);
  host::SetSystemLong(rt, sysvar::G_EV_2, m.value);
  host::OfferByName(rt, SPEECH_END_LABEL);
}

}  // namespace vx::speech
