#pragma once
// Text recognition of small pictures (plate fields) by Tesseract, opened on
// first use through its C interface: scripts that read no plates never load
// it, and a machine without it or without its language data gets an error
// text instead of a crash.
#include <map>
#include <string>

#include "recognition/plate.hpp"

namespace vx::recognition {

inline constexpr const char* OCR_LIBRARY = "libtesseract.so.5";
inline constexpr int OCR_SOURCE_DPI = 300;

// kRawLine: one line taken as it is, without the engine's own search
// for text lines in the picture (which can take a name of wide kanji for
// no text at all).
enum class OcrMode { kLine = 7, kCharacter = 10, kBlock = 6, kRawLine = 13 };

struct OcrText {
  std::string utf8;     // as read, spaces and line ends trimmed at both ends
  int confidence = 0;   // 0-100
};

class OcrEngine {
 public:
  // `datapath` null: the library's own tessdata directory.
  OcrEngine(const char* soname, const char* datapath);
  ~OcrEngine();
  OcrEngine(const OcrEngine&) = delete;
  OcrEngine& operator=(const OcrEngine&) = delete;

  // The engine of the program (never destroyed: the library stays loaded).
  static OcrEngine& Shared();

  // Loads the library and `language` ("jpn", "eng") once; false with a
  // reason when either is missing.
  bool Ready(const char* language, std::string& error);
  // Reads a dark-on-light picture; `allowed` limits the characters (UTF-8,
  // empty: any). Call only after Ready(language) succeeded.
  OcrText Read(const GreyImage& picture, const char* language, OcrMode mode, const std::string& allowed);

 private:
  struct Api;
  bool LoadLibrary(std::string& error);

  std::string soname_;
  std::string datapath_;
  bool datapath_given_ = false;
  Api* api_ = nullptr;               // bound functions; null until loaded
  std::string load_error_;
  bool load_tried_ = false;
  std::map<std::string, void*> handles_;   // language -> TessBaseAPI, null when it failed
};

}  // namespace vx::recognition
