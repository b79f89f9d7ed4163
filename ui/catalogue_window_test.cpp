#include <fcntl.h>
#include <sys/stat.h>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "settings/colour_table.h"
#include "testing/qt/program_under_test.h"
#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/application.h"
#include "ui/catalogue_model.h"
#include "ui/folder_dialog_form.h"

using kuronel::CatalogueModel;
using kuronel::TFolderDialogForm;
using kuronel::testing::AnswerNextModal;
using kuronel::testing::CopyTestFile;
using kuronel::testing::FindAction;
using kuronel::testing::ProgramUnderTest;
using kuronel::testing::U;

class CatalogueWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    program_ = std::make_unique<ProgramUnderTest>();
    // A card: two photos and a movie in DCIM/100CANON, a text file at the top.
    const std::string a =
        program_->dir().WriteFile("card/DCIM/100CANON/IMG_0001.JPG", "a");
    const std::string b =
        program_->dir().WriteFile("card/DCIM/100CANON/img_0002.jpeg", "b");
    const std::string c =
        program_->dir().WriteFile("card/DCIM/100CANON/MVI_0003.AVI", "c");
    const std::string d = program_->dir().WriteFile("card/notes.txt", "d");
    kuronel::testing::SetLocalTime(a, 2004, 5, 12, 10, 20, 31);
    kuronel::testing::SetLocalTime(b, 2004, 5, 12, 0, 0, 0);
    kuronel::testing::SetLocalTime(c, 2004, 5, 13, 9, 5, 0);
    kuronel::testing::SetLocalTime(d, 2003, 1, 2, 3, 4, 6);
  }
  void cleanup() { program_.reset(); }

  void OpeningAFolderListsEveryFileDatedAndChecked() {
    program_->OpenFolder("card");
    const kuronel::FileCatalogue& rows = Model().Rows();
    QCOMPARE(rows.size(), size_t{4});
    // The first build lists the newest timestamp text first.
    QCOMPARE(Column(0, 3), U("2004/05/13 09:05:00"));
    QCOMPARE(Column(1, 3),
             U("2004/05/12 10:20:30"));       // odd second rounded down
    QCOMPARE(Column(2, 3), U("2004/05/12"));  // midnight: the date alone
    QCOMPARE(Column(3, 3), U("2003/01/02 03:04:06"));
    QCOMPARE(Column(1, 0), U("2004_05_12"));
    QCOMPARE(Column(1, 1), U("IMG_0001.JPG"));
    QCOMPARE(Column(1, 2), QString::fromStdString(
                               program_->dir().Path("card/DCIM/100CANON/")));
    // Photos checked, the movie and the text file not.
    QVERIFY(!rows[0].Checked);
    QVERIFY(rows[1].Checked && rows[2].Checked);
    QVERIFY(!rows[3].Checked);
    QCOMPARE(Main().StatusText(), U("2個のjpegファイルが対象です。"));
  }

  void AddingTheSameFolderOrAParentListsEachFileOnce() {
    program_->OpenFolder("card/DCIM");
    QCOMPARE(Model().rowCount(), 3);
    program_->OpenFolder("card/DCIM", /*add=*/true);
    QCOMPARE(Model().rowCount(), 3);
    program_->OpenFolder("card", /*add=*/true);
    QCOMPARE(Model().rowCount(), 4);
  }

  void ColumnClicksSortByTextDescendingThenAscending() {
    program_->OpenFolder("card");
    View().horizontalHeader()->sectionClicked(1);
    QCOMPARE(Column(0, 1), U("notes.txt"));  // descending, a-z as A-Z
    QCOMPARE(Column(3, 1), U("IMG_0001.JPG"));
    QCOMPARE(Main().StatusText(), U("ソートしました。"));
    QVERIFY(Timer()->isActive());
    View().horizontalHeader()->sectionClicked(3);
    QCOMPARE(Column(0, 3), U("2003/01/02 03:04:06"));  // ascending now
    QVERIFY(!Main().Sort().SortAscending);
  }

  void SortingKeepsTheSelectionOnItsRows() {
    program_->OpenFolder("card");
    View().selectionModel()->select(
        Model().index(3, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    View().horizontalHeader()->sectionClicked(1);  // notes.txt goes to the top
    QCOMPARE(Column(0, 1), U("notes.txt"));
    QVERIFY(View().selectionModel()->isRowSelected(0, QModelIndex()));
    QCOMPARE(View().selectionModel()->selectedRows().size(), 1);
  }

  void CheckCommandsCountSelectedRowsAndLeaveTheSelection() {
    program_->OpenFolder("card");
    // Nothing selected.
    FindAction(&Main(), "N5")->trigger();
    QCOMPARE(Main().StatusText(), U("0個のファイルを追加しました。"));
    // Three rows selected, one of them already checked.
    for (int row : {0, 1, 3})
      View().selectionModel()->select(
          Model().index(row, 0),
          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    FindAction(&Main(), "N5")->trigger();
    QCOMPARE(Main().StatusText(), U("3個のファイルを追加しました。"));
    QVERIFY(Model().Rows()[0].Checked && Model().Rows()[3].Checked);
    QCOMPARE(View().selectionModel()->selectedRows().size(), 3);
    FindAction(&Main(), "Off1")->trigger();
    QCOMPARE(Main().StatusText(), U("3個のファイルを対象外にしました。"));
    QVERIFY(!Model().Rows()[1].Checked && Model().Rows()[2].Checked);
    QVERIFY(Timer()->isActive());

    // Selection commands leave the checks alone.
    FindAction(&Main(), "N9")->trigger();
    QCOMPARE(View().selectionModel()->selectedRows().size(), 1);
    QVERIFY(View().selectionModel()->isRowSelected(2, QModelIndex()));
    FindAction(&Main(), "N4")->trigger();
    QCOMPARE(View().selectionModel()->selectedRows().size(), 4);
    QVERIFY(!Model().Rows()[0].Checked && Model().Rows()[2].Checked);

    // "jpegのみ対象" puts the default checks back.
    FindAction(&Main(), "jpeg2")->trigger();
    QVERIFY(Model().Rows()[1].Checked && !Model().Rows()[3].Checked);
    QCOMPARE(Main().StatusText(), U("2個のjpegファイルが対象です。"));
  }

  void CheckedRowsArePaintedInTheBackgroundColour() {
    program_->OpenFolder("card");
    const QColor colour =
        QColor::fromRgb(kuronel::ColourToRgb(kuronel::kClInactiveCaption));
    for (int column = 0; column < 4; ++column)
      QCOMPARE(Model()
                   .data(Model().index(1, column), Qt::BackgroundRole)
                   .value<QColor>(),
               colour);
    QVERIFY(!Model().data(Model().index(0, 0), Qt::BackgroundRole).isValid());
    Model().setData(Model().index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    QVERIFY(!Model().data(Model().index(1, 2), Qt::BackgroundRole).isValid());
    // The colour is read when a row is drawn.
    program_->UseDetailSettings({false, false, 0x0000FF});  // clRed
    QCOMPARE(
        Model().data(Model().index(2, 3), Qt::BackgroundRole).value<QColor>(),
        QColor(255, 0, 0));
  }

  void PhotosAreDatedByExifWhenAsked() {
    CopyTestFile(program_->dir(), "camera-jpegs/Canon_40D.jpg",
                 "exif/Canon_40D.jpg");
    CopyTestFile(program_->dir(), "camera-jpegs/Canon_40D.jpg",
                 "exif/renamed.dat");
    program_->UseDetailSettings({false, true, kuronel::kClInactiveCaption});
    program_->OpenFolder("exif");
    QCOMPARE(Model().rowCount(), 2);
    for (int row = 0; row < 2; ++row)
      QCOMPARE(Column(row, 3), U("2008/05/30 15:56:01"));
    program_->UseDetailSettings({false, false, kuronel::kClInactiveCaption});
    program_->OpenFolder("exif");
    QVERIFY(Column(0, 3) != U("2008/05/30 15:56:01"));
  }

  void ShiftJisNamesAreShownDecodedAndKeptAsBytes() {
    program_->dir().WriteFile("sjis/\x8e\xca\x90\x5e.JPG",
                              "x");  // 写真.JPG in Shift_JIS
    program_->OpenFolder("sjis");
    QCOMPARE(Column(0, 1), U("写真.JPG"));
    QCOMPARE(Model().Rows()[0].FileName, std::string("\x8e\xca\x90\x5e.JPG"));
  }

 private:
  QString Column(int row, int column) {
    return Model().data(Model().index(row, column), Qt::DisplayRole).toString();
  }
  kuronel::MainWindow& Main() { return program_->Main(); }
  CatalogueModel& Model() { return *Main().Catalogue(); }
  QTableView& View() { return *Main().findChild<QTableView*>("ListViewM"); }
  QTimer* Timer() { return Main().findChild<QTimer*>("TimerSB"); }

  std::unique_ptr<ProgramUnderTest> program_;
};

KURONEL_QTEST_MAIN(CatalogueWindowTest)

#include "catalogue_window_test.moc"
