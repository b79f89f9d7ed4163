#include "ui/input_discard.h"

#include <QApplication>
#include <QEvent>
#include <QInputEvent>
#include <QWidget>

namespace kuronel {
namespace {

bool IsUserInput(const QEvent& event) {
  if (dynamic_cast<const QInputEvent*>(&event) != nullptr) return true;
  switch (event.type()) {
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
      return true;
    case QEvent::Close:
      // A close request from the window system is the user's; a window
      // closed by the program itself is not.
      return event.spontaneous();
    default:
      return false;
  }
}

// Installed on the application while commands run; swallows user input
// unless it goes to a modal window that opened after the outermost command
// began (a message box asking the user something).
class InputDiscarder : public QObject {
 public:
  explicit InputDiscarder(QWidget* modal_at_start)
      : modal_at_start_(modal_at_start) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!IsUserInput(*event)) return QObject::eventFilter(watched, event);
    return QApplication::activeModalWidget() == modal_at_start_;
  }

 private:
  QPointer<QWidget> modal_at_start_;
};

int active_scopes = 0;
InputDiscarder* discarder = nullptr;

}  // namespace

InputDiscardScope::InputDiscardScope() {
  if (active_scopes++ > 0 || qApp == nullptr) return;
  discarder = new InputDiscarder(QApplication::activeModalWidget());
  qApp->installEventFilter(discarder);
}

InputDiscardScope::~InputDiscardScope() {
  if (--active_scopes > 0 || discarder == nullptr) return;
  // What the user typed or clicked during the command goes now, unseen.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  qApp->removeEventFilter(discarder);
  delete discarder;
  discarder = nullptr;
}

bool InputDiscardScope::Active() { return active_scopes > 0; }

void ProcessWindowEvents() {
  QCoreApplication::processEvents(InputDiscardScope::Active()
                                      ? QEventLoop::AllEvents
                                      : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace kuronel
