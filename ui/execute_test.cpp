#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "testing/qt/program_under_test.h"
#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/application.h"
#include "ui/catalogue_model.h"
#include "ui/folder_dialog_form.h"
#include "ui/processing_window.h"

using kuronel::ProcessingWindow;
using kuronel::TFolderDialogForm;
using kuronel::testing::AnswerNextModal;
using kuronel::testing::CopyTestFile;
using kuronel::testing::FindAction;
using kuronel::testing::ProgramUnderTest;
using kuronel::testing::ReadFile;
using kuronel::testing::SetLocalTime;
using kuronel::testing::U;

class ExecuteTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { program_ = std::make_unique<ProgramUnderTest>(); }
  void cleanup() { program_.reset(); }

  void ChecksComeInOrderWithTheirTimerRules() {
    auto* timer = Main().findChild<QTimer*>("TimerSB");
    // No destination and an empty list: the destination message wins.
    Execute("ActionMainM");
    QCOMPARE(Main().StatusText(), U("移動先フォルダが不正です。"));
    QVERIFY(!timer->isActive());
    // Without the date folder the destination is not looked at.
    FindAction(&Main(), "MoveFMainM")->trigger();
    timer->stop();
    Execute("ActionMainM");
    QCOMPARE(Main().StatusText(), U("対象ファイルがありません"));
    QVERIFY(timer->isActive());
    timer->stop();
    // Rows, none checked: no sort, no timer.
    program_->dir().WriteFile("card/b.txt", "b");
    program_->dir().WriteFile("card/a.txt", "a");
    program_->OpenFolder("card");
    Main()
        .findChild<QTableView*>("ListViewM")
        ->horizontalHeader()
        ->sectionClicked(1);
    timer->stop();
    const std::string first = Main().Catalogue()->Rows()[0].FileName;
    Execute("N12");
    QCOMPARE(Main().StatusText(), U("選択されたファイルがありません"));
    QVERIFY(!timer->isActive());
    QCOMPARE(Main().Catalogue()->Rows()[0].FileName, first);
  }

  void TheContextMenuItemRunsWhenTheOthersAreDisabled() {
    program_->dir().WriteFile("card/IMG_0001.JPG", "1");
    program_->OpenFolder("card");
    for (const char* option : {"MoveFMainM", "ChangeFMainM", "NoWriteFMainM"})
      FindAction(&Main(), option)->trigger();
    QVERIFY(!FindAction(&Main(), "ActionMainM")->isEnabled());
    QVERIFY(!Main().findChild<QToolButton*>("SpeedButton2")->isEnabled());
    bool shown = false;
    AnswerNextModal([&](QWidget* modal) {
      shown = qobject_cast<ProcessingWindow*>(modal) != nullptr;
      modal->findChild<QPushButton*>("SpeedButton2")->click();
    });
    Execute("N12");
    QVERIFY(shown);
    QCOMPARE(Main().StatusText(), U("ファイル一覧を日付順でソートしました。"));
    QVERIFY(Main().Sort().SortAscending);
    QCOMPARE(Main().Sort().SortColumn, 3);
  }

  // The plan list and the main list share one sort direction: the execute
  // command leaves it ascending, a header click in the processing window
  // turns it, and so the main list's next column click sorts descending.
  void APlanHeaderClickTurnsTheMainListsNextSort() {
    for (const char* name : {"b.JPG", "a.JPG", "c.JPG"})
      program_->dir().WriteFile(std::string("card/") + name, "x");
    program_->OpenFolder("card");
    Main().SetDestinationFolder(program_->dir().MakeDir("photos") + "/");
    AnswerNextModal([](QWidget* modal) {
      modal->findChild<QTableView*>("ListViewFile")
          ->horizontalHeader()
          ->sectionClicked(0);
      modal->findChild<QPushButton*>("SpeedButton2")->click();
    });
    Execute("SpeedButton2");
    Main()
        .findChild<QTableView*>("ListViewM")
        ->horizontalHeader()
        ->sectionClicked(1);
    std::vector<std::string> names;
    for (const auto& row : Main().Catalogue()->Rows())
      names.push_back(row.FileName);
    QCOMPARE(names, (std::vector<std::string>{"c.JPG", "b.JPG", "a.JPG"}));
  }

  // After a sort by name the command sorts by date again, so that each day's
  // photos stand together and their suffixes run from a0 within the day.
  void TheDateSortComesBackAfterASortByName() {
    const struct {
      const char* name;
      int day, hour;
    } photos[] = {
        {"a.JPG", 7, 10}, {"b.JPG", 6, 12}, {"c.JPG", 7, 9}, {"d.JPG", 6, 11}};
    for (const auto& photo : photos)
      SetLocalTime(
          program_->dir().WriteFile(std::string("card/") + photo.name, "x"),
          2004, 5, photo.day, photo.hour, 0, 0);
    program_->OpenFolder("card");
    const std::string destination = program_->dir().MakeDir("photos") + "/";
    Main().SetDestinationFolder(destination);
    Main()
        .findChild<QTableView*>("ListViewM")
        ->horizontalHeader()
        ->sectionClicked(1);
    QCOMPARE(Main().Catalogue()->Rows()[0].FileName, std::string("d.JPG"));
    std::vector<std::string> planned;
    AnswerNextModal([&](QWidget* modal) {
      for (const auto& row : qobject_cast<ProcessingWindow*>(modal)->Plan())
        planned.push_back(row.SourcePath.substr(row.SourcePath.size() - 5) +
                          " " + row.NewPath.substr(destination.size()));
      modal->findChild<QPushButton*>("SpeedButton2")->click();
    });
    Execute("SpeedButton2");
    QCOMPARE(planned,
             (std::vector<std::string>{"d.JPG 2004_05_06/2004_05_06a0.JPG",
                                       "b.JPG 2004_05_06/2004_05_06a1.JPG",
                                       "c.JPG 2004_05_07/2004_05_07a0.JPG",
                                       "a.JPG 2004_05_07/2004_05_07a1.JPG"}));
  }

  // Open a card, choose a destination, execute and run: every photo lands in
  // its date folder under its date name, the originals stay.
  void PhotosReachTheirDateFoldersEndToEnd() {
    CopyTestFile(program_->dir(), "camera-jpegs/Canon_40D.jpg",
                 "card/DCIM/IMG_0001.JPG");
    CopyTestFile(program_->dir(), "camera-jpegs/Nikon_D70.jpg",
                 "card/DCIM/IMG_0002.JPG");
    CopyTestFile(program_->dir(), "camera-jpegs/Canon_40D.jpg",
                 "card/DCIM/IMG_0003.JPG");
    program_->dir().WriteFile("card/DCIM/notes.txt", "not a photo");
    program_->UseDetailSettings({false, true, kuronel::kClInactiveCaption});
    program_->OpenFolder("card");
    const std::string destination = program_->dir().MakeDir("photos") + "/";
    Main().SetDestinationFolder(destination);
    QStringList states;
    AnswerNextModal([&](QWidget* modal) {
      auto* processing = qobject_cast<ProcessingWindow*>(modal);
      QVERIFY(processing);
      QVERIFY(kuronel::testing::RunPlanAndWait(*processing));
      for (const auto& row : processing->Plan())
        states << QString::fromUtf8(kuronel::StateText(row.State));
      processing->findChild<QPushButton*>("SpeedButton2")->click();
    });
    Execute("SpeedButton2");
    QCOMPARE(states, QStringList({"OK", "OK", "OK"}));
    // Canon_40D: 2008:05:30 15:56:01; Nikon_D70: 2008:03:15 17:14:11.
    const std::string canon =
        ReadFile(program_->dir().Path("card/DCIM/IMG_0001.JPG"));
    QCOMPARE(ReadFile(destination + "2008_05_30/2008_05_30a0.JPG"), canon);
    QCOMPARE(ReadFile(destination + "2008_05_30/2008_05_30a1.JPG"), canon);
    QCOMPARE(ReadFile(destination + "2008_03_15/2008_03_15a0.JPG"),
             ReadFile(program_->dir().Path("card/DCIM/IMG_0002.JPG")));
  }

 private:
  void Execute(const char* element) {
    if (auto* button = Main().findChild<QToolButton*>(element))
      button->click();
    else
      FindAction(&Main(), element)->trigger();
  }
  kuronel::MainWindow& Main() { return program_->Main(); }

  std::unique_ptr<ProgramUnderTest> program_;
};

KURONEL_QTEST_MAIN(ExecuteTest)

#include "execute_test.moc"
