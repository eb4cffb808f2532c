#include "qt/debugger.hpp"

#include <QCheckBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <string>

#include "engine/program.hpp"
#include "engine/runtime.hpp"
#include "platform/files.hpp"
#include "text/encoding.hpp"
#include "values/values.hpp"

namespace vx::qt {
namespace {

constexpr int kQuitResult = 0;
constexpr int kGoOnResult = 1;
constexpr std::string_view kTimingTraceFile = ".\\debug00.trace.txt";
constexpr int kShownTextMax = 256;  // bytes of a value shown in a table cell

QString FromSjis(std::string_view text) { return QString::fromStdString(text::Cp932ToUtf8(text)); }

bool Watched(std::uint16_t kind) {
  return kind == R_KD_VAL_TXT || kind == R_KD_VAL_LONG || kind == R_KD_VAL_DOUBLE ||
         (IsControlKind(kind) && kind != R_KD_PGS_BAR) || kind == R_KD_STEPTIMER;
}

QString ProcedureLine(const Runtime& rt, std::int32_t p) {
  const Procedure& proc = rt.program.Proc(p);
  return QStringLiteral("%1  [%2] %3").arg(p).arg(proc.line).arg(FromSjis(proc.text));
}

QString ReadTimingTrace() {
  files::FilePtr file = files::Open(kTimingTraceFile, "rb");
  if (!file) return QStringLiteral("(no timing trace)");
  std::string bytes;
  char block[4096];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) bytes.append(block, n);
  return FromSjis(bytes);
}

void ShowTraceViewer(QWidget* parent) {
  QDialog viewer(parent);
  viewer.setWindowTitle(QStringLiteral("Timing trace"));
  auto* layout = new QVBoxLayout(&viewer);
  auto* text = new QPlainTextEdit(ReadTimingTrace(), &viewer);
  text->setReadOnly(true);
  layout->addWidget(text);
  viewer.resize(480, 400);
  viewer.exec();
}

// Break marks: one row per procedure; a checked row stops before it runs.
QListWidget* MakeBreakList(Runtime& rt, std::int32_t current, QWidget* parent) {
  auto* list = new QListWidget(parent);
  for (std::int32_t p = 1; p < rt.program.ProcCount(); ++p) {
    auto* item = new QListWidgetItem(ProcedureLine(rt, p), list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(rt.program.Proc(p).break_mark != 0 ? Qt::Checked : Qt::Unchecked);
    item->setData(Qt::UserRole, p);
  }
  if (current >= 1 && current < rt.program.ProcCount()) list->setCurrentRow(current - 1);
  QObject::connect(list, &QListWidget::itemChanged, [&rt](QListWidgetItem* item) {
    const int p = item->data(Qt::UserRole).toInt();
    if (p >= 1 && p < rt.program.ProcCount())
      rt.program.SetBreakMark(p, item->checkState() == Qt::Checked);
  });
  return list;
}

}  // namespace

void FillVariableTable(Runtime& rt, QTableWidget& table) {
  table.setRowCount(0);
  std::string buffer;
  for (std::int32_t i = 0; i < rt.program.RscCount(); ++i) {
    const ResourceEntry& e = rt.program.Resource(i);
    if (!Watched(e.kind)) continue;
    const std::string_view value = values::ReadAsText(rt, i, buffer);
    const int row = table.rowCount();
    table.insertRow(row);
    table.setItem(row, 0, new QTableWidgetItem(FromSjis(e.Name())));
    table.setItem(row, 1, new QTableWidgetItem(FromSjis(value.substr(0, kShownTextMax))));
  }
}

QuickWatchWindow::QuickWatchWindow(Runtime& rt) : rt_(rt), table_(new QTableWidget(0, 2, this)) {
  setObjectName(QString::fromLatin1(QUICK_WATCH_CLASS));
  setWindowTitle(QStringLiteral("Quick watch"));
  setWindowFlag(Qt::Tool);
  table_->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  resize(320, 480);
}

void QuickWatchWindow::Refresh() {
  if (isVisible()) FillVariableTable(rt_, *table_);
}

int RunDebugDialog(Runtime& rt, std::int32_t procedure, std::string_view text, QWidget* parent,
                   QuickWatchWindow* quick_watch) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Debug"));
  auto* layout = new QVBoxLayout(&dialog);
  const bool known = procedure >= 1 && procedure < rt.program.ProcCount();
  layout->addWidget(new QLabel(known ? QStringLiteral("Stopped at procedure %1").arg(ProcedureLine(rt, procedure))
                                     : QStringLiteral("Procedure %1").arg(procedure),
                               &dialog));
  if (!text.empty()) layout->addWidget(new QLabel(FromSjis(text), &dialog));

  auto* variables = new QTableWidget(0, 2, &dialog);
  variables->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
  variables->horizontalHeader()->setStretchLastSection(true);
  variables->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FillVariableTable(rt, *variables);
  layout->addWidget(variables);
  layout->addWidget(new QLabel(QStringLiteral("Break marks"), &dialog));
  layout->addWidget(MakeBreakList(rt, procedure, &dialog));

  auto* timing = new QCheckBox(QStringLiteral("Timing trace (debug00.trace.txt)"), &dialog);
  timing->setChecked(rt.run.timing_trace);
  QObject::connect(timing, &QCheckBox::toggled, [&rt](bool on) { rt.run.timing_trace = on; });
  auto* debug_statements = new QCheckBox(QStringLiteral("Stop at Debug statements"), &dialog);
  debug_statements->setChecked(rt.run.debug_dialog);
  QObject::connect(debug_statements, &QCheckBox::toggled, [&rt](bool on) { rt.run.debug_dialog = on; });
  layout->addWidget(timing);
  layout->addWidget(debug_statements);

  auto* row = new QHBoxLayout();
  auto* go_on = new QPushButton(QStringLiteral("Continue"), &dialog);
  auto* step = new QPushButton(QStringLiteral("Single step"), &dialog);
  auto* quit = new QPushButton(QStringLiteral("Quit"), &dialog);
  auto* reset = new QPushButton(QStringLiteral("Reset trace count"), &dialog);
  auto* viewer = new QPushButton(QStringLiteral("Trace viewer"), &dialog);
  auto* watch = new QPushButton(QStringLiteral("Quick watch"), &dialog);
  for (QPushButton* b : {go_on, step, quit, reset, viewer, watch}) row->addWidget(b);
  layout->addLayout(row);
  go_on->setDefault(true);

  int result = kGoOnResult;
  QObject::connect(go_on, &QPushButton::clicked, [&] {
    rt.run.single_step = false;
    dialog.accept();
  });
  QObject::connect(step, &QPushButton::clicked, [&] {
    rt.run.single_step = true;
    dialog.accept();
  });
  QObject::connect(quit, &QPushButton::clicked, [&] {
    result = kQuitResult;
    dialog.accept();
  });
  QObject::connect(reset, &QPushButton::clicked, [&rt] { rt.run.timing_lines = 0; });
  QObject::connect(viewer, &QPushButton::clicked, [&dialog] { ShowTraceViewer(&dialog); });
  QObject::connect(watch, &QPushButton::clicked, [quick_watch] {
    if (quick_watch == nullptr) return;
    quick_watch->show();
    quick_watch->Refresh();
  });
  dialog.resize(640, 560);
  // Closing the dialog goes on, as Continue does.
  dialog.exec();
  return result;
}

}  // namespace vx::qt
