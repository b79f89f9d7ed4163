#include "ui/main_window.h"

#include <qpa/qplatformwindow.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <stdexcept>

#include "testing/qt/program_under_test.h"
#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/application.h"
#include "ui/catalogue_model.h"

using kuronel::CatalogueRow;
using kuronel::FileCatalogue;
using kuronel::MainWindow;
using kuronel::testing::AcceptNextMessageBox;
using kuronel::testing::AnswerNextModal;
using kuronel::testing::FindAction;
using kuronel::testing::ProgramUnderTest;
using kuronel::testing::ReadFile;
using kuronel::testing::U;

namespace {

// The title the window system shows for a window with `caption`.
struct DesktopTitle : QPlatformWindow {
  static QString Of(const char* caption) {
    return formatWindowTitle(U(caption), U(" — "));
  }
};

FileCatalogue Rows(int count, const std::string& folder) {
  FileCatalogue rows(count);
  for (CatalogueRow& row : rows)
    row = kuronel::DatedRow(folder, "IMG_0001.JPG", {2008, 12, 31, 23, 59, 58});
  return rows;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { program_ = std::make_unique<ProgramUnderTest>(); }
  void cleanup() { program_.reset(); }

  void ToolButtonsSitAtTheirPlacesWithTheirHints() {
    struct Button {
      const char* name;
      int left, width;
      const char* hint;
      bool visible;
    } buttons[] = {
        {"SpeedButton1", 0, 23, "フォルダを開く", true},
        {"SpeedButton3", 24, 23, "フォルダを追加", true},
        {"SpeedButton2", 56, 23, "処理の実行", true},
        {"HelpSpeedButton", 88, 23, "Help", true},
        {"OptionSpeedButton", 120, 23, "Option", false},
        {"SpeedButton4", 152, 25, "既存フォルダの選択", true},
    };
    Main().show();
    for (const Button& b : buttons) {
      auto* button = Main().findChild<QToolButton*>(b.name);
      QVERIFY2(button, b.name);
      QCOMPARE(button->geometry().left(), b.left);
      QCOMPARE(button->width(), b.width);
      QCOMPARE(button->height(), 22);
      QCOMPARE(button->toolTip(), U(b.hint));
      QCOMPARE(button->isVisible(), b.visible);
      QVERIFY(button->isEnabled());
      QCOMPARE(button->icon().pixmap(16, 16).size(), QSize(16, 16));
    }
    auto* destination = Main().findChild<QPushButton*>("SpeedButtonIdousaki");
    QVERIFY(destination);
    QCOMPARE(destination->text(), U("移動先フォルダ選択"));
    QCOMPARE(destination->toolTip(), U("新規フォルダの入力"));
    QCOMPARE(destination->geometry().left(), 176);
    QCOMPARE(destination->width(), 417);
  }

  void WindowOpensAtItsDesignedSizeWithListAndStatusLine() {
    QCOMPARE(Main().windowTitle(), U("Kuronel"));
    QCOMPARE(Main().width(), 592);
    Main().show();
    QCOMPARE(Main().height() - Main().menuBar()->sizeHint().height(), 314);
    auto* list = Main().findChild<QTableView*>("ListViewM");
    QCOMPARE(list->height(), 269);
    QVERIFY(list);
    QCOMPARE(list->model()->rowCount(), 0);
    QCOMPARE(list->model()->columnCount(), 4);
    const char* captions[] = {"表示形式", "ファイル名", "フォルダ",
                              "タイムスタンプ"};
    for (int column = 0; column < 4; ++column) {
      QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(),
               U(captions[column]));
    }
    QCOMPARE(list->columnWidth(0), 100);
    QCOMPARE(list->columnWidth(1), 125);
    QVERIFY(list->columnWidth(3) >= 118);
    // The folder column takes the rest: nothing to scroll sideways.
    QCOMPARE(list->columnWidth(0) + list->columnWidth(1) +
                 list->columnWidth(2) + list->columnWidth(3),
             list->viewport()->width());
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(list->showGrid());
    QCOMPARE(list->contextMenuPolicy(), Qt::CustomContextMenu);
    QVERIFY(Main().findChild<QStatusBar*>("StatusBar1"));
    QCOMPARE(Main().StatusText(), QString());
    auto* timer = Main().findChild<QTimer*>("TimerSB");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2500);
    QVERIFY(!timer->isActive());
  }

  // Both windows can be resized and maximised; the lists take the room,
  // their widest column (the paths) the width, and the destination button
  // reaches the right edge.
  void WindowsGrowAndTheirListsTakeTheRoom() {
    auto* processing = Main().findChild<QDialog*>("Form2");
    const struct {
      QWidget* window;
      const char* list;
      int path_column;
    } windows[] = {{&Main(), "ListViewM", 2}, {processing, "ListViewFile", 1}};
    for (const auto& w : windows) {
      QVERIFY(w.window->windowFlags() & Qt::WindowMaximizeButtonHint);
      w.window->show();
      QVERIFY(w.window->windowHandle()->minimumSize() !=
              w.window->windowHandle()->maximumSize());
      auto* list = w.window->findChild<QTableView*>(w.list);
      const QSize list_before = list->size();
      const int path_before = list->columnWidth(w.path_column);
      const int other_column = list->columnWidth(w.path_column == 1 ? 2 : 3);
      w.window->resize(w.window->size() + QSize(150, 100));
      QTRY_COMPARE(list->size(), list_before + QSize(150, 100));
      QCOMPARE(list->columnWidth(w.path_column), path_before + 150);
      QCOMPARE(list->columnWidth(w.path_column == 1 ? 2 : 3), other_column);
      w.window->hide();
    }
    QCOMPARE(Main().findChild<QPushButton*>("SpeedButtonIdousaki")->width(),
             417 + 150);
  }

  // A size is stored only once the user changed it, and the next start
  // opens each window at the size it was left at.
  void WindowSizesAreKeptOnlyOnceChanged() {
    const std::string ini = program_->dir().Path("Kuronel.ini");
    Main().show();
    Main().close();
    QVERIFY(ReadFile(ini).find("[Window]") == std::string::npos);

    program_->Stop();
    program_->Start();
    Main().resize(700, 450);
    Main().findChild<QDialog*>("Form2")->resize(640, 380);
    Main().close();
    QVERIFY(ReadFile(ini).find("[Window]\r\nメイン=700x450\r\n"
                               "処理ファイル一覧=640x380\r\n") !=
            std::string::npos);

    program_->Stop();
    program_->Start();
    QCOMPARE(Main().size(), QSize(700, 450));
    QCOMPARE(Main().findChild<QDialog*>("Form2")->size(), QSize(640, 380));
  }

  // The sign shows while a run would delete the originals, whether the
  // option was toggled or loaded, and not while files are only marked
  // read-only where they stand.
  void TheMoveModeShowsWhileOriginalsWouldBeDeleted() {
    auto* sign = Main().findChild<QLabel*>("MoveModeSign");
    QVERIFY(sign);
    QVERIFY(sign->isHidden());
    FindAction(&Main(), "NokosuFMainM")->trigger();
    QVERIFY(!sign->isHidden());
    QVERIFY(sign->text().contains(U("削除")));
    FindAction(&Main(), "MoveFMainM")->trigger();
    FindAction(&Main(), "ChangeFMainM")->trigger();  // 書込み禁止のみ
    QVERIFY(sign->isHidden());
    FindAction(&Main(), "ChangeFMainM")->trigger();
    Main().close();

    program_->Stop();
    program_->Start();
    QVERIFY(!Main().findChild<QLabel*>("MoveModeSign")->isHidden());
  }

  // Every window's title is its caption alone: nothing is appended.
  void TitlesAreTheCaptionsAlone() {
    for (const char* caption :
         {"処理ファイル一覧", "詳細設定", "フォルダ選択", "移動先フォルダ入力"})
      QCOMPARE(DesktopTitle::Of(caption), U(caption));
  }

  // Measured with the list's own font: the whole time stamp fits what the
  // scroll bar leaves of its column, inside the cell's text margins.
  void AWholeTimestampFitsBesideTheScrollBar() {
    auto* list = Main().findChild<QTableView*>("ListViewM");
    Main().Catalogue()->ChangeRows(
        [](FileCatalogue& rows) { rows = Rows(60, "/media/a/CARD/DCIM/"); });
    Main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&Main()));
    QVERIFY(list->verticalScrollBar()->isVisible());
    const int column = 3;
    const int shown =
        list->viewport()->width() - list->columnViewportPosition(column);
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin,
                                                  nullptr, list) +
                       1;
    const int needed =
        list->fontMetrics().horizontalAdvance("2008/12/31 23:59:58");
    QVERIFY2(
        needed <= shown - 2 * margin,
        qPrintable(QString("%1 > %2").arg(needed).arg(shown - 2 * margin)));
  }

  // Long paths keep their start and their end; the tips hold them whole.
  void LongPathsAreElidedInTheMiddle() {
    const std::string folder =
        "/media/aiko/EOS_DIGITAL/DCIM/100CANON/2024_03_11a_holiday_by_the_sea/";
    Main().Catalogue()->ChangeRows(
        [&](FileCatalogue& rows) { rows = Rows(1, folder); });
    auto* list = Main().findChild<QTableView*>("ListViewM");
    QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
    QCOMPARE(list->model()->index(0, 2).data(Qt::ToolTipRole).toString(),
             QString::fromStdString(folder));

    auto* button = Main().findChild<QPushButton*>("SpeedButtonIdousaki");
    const std::string destination = folder + "sorted/by/date/for/the/album/";
    Main().SetDestinationFolder(destination);
    const QString caption = button->text();
    QVERIFY2(caption.startsWith("/media/") && caption.endsWith("/album/"),
             qPrintable(caption));
    QVERIFY(button->fontMetrics().horizontalAdvance(caption) < button->width());
    QCOMPARE(button->toolTip(),
             U("新規フォルダの入力\n") + QString::fromStdString(destination));
  }

  // The status line's count follows.
  void SpaceTogglesTheCurrentRowInAnyColumn() {
    Main().Catalogue()->ChangeRows(
        [](FileCatalogue& rows) { rows = Rows(2, "/a/"); });
    auto* list = Main().findChild<QTableView*>("ListViewM");
    Main().show();
    for (int column : {2, 0}) {
      list->setCurrentIndex(list->model()->index(1, column));
      QTest::keyClick(list, Qt::Key_Space);
      QVERIFY(Main().Catalogue()->Rows()[1].Checked);
      QCOMPARE(Main().StatusText(), U("1個のファイルが対象です。"));
      QTest::keyClick(list, Qt::Key_Space);
      QVERIFY(!Main().Catalogue()->Rows()[1].Checked);
      QCOMPARE(Main().StatusText(), U("0個のファイルが対象です。"));
    }
    QVERIFY(!Main().Catalogue()->Rows()[0].Checked);
  }

  // Home and End go to the first and the last row and leave the check
  // boxes in view, however narrow the window.
  void HomeAndEndMoveBetweenRowsNotSideways() {
    Main().Catalogue()->ChangeRows(
        [](FileCatalogue& rows) { rows = Rows(60, "/a/"); });
    auto* list = Main().findChild<QTableView*>("ListViewM");
    Main().show();
    Main().resize(420, Main().height());
    QTRY_VERIFY(list->horizontalScrollBar()->maximum() > 0);
    list->setCurrentIndex(list->model()->index(5, 1));
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->currentIndex(), list->model()->index(59, 0));
    QCOMPARE(list->horizontalScrollBar()->value(), 0);
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->currentIndex(), list->model()->index(0, 0));
  }

  // The execute command sorts oldest first: the row with the focus, the
  // newest, goes to the bottom, and the list follows it there.
  void TheCurrentRowIsInViewAfterTheExecuteSort() {
    Main().Catalogue()->ChangeRows([](FileCatalogue& rows) {
      for (int day = 28; day >= 1; --day) {
        for (int hour = 2; hour >= 1; --hour) {
          rows.push_back(
              kuronel::DatedRow("/a/", "IMG.JPG", {2008, 12, day, hour, 0, 0}));
          rows.back().Checked = true;
        }
      }
    });
    Main().SetDestinationFolder(program_->dir().path() + "/");
    auto* list = Main().findChild<QTableView*>("ListViewM");
    Main().show();
    list->setCurrentIndex(list->model()->index(0, 0));
    AnswerNextModal([](QWidget* modal) {
      QCOMPARE(modal->objectName(), U("Form2"));
      qobject_cast<QDialog*>(modal)->reject();
    });
    FindAction(&Main(), "N12")->trigger();
    QCOMPARE(list->currentIndex().row(), 55);
    QVERIFY(list->viewport()->rect().contains(
        list->visualRect(list->currentIndex())));
  }

  // A keyboard user starts in the list. Tab reaches every tool button in
  // turn, each showing that it has the focus, and comes back to the list.
  void TabReachesEveryButtonWithAFocusMark() {
    Main().show();
    QVERIFY(QTest::qWaitForWindowActive(&Main()));
    auto* list = Main().findChild<QTableView*>("ListViewM");
    QCOMPARE(QApplication::focusWidget(), list);
    const char* chain[] = {"SpeedButton1", "SpeedButton3",
                           "SpeedButton2", "HelpSpeedButton",
                           "SpeedButton4", "SpeedButtonIdousaki"};
    for (const char* name : chain) {
      auto* button = Main().findChild<QAbstractButton*>(name);
      const QImage unfocused = button->grab().toImage();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(QApplication::focusWidget(), button);
      QVERIFY2(button->grab().toImage() != unfocused, name);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    // Alt alone reaches the menus (the options live only there).
    QTest::keyClick(list, Qt::Key_Alt, Qt::AltModifier);
    QCOMPARE(Main().menuBar()->activeAction(),
             Main().findChild<QMenu*>("File1")->menuAction());
  }

  // Return or Space presses the button with the focus; whichever dialog it
  // opens, the focus is back in the list when it closes.
  void ButtonsPressFromTheKeyboardAndTheFocusComesBackToTheList() {
    Main().show();
    QVERIFY(QTest::qWaitForWindowActive(&Main()));
    auto* list = Main().findChild<QTableView*>("ListViewM");
    const struct {
      const char* button;
      Qt::Key key;
    } presses[] = {{"SpeedButton1", Qt::Key_Return},
                   {"SpeedButton4", Qt::Key_Space},
                   {"SpeedButtonIdousaki", Qt::Key_Return},
                   {"HelpSpeedButton", Qt::Key_Enter}};
    for (const auto& press : presses) {
      auto* button = Main().findChild<QAbstractButton*>(press.button);
      button->setFocus(Qt::TabFocusReason);
      bool answered = false;
      AnswerNextModal([&](QWidget* modal) {
        answered = true;
        QTest::keyClick(modal, Qt::Key_Escape);
      });
      QTest::keyClick(button, press.key);
      QVERIFY2(answered, press.button);
      QCOMPARE(Main().focusWidget(), list);
    }
  }

  void MenusHoldEveryItemInOrder() {
    // name and caption ("-" for a separator)
    struct Item {
      const char* name;
      const char* caption;
    };
    auto check_menu = [&](QMenu* menu, std::initializer_list<Item> items) {
      QVERIFY(menu);
      const QList<QAction*> actions = menu->actions();
      QCOMPARE(actions.size(), static_cast<qsizetype>(items.size()));
      int i = 0;
      for (const Item& item : items) {
        QAction* action = actions[i++];
        QCOMPARE(action->objectName(), U(item.name));
        if (QString(item.caption) == "-") {
          QVERIFY(action->isSeparator());
        } else {
          QCOMPARE(action->text(), U(item.caption));
          QVERIFY(action->shortcut().isEmpty());
          // Qt reports a hidden item as disabled.
          QVERIFY2(action->isEnabled() || !action->isVisible(), item.name);
        }
      }
    };
    check_menu(Main().findChild<QMenu*>("File1"),
               {{"OpenFMainM", "フォルダを開く"},
                {"AddFMainM", "フォルダを追加"},
                {"N2", "-"},
                {"N16", "既存フォルダの選択"},
                {"N17", "新規フォルダの入力"},
                {"N15", "-"},
                {"Exit1", "終了"}});
    check_menu(Main().findChild<QMenu*>("MainM0"), {{"jpeg1", "jpegのみCheck"},
                                                    {"N5", "Check On"},
                                                    {"Off1", "Check Off"},
                                                    {"N14", "-"},
                                                    {"N4", "全て選択"},
                                                    {"N9", "選択を反転"},
                                                    {"N3", "-"},
                                                    {"ActionMainM", "実行"}});
    check_menu(Main().findChild<QMenu*>("MainM1"),
               {{"MoveFMainM", "日付フォルダに移動"},
                {"ChangeFMainM", "日付ファイルに変更"},
                {"NoWriteFMainM", "読み出し専用に変更"},
                {"NokosuFMainM", "オリジナルは保存"},
                {"SaveTMainM", "処理結果のテキスト保存"},
                {"N1", "-"},
                {"OptionMainM", "詳細設定"}});
    check_menu(Main().findChild<QMenu*>("Help1"),
               {{"HelpM", "Help"}, {"VerMainM", "Ver情報"}});
    check_menu(Main().findChild<QMenu*>("PopupMenu1"),
               {{"jpeg2", "jpegのみ対象"},
                {"N5", "Check On"},
                {"Off1", "Check Off"},
                {"N13", "-"},
                {"N4", "全て選択"},
                {"N9", "選択を反転"},
                {"N11", "-"},
                {"N12", "実行"}});
    QCOMPARE(Main().menuBar()->actions().size(), 4);

    const char* options[] = {"MoveFMainM", "ChangeFMainM", "NoWriteFMainM",
                             "NokosuFMainM", "SaveTMainM"};
    for (int i = 0; i < 5; ++i) {
      QAction* item = FindAction(&Main(), options[i]);
      QCOMPARE(item->property("Tag").toInt(), 51 + i);
      QCOMPARE(item->isChecked(), i < 4);
      QCOMPARE(item->isVisible(), i < 4);
    }
  }

  // Move and rename off, read-only on; then read-only off ("全てOFF"), on
  // again ("書込み禁止のみ"), then rename on.
  void OptionRuleShowsInMenusAndStatusLine() {
    QAction* move = FindAction(&Main(), "MoveFMainM");
    QAction* rename = FindAction(&Main(), "ChangeFMainM");
    QAction* read_only = FindAction(&Main(), "NoWriteFMainM");
    QAction* keep = FindAction(&Main(), "NokosuFMainM");
    QAction* execute = FindAction(&Main(), "ActionMainM");
    QAction* popup_execute = FindAction(&Main(), "N12");
    auto* execute_button = Main().findChild<QToolButton*>("SpeedButton2");

    move->trigger();
    QVERIFY(!move->isChecked());
    QCOMPARE(Main().StatusText(), QString());
    rename->trigger();
    QCOMPARE(Main().StatusText(), U("書込み禁止のみ"));
    QVERIFY(!keep->isEnabled());
    QVERIFY(keep->isChecked());
    QVERIFY(execute->isEnabled());

    read_only->trigger();
    QCOMPARE(Main().StatusText(), U("全てOFF"));
    QVERIFY(!execute->isEnabled());
    QVERIFY(!execute_button->isEnabled());
    QVERIFY(popup_execute->isEnabled());
    QVERIFY(!keep->isEnabled());  // left as it was

    read_only->trigger();
    QCOMPARE(Main().StatusText(), U("書込み禁止のみ"));
    QVERIFY(execute->isEnabled());
    QVERIFY(execute_button->isEnabled());
    QVERIFY(!keep->isEnabled());

    Main().SetStatusText(QString());
    rename->trigger();
    QVERIFY(keep->isEnabled());
    QCOMPARE(Main().StatusText(), QString());
    QVERIFY(Main().findChild<QTimer*>("TimerSB")->isActive());
  }

  void StatusTimerClearsOnceAndIsNotRestarted() {
    auto* timer = Main().findChild<QTimer*>("TimerSB");
    Main().SetStatusText(U("ソートしました。"));
    Main().StartStatusTimer();
    // Short against the timer's 2.5 s, so that a slow machine does not let
    // it run out before the second message.
    QTest::qWait(50);
    QVERIFY(timer->isActive());
    const int remaining = timer->remainingTime();
    Main().SetStatusText(U("次のメッセージ"));
    Main().StartStatusTimer();
    QVERIFY(timer->remainingTime() <= remaining);
    QCOMPARE(Main().StatusText(), U("次のメッセージ"));
    QTRY_COMPARE_WITH_TIMEOUT(Main().StatusText(), QString(), 10000);
    QVERIFY(!timer->isActive());
  }

  // A command holds the GUI thread to its end: the status timer falling due
  // in the middle of one clears the line only once it has ended, so the text
  // the command leaves last goes too, not just the one shown before.
  void AStatusTimerDueDuringACommandClearsTheLineAfterIt() {
    program_->dir().WriteFile("card/IMG_0001.JPG", "1");
    program_->dir().WriteFile("card/IMG_0002.JPG", "2");
    program_->OpenFolder("card");
    // Past the status line's progress pacing, so that the command's first
    // text, a row's path, is painted (and events handled) before its count.
    QTest::qWait(50);
    auto* timer = Main().findChild<QTimer*>("TimerSB");
    timer->setInterval(0);  // falls due at the command's first repaint
    Main().StartStatusTimer();
    FindAction(&Main(), "jpeg2")->trigger();  // the paths, then the count
    QCOMPARE(Main().StatusText(), QString());
    QVERIFY(!timer->isActive());
  }

  void ClosingWritesTheSettingsIntoTheCurrentDirectory() {
    const std::string ini = program_->dir().Path("Kuronel.ini");
    QVERIFY(ReadFile(ini).empty());
    FindAction(&Main(), "NokosuFMainM")->trigger();  // keep original off
    Main().show();
    Main().close();
    const std::string text = ReadFile(ini);
    QVERIFY(text.find("[Main]\r\n") == 0);
    QVERIFY(text.find("オリジナルは保存=0\r\n") != std::string::npos);
    QVERIFY(text.find("日付フォルダに移動=1\r\n") != std::string::npos);
    QVERIFY(text.find("[Sub]\r\n") != std::string::npos);
    QVERIFY(text.find("移動先フォルダ") == std::string::npos);

    // The next start reads what the last one wrote.
    program_->Stop();
    program_->Start();
    QVERIFY(!FindAction(&Main(), "NokosuFMainM")->isChecked());
    QVERIFY(FindAction(&Main(), "MoveFMainM")->isChecked());
  }

  // Loaded flags do not run the option rule: with move, rename and read-only
  // all off, the execute commands stay enabled. A disabled, checked
  // "オリジナルは保存" is still saved as checked.
  void TheOptionRuleWaitsForAToggleAndDisabledItemsAreSaved() {
    program_->Stop();
    program_->dir().WriteFile(
        "Kuronel.ini",
        "[Main]\r\n日付フォルダに移動=0\r\n日付ファイルに変更=0\r\n"
        "読出し専用に変更=0\r\n");
    program_->Start();
    QVERIFY(!FindAction(&Main(), "NoWriteFMainM")->isChecked());
    QVERIFY(FindAction(&Main(), "ActionMainM")->isEnabled());
    QVERIFY(Main().findChild<QToolButton*>("SpeedButton2")->isEnabled());

    FindAction(&Main(), "NoWriteFMainM")->trigger();  // 書込み禁止のみ
    QAction* keep = FindAction(&Main(), "NokosuFMainM");
    QVERIFY(!keep->isEnabled());
    QVERIFY(keep->isChecked());
    Main().close();
    QVERIFY(ReadFile(program_->dir().Path("Kuronel.ini"))
                .find("オリジナルは保存=1\r\n") != std::string::npos);
  }

  void ExitClosesLikeTheCloseControl() {
    Main().show();
    FindAction(&Main(), "Exit1")->trigger();
    QVERIFY(!Main().isVisible());
    QVERIFY(!ReadFile(program_->dir().Path("Kuronel.ini")).empty());
  }

  void AnErrorInACommandReachesTheErrorReportAndTheProgramGoesOn() {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    AnswerNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      QCOMPARE(box->buttons().size(), 1);
      box->button(QMessageBox::Ok)->click();
    });
    bool later_command_ran = false;
    QTimer::singleShot(
        0, [] { throw std::runtime_error("ファイルが壊れています"); });
    QTimer::singleShot(50, [&] { later_command_ran = true; });
    QTRY_VERIFY_WITH_TIMEOUT(later_command_ran, 10000);
    QCOMPARE(title, U("Kuronel"));
    QCOMPARE(text, U("ファイルが壊れています"));
    QCOMPARE(icon, QMessageBox::Critical);
  }

  void ABadColourInTheSettingsFileIsReportedAndStartUpGoesOn() {
    program_->Stop();
    program_->dir().MakeDir("dest");
    program_->dir().WriteFile(
        "Kuronel.ini",
        "[Main]\r\n移動先フォルダ=" + program_->dir().Path("dest/") +
            "\r\n日付フォルダに移動=0\r\n[Sub]\r\n背景色=lavender\r\n");
    QString text;
    AcceptNextMessageBox(text);
    program_->Start();
    QVERIFY2(text.contains("lavender"), qPrintable(text));
    QVERIFY(!FindAction(&Main(), "MoveFMainM")->isChecked());
    // The load stopped at the colour: the stored destination is not applied.
    QCOMPARE(Main().DestinationFolder(), std::string("移動先フォルダ選択"));
  }

 private:
  // The main window as the program starts it, from the settings file in the
  // test's folder.
  MainWindow& Main() { return program_->Main(); }

  std::unique_ptr<ProgramUnderTest> program_;
};

KURONEL_QTEST_MAIN(MainWindowTest)

#include "main_window_test.moc"
