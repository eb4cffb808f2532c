#pragma once
// The dialog APIs' windows: Qt's file, input, colour and message dialogs, a
// pop-up menu and a list chooser, all modal over the main window.
#include <QString>
#include <string>

#include "engine/dialogs.hpp"

class QWidget;

namespace vx::qt {

class QtDialogs : public host::DialogHost {
 public:
  void SetMainWindow(QWidget* window) { main_window_ = window; }

  void SetDefaults(std::string_view caption, std::int32_t font_code) override;
  std::optional<std::string> OpenFile(std::string_view caption, std::string_view filter, bool save) override;
  std::optional<std::string> InputText(std::string_view caption, std::string_view prompt,
                                       std::string_view initial, host::TextInput kind) override;
  std::optional<double> InputNumber(std::string_view caption, std::string_view prompt,
                                    const host::NumberInput& number) override;
  int Message(std::string_view caption, std::string_view text, int buttons) override;
  std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) override;
  int PopupMenu(std::span<const std::string> items) override;
  int ChooseFromList(std::string_view caption, std::span<const std::string> items, int initial) override;

 private:
  QString Caption(std::string_view caption) const;

  QWidget* main_window_ = nullptr;
  std::string default_caption_;
  std::int32_t font_code_ = 0;
};

}  // namespace vx::qt
