#ifndef KURONEL_TESTING_QT_PROGRAM_UNDER_TEST_H_
#define KURONEL_TESTING_QT_PROGRAM_UNDER_TEST_H_

#include <QString>
#include <QToolButton>
#include <memory>
#include <string>

#include "testing/qt/qt_test_support.h"
#include "testing/temp_dir.h"
#include "ui/program_windows.h"

namespace kuronel::testing {

// The program's windows, started in a fresh temporary folder that is the
// current directory (and so the folder of Kuronel.ini) while they live.
class ProgramUnderTest {
 public:
  ProgramUnderTest() : current_directory_(dir_.path()) { Start(); }
  ~ProgramUnderTest() { Stop(); }

  // Reads the settings file and creates the windows, as the program starts.
  void Start() {
    const StartupValues start = LoadStartupValues();
    windows_ = CreateProgramWindows(start);
    ReportStartupProblems(start);
  }
  void Stop() { windows_.reset(); }

  const TempDir& dir() const { return dir_; }
  MainWindow& Main() { return *windows_->main_window; }
  DetailSettingsWindow& DetailWindow() {
    return *windows_->main_window->DetailSettingsWindow();
  }

  // The detail settings in use, as the detail settings window announces
  // them after a load or a save.
  void UseDetailSettings(const DetailSettings& values) {
    emit DetailWindow().DetailSettingsInUse(values);
  }

  // Opens (or adds) a folder below the test folder through the picker.
  void OpenFolder(const std::string& relative, bool add = false) {
    ChooseFolderInPicker(dir_.Path(relative));
    Main()
        .findChild<QToolButton*>(add ? "SpeedButton3" : "SpeedButton1")
        ->click();
  }

 private:
  TempDir dir_;
  ScopedCurrentDirectory current_directory_;
  std::unique_ptr<ProgramWindows> windows_;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_QT_PROGRAM_UNDER_TEST_H_
