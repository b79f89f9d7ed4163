#include "ui/keyboard_buttons.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QPushButton>

namespace kuronel {
namespace {

class ReturnPresses : public QObject {
 public:
  explicit ReturnPresses(QAbstractButton* button)
      : QObject(button), button_(button) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != button_ || event->type() != QEvent::KeyPress)
      return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain =
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plain || key->isAutoRepeat() ||
        (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter))
      return QObject::eventFilter(watched, event);
    if (button_->isEnabled()) button_->click();
    return true;
  }

 private:
  QAbstractButton* button_;
};

}  // namespace

void PressOnReturn(QAbstractButton* button) {
  button->installEventFilter(new ReturnPresses(button));
}

void ShowFocusOfFlatButton(QPushButton* button) {
  button->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
}

}  // namespace kuronel
