#pragma once
// The dialogs scripts open (OpenDialog to ListSelectSArray). The Qt layer
// shows real dialogs; without a person (headless, or no dialog host) every
// question is answered at once as docs/api/dialogs.md says. Texts are
// Shift-JIS bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vx::host {

// Buttons of MsgBx and the answers it gives (the classic message-box ids).
enum MessageButtons : int { BUTTONS_OK = 0, BUTTONS_OK_CANCEL = 1, BUTTONS_YES_NO = 2, BUTTONS_YES_NO_CANCEL = 3 };
enum MessageAnswer : int { ANSWER_OK = 1, ANSWER_CANCEL = 2, ANSWER_YES = 6, ANSWER_NO = 7 };

enum class TextInput { kLine, kHalfWidth, kMultiLine };

struct NumberInput {
  double initial = 0.0;
  double minimum = -2147483648.0;
  double maximum = 2147483647.0;
  int decimals = 0;  // 0: whole numbers
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // SetDialogPrm: the caption and font code later dialogs use when the
  // script gives no caption.
  virtual void SetDefaults(std::string_view caption, std::int32_t font_code) = 0;
  virtual std::optional<std::string> OpenFile(std::string_view caption, std::string_view filter,
                                              bool save) = 0;
  virtual std::optional<std::string> InputText(std::string_view caption, std::string_view prompt,
                                               std::string_view initial, TextInput kind) = 0;
  virtual std::optional<double> InputNumber(std::string_view caption, std::string_view prompt,
                                            const NumberInput& number) = 0;
  virtual int Message(std::string_view caption, std::string_view text, int buttons) = 0;
  virtual std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) = 0;
  // -1 when nothing was chosen.
  virtual int PopupMenu(std::span<const std::string> items) = 0;
  virtual int ChooseFromList(std::string_view caption, std::span<const std::string> items,
                             int initial) = 0;
};

// The answer without a person: the first button (OK or Yes).
int DefaultAnswer(int buttons);

}  // namespace vx::host
