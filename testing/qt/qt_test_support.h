#ifndef KURONEL_TESTING_QT_QT_TEST_SUPPORT_H_
#define KURONEL_TESTING_QT_QT_TEST_SUPPORT_H_

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "ui/application.h"
#include "ui/folder_dialog_form.h"
#include "ui/processing_window.h"

namespace kuronel::testing {

// A text of the program (UTF-8 in the source) as a QString.
inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs `answer` on the next modal window that opens (a message box, an input
// box, a dialog), from a timer, so that a test can drive a command that waits
// for the user. The answer receives the modal widget.
inline void AnswerNextModal(std::function<void(QWidget*)> answer,
                            int timeout_ms = 10000) {
  auto* poll = new QTimer;
  auto elapsed = std::make_shared<int>(0);
  auto poll_once = [poll, answer = std::move(answer), elapsed, timeout_ms] {
    QWidget* modal = QApplication::activeModalWidget();
    *elapsed += 10;
    if (modal == nullptr && *elapsed < timeout_ms) return;
    poll->stop();
    poll->deleteLater();
    if (modal != nullptr) answer(modal);
  };
  QObject::connect(poll, &QTimer::timeout, std::move(poll_once));
  poll->start(10);
}

// Answers the next message box with OK, keeping its text in `text`.
inline void AcceptNextMessageBox(QString& text) {
  AnswerNextModal([&text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
}

// Answers the next folder picker: selects `folder` and presses OK.
inline void ChooseFolderInPicker(const std::string& folder) {
  AnswerNextModal([folder](QWidget* modal) {
    auto* form = qobject_cast<TFolderDialogForm*>(modal);
    if (form == nullptr || !form->SelectFolder(folder)) {
      modal->close();
      return;
    }
    form->OkButton->click();
  });
}

// Presses 実行 in the processing window and waits until the run, which goes
// on a thread of its own, has ended; false when it did not end in time.
inline bool RunPlanAndWait(ProcessingWindow& form, int timeout_ms = 60000) {
  form.findChild<QPushButton*>("SpeedButton1")->click();
  return QTest::qWaitFor([&form] { return !form.Running(); }, timeout_ms);
}

// Finds a menu or context-menu item by its name anywhere under `root`.
inline QAction* FindAction(QObject* root, const char* name) {
  return root->findChild<QAction*>(QString::fromUtf8(name));
}

}  // namespace kuronel::testing

// The main function of a window test: the program's own application object
// (its general error report included), then the test class's slots.
#define KURONEL_QTEST_MAIN(TestClass)            \
  int main(int argc, char** argv) {              \
    kuronel::KuronelApplication app(argc, argv); \
    TestClass test;                              \
    return QTest::qExec(&test, argc, argv);      \
  }

#endif  // KURONEL_TESTING_QT_QT_TEST_SUPPORT_H_
