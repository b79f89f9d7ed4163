#ifndef KURONEL_UI_KEYBOARD_BUTTONS_H_
#define KURONEL_UI_KEYBOARD_BUTTONS_H_

class QAbstractButton;
class QPushButton;

namespace kuronel {

// Return and Enter press `button` while it has the focus, as Space does.
// Qt presses only a dialog's default push button on Return, wherever the
// focus is: a keyboard user who has moved to a button expects that button.
void PressOnReturn(QAbstractButton* button);

// A flat push button has no frame for the style to mark the focus on; drawn
// through a style sheet it gets the focus frame that tool buttons have, once
// the keyboard has moved the focus.
void ShowFocusOfFlatButton(QPushButton* button);

}  // namespace kuronel

#endif  // KURONEL_UI_KEYBOARD_BUTTONS_H_
