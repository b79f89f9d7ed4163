#include "ui/application.h"

#include <QMessageBox>
#include <exception>

namespace kuronel {

KuronelApplication::KuronelApplication(int& argc, char** argv)
    : QApplication(argc, argv) {
  setApplicationName(kApplicationTitle);
  setApplicationDisplayName(kApplicationTitle);
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
