// SPDX-License-Identifier: MIT
// Text reading in a program built without Tesseract's development files:
// the engine is never ready and says why, so plates are reported unread.
#include "platform/library_packages.hpp"
#include "recognition/ocr.hpp"

namespace vx::recognition {

struct OcrEngine::Api {};

OcrEngine::OcrEngine(const char* soname, const char* datapath)
    : soname_(soname), datapath_(datapath == nullptr ? "" : datapath), datapath_given_(datapath != nullptr) {}

OcrEngine::~OcrEngine() = default;

OcrEngine& OcrEngine::Shared() {
  static OcrEngine* engine = new OcrEngine(OCR_LIBRARY, nullptr);
  return *engine;
}

bool OcrEngine::LoadLibrary(std::string& error) {
  error = "OCR library not available: " + platform::BuiltWithout("Tesseract", "libtesseract-dev");
  return false;
}

bool OcrEngine::Ready(const char* /*language*/, std::string& error) { return LoadLibrary(error); }

OcrText OcrEngine::Read(const GreyImage& /*picture*/, const char* /*language*/, OcrMode /*mode*/,
                        const std::string& /*allowed*/) {
  return {};
}

}  // namespace vx::recognition
