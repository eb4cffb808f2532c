// A question without a caption is titled with the program's name; a given
// caption, or the default one SetDialogPrm set, wins.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include "qt/dialogs.hpp"

namespace vx::test {
namespace {

// Asks for a number, reads the dialog's title as soon as it is up and
// cancels it.
QString AskNumber(qt::QtDialogs& dialogs, std::string_view caption) {
  QString title;
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, &title] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    title = dialog->windowTitle();
    dialog->reject();
    poll->stop();
    poll->deleteLater();
  });
  poll->start(10);
  host::NumberInput number;
  EXPECT_FALSE(dialogs.InputNumber(caption, "Value", number).has_value());
  return title;
}

TEST(DialogCaption, AQuestionWithoutACaptionCarriesTheProgramsName) {
  qt::QtDialogs dialogs;
  EXPECT_EQ(AskNumber(dialogs, "").toStdString(), "Vexmora");
  EXPECT_EQ(AskNumber(dialogs, "Speed").toStdString(), "Speed");
  dialogs.SetDefaults("Tool", 0);
  EXPECT_EQ(AskNumber(dialogs, "").toStdString(), "Tool");
}

}  // namespace
}  // namespace vx::test
