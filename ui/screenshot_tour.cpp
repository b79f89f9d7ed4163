#include "ui/screenshot_tour.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <ctime>
#include <string>

#include "testing/qt/program_under_test.h"
#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/folder_dialog_form.h"
#include "ui/processing_window.h"
#include "ui/select_folder_dialog.h"

namespace kuronel {
namespace {

using testing::AnswerNextModal;
using testing::FindAction;
using testing::ProgramUnderTest;

// Sample photos with an Exif shooting date, as they would come off a card.
// The first one comes twice: two photos of one day get a0 and a1.
constexpr const char* kCardPhotos[] = {
    "Canon_40D.jpg",
    "Canon_40D.jpg",
    "Pentax_K10D.jpg",
    "Nikon_COOLPIX_P1.jpg",
    "Nikon_D70.jpg",
    "Panasonic_DMC-FZ30.jpg",
    "Sony_HDR-HC3.jpg",
    "Olympus_C8080WZ.jpg",
    "Fujifilm_FinePix_E500.jpg",
    "Samsung_Digimax_i50_MP3.jpg",
    "Kodak_CX7530.jpg",
    "Konica_Minolta_DiMAGE_Z3.jpg",
};

// Gives a file a fixed modification time, so that the pictures do not
// depend on the day the tour runs.
void SetModified(const std::string& path, int hour) {
  struct tm local = {};
  local.tm_year = 2008 - 1900;
  local.tm_mon = 5;
  local.tm_mday = 1;
  local.tm_hour = hour;
  local.tm_isdst = -1;
  const struct timespec time = {mktime(&local), 0};
  const struct timespec times[2] = {time, time};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// Lets pending layouts and paints finish.
void Settle() { QTest::qWait(300); }

// The main window as pictured: resized from its designed 592 pixels' width.
constexpr QSize kMainWindowPictured(760, 380);

// On a display with a window manager the window system's title bar shows
// the window's title: the picture takes the frame with it.
QPixmap Picture(QWidget* window) {
  const QRect frame = window->frameGeometry();
  if (frame == window->geometry() || window->screen() == nullptr)
    return window->grab();
  return window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                      frame.height());
}

// Waits a moment for a window manager to frame the window; there is none
// offscreen.
void WaitForFrame(QWidget* window) {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) return;
  (void)QTest::qWaitFor(
      [window] { return window->frameGeometry() != window->geometry(); }, 5000);
}

// Waits a moment for the window system to give `window` the keyboard's
// focus, which a window manager does some time after the window shows.
void WaitForFocus(QWidget* window) {
  window->activateWindow();
  (void)QTest::qWaitFor(
      [window] {
        const QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && focus->window() == window;
      },
      5000);
}

class Tour {
 public:
  explicit Tour(const QString& out_dir) : out_dir_(out_dir) {}

  std::vector<Screenshot> Run() {
    Main().show();
    if (!QTest::qWaitForWindowExposed(&Main())) return shots_;
    WaitForFrame(&Main());
    MakeCard();
    ShowDetailSettings();
    OpenCard();
    ChooseDestination();
    ShowMainWindow();
    ShowProcessing();
    return shots_;
  }

 private:
  MainWindow& Main() { return program_.Main(); }

  void Save(QWidget* window, const char* name) {
    Settle();
    const QPixmap picture = Picture(window);
    const QString file = QDir(out_dir_).filePath(QString::fromUtf8(name));
    if (picture.save(file, "PNG")) shots_.push_back({file, picture.size()});
  }

  // The card, a destination folder, and an earlier copy standing where the
  // first photo of 2008/05/30 is to go, so that its row reads 重複.
  void MakeCard() {
    int number = 1;
    for (const char* photo : kCardPhotos) {
      char name[64];
      std::snprintf(name, sizeof name, "card/DCIM/100KURON/IMG_%04d.JPG",
                    number);
      SetModified(
          testing::CopyTestFile(program_.dir(),
                                std::string("camera-jpegs/") + photo, name),
          number);
      ++number;
    }
    destination_ = program_.dir().MakeDir("Photos") + "/";
    testing::CopyTestFile(program_.dir(), "camera-jpegs/Canon_40D.jpg",
                          "Photos/2008_05_30/2008_05_30a0.JPG");
  }

  // 詳細設定: switch the Exif date on and store it with 更新.
  void ShowDetailSettings() {
    AnswerNextModal([this](QWidget* modal) {
      if (auto* exif = modal->findChild<QCheckBox*>("CheckBox3"))
        exif->setChecked(true);
      Save(modal, "detail-settings.png");
      if (auto* update = modal->findChild<QPushButton*>("SpeedButton1"))
        update->click();
      modal->close();
    });
    FindAction(&Main(), "OptionMainM")->trigger();
  }

  // フォルダを開く: the picker opens at the card, remembered from an earlier
  // choice, selected and scrolled into view.
  void OpenCard() {
    const std::string card = program_.dir().Path("card");
    Main().FolderPicker()->SetPath(card + "/");
    AnswerNextModal([this, card](QWidget* modal) {
      auto* picker = qobject_cast<TFolderDialogForm*>(modal);
      if (picker == nullptr || picker->SelectedPath() != card) {
        modal->close();
        return;
      }
      Save(picker, "folder-picker.png");
      picker->OkButton->click();
    });
    Main().findChild<QToolButton*>("SpeedButton1")->click();
  }

  // 既存フォルダの選択: the destination, chosen in the picker.
  void ChooseDestination() {
    testing::ChooseFolderInPicker(destination_);
    Main().findChild<QToolButton*>("SpeedButton4")->click();
  }

  // Two photos left out with Check Off; the checked rows show their colour.
  // The window is widened as a user would, so that the folders show whole.
  void ShowMainWindow() {
    Main().resize(kMainWindowPictured);
    auto* list = Main().findChild<QTableView*>("ListViewM");
    if (list == nullptr || list->model()->rowCount() < 4) return;
    QAbstractItemModel* rows = list->model();
    list->selectionModel()->clearSelection();
    for (int row : {3, 4}) {
      list->selectionModel()->select(
          rows->index(row, 0),
          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    FindAction(&Main(), "Off1")->trigger();
    list->selectionModel()->clearSelection();
    Save(&Main(), "main-window.png");
  }

  // 実行: the plan as it opens, with 実行 reached by Tab from the list, as
  // a keyboard user sees it; then the outcome of the run, the focus on
  // 閉じる.
  void ShowProcessing() {
    AnswerNextModal([this](QWidget* modal) {
      if (qobject_cast<ProcessingWindow*>(modal) == nullptr) {
        modal->close();
        return;
      }
      WaitForFocus(modal);
      if (auto* list = modal->findChild<QTableView*>("ListViewFile"))
        QTest::keyClick(list, Qt::Key_Tab);
      Save(modal, "processing-before.png");
      testing::RunPlanAndWait(*qobject_cast<ProcessingWindow*>(modal));
      Save(modal, "processing-after.png");
      modal->findChild<QPushButton*>("SpeedButton2")->click();
    });
    Main().findChild<QToolButton*>("SpeedButton2")->click();
  }

  QString out_dir_;
  ProgramUnderTest program_;
  std::string destination_;
  std::vector<Screenshot> shots_;
};

}  // namespace

std::vector<QString> ScreenshotNames() {
  return {"detail-settings.png", "folder-picker.png", "main-window.png",
          "processing-before.png", "processing-after.png"};
}

std::vector<Screenshot> TakeScreenshots(const QString& out_dir) {
  Tour tour(out_dir);
  return tour.Run();
}

}  // namespace kuronel
