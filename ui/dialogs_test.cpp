#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <filesystem>

#include "testing/qt/program_under_test.h"
#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/application.h"
#include "ui/destination_input_box.h"
#include "ui/detail_settings_window.h"
#include "ui/folder_dialog_form.h"
#include "ui/main_window.h"
#include "ui/select_folder_dialog.h"

using kuronel::DetailSettingsWindow;
using kuronel::TDestinationInputBox;
using kuronel::TFolderDialogForm;
using kuronel::testing::AcceptNextMessageBox;
using kuronel::testing::AnswerNextModal;
using kuronel::testing::FindAction;
using kuronel::testing::ProgramUnderTest;
using kuronel::testing::ReadFile;
using kuronel::testing::U;

namespace {

// Answers the picker: selects `folder` (when given) and presses `button`.
void AnswerPicker(const std::string& folder, std::string* opened_at = nullptr,
                  const char* button = "OkButton") {
  AnswerNextModal([=](QWidget* modal) {
    auto* form = qobject_cast<TFolderDialogForm*>(modal);
    QVERIFY(form);
    if (opened_at) *opened_at = form->SelectedPath();
    if (!folder.empty()) QVERIFY(form->SelectFolder(folder));
    form->findChild<QPushButton*>(button)->click();
  });
}

// Answers the destination input box with `typed`; `shown` receives the text
// the box held when it opened, `reason` the line under the field.
void AnswerInputBox(const QString& typed, QString* shown, bool ok = true,
                    QString* reason = nullptr) {
  AnswerNextModal([=](QWidget* modal) {
    auto* box = qobject_cast<TDestinationInputBox*>(modal);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), U("移動先フォルダ入力"));
    QCOMPARE(box->Prompt(), U("移動先フォルダを入力してください"));
    QVERIFY(box->findChild<QLineEdit*>()->width() >= 400);
    *shown = box->Text();
    if (reason) *reason = box->Reason();
    box->SetText(typed);
    ok ? box->accept() : box->reject();
  });
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { program_ = std::make_unique<ProgramUnderTest>(); }
  void cleanup() { program_.reset(); }

  void PickingAFolderSetsTheDestinationWithATrailingSeparator() {
    const std::string photos = program_->dir().MakeDir("photos");
    AnswerPicker(photos);
    Main().findChild<QToolButton*>("SpeedButton4")->click();
    QCOMPARE(Main().DestinationFolder(), photos + "/");
    QCOMPARE(Main().findChild<QPushButton*>("SpeedButtonIdousaki")->text(),
             QString::fromStdString(photos + "/"));
  }

  void ThePickerOpensWhereAnyCommandLastChose() {
    const std::string a = program_->dir().MakeDir("a");
    const std::string b = program_->dir().MakeDir("a/b");
    AnswerPicker(b);
    FindAction(&Main(), "N16")->trigger();
    std::string opened_at;
    AnswerPicker("", &opened_at, "CancelButton");
    FindAction(&Main(), "N16")->trigger();
    QCOMPARE(opened_at, b);
    // The folder went away: the picker opens at its parent.
    std::filesystem::remove_all(b);
    AnswerPicker("", &opened_at, "CancelButton");
    FindAction(&Main(), "N16")->trigger();
    QCOMPARE(opened_at, a);
    QCOMPARE(Main().DestinationFolder(), b + "/");
  }

  // After a card is opened, the destination picker still opens at the last
  // destination (one Return must not make the card the destination), and
  // the folder commands still open at the card.
  void TheDestinationPickerOpensAtTheLastDestination() {
    program_->dir().WriteFile("card/DCIM/IMG_0001.JPG", "1");
    const std::string photos = program_->dir().MakeDir("photos");
    AnswerPicker(photos);
    FindAction(&Main(), "N16")->trigger();
    program_->OpenFolder("card");
    std::string opened_at;
    AnswerPicker("", &opened_at, "CancelButton");
    FindAction(&Main(), "N16")->trigger();
    QCOMPARE(opened_at, photos);
    AnswerPicker("", &opened_at, "CancelButton");
    FindAction(&Main(), "OpenFMainM")->trigger();
    QCOMPARE(opened_at, program_->dir().Path("card"));
  }

  // The opened folder, or a folder in it, becomes the destination only when
  // the user takes it when asked; another folder is taken without a word.
  void ADestinationInTheOpenedFolderIsAskedFor() {
    program_->dir().WriteFile("card/DCIM/IMG_0001.JPG", "1");
    program_->OpenFolder("card");
    const std::string inside = program_->dir().Path("card/DCIM");
    for (const bool take : {false, true}) {
      QString question;
      AnswerNextModal([&, take](QWidget* picker) {
        auto* form = qobject_cast<TFolderDialogForm*>(picker);
        QVERIFY(form && form->SelectFolder(inside));
        form->OkButton->click();
        AnswerNextModal([&, take](QWidget* modal) {
          auto* box = qobject_cast<QMessageBox*>(modal);
          QVERIFY(box);
          question = box->text();
          take ? box->buttons()[0]->click()
               : box->button(QMessageBox::Cancel)->click();
        });
      });
      FindAction(&Main(), "N16")->trigger();
      QVERIFY2(question.endsWith(
                   QString::fromStdString(program_->dir().Path("card/"))),
               qPrintable(question));
      QCOMPARE(Main().DestinationFolder(),
               take ? inside + "/" : std::string("移動先フォルダ選択"));
    }
    QString shown;
    AnswerInputBox(QString::fromStdString(program_->dir().Path("elsewhere")),
                   &shown);
    FindAction(&Main(), "N17")->trigger();
    QCOMPARE(Main().DestinationFolder(), program_->dir().Path("elsewhere/"));
  }

  // The tree starts with the home folder and ends with "/"; a remembered
  // folder far down a long list opens selected and scrolled into view.
  void ThePickerOpensScrolledToTheRememberedFolder() {
    for (int i = 0; i < 60; ++i)
      program_->dir().MakeDir("many/" + std::to_string(100 + i));
    program_->dir().MakeDir("many/100/inner");
    const std::string last = program_->dir().Path("many/159");
    kuronel::TSelectFolderDialog* picker = Main().FolderPicker();
    picker->SetPath(last + "/");
    std::string selected;
    QString first_place, last_place, tip;
    bool in_view = false;
    int listed_on_expanding = 0;
    AnswerNextModal([&](QWidget* modal) {
      auto* form = qobject_cast<TFolderDialogForm*>(modal);
      QTreeView* tree = form->FolderTree;
      QAbstractItemModel* model = tree->model();
      first_place = model->index(0, 0).data(Qt::ToolTipRole).toString();
      last_place = model->index(model->rowCount() - 1, 0).data().toString();
      selected = form->SelectedPath();
      // A name the tree's width shortens is whole in its tip.
      tip = tree->currentIndex().data(Qt::ToolTipRole).toString();
      in_view = tree->viewport()->rect().contains(
          tree->visualRect(tree->currentIndex()));
      // A folder not read yet is read when it is opened.
      const QModelIndex first =
          model->index(0, 0, tree->currentIndex().parent());
      tree->expand(first);
      listed_on_expanding = model->rowCount(first);
      form->CancelButton->click();
    });
    picker->Execute();
    QCOMPARE(first_place, QDir::homePath());
    QCOMPARE(last_place, U("/"));
    QCOMPARE(selected, last);
    QCOMPARE(tip, QString::fromStdString(last));
    QVERIFY(in_view);
    QCOMPARE(listed_on_expanding, 1);
  }

  // カメラ in Shift_JIS, as an old card names a folder: the picker lists it
  // decoded and returns its bytes; the destination button shows it decoded
  // and the input box's OK keeps the bytes.
  void AShiftJisFolderIsShownDecodedAndChosenByItsBytes() {
    const std::string camera =
        program_->dir().MakeDir("\x83\x4a\x83\x81\x83\x89");
    QString listed;
    AnswerNextModal([&](QWidget* modal) {
      auto* form = qobject_cast<TFolderDialogForm*>(modal);
      if (!form->SelectFolder(camera)) return form->CancelButton->click();
      listed = form->FolderTree->currentIndex().data().toString();
      form->OkButton->click();
    });
    FindAction(&Main(), "N16")->trigger();
    QCOMPARE(listed, U("カメラ"));
    QCOMPARE(Main().DestinationFolder(), camera + "/");

    QString shown;
    AnswerNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<TDestinationInputBox*>(modal);
      shown = box->Text();
      box->accept();
    });
    FindAction(&Main(), "N17")->trigger();
    QVERIFY(shown.endsWith(U("/カメラ/")));
    QCOMPARE(Main().DestinationFolder(), camera + "/");

    // 終了 stores it, and the next start has it again, byte for byte.
    FindAction(&Main(), "Exit1")->trigger();
    QVERIFY(ReadFile(program_->dir().Path("Kuronel.ini"))
                .find("移動先フォルダ=" + camera + "/\r\n") !=
            std::string::npos);
    program_->Stop();
    program_->Start();
    QCOMPARE(Main().DestinationFolder(), camera + "/");
  }

  void OkWithNothingSelectedAndCancelChangeNothing() {
    kuronel::TSelectFolderDialog* picker = Main().FolderPicker();
    picker->SetPath("/");
    AnswerNextModal([](QWidget* modal) {
      auto* form = qobject_cast<TFolderDialogForm*>(modal);
      form->FolderTree->selectionModel()->clear();
      form->OkButton->click();
    });
    QVERIFY(!picker->Execute());
    QCOMPARE(picker->Path(), std::string("/"));
    AnswerNextModal(
        [](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QVERIFY(!picker->Execute());
    QCOMPARE(Main().DestinationFolder(), std::string("移動先フォルダ選択"));
  }

  void ThePickerWindowFollowsItsSettings() {
    kuronel::TSelectFolderDialog* picker = Main().FolderPicker();
    picker->SetText("保存先を選んでください");
    QString title, message;
    QSize size;
    AnswerNextModal([&](QWidget* modal) {
      auto* form = qobject_cast<TFolderDialogForm*>(modal);
      title = form->windowTitle();
      message = form->findChild<QLabel*>("MessageLabel")->text();
      size = form->size();
      QVERIFY(form->OkButton->isDefault());
      QVERIFY(form->FolderTree->hasFocus() || !form->isActiveWindow());
      QCOMPARE(form->OkButton->text(), U("OK(&O)"));
      QCOMPARE(form->CancelButton->text(), U("キャンセル(&C)"));
      QCOMPARE(form->CancelButton->geometry().right() + 1, form->width() - 8);
      form->CancelButton->click();
    });
    picker->Execute();
    QCOMPARE(title, U("フォルダ選択"));
    QCOMPARE(message, U("保存先を選んでください"));
    QCOMPARE(size, QSize(240, 360));

    // The consistency rules of the default button and the focus.
    kuronel::TSelectFolderDialog other;
    other.SetFocusedControl(kuronel::TFocusedControl::fcDefaultButton);
    QVERIFY(other.DefaultButton() == kuronel::TDefaultButton::btOk);
    other.SetDefaultButton(kuronel::TDefaultButton::btNone);
    QVERIFY(other.FocusedControl() == kuronel::TFocusedControl::fcTreeView);
  }

  void TypingARelativeFolderAsksAgainHoldingIt() {
    QString first, second, first_reason, second_reason;
    const QString typed =
        QString::fromStdString(program_->dir().Path("new/photos"));
    AnswerInputBox("photos", &first, true, &first_reason);
    QTimer::singleShot(0, [&] {
      // Registered once the first box is up, so it answers the second one.
      // Blanks after the folder are dropped, not made part of its name.
      QTimer::singleShot(200, [&] {
        AnswerInputBox(typed + "  ", &second, true, &second_reason);
      });
    });
    Main().findChild<QPushButton*>("SpeedButtonIdousaki")->click();
    QCOMPARE(first, U("移動先フォルダ選択"));
    QCOMPARE(second, U("photos"));
    QCOMPARE(first_reason, QString());
    QCOMPARE(second_reason, U(kuronel::kNotAnAbsolutePathReason));
    QCOMPARE(Main().DestinationFolder(), (typed + "/").toStdString());

    // The box opens holding the destination; Cancel keeps it.
    QString shown;
    AnswerInputBox("/elsewhere", &shown, /*ok=*/false);
    FindAction(&Main(), "N17")->trigger();
    QCOMPARE(shown, typed + "/");
    QCOMPARE(Main().DestinationFolder(), (typed + "/").toStdString());
  }

  // The reason speaks of the text that came back: typing ends it.
  void TheReasonGoesOnceTheTextChanges() {
    TDestinationInputBox box;
    box.SetText(U("photos"));
    box.SetReason(U(kuronel::kNotAnAbsolutePathReason));
    box.show();
    auto* reason = box.findChild<QLabel*>("ReasonLabel");
    QVERIFY(reason->isVisible());
    QTest::keyClick(box.findChild<QLineEdit*>("DestinationField"),
                    Qt::Key_Home);
    QCOMPARE(box.Reason(), U(kuronel::kNotAnAbsolutePathReason));
    QTest::keyClicks(box.findChild<QLineEdit*>("DestinationField"), "/");
    QCOMPARE(box.Text(), U("/photos"));
    QCOMPARE(box.Reason(), QString());
    QVERIFY(!reason->isVisible());
  }

  // The detail window's flat buttons show the focus that Tab gives them.
  void TheDetailWindowsButtonsShowTheFocus() {
    DetailSettingsWindow& detail_window = program_->DetailWindow();
    detail_window.show();
    QVERIFY(QTest::qWaitForWindowActive(&detail_window));
    auto* cancel = detail_window.findChild<QPushButton*>("SpeedButton2");
    const QImage unfocused = cancel->grab().toImage();
    for (int tab = 0; tab < 8 && QApplication::focusWidget() != cancel; ++tab)
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), cancel);
    QVERIFY(cancel->grab().toImage() != unfocused);
    QTest::keyClick(cancel, Qt::Key_Return);
    QVERIFY(!detail_window.isVisible());
  }

  void DetailWindowCancelKeepsTheValuesInUse() {
    DetailSettingsWindow& detail_window = program_->DetailWindow();
    auto* movies = detail_window.findChild<QCheckBox*>("CheckBox2");
    auto* update = detail_window.findChild<QPushButton*>("SpeedButton1");
    QCOMPARE(movies->text(),
             U("動画ファイルを標準でCheck【.mov，.avi，.mpg】"));
    QVERIFY(!update->isEnabled());
    AnswerNextModal([&](QWidget*) {
      movies->setChecked(true);
      QVERIFY(update->isEnabled());
      detail_window.findChild<QPushButton*>("SpeedButton2")->click();
    });
    FindAction(&Main(), "OptionMainM")->trigger();
    QVERIFY(!Main().CurrentSettings().CheckMoviesByDefault);
    QVERIFY(ReadFile(program_->dir().Path("Kuronel.ini")).empty());
    // Showing it again reloads what the file holds.
    AnswerNextModal([&](QWidget*) {
      QVERIFY(!movies->isChecked());
      detail_window.findChild<QPushButton*>("SpeedButton2")->click();
    });
    FindAction(&Main(), "OptionMainM")->trigger();
  }

  // The boxes added below the two of old follow them in the tab order, and
  // are stored and loaded like them.
  void TheAddedBoxesAreStoredAndLoaded() {
    struct Case {
      const char* box;
      const char* caption;
      const char* previous;  // the stop before it, and after it
      const char* next;
      const char* stored;
      bool kuronel::Settings::*value;
    };
    const Case cases[] = {
        {"CheckBox4", "RAW・HEIF・MP4も対象にする", "CheckBox3", "CheckBox5",
         "RAW・HEIF・MP4=1\r\n", &kuronel::Settings::IncludeRawHeifMp4},
        {"CheckBox5", "取り込み済みは飛ばす", "CheckBox4", "ColorBox1",
         "取り込み済みは飛ばす=1\r\n", &kuronel::Settings::SkipImported},
    };
    // The widget that Tab moves on to.
    auto next_tab_stop = [](QWidget* widget) {
      do {
        widget = widget->nextInFocusChain();
      } while ((widget->focusPolicy() & Qt::TabFocus) == 0);
      return widget;
    };
    for (const Case& c : cases) {
      DetailSettingsWindow& detail_window = program_->DetailWindow();
      auto* box = detail_window.findChild<QCheckBox*>(c.box);
      QVERIFY(box);
      QCOMPARE(box->text(), U(c.caption));
      QCOMPARE(next_tab_stop(detail_window.findChild<QWidget*>(c.previous)),
               static_cast<QWidget*>(box));
      QCOMPARE(next_tab_stop(box), detail_window.findChild<QWidget*>(c.next));
      QVERIFY(box->geometry().bottom() <
              detail_window.findChild<QWidget*>("GroupBox1")->geometry().top());
      QVERIFY(detail_window.findChild<QPushButton*>("SpeedButton1")
                  ->geometry()
                  .bottom() < detail_window.height());
      QVERIFY(!box->isChecked());
      AnswerNextModal([&](QWidget*) {
        box->setChecked(true);
        detail_window.findChild<QPushButton*>("SpeedButton1")->click();
      });
      FindAction(&Main(), "OptionMainM")->trigger();
      QVERIFY(Main().CurrentSettings().*c.value);
      QVERIFY(ReadFile(program_->dir().Path("Kuronel.ini")).find(c.stored) !=
              std::string::npos);
      program_->Stop();
      program_->Start();
      QVERIFY(Main().CurrentSettings().*c.value);
      QVERIFY(
          program_->DetailWindow().findChild<QCheckBox*>(c.box)->isChecked());
    }
  }

  void DetailWindowUpdateStoresTheColourName() {
    DetailSettingsWindow& detail_window = program_->DetailWindow();
    auto* colours = detail_window.findChild<QComboBox*>("ColorBox1");
    QCOMPARE(colours->count(), 50);
    // The colours in words, each its own, the stored name in the tip; the
    // longest words fit the box.
    QCOMPARE(colours->currentText(), U("非作業中のタイトルバー"));
    QSet<QString> words;
    for (int i = 0; i < colours->count(); ++i) {
      const QString text = colours->itemText(i);
      QVERIFY2(!text.startsWith("cl"), qPrintable(text));
      words << text;
      QVERIFY(
          colours->itemData(i, Qt::ToolTipRole).toString().startsWith("cl"));
      QVERIFY2(colours->fontMetrics().horizontalAdvance(text) <
                   colours->width() - 14 - 40,
               qPrintable(text));
    }
    QCOMPARE(words.size(), 50);
    QCOMPARE(
        colours->itemData(colours->currentIndex(), Qt::ToolTipRole).toString(),
        U("clInactiveCaption"));
    AnswerNextModal([&](QWidget*) {
      const int red = colours->findText(U("赤"));
      colours->setCurrentIndex(red);
      emit colours->activated(red);
      detail_window.findChild<QPushButton*>("SpeedButton1")->click();
    });
    FindAction(&Main(), "OptionMainM")->trigger();
    QCOMPARE(Main().CurrentSettings().TargetBackColour, 0x0000FFu);
    const std::string ini = ReadFile(program_->dir().Path("Kuronel.ini"));
    QVERIFY(ini.find("[Sub]\r\n") != std::string::npos);
    QVERIFY(ini.find("背景色=clRed\r\n") != std::string::npos);
    QVERIFY(ini.find("[Main]") == std::string::npos);
  }

  void ABadColourIsReportedAndTheCheckBoxesAreLoaded() {
    program_->Stop();
    program_->dir().WriteFile(
        "Kuronel.ini",
        "[Sub]\r\n動画ファイル=1\r\nExif情報=1\r\n背景色=grün\r\n");
    int reports = 0;
    auto answer = [&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      QVERIFY(box->text().contains(U("grün")));
      ++reports;
      box->button(QMessageBox::Ok)->click();
    };
    AnswerNextModal(answer);  // once, for the whole start
    program_->Start();
    QTRY_COMPARE_WITH_TIMEOUT(reports, 1, 10000);
    DetailSettingsWindow& detail_window = program_->DetailWindow();
    QVERIFY(detail_window.findChild<QCheckBox*>("CheckBox2")->isChecked());
    QVERIFY(detail_window.findChild<QCheckBox*>("CheckBox3")->isChecked());
    QVERIFY(detail_window.findChild<QPushButton*>("SpeedButton1")->isEnabled());
    QCOMPARE(detail_window.findChild<QComboBox*>("ColorBox1")->currentText(),
             U("非作業中のタイトルバー"));
    QVERIFY(Main().CurrentSettings().UseExifDate);
  }

  // A stored number that the colour list does not hold is written back as
  // it was, not as the entry selected before it was loaded.
  void AStoredColourOutsideTheListIsKept() {
    program_->Stop();
    program_->dir().WriteFile("Kuronel.ini", "[Sub]\r\n背景色=$00123456\r\n");
    program_->Start();
    QCOMPARE(Main().CurrentSettings().TargetBackColour, 0x00123456u);
    Main().close();
    const std::string ini = ReadFile(program_->dir().Path("Kuronel.ini"));
    QVERIFY2(ini.find("背景色=$00123456\r\n") != std::string::npos,
             ini.c_str());
  }

  // Without kuronel.chm in the start folder, Help hands the guide that is
  // built and installed with the program to xdg-open; when xdg-open finds
  // no browser (it exits non-zero) a box names the guide.
  void HelpWithoutAHelpFileOpensTheGuide() {
    const std::string handed = program_->dir().Path("handed");
    program_->dir().WriteFile(
        "bin/xdg-open",
        "#!/bin/sh\necho \"$1\" > '" + handed + "'\nexit $XDG_OPEN_EXIT\n");
    QVERIFY(QFile::setPermissions(
        QString::fromStdString(program_->dir().Path("bin/xdg-open")),
        QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH",
            QByteArray::fromStdString(program_->dir().Path("bin:")) + path);
    int documents = 0;
    Main().SetDocumentOpener(
        [&](const QString&, const QString&) { ++documents; });
    for (const char* exit_code : {"0", "3"}) {
      qputenv("XDG_OPEN_EXIT", exit_code);
      std::filesystem::remove(handed);
      const bool fails = QByteArray(exit_code) != "0";
      QString text;
      if (fails) AcceptNextMessageBox(text);
      FindAction(&Main(), "HelpM")->trigger();
      QTRY_VERIFY_WITH_TIMEOUT(!ReadFile(handed).empty(), 10000);
      const QString guide =
          QUrl(QString::fromStdString(ReadFile(handed)).trimmed())
              .toLocalFile();
      QVERIFY2(guide.endsWith("/share/kuronel/guide/guide.html"),
               qPrintable(guide));
      QVERIFY(QFileInfo(guide).isFile());
      if (fails) {
        QTRY_COMPARE_WITH_TIMEOUT(text, U(kuronel::kGuideNotOpenedText) + guide,
                                  10000);
      } else {
        QTest::qWait(300);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
      }
    }
    qputenv("PATH", path);
    QCOMPARE(documents, 0);
  }

  void HelpHandsTheFileToTheViewerAndTheButtonOnlyShowsANotice() {
    program_->dir().WriteFile("kuronel.chm", "ITSF");
    QString file, working_directory;
    int opened = 0;
    Main().SetDocumentOpener([&](const QString& f, const QString& w) {
      file = f;
      working_directory = w;
      ++opened;
    });
    int guides = 0;
    Main().SetGuideOpener(
        [&](const QUrl&, const std::function<void()>&) { ++guides; });
    FindAction(&Main(), "HelpM")->trigger();
    QCOMPARE(opened, 1);
    QCOMPARE(guides, 0);
    QCOMPARE(file, QString::fromStdString(program_->dir().Path("kuronel.chm")));
    QCOMPARE(working_directory, QCoreApplication::applicationDirPath() + "/");

    const struct {
      const char* element;
      const char* text;
    } messages[] = {
        {"HelpSpeedButton", "ダウンロード元からオンラインで参照してください。"},
        {"VerMainM", "Ver,1.1.0"},
    };
    for (const auto& message : messages) {
      QString title, text;
      AnswerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        QCOMPARE(box->buttons().size(), 1);
        // Room for the title beside the title bar's buttons.
        QVERIFY(box->width() >= kuronel::kMessageBoxMinimumWidth);
        box->button(QMessageBox::Ok)->click();
      });
      if (auto* button = Main().findChild<QToolButton*>(message.element))
        button->click();
      else
        FindAction(&Main(), message.element)->trigger();
      QCOMPARE(title, U("Kuronel"));
      QCOMPARE(text, U(message.text));
    }
    QCOMPARE(opened, 1);
  }

 private:
  kuronel::MainWindow& Main() { return program_->Main(); }

  std::unique_ptr<ProgramUnderTest> program_;
};

KURONEL_QTEST_MAIN(DialogsTest)

#include "dialogs_test.moc"
