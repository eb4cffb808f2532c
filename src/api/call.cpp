#include "api/call.hpp"

#include <algorithm>
#include <cassert>

#include "api/argument_cache.hpp"
#include "api/argument_fetch.hpp"
#include "api/arguments.hpp"
#include "engine/runtime.hpp"
#include "engine/system_variables.hpp"
#include "values/values.hpp"

namespace vx::api {
namespace {

constexpr int kWorkResults = 4;
constexpr int kDoubleResults = 6;

int BufferIndex(int k) {
  assert(k >= 0 && k < WORK_BUFFER_COUNT);
  return std::clamp(k, 0, WORK_BUFFER_COUNT - 1);
}

std::string& Reuse(std::string& buffer, std::size_t bytes) {
  if (buffer.capacity() < bytes) buffer.reserve(bytes);
  buffer.clear();
  return buffer;
}

}  // namespace

std::string& WorkBuffers::Large(int k) { return Reuse(large_[BufferIndex(k)], WORK_BUFFER_LARGE_BYTES); }

std::string& WorkBuffers::Small(int k) { return Reuse(small_[BufferIndex(k)], WORK_BUFFER_SMALL_BYTES); }

bool WorkBuffers::IsSmall(const std::string& text) const {
  return std::any_of(small_.begin(), small_.end(),
                     [&text](const std::string& buffer) { return &buffer == &text; });
}

Call::Call(Runtime& rt, std::string_view args, ArgumentCache* cache)
    : rt_(rt), args_(args), cache_(cache) {
  if (cache_) args::BindCache(*cache_, args_);
}

int Call::ArgCount() const { return cache_ ? args::ArgCount(*cache_) : args::ArgCount(args_); }

std::int32_t Call::Int(int n) {
  return cache_ ? args::GetIntArg(rt_, *cache_, n) : args::GetIntArg(rt_, args_, n);
}

double Call::Double(int n) {
  return cache_ ? args::GetDoubleArg(rt_, *cache_, n) : args::GetDoubleArg(rt_, args_, n);
}

bool Call::String(int n, std::string& out) {
  const int present =
      cache_ ? args::GetStringArg(rt_, *cache_, n, out) : args::GetStringArg(rt_, args_, n, out);
  if (out.size() >= WORK_BUFFER_SMALL_BYTES && rt_.work_buffers.IsSmall(out))
    out.resize(WORK_BUFFER_SMALL_BYTES - 1);
  return present != 0;
}

std::string_view Call::TextView(int n, int k) {
  std::string& buffer = Large(k);
  if (cache_) return args::GetStringView(rt_, *cache_, n, buffer);
  String(n, buffer);
  return buffer;
}

std::int32_t Call::Resource(int n) {
  return cache_ ? args::GetResourceArg(rt_, *cache_, n) : args::GetResourceArg(rt_, args_, n);
}

std::int32_t Call::ResourceOrNone(int n) {
  return cache_ ? args::GetResourceArgOrNone(rt_, *cache_, n)
                : args::GetResourceArgOrNone(rt_, args_, n);
}

std::int32_t Call::OptInt(int n, std::int32_t fallback) {
  rt_.arg_status |= ARG_OPTIONAL;
  const std::int32_t value = Int(n);
  return rt_.arg_status == ARG_MISSING ? fallback : value;
}

double Call::OptDouble(int n, double fallback) {
  rt_.arg_status |= ARG_OPTIONAL;
  const double value = Double(n);
  return rt_.arg_status == ARG_MISSING ? fallback : value;
}

bool Call::OptString(int n, std::string& out, std::string_view fallback) {
  rt_.arg_status |= ARG_OPTIONAL;
  if (String(n, out)) return true;
  out.assign(fallback);
  return false;
}

std::int32_t Call::OptResource(int n) {
  rt_.arg_status |= ARG_OPTIONAL;
  return Resource(n);
}

bool Call::Has(int n) const {
  if (cache_) return args::IsPresent(*cache_, n);
  return !args::detail::IsBlank(args::ArgText(args_, n).substr(0, ARG_TEXT_MAX));
}

std::string& Call::Large(int k) { return rt_.work_buffers.Large(k); }

std::string& Call::Small(int k) { return rt_.work_buffers.Small(k); }

void Call::WriteInt(std::int32_t resource, std::int32_t value) {
  values::WriteInteger(rt_, resource, value);
}

void Call::WriteDouble(std::int32_t resource, double value) {
  values::WriteDouble(rt_, resource, value);
}

void Call::WriteText(std::int32_t resource, std::string_view text) {
  values::WriteText(rt_, resource, text);
}

void Call::SetError(std::int32_t status) { values::SetLong(rt_, sysvar::G_ERROR, status); }

void Call::SetTxt(std::string_view text) { values::SetText(rt_, sysvar::G_TXT, text, true); }

void Call::SetWork(int k, std::int32_t value) {
  if (k >= 1 && k <= kWorkResults) values::SetLong(rt_, sysvar::G_WORK1 + (k - 1), value);
}

void Call::SetDblWork(int k, double value) {
  if (k >= 1 && k <= kDoubleResults) values::SetDouble(rt_, sysvar::G_DBLWK1 + (k - 1), value);
}

// The system's message is informative only, so a long one is cut to the
// variable rather than dropped.
void Call::SetErrText(std::string_view text) { values::WriteText(rt_, sysvar::G_ERR_TXT, text); }

void Call::AppendDebugLog(std::string_view text) {
  values::AppendText(rt_, sysvar::G_DEBUG_LOG, text);
}

void Call::Fail(std::string_view message) { args::SetPendingError(rt_, message); }

}  // namespace vx::api
