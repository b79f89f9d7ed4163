#ifndef KURONEL_UI_APPLICATION_H_
#define KURONEL_UI_APPLICATION_H_

#include <QApplication>
#include <QString>

class QMessageBox;

namespace kuronel {

// The application object. Its title is "Kuronel", it gives every window the
// application icon, and it is the program's general error report: an
// exception that escapes any command (an event handler) is shown in a
// "Kuronel" error box, and the program goes on.
class KuronelApplication : public QApplication {
 public:
  KuronelApplication(int& argc, char** argv);

  // The font of the program's windows (the window tests keep Qt's default).
  void UseProgramFont();

  bool notify(QObject* receiver, QEvent* event) override;
};

// The application title, used for the task bar and every message box.
inline const char kApplicationTitle[] = "Kuronel";

// The narrowest message box: wide enough for the window system to show the
// title "Kuronel" beside the box's title-bar buttons.
inline constexpr int kMessageBoxMinimumWidth = 240;

// Gives a message box at least kMessageBoxMinimumWidth.
void KeepTitleVisible(QMessageBox& box);

// Shows `message` in the general error report box: title "Kuronel", an error
// icon and one OK button.
void ShowErrorReport(const QString& message);

}  // namespace kuronel

#endif  // KURONEL_UI_APPLICATION_H_
