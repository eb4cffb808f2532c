#include "preproc/disk_files.hpp"

#include <cstdio>
#include <optional>

#include "platform/file_identity.hpp"
#include "platform/files.hpp"
#include "platform/output_file.hpp"
#include "text/encoding.hpp"

namespace vx::preproc {
namespace {

// A physical line longer than this is decoded in parts.
constexpr std::size_t kDecodedLineMax = std::size_t{1} << 20;


}  // namespace

bool DecodedFileReader::ReadPiece(std::string& piece, std::size_t limit) {
  piece.clear();
  if (pending_.empty()) {
    std::string line;
    int c = 0;
    while (line.size() < kDecodedLineMax && (c = std::getc(file_.get())) != EOF && c != '\n') {
      line.push_back(static_cast<char>(c));
    }
    if (c == EOF && line.empty()) return false;
    ++line_;
    decoder_.Decode(line);
    if (!decoder_.Unconvertible().empty() && unconvertible_ != nullptr && unconvertible_->empty()) {
      *unconvertible_ = decoder_.Unconvertible() + " on line " + std::to_string(line_) + " of " + name_;
    }
    pending_ = std::move(line);
    if (c == '\n') pending_ += '\n';
    if (pending_.empty()) return false;
  }
  piece.assign(pending_, 0, std::min(limit, pending_.size()));
  pending_.erase(0, piece.size());
  return true;
}

namespace {

// The destination is written beside its name and put in place at the end
// (files::OutputFile), so its name is what an include is checked against:
// by place while it may not exist yet, by identity for other names of a
// file already there.
class DiskEnvironment : public Environment {
 public:
  DiskEnvironment(files::OutputFile& destination, std::string_view destination_name,
                  std::optional<files::FileIdentity> destination_id, const DiskCallHooks& hooks)
      : destination_(destination),
        destination_name_(destination_name),
        destination_id_(destination_id),
        hooks_(hooks) {}

  std::unique_ptr<SourceReader> OpenInclude(std::string_view path, OpenResult& result) override {
    if (files::SamePlace(path, destination_name_)) {
      result = OpenResult::kIsDestination;
      return nullptr;
    }
    files::FilePtr file = files::Open(path, "rb");
    if (!file) {
      result = OpenResult::kNotFound;
      return nullptr;
    }
    if (destination_id_ && files::IdentityOf(file.get()) == destination_id_) {
      result = OpenResult::kIsDestination;
      return nullptr;
    }
    result = OpenResult::kOpened;
    return std::make_unique<DecodedFileReader>(std::move(file), hooks_.encoding, path, &unconvertible);
  }

  std::string unconvertible;  // the first character without a Shift-JIS form

  void Write(std::string_view bytes) override { destination_.Write(bytes); }

  void Console(std::string_view text) override {
    if (hooks_.console) hooks_.console(text);
  }

  double Evaluate(std::string_view expression) override {
    return hooks_.evaluate ? hooks_.evaluate(expression) : 0.0;
  }

 private:
  files::OutputFile& destination_;
  std::string_view destination_name_;
  std::optional<files::FileIdentity> destination_id_;
  const DiskCallHooks& hooks_;
};

CallResult Stop(const DiskCallHooks& hooks, CallStatus status, std::string_view message) {
  if (hooks.console) hooks.console(message);
  return CallResult{status, {}};
}

}  // namespace

CallResult PreprocessFiles(std::string_view source, std::string_view destination, int mode,
                           const DiskCallHooks& hooks) {
  if (DestinationInsideSource(source, destination)) return CallResult{CallStatus::kNothingDone, {}};

  const std::unique_ptr<char[]> work = NewWorkArea();
  if (!work) return Stop(hooks, CallStatus::kNoMemory, kCannotAllocate);

  files::FilePtr source_file = files::Open(source, "rb");
  if (!source_file) return Stop(hooks, CallStatus::kNoSource, kCannotOpenSource);
  // Another spelling of the source (./a.vx for a.vx, a link) would be
  // emptied by opening it for writing: do nothing then, as for the name.
  const std::optional<files::FileIdentity> source_id = files::IdentityOf(source_file.get());
  if (source_id && files::IdentityOf(destination) == source_id) {
    return CallResult{CallStatus::kNothingDone, {}};
  }
  const std::optional<files::FileIdentity> destination_id = files::IdentityOf(destination);
  files::OutputFile destination_file = files::OutputFile::Open(destination, files::WriteMode::kReplace);
  if (!destination_file.ok()) {
    CallResult result = Stop(hooks, CallStatus::kNoDestination, kCannotOpenDestination);
    result.write_error = destination_file.error();
    return result;
  }

  DiskEnvironment env(destination_file, destination, destination_id, hooks);
  DecodedFileReader main(std::move(source_file), hooks.encoding, source, &env.unconvertible);
  CallResult result;
  result.outcome = Run(env, main, mode, std::span<char>(work.get(), WORK_AREA_BYTES));
  // Also after a fatal error: the destination keeps what was written before it.
  result.write_error = destination_file.Finish();
  if (result.outcome.fatal) {
    result.status = CallStatus::kFatal;
  } else if (result.write_error != 0) {
    result.status = CallStatus::kWriteFailed;
  } else if (!env.unconvertible.empty()) {
    if (hooks.console) hooks.console(UnconvertibleMessage(env.unconvertible));
    result.status = CallStatus::kUnconvertible;
  }
  return result;
}

std::string UnconvertibleMessage(std::string_view where) {
  return "no Shift-JIS form for the character " + std::string(where) + " (written as ?)\n";
}

void WriteToStandardOutput(std::string_view text) {
  const std::string utf8 = text::Cp932ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

}  // namespace vx::preproc
