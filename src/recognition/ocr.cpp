#include "recognition/ocr.hpp"

#include <tesseract/capi.h>

#include <algorithm>
#include <memory>

#include "platform/shared_library.hpp"

namespace vx::recognition {

struct OcrEngine::Api {
  decltype(&::TessBaseAPICreate) create = nullptr;
  decltype(&::TessBaseAPIDelete) destroy = nullptr;
  decltype(&::TessBaseAPIInit3) init = nullptr;
  decltype(&::TessBaseAPIEnd) end = nullptr;
  decltype(&::TessBaseAPISetVariable) set_variable = nullptr;
  decltype(&::TessBaseAPISetPageSegMode) set_mode = nullptr;
  decltype(&::TessBaseAPISetImage) set_image = nullptr;
  decltype(&::TessBaseAPISetSourceResolution) set_resolution = nullptr;
  decltype(&::TessBaseAPIGetUTF8Text) text = nullptr;
  decltype(&::TessBaseAPIMeanTextConf) confidence = nullptr;
  decltype(&::TessBaseAPIClear) clear = nullptr;
  decltype(&::TessDeleteText) delete_text = nullptr;
};

namespace {

TessBaseAPI* Handle(void* p) { return static_cast<TessBaseAPI*>(p); }

std::string Trimmed(const char* text) {
  std::string s = text == nullptr ? "" : text;
  const auto space = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; };
  while (!s.empty() && space(s.back())) s.pop_back();
  std::size_t start = 0;
  while (start < s.size() && space(s[start])) ++start;
  s.erase(0, start);
  // Lines of a block become one line.
  for (char& c : s) {
    if (c == '\n') c = ' ';
  }
  return s;
}

}  // namespace

OcrEngine::OcrEngine(const char* soname, const char* datapath)
    : soname_(soname), datapath_(datapath == nullptr ? "" : datapath), datapath_given_(datapath != nullptr) {}

OcrEngine::~OcrEngine() {
  if (api_ != nullptr) {
    for (auto& [language, handle] : handles_) {
      if (handle != nullptr) api_->destroy(Handle(handle));
    }
  }
  delete api_;
}

OcrEngine& OcrEngine::Shared() {
  static OcrEngine* engine = new OcrEngine(OCR_LIBRARY, nullptr);
  return *engine;
}

bool OcrEngine::LoadLibrary(std::string& error) {
  if (!load_tried_) {
    load_tried_ = true;
    platform::SharedLibrary& library = platform::SharedLibrary::Resident(soname_.c_str());
    if (!library.Loaded()) {
      load_error_ = "OCR library not available: " + library.Error();
    } else {
      auto api = std::make_unique<Api>();
      bool ok = library.Bind("TessBaseAPICreate", &api->create);
      ok = library.Bind("TessBaseAPIDelete", &api->destroy) && ok;
      ok = library.Bind("TessBaseAPIInit3", &api->init) && ok;
      ok = library.Bind("TessBaseAPIEnd", &api->end) && ok;
      ok = library.Bind("TessBaseAPISetVariable", &api->set_variable) && ok;
      ok = library.Bind("TessBaseAPISetPageSegMode", &api->set_mode) && ok;
      ok = library.Bind("TessBaseAPISetImage", &api->set_image) && ok;
      ok = library.Bind("TessBaseAPISetSourceResolution", &api->set_resolution) && ok;
      ok = library.Bind("TessBaseAPIGetUTF8Text", &api->text) && ok;
      ok = library.Bind("TessBaseAPIMeanTextConf", &api->confidence) && ok;
      ok = library.Bind("TessBaseAPIClear", &api->clear) && ok;
      ok = library.Bind("TessDeleteText", &api->delete_text) && ok;
      if (ok) {
        api_ = api.release();
      } else {
        load_error_ = "OCR library incomplete: " + library.Error();
      }
    }
  }
  error = load_error_;
  return api_ != nullptr;
}

bool OcrEngine::Ready(const char* language, std::string& error) {
  if (!LoadLibrary(error)) return false;
  auto found = handles_.find(language);
  if (found == handles_.end()) {
    TessBaseAPI* handle = api_->create();
    // Init3 prints its complaint about missing data to stderr; the reason
    // reaches the script through the error text instead.
    if (handle != nullptr && api_->init(handle, datapath_given_ ? datapath_.c_str() : nullptr, language) != 0) {
      api_->destroy(handle);
      handle = nullptr;
    }
    if (handle != nullptr) {
      api_->set_variable(handle, "debug_file", "/dev/null");
      // The adaptive classifier learns from every page it reads; a plate
      // must read the same whatever was read before it.
      api_->set_variable(handle, "classify_enable_learning", "0");
    }
    found = handles_.emplace(language, handle).first;
  }
  if (found->second == nullptr) {
    error = std::string("OCR language data missing: ") + language +
            platform::InstallHint(std::string("tesseract-ocr-") + language);
    return false;
  }
  return true;
}

OcrText OcrEngine::Read(const GreyImage& picture, const char* language, OcrMode mode, const std::string& allowed) {
  OcrText out;
  const auto found = handles_.find(language);
  if (api_ == nullptr || found == handles_.end() || found->second == nullptr || picture.Empty()) return out;
  TessBaseAPI* handle = Handle(found->second);
  api_->set_variable(handle, "tessedit_char_whitelist", allowed.c_str());
  api_->set_mode(handle, static_cast<TessPageSegMode>(mode));
  api_->set_image(handle, picture.pixels.data(), picture.width, picture.height, 1, picture.width);
  api_->set_resolution(handle, OCR_SOURCE_DPI);
  char* text = api_->text(handle);
  out.utf8 = Trimmed(text);
  if (text != nullptr) api_->delete_text(text);
  out.confidence = out.utf8.empty() ? 0 : std::clamp(api_->confidence(handle), 0, 100);
  api_->clear(handle);
  return out;
}

}  // namespace vx::recognition
