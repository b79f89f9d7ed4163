#ifndef KURONEL_UI_DESTINATION_INPUT_BOX_H_
#define KURONEL_UI_DESTINATION_INPUT_BOX_H_

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace kuronel {

// The input box of the typed destination: a prompt, an edit field wide
// enough for a usual path, and under it one line that says why the box came
// back (empty the first time, and cleared as soon as the text is changed),
// then OK and Cancel.
class TDestinationInputBox : public QDialog {
  Q_OBJECT

 public:
  explicit TDestinationInputBox(QWidget* parent = nullptr);

  QString Prompt() const;
  QString Text() const;
  void SetText(const QString& text);
  QString Reason() const;
  // Shows `reason` under the field; an empty text hides the line.
  void SetReason(const QString& reason);

 private:
  QLabel* prompt_ = nullptr;
  QLineEdit* field_ = nullptr;
  QLabel* reason_ = nullptr;
};

// Why a typed destination came back: it is not an absolute path.
inline constexpr char kNotAnAbsolutePathReason[] =
    "「/」から始まるパスではありません。";

}  // namespace kuronel

#endif  // KURONEL_UI_DESTINATION_INPUT_BOX_H_
