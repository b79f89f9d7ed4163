#ifndef KURONEL_UI_STATUS_LINE_H_
#define KURONEL_UI_STATUS_LINE_H_

#include <QElapsedTimer>
#include <QString>

#include "platform/progress.h"

class QLabel;

namespace kuronel {

// The one text of the main window's status line. Its commands run on the GUI
// thread from start to end (the processing window's run has a thread of its
// own), so each text is painted at once and the window system's
// events are handled to keep the window alive (the user's input is not
// delivered meanwhile; see InputDiscardScope). Progress
// texts of a long command come by the thousand; at most one is painted every
// few milliseconds, and the last one is never lost.
class StatusLine {
 public:
  explicit StatusLine(QLabel* label);

  // Shows `text` now.
  void Show(const QString& text);
  // Shows `text` unless a text was painted a moment ago; then it waits for
  // the next ShowProgress or Flush.
  void ShowProgress(const QString& text);
  // ShowProgress for the core's progress reports.
  StatusSink ProgressSink();
  // Paints a progress text still waiting.
  void Flush();

  QString Text() const;

 private:
  void Paint(const QString& text);

  QLabel* label_;
  QElapsedTimer since_paint_;
  QString waiting_;
  bool has_waiting_ = false;
};

}  // namespace kuronel

#endif  // KURONEL_UI_STATUS_LINE_H_
