#include "ui/application.h"

#include <QFont>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <exception>

#include "ui/program_icon.h"

namespace kuronel {

KuronelApplication::KuronelApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
  // The name only: a display name would be appended by the window system
  // to every window's title ("フォルダ選択 — Kuronel"), and each window's
  // title is its caption alone.
  setApplicationName(kApplicationTitle);
  // Every window of the program shows the application icon, and the desktop
  // matches the windows to the installed kuronel.desktop entry.
  setWindowIcon(ProgramIcon());
  setDesktopFileName(QStringLiteral("kuronel"));
}

void KuronelApplication::UseProgramFont() {
  // IPAPGothic stands in for the proportional Gothic font the windows were
  // designed with.
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(12);
  setFont(font);
}

bool KuronelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowErrorReport(QString::fromUtf8(error.what()));
  } catch (...) {
    ShowErrorReport(QStringLiteral("不明なエラーが発生しました。"));
  }
  return false;
}

void ShowErrorReport(const QString& message) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                  message, QMessageBox::Ok);
  KeepTitleVisible(box);
  box.exec();
}

void KeepTitleVisible(QMessageBox& box) {
  // A box sized to a short text ("Ver,1.1.0") leaves the window system no
  // room for the title beside its buttons.
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  grid->addItem(new QSpacerItem(kMessageBoxMinimumWidth, 0,
                                QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace kuronel
