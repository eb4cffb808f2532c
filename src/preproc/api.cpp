// PreProc (186): runs the preprocessor from a source file into a
// destination file (src/preproc/). The family has this one API.
//
// PreProc T source, T destination, [N mode = 1]
//   G_ERROR 0 when the whole source was written, 1 when nothing was done
//   (destination inside or equal to the source, a file that cannot be
//   opened, no memory) or the destination could not be written fully.
//   A fatal preprocessor error shows "[%5ld]:%s" in a box captioned
//   "Message" and ends the program with exit code 1.
#include <cstdint>
#include <string>

#include "api/api_ids.hpp"
#include "api/call.hpp"
#include "api/os_results.hpp"
#include "engine/process_exit.hpp"
#include "engine/runtime.hpp"
#include "preproc/disk_files.hpp"
#include "values/expression.hpp"

namespace vx::api {
namespace {

constexpr std::string_view kFatalCaption = "Message";
constexpr int kFatalExitCode = 1;

void PreProc(Call& call) {
  Runtime& rt = call.rt();
  std::string& source = call.Small(0);
  std::string& destination = call.Small(1);
  call.String(0, source);
  call.String(1, destination);
  const std::int32_t mode = call.OptInt(2, preproc::MODE_MARKERS);

  preproc::DiskCallHooks hooks;
  hooks.evaluate = [&rt](std::string_view expression) {
    return expr::EvaluateExpression(rt, expression);
  };
  hooks.console = preproc::WriteToStandardOutput;
  hooks.encoding = rt.startup.encoding;

  const preproc::CallResult result = preproc::PreprocessFiles(source, destination, mode, hooks);
  if (result.status == preproc::CallStatus::kFatal) {
    rt.window->ShowMessage(kFatalCaption, preproc::FatalText(result.outcome));
    // The program ends here: an #if error still pending has nobody to stop.
    rt.error.Clear();
    engine::RequestProcessExit(rt, kFatalExitCode);
    return;
  }
  if (result.write_error != 0) return ReportSystemResult(call, result.write_error);
  call.SetError(result.status == preproc::CallStatus::kDone ? 0 : 1);
}

constexpr Registration kPreprocApis[] = {
    {Id("PreProc"), PreProc},
};

}  // namespace

void RegisterPreprocApis(Registry& registry) { registry.AddAll(kPreprocApis); }

}  // namespace vx::api
