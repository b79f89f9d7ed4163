#include "ui/processing_window.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/application.h"
#include "ui/path_elision.h"

using kuronel::FileCatalogue;
using kuronel::ProcessingPlan;
using kuronel::ProcessingWindow;
using kuronel::RealFileSystem;
using kuronel::Session;
using kuronel::Settings;
using kuronel::SortState;
using kuronel::StateText;
using kuronel::testing::AnswerNextModal;
using kuronel::testing::Exists;
using kuronel::testing::ReadFile;
using kuronel::testing::RunPlanAndWait;
using kuronel::testing::TempDir;
using kuronel::testing::U;

namespace {

const QString kFullBar = U("■■■■■■■■■■実行中");
const QColor kRed(255, 0, 0);

// The real disk, except that the copy or move of one source waits, once,
// until the test lets it go: a row in hand for as long as a slow flush or a
// large movie takes. It lets go by itself after a while, so that a window
// that cannot be reached meanwhile fails a test instead of hanging it.
class HeldFileSystem : public RealFileSystem {
 public:
  HeldFileSystem() : RealFileSystem(kuronel::RealSystemCalls()) {}

  void HoldAt(const std::string& source) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_source_ = source;
    held_ = released_ = let_go_by_itself_ = false;
  }
  bool Holding() {
    std::lock_guard<std::mutex> lock(mutex_);
    return holding_;
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  bool LetGoByItself() {
    std::lock_guard<std::mutex> lock(mutex_);
    return let_go_by_itself_;
  }
  // What KeepsReadOnlyMarks answers (asked on the window's thread), and the
  // folders it was asked of.
  bool keeps_read_only_marks = true;
  std::vector<std::string> asked_of_read_only;

  bool KeepsReadOnlyMarks(const std::string& folder) override {
    asked_of_read_only.push_back(folder);
    return keeps_read_only_marks;
  }

  // Copies made whole, each through CopyFileNoReplace, where one is held.
  std::unique_ptr<kuronel::CopyBatch> NewCopyBatch(
      bool mark_read_only) override {
    return FileSystem::NewCopyBatch(mark_read_only);
  }
  kuronel::CopyResult CopyFileNoReplace(
      const std::string& source, const std::string& target,
      bool source_goes_next, const kuronel::CopyProgress& progress) override {
    Hold(source);
    return RealFileSystem::CopyFileNoReplace(source, target, source_goes_next,
                                             progress);
  }
  bool MoveFileNoReplace(const std::string& source,
                         const std::string& target) override {
    Hold(source);
    return RealFileSystem::MoveFileNoReplace(source, target);
  }

 private:
  void Hold(const std::string& source) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (source != held_source_ || held_) return;
    held_ = holding_ = true;
    let_go_by_itself_ = !changed_.wait_for(lock, std::chrono::seconds(30),
                                           [this] { return released_; });
    holding_ = false;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::string held_source_;
  bool held_ = false, holding_ = false, released_ = false;
  bool let_go_by_itself_ = false;
};

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

enum StopBy { kSecondButton, kEscape, kClosingTheWindow };

}  // namespace

Q_DECLARE_METATYPE(StopBy)

class ProcessingWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    dir_ = std::make_unique<TempDir>();
    camera_ = dir_->MakeDir("camera") + "/";
    dest_ = dir_->MakeDir("dest") + "/";
    catalogue_.clear();
    settings_ = Settings();
    settings_.DestinationFolder = dest_;
    settings_.MakeReadOnly = false;
    // As the execute command leaves it: sorted by timestamp, ascending.
    file_system_.HoldAt(std::string());
    file_system_.keeps_read_only_marks = true;
    session_ = std::make_unique<Session>(kuronel::RealSystemCalls(),
                                         file_system_, SortState{3, true});
    window_ = std::make_unique<ProcessingWindow>(*session_);
  }
  void cleanup() {
    window_.reset();
    session_.reset();
    dir_.reset();
  }

  void WindowLayout() {
    QCOMPARE(window_->objectName(), U("Form2"));
    QCOMPARE(window_->windowTitle(), U("処理ファイル一覧"));
    QCOMPARE(window_->size(), QSize(592, 333));
    QVERIFY(window_->minimumSize() != window_->maximumSize());  // resizable
    Show();
    struct Expected {
      const char* name;
      const char* caption;
      int left;
    } buttons[] = {{"SpeedButton1", "実行", 0}, {"SpeedButton2", "Cancel", 72}};
    for (const Expected& b : buttons) {
      QPushButton* button = Button(b.name);
      QCOMPARE(button->text(), U(b.caption));
      QCOMPARE(button->geometry(), QRect(b.left, 2, 65, 22));
      QVERIFY(!button->autoDefault());
    }
    QCOMPARE(Button("SpeedButton1")->toolTip(), U("実行"));
    QCOMPARE(Button("SpeedButton1")->parentWidget()->height(), 26);

    QTableView* list = List();
    const char* captions[] = {"対象ファイル名", "新規ファイル", "状態"};
    // The new paths take what the others leave of the list's width.
    const int widths[] = {200, list->viewport()->width() - 300, 100};
    for (int column = 0; column < 3; ++column) {
      QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(),
               U(captions[column]));
      QCOMPARE(list->columnWidth(column), widths[column]);
    }
    QVERIFY(list->showGrid());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!list->verticalHeader()->isVisible());
    QCOMPARE(list->geometry(), QRect(0, 26, 592, 333 - 26 - 19));
    auto* status = window_->findChild<QStatusBar*>("StatusBar2");
    QVERIFY(status);
    QCOMPARE(status->height(), 19);
    QTimer* timer = Timer();
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(timer->isSingleShot());
    QVERIFY(!timer->isActive());
  }

  // Each showing shows the plan it was given, from the catalogue and
  // settings of that moment; unchecked rows stay out.
  void ShowingBuildsThePlanFromTheCheckedRows() {
    AddFile("IMG_0001.JPG", "2004/05/06 10:11:12");
    AddFile("IMG_0002.JPG", "2004/05/06 10:12:00", /*checked=*/false);
    AddFile("IMG_0003.JPG", "2004/05/06 10:13:00");
    AddFile("IMG_0004.JPG", "2004/05/07");
    dir_->WriteFile("dest/2004_05_06/2004_05_06a1.JPG", "in the way");

    Show();
    const ProcessingPlan& plan = window_->Plan();
    QCOMPARE(plan.size(), size_t{3});
    const std::string day = dest_ + "2004_05_06/2004_05_06";
    QCOMPARE(plan[0].SourcePath, camera_ + "IMG_0001.JPG");
    QCOMPARE(plan[0].NewPath, day + "a0.JPG");
    QCOMPARE(plan[1].NewPath, day + "a1.JPG");
    QCOMPARE(plan[2].NewPath, dest_ + "2004_05_07/2004_05_07a0.JPG");
    ExpectStates({"未処理", "重複", "未処理"});
    QVERIFY(!IsRed(0));
    QVERIFY(IsRed(1));
    QCOMPARE(Data(1, 1).toString(), QString::fromStdString(day + "a1.JPG"));
    QCOMPARE(Data(0, 2, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QVERIFY(Button("SpeedButton1")->isEnabled());
    QCOMPARE(Button("SpeedButton2")->text(), U("Cancel"));

    // After a run, the next showing starts over with the options then set.
    QVERIFY(RunPlanAndWait(*window_));
    QVERIFY(!Button("SpeedButton1")->isEnabled());
    window_->hide();
    settings_.RenameToDateFile = false;
    Show();
    QCOMPARE(window_->Plan().size(), size_t{3});
    QCOMPARE(window_->Plan()[0].NewPath, dest_ + "2004_05_06/IMG_0001.JPG");
    // The run left copies at the old new paths, not at these.
    ExpectStates({"未処理", "未処理", "未処理"});
    QVERIFY(Button("SpeedButton1")->isEnabled());
    QCOMPARE(Button("SpeedButton2")->text(), U("Cancel"));
  }

  // A move: each row's outcome, a source gone in between, a read-only
  // source, a file in the way.
  void RunMovesFilesAndShowsEachOutcome() {
    settings_.KeepOriginal = false;
    const std::string a = AddFile("A.JPG", "2004/05/06 10:00:00", true, "a");
    const std::string gone = AddFile("B.JPG", "2004/05/06 10:00:01");
    const std::string locked =
        AddFile("C.JPG", "2004/05/06 10:00:02", true, "c");
    const std::string d = AddFile("D.JPG", "2004/05/06 10:00:03", true, "d");
    const std::string day = dest_ + "2004_05_06/2004_05_06";
    dir_->WriteFile("dest/2004_05_06/2004_05_06a3.JPG", "older");
    Show();
    ExpectStates({"未処理", "未処理", "未処理", "重複"});

    // Before 実行 the window says, in red, that the originals go.
    QCOMPARE(RunInfo(),
             U("移動します: コピーを確かめた後、元のファイルを削除します"));
    QVERIFY(RunInfoIsRed());
    QVERIFY(!Button("NextFailureButton")->isEnabled());

    QVERIFY(::unlink(gone.c_str()) == 0);
    QVERIFY(::chmod(locked.c_str(), 0444) == 0);
    bool run_button_enabled_in_run = true;
    QString second_button_in_run;
    QMetaObject::Connection watch =
        connect(List()->model(), &QAbstractItemModel::dataChanged, this, [&] {
          if (!second_button_in_run.isEmpty()) return;
          run_button_enabled_in_run = Button("SpeedButton1")->isEnabled();
          second_button_in_run = Button("SpeedButton2")->text();
        });
    QVERIFY(RunPlanAndWait(*window_));
    disconnect(watch);
    QVERIFY(!run_button_enabled_in_run);
    QCOMPARE(second_button_in_run, U("中止"));
    QVERIFY(window_->isVisible());

    ExpectStates({"Ok", "file not found", "DelError!", "Ok"});
    QCOMPARE(RunInfo(), U("完了 2 件、失敗 2 件"));
    QVERIFY(RunInfoIsRed());
    // The row whose name was taken shows where its file went, and its tip
    // the name it was meant to have.
    QCOMPARE(Data(3, 1).toString(), QString::fromStdString(day + "a31.JPG"));
    QVERIFY(Data(3, 1, Qt::ToolTipRole)
                .toString()
                .contains(QString::fromStdString(day + "a3.JPG")));
    QCOMPARE(Data(0, 1).toString(), QString::fromStdString(day + "a0.JPG"));
    // F8 and the button go from row to row that did not succeed, round.
    QVERIFY(Button("NextFailureButton")->isEnabled());
    QTest::keyClick(List(), Qt::Key_F8);
    QCOMPARE(List()->currentIndex().row(), 1);
    QTest::keyClick(List(), Qt::Key_F8);
    QCOMPARE(List()->currentIndex().row(), 2);
    Button("NextFailureButton")->click();
    QCOMPARE(List()->currentIndex().row(), 1);
    // A failed row's state cell tells why, in the program's Japanese words
    // and the system's reason; a done one tells nothing more.
    QCOMPARE(Data(1, 2, Qt::ToolTipRole).toString(),
             QString::fromStdString(
                 gone + ": ファイルを開く: " + std::strerror(ENOENT)));
    QVERIFY(!Data(0, 2, Qt::ToolTipRole).isValid());
    for (int row = 0; row < 4; ++row) QVERIFY(IsRed(row));
    QVERIFY(!Exists(a));
    QCOMPARE(ReadFile(day + "a0.JPG"), std::string("a"));
    QVERIFY(!Exists(day + "a1.JPG"));
    QCOMPARE(ReadFile(locked), std::string("c"));
    QCOMPARE(ReadFile(day + "a2.JPG"), std::string("c"));
    QVERIFY(!Exists(d));
    QCOMPARE(ReadFile(day + "a3.JPG"), std::string("older"));
    QCOMPARE(ReadFile(day + "a31.JPG"), std::string("d"));
    ExpectRunEnded();
  }

  // While a row is in hand (a copy that takes long) the window repaints,
  // and its second button is there to stop the run.
  void TheWindowStaysAliveWhileARowIsInHand() {
    const std::string a = AddFile("A.JPG", "2004/05/06 10:00:00");
    AddFile("B.JPG", "2004/05/06 10:00:01");
    file_system_.HoldAt(a);
    Show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    PaintCounter painted(List()->viewport());
    Button("SpeedButton1")->click();
    QVERIFY(QTest::qWaitFor([this] { return file_system_.Holding(); }, 20000));
    const int paints = painted.paints;
    List()->viewport()->update();
    QVERIFY(QTest::qWaitFor([&] { return painted.paints > paints; }, 20000));
    QVERIFY(file_system_.Holding());
    QVERIFY(window_->Running());
    QVERIFY(Button("SpeedButton2")->isEnabled());
    QCOMPARE(Button("SpeedButton2")->text(), U("中止"));
    QVERIFY(RunInfo().startsWith(U("0 / 2 ファイル、0.0 MB")));
    file_system_.Release();
    QVERIFY(QTest::qWaitFor([this] { return !window_->Running(); }, 20000));
    QVERIFY(!file_system_.LetGoByItself());
    ExpectStates({"OK", "OK"});
  }

  // A stop ends the run after the row in hand; the rows not begun keep
  // their planned states, and their sources and targets are as they were.
  void AStopLeavesTheRowsNotBegunUntouched_data() {
    QTest::addColumn<StopBy>("stop_by");
    QTest::newRow("second button") << kSecondButton;
    QTest::newRow("Escape") << kEscape;
    QTest::newRow("closing the window") << kClosingTheWindow;
  }
  void AStopLeavesTheRowsNotBegunUntouched() {
    QFETCH(StopBy, stop_by);
    settings_.KeepOriginal = false;  // a row begun deletes its source
    const std::string a = AddFile("A.JPG", "2004/05/06 10:00:00", true, "a");
    const std::string b = AddFile("B.JPG", "2004/05/06 10:00:01", true, "b");
    const std::string c = AddFile("C.JPG", "2004/05/06 10:00:02", true, "c");
    const std::string day = dest_ + "2004_05_06/2004_05_06";
    dir_->WriteFile("dest/2004_05_06/2004_05_06a2.JPG", "older");
    file_system_.HoldAt(a);
    Show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    Button("SpeedButton1")->click();
    QVERIFY(QTest::qWaitFor([this] { return file_system_.Holding(); }, 20000));
    switch (stop_by) {
      case kSecondButton:
        Button("SpeedButton2")->click();
        break;
      case kEscape:
        QTest::keyClick(Button("SpeedButton2"), Qt::Key_Escape);
        break;
      case kClosingTheWindow: {
        QString question;
        AnswerNextModal([&question](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          QVERIFY(box);
          question = box->text();
          for (QAbstractButton* button : box->buttons())
            if (button->text() == U("中止して閉じる")) button->click();
        });
        window_->close();
        QVERIFY(question.startsWith(U("実行中です。")));
        break;
      }
    }
    QVERIFY(window_->Running());
    QVERIFY(!Button("SpeedButton2")->isEnabled());
    QVERIFY(RunInfo().startsWith(U("中止しています。")));
    file_system_.Release();
    QVERIFY(QTest::qWaitFor([this] { return !window_->Running(); }, 20000));
    QVERIFY(!file_system_.LetGoByItself());

    ExpectStates({"Ok", "未処理", "重複"});
    QVERIFY(!Exists(a));
    QCOMPARE(ReadFile(day + "a0.JPG"), std::string("a"));
    QCOMPARE(ReadFile(b), std::string("b"));
    QCOMPARE(ReadFile(c), std::string("c"));
    QVERIFY(!Exists(day + "a1.JPG"));
    QCOMPARE(ReadFile(day + "a2.JPG"), std::string("older"));
    QVERIFY(!Exists(day + "a21.JPG"));
    QCOMPARE(RunInfo(), U("完了 1 件、中止で未処理 2 件"));
    QCOMPARE(window_->isVisible(), stop_by != kClosingTheWindow);
    QCOMPARE(Button("SpeedButton2")->text(), U("閉じる"));
  }

  // A run refused because another run holds its folders touches no file;
  // the window says why and keeps the plan, in the order the user sorted it,
  // ready to run once the other run is over.
  void ARefusedRunLeavesThePlanReadyToRun() {
    AddFile("A.JPG", "2004/05/06 10:00:00");
    AddFile("B.JPG", "2004/05/06 10:00:01");
    Show();
    ClickHeader(0);
    ClickHeader(0);
    ExpectNames({"B.JPG", "A.JPG"});
    auto other_run =
        std::make_unique<kuronel::FolderLocks>(kuronel::RealSystemCalls());
    kuronel::LockRefusal refusal;
    QVERIFY(other_run->TryLock(
        {{dest_, kuronel::FolderLocks::Mode::kExclusive}}, refusal));
    QString report;
    kuronel::testing::AcceptNextMessageBox(report);
    QVERIFY(RunPlanAndWait(*window_));
    QVERIFY(
        report.startsWith(U("別の Kuronel が同じフォルダを処理しています。")));
    ExpectNames({"B.JPG", "A.JPG"});
    ExpectStates({"未処理", "未処理"});
    QVERIFY(!Exists(dest_ + "2004_05_06"));
    QVERIFY(Button("SpeedButton1")->isEnabled());
    QCOMPARE(Button("SpeedButton2")->text(), U("Cancel"));
    QCOMPARE(RunInfo(), U("コピーします: 元のファイルはそのまま残します"));

    other_run.reset();
    QVERIFY(RunPlanAndWait(*window_));
    ExpectNames({"B.JPG", "A.JPG"});
    ExpectStates({"OK", "OK"});
    QVERIFY(Exists(dest_ + "2004_05_06/2004_05_06a1.JPG"));
  }

  // Before 実行 the window says once that the drive the files would be made
  // read-only on cannot keep the mark, and what to do; the run goes on and
  // its rows say what happened.
  void ADriveThatCannotKeepReadOnlyIsNamedBeforeTheRun() {
    AddFile("A.JPG", "2004/05/06 10:00:00", true, "x", "DCIM/");
    const struct {
      bool make_read_only, into_date_folders, drive_keeps;
      std::string asked_of;  // empty: nothing asked
    } cases[] = {
        {true, true, false, dest_},
        {true, false, false, camera_ + "DCIM"},
        {true, true, true, dest_},
        {false, true, false, ""},
    };
    for (const auto& c : cases) {
      settings_.MakeReadOnly = c.make_read_only;
      settings_.MoveToDateFolder = c.into_date_folders;
      file_system_.keeps_read_only_marks = c.drive_keeps;
      file_system_.asked_of_read_only.clear();
      window_->hide();
      Show();
      const bool notice = c.make_read_only && !c.drive_keeps;
      QCOMPARE(ReadOnlyNotice()->isVisible(), notice);
      QCOMPARE(file_system_.asked_of_read_only,
               c.asked_of.empty() ? std::vector<std::string>()
                                  : std::vector<std::string>{c.asked_of});
    }
    window_->hide();
    settings_.MakeReadOnly = true;
    Show();
    QVERIFY(ReadOnlyNotice()->isVisible());
    QVERIFY(
        ReadOnlyNotice()->text().contains(U("「読み出し専用に変更」を外す")));
    QVERIFY(RunPlanAndWait(*window_));
    QVERIFY(!ReadOnlyNotice()->isVisible());
    ExpectStates({"OK"});
  }

  // A copy keeps the source and reads "OK" in the normal colour; a name that
  // is not UTF-8, in a folder whose name is, is shown decoded name by name
  // and its bytes still reach the file.
  void RunCopiesAndKeepsTheOriginal() {
    const std::string name = "\x83\x4a\x83\x81\x83\x89.JPG";  // カメラ in CP932
    const std::string source =
        AddFile(name, "2004/05/06 10:00:00", true, "x", "写真/");
    settings_.RenameToDateFile = false;
    Show();
    QCOMPARE(Data(0, 0).toString(),
             QString::fromStdString(camera_) + U("写真/カメラ.JPG"));
    QCOMPARE(RunInfo(), U("コピーします: 元のファイルはそのまま残します"));
    QVERIFY(!RunInfoIsRed());
    QVERIFY(RunPlanAndWait(*window_));
    ExpectStates({"OK"});
    QVERIFY(!IsRed(0));
    QCOMPARE(RunInfo(), U("完了 1 件"));
    QVERIFY(!RunInfoIsRed());
    QVERIFY(!Button("NextFailureButton")->isEnabled());
    QCOMPARE(ReadFile(source), std::string("x"));
    QCOMPARE(ReadFile(dest_ + "2004_05_06/" + name), std::string("x"));
    ExpectRunEnded();
  }

  // Two photos of one name from two folders get one new path, both
  // unprocessed; the run numbers the second. A taken name without an
  // extension gets its number at the end.
  void TakenNewPathsGetANumberAtTheRun() {
    settings_.RenameToDateFile = false;
    const std::string first =
        AddFile("IMG_0001.JPG", "2004/05/06 10:00:00", true, "first", "a/");
    AddFile("IMG_0001.JPG", "2004/05/06 10:00:01", true, "second", "b/");
    AddFile("NOTES", "2004/05/06 10:00:02", true, "notes");
    dir_->WriteFile("dest/2004_05_06/NOTES", "older");
    Show();
    const std::string day = dest_ + "2004_05_06/";
    QCOMPARE(window_->Plan()[0].NewPath, day + "IMG_0001.JPG");
    QCOMPARE(window_->Plan()[1].NewPath, day + "IMG_0001.JPG");
    ExpectStates({"未処理", "未処理", "重複"});

    QVERIFY(RunPlanAndWait(*window_));
    ExpectStates({"OK", "OK", "OK"});
    // The list shows where each file went, the plan only until then.
    QCOMPARE(Data(1, 1).toString(),
             QString::fromStdString(day + "IMG_00011.JPG"));
    QCOMPARE(Data(2, 1).toString(), QString::fromStdString(day + "NOTES1"));
    QCOMPARE(ReadFile(day + "IMG_0001.JPG"), std::string("first"));
    QCOMPARE(ReadFile(day + "IMG_00011.JPG"), std::string("second"));
    QCOMPARE(ReadFile(day + "NOTES"), std::string("older"));
    QCOMPARE(ReadFile(day + "NOTES1"), std::string("notes"));
    QCOMPARE(ReadFile(first), std::string("first"));
  }

  // Paths are elided in the middle with the whole path as the tip; each new
  // plan opens at its top left, wherever the last one was scrolled to.
  void ANewPlanOpensAtItsTopLeftWithWholePathsInTips() {
    for (int i = 0; i < 40; ++i)
      AddFile("IMG_" + std::to_string(1000 + i) + ".JPG",
              "2004/05/06 10:00:00");
    Show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QTableView* list = List();
    QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
    QCOMPARE(Data(0, 0, Qt::ToolTipRole).toString(),
             QString::fromStdString(camera_ + "IMG_1000.JPG"));
    QCOMPARE(Data(0, 1, Qt::ToolTipRole).toString(),
             QString::fromStdString(dest_ + "2004_05_06/2004_05_06a0.JPG"));
    // Narrowed, so that the columns reach past the list's width.
    window_->resize(400, window_->height());
    QTRY_VERIFY(list->horizontalScrollBar()->maximum() > 0);
    list->scrollToBottom();
    list->horizontalScrollBar()->setValue(
        list->horizontalScrollBar()->maximum());
    QVERIFY(list->verticalScrollBar()->value() > 0);
    QVERIFY(list->horizontalScrollBar()->value() > 0);
    window_->hide();
    Show();
    QCOMPARE(list->verticalScrollBar()->value(), 0);
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
  }

  // The path columns keep a path's last two names whole while they fit:
  // the date folder and the new name, not "写真/20…1/2024_04_01a0.JPG".
  void PathsKeepTheirLastTwoNamesWhole() {
    QTableView* list = List();
    for (int column : {0, 1})
      QVERIFY(qobject_cast<kuronel::PathColumnDelegate*>(
          list->itemDelegateForColumn(column)));
    QVERIFY(!list->itemDelegateForColumn(2));

    const QFontMetrics metrics(list->font());
    const QString tail = U("/2024_04_01/2024_04_01a0.JPG");
    const QString path = U("/home/aiko/Pictures/写真") + tail;
    const int tail_width = metrics.horizontalAdvance(tail);
    const int head_room = metrics.horizontalAdvance(U("/home/…"));
    struct {
      int width;
      bool whole, keeps_tail;
    } cases[] = {
        {metrics.horizontalAdvance(path), true, true},
        {tail_width + head_room, false, true},
        {tail_width - 1, false, false},  // then in the middle
    };
    for (const auto& c : cases) {
      const QString shown = kuronel::ElidePath(path, metrics, c.width);
      QVERIFY2(metrics.horizontalAdvance(shown) <= c.width, qPrintable(shown));
      QCOMPARE(shown == path, c.whole);
      QCOMPARE(shown.endsWith(tail), c.keeps_tail);
      QVERIFY2(
          c.whole || (shown.startsWith(U("/ho")) && shown.contains(U("…"))),
          qPrintable(shown));
    }
  }

  // Keyboard alone: the focus starts in the list, where Return runs
  // nothing; Tab reaches 実行, which shows the focus, and Return runs the
  // plan; then 閉じる has the focus and Space closes the window.
  void TheKeyboardAloneRunsAndClosesThePlan() {
    AddFile("A.JPG", "2004/05/06 10:00:00");
    bool answered = false;
    AnswerNextModal([&](QWidget*) {
      QVERIFY(QTest::qWaitForWindowActive(window_.get()));
      QCOMPARE(QApplication::focusWidget(), List());
      QTest::keyClick(List(), Qt::Key_Return);
      ExpectStates({"未処理"});
      QPushButton* run = Button("SpeedButton1");
      const QImage unfocused = run->grab().toImage();
      QTest::keyClick(List(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), run);
      QVERIFY(run->grab().toImage() != unfocused);
      QTest::keyClick(run, Qt::Key_Return);
      QVERIFY(QTest::qWaitFor([this] { return !window_->Running(); }, 20000));
      ExpectStates({"OK"});
      QCOMPARE(QApplication::focusWidget(), Button("SpeedButton2"));
      QTest::keyClick(Button("SpeedButton2"), Qt::Key_Space);
      answered = true;
    });
    QCOMPARE(ShowModal(), int(QDialog::Rejected));
    QVERIFY(answered);
  }

  // After the execute command's ascending date sort, the first header click
  // sorts ascending, the next descending; each flips the shared direction.
  void HeaderClickSortsByTheColumnText() {
    AddFile("c.JPG", "2004/05/06 10:00:00");
    AddFile("a.JPG", "2004/05/06 10:00:01");
    AddFile("B.JPG", "2004/05/06 10:00:02");
    dir_->WriteFile("dest/2004_05_06/2004_05_06a0.JPG", "in the way");
    Show();
    ExpectStates({"重複", "未処理", "未処理"});

    ClickHeader(0);
    ExpectNames({"a.JPG", "B.JPG", "c.JPG"});  // letters without case
    QCOMPARE(window_->Sort().SortColumn, 0);
    QVERIFY(!window_->Sort().SortAscending);
    QCOMPARE(window_->StatusText(), U("ソートしました。"));
    QVERIFY(Timer()->isActive());

    ClickHeader(0);
    ExpectNames({"c.JPG", "B.JPG", "a.JPG"});
    QVERIFY(window_->Sort().SortAscending);

    // 重複 (CP932 8F 64) before 未処理 (96 A2); equal states keep their order.
    ClickHeader(2);
    QCOMPARE(window_->Sort().SortColumn, 2);
    ExpectNames({"c.JPG", "B.JPG", "a.JPG"});
    ExpectStates({"重複", "未処理", "未処理"});
    QVERIFY(!window_->Sort().SortAscending);
    ClickHeader(1);
    ExpectNames({"B.JPG", "a.JPG", "c.JPG"});  // new paths a2, a1, a0
    QVERIFY(window_->Sort().SortAscending);
    QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QString(), 10000);
  }

  // The second button ends the modal showing, before a run and after it.
  void SecondButtonClosesTheModalWindow() {
    AddFile("IMG_0001.JPG", "2004/05/06 10:11:12");
    bool answered = false;
    AnswerNextModal([&](QWidget* modal) {
      QCOMPARE(modal, static_cast<QWidget*>(window_.get()));
      QCOMPARE(window_->Plan().size(), size_t{1});
      Button("SpeedButton2")->click();
      answered = true;
    });
    QCOMPARE(ShowModal(), int(QDialog::Rejected));
    QVERIFY(answered);

    answered = false;
    AnswerNextModal([&](QWidget*) {
      QVERIFY(RunPlanAndWait(*window_));
      QCOMPARE(Button("SpeedButton2")->text(), U("閉じる"));
      Button("SpeedButton2")->click();
      answered = true;
    });
    QCOMPARE(ShowModal(), int(QDialog::Rejected));
    QVERIFY(answered);
    QVERIFY(!window_->isVisible());
    QCOMPARE(std::string(StateText(window_->Plan()[0].State)),
             std::string("OK"));
  }

 private:
  // The window's next showing shows the plan of the test's catalogue and
  // settings as they are now, as the execute command prepares it.
  void Prepare() {
    session_->ChangeRows([this](FileCatalogue& rows) { rows = catalogue_; });
    session_->SetSettings(settings_);
    ProcessingPlan plan;
    (void)session_->PrepareRun(plan);  // an empty list: an empty plan
    window_->SetPlanToShow(std::move(plan));
  }
  void Show() {
    Prepare();
    window_->show();
  }
  int ShowModal() {
    Prepare();
    return window_->exec();
  }

  std::string AddFile(const std::string& name, const std::string& timestamp,
                      bool checked = true, const std::string& contents = "x",
                      const std::string& subfolder = "") {
    const std::string path =
        dir_->WriteFile("camera/" + subfolder + name, contents);
    kuronel::DateKey date;
    if (!kuronel::ReadTimestampText(timestamp, date).ok())
      qFatal("not a timestamp: %s", timestamp.c_str());
    catalogue_.push_back(
        kuronel::DatedRow(camera_ + subfolder, name, date, checked));
    return path;
  }

  QPushButton* Button(const char* name) {
    auto* button = window_->findChild<QPushButton*>(name);
    if (!button) qFatal("no button %s", name);
    return button;
  }
  QTableView* List() { return window_->findChild<QTableView*>("ListViewFile"); }
  QLabel* ReadOnlyNotice() {
    auto* label = window_->findChild<QLabel*>("ReadOnlyNotice");
    if (!label) qFatal("no read-only notice");
    return label;
  }
  // The line beside the buttons: what the run will do, how far it is, how
  // it ended.
  QString RunInfo() {
    auto* label = window_->findChild<QLabel*>("RunInfo");
    return label ? label->text() : QString();
  }
  bool RunInfoIsRed() {
    auto* label = window_->findChild<QLabel*>("RunInfo");
    return label && label->palette().color(QPalette::WindowText) == kRed;
  }
  QTimer* Timer() { return window_->findChild<QTimer*>("Timer2"); }
  QVariant Data(int row, int column, int role = Qt::DisplayRole) {
    QAbstractItemModel* model = List()->model();
    return model->data(model->index(row, column), role);
  }

  bool IsRed(int row) {
    for (int column = 0; column < 3; ++column) {
      QVariant colour = Data(row, column, Qt::ForegroundRole);
      if (!colour.isValid()) return false;
      if (colour.value<QColor>() != kRed) qFatal("a colour other than red");
    }
    return true;
  }

  void ExpectStates(std::initializer_list<const char*> states) {
    QCOMPARE(window_->Plan().size(), states.size());
    int row = 0;
    for (const char* state : states) {
      QCOMPARE(std::string(StateText(window_->Plan()[row].State)),
               std::string(state));
      QCOMPARE(Data(row, 2).toString(), U(state));
      ++row;
    }
  }

  void ExpectNames(std::initializer_list<const char*> names) {
    int row = 0;
    for (const char* name : names)
      QCOMPARE(window_->Plan()[row++].SourcePath, camera_ + name);
  }

  void ClickHeader(int column) {
    QHeaderView* header = List()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + 20,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
  }

  // After the last row: the full bar, cleared by the status timer; 実行 off,
  // 閉じる.
  void ExpectRunEnded() {
    QCOMPARE(window_->StatusText(), kFullBar);
    QVERIFY(Timer()->isActive());
    QVERIFY(!Button("SpeedButton1")->isEnabled());
    QVERIFY(Button("SpeedButton2")->isEnabled());
    QCOMPARE(Button("SpeedButton2")->text(), U("閉じる"));
    QTRY_COMPARE_WITH_TIMEOUT(window_->StatusText(), QString(), 10000);
    QVERIFY(!Timer()->isActive());
  }

  std::unique_ptr<TempDir> dir_;
  std::string camera_, dest_;
  FileCatalogue catalogue_;
  Settings settings_;
  HeldFileSystem file_system_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<ProcessingWindow> window_;
};

KURONEL_QTEST_MAIN(ProcessingWindowTest)

#include "processing_window_test.moc"
