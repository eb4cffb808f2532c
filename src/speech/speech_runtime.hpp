#pragma once
// The speech of a run: made on first use, its notices handled on the
// window thread.
#include <string>

#include "engine/messages.hpp"
#include "speech/speech.hpp"

namespace vx {
struct Runtime;
}

namespace vx::speech {

inline constexpr std::string_view SPEECH_END_LABEL = "SPEECH_END";

// The run's speech, made on the first call; null with the reason (UTF-8)
// when there is no synthesizer. A failure is remembered for the run.
Speech* Get(Runtime& rt, std::string* error);
// Whether an utterance is playing, queued, or its notice not yet handled.
bool Active(const Runtime& rt);
// A kSpeechDone notice: G_EV_1 = the utterance, G_EV_2 = how it ended,
// then the SPEECH_END label.
void HandleNotice(Runtime& rt, const host::Message& m);

}  // namespace vx::speech
