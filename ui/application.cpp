#include "ui/application.h"

#include <QFont>
#include <QMessageBox>
#include <exception>

#include "ui/program_icon.h"

namespace kuronel {

KuronelApplication::KuronelApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
  setApplicationName(kApplicationTitle);
  setApplicationDisplayName(kApplicationTitle);
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
  box.exec();
}

}  // namespace kuronel
