#pragma once
// The debugging dialog (where the program stopped, its variables, break
// marks, single step, the timing trace and its viewer) and the quick-watch
// window that lists the variables after every label.
#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <string_view>

class QTableWidget;

namespace vx {
struct Runtime;
}

namespace vx::qt {

inline constexpr const char* QUICK_WATCH_CLASS = "VxmrQuickWatchWClass";

// Fills a two-column table with every long, double and string variable
// and every control's value, in table order.
void FillVariableTable(Runtime& rt, QTableWidget& table);

class QuickWatchWindow : public QWidget {
 public:
  explicit QuickWatchWindow(Runtime& rt);
  // Refreshes the list when the window is shown.
  void Refresh();

 private:
  Runtime& rt_;
  QTableWidget* table_;
};

// Opens the debugging dialog for procedure `procedure` and waits. 0 quits
// the program; anything else goes on (single step switched as chosen).
int RunDebugDialog(Runtime& rt, std::int32_t procedure, std::string_view text, QWidget* parent,
                   QuickWatchWindow* quick_watch);

}  // namespace vx::qt
