#ifndef KURONEL_UI_INPUT_DISCARD_H_
#define KURONEL_UI_INPUT_DISCARD_H_

namespace kuronel {

// Marks a command running from start to end on the GUI thread (the main
// window's folder builds; a plan's run has a thread of its own and needs
// none). While one is alive, keyboard and mouse input to the program's
// windows (and the window system's close requests, which the user gives with
// the mouse too) is discarded, not held back: a click on a greyed button
// during a command must not land on that button once it is enabled again.
// Painting, timers and the other window-system events go on. A message box
// that the command itself opens takes input as usual, since it waits for the
// user's answer.
//
// When the last scope ends, input that arrived meanwhile is fetched from the
// window system and discarded as well.
class InputDiscardScope {
 public:
  InputDiscardScope();
  ~InputDiscardScope();
  InputDiscardScope(const InputDiscardScope&) = delete;
  InputDiscardScope& operator=(const InputDiscardScope&) = delete;

  // True while a command runs.
  static bool Active();
};

// Lets the window repaint and the window system's events be handled in the
// middle of a command. Inside an InputDiscardScope the user's input is fetched
// and discarded; outside one it is left waiting.
void ProcessWindowEvents();

}  // namespace kuronel

#endif  // KURONEL_UI_INPUT_DISCARD_H_
