// The score-file reader with arbitrary bytes: every record read must be
// within its fields' ranges, never more than the score holds, written back
// as lines that read back to the same records.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "music/score.hpp"
#include "music/sequence.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vx::music::Score score;
  const std::size_t read = score.FromText(text);
  if (read > vx::music::kScoreCapacity || read != score.Size()) std::abort();
  const std::string written = score.ToText();
  vx::music::Score again;
  again.FromText(written);
  if (again.Records() != score.Records()) std::abort();
  // The records go on through the sequence builder and the file writer.
  vx::music::Sequence sequence;
  sequence.Build(score, {0xFFFFFFFFu, 0, 65536, 1.5});
  sequence.ApplyTempo(score, 0, 1.0);
  if (sequence.Size() > vx::music::kSequenceCapacity) std::abort();
  (void)sequence.ToSmf();
  return 0;
}
