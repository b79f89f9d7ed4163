#ifndef KURONEL_UI_PROGRAM_WINDOWS_H_
#define KURONEL_UI_PROGRAM_WINDOWS_H_

#include <memory>

#include "platform/file_system.h"
#include "processing/session.h"
#include "ui/detail_settings_window.h"
#include "ui/main_window.h"
#include "ui/processing_window.h"
#include "ui/startup_values.h"

namespace kuronel {

// The program's windows, the session they share and the disk it works on.
// The main window owns the processing and the detail settings windows; it
// goes before the session, which goes before the disk.
struct ProgramWindows {
  explicit ProgramWindows(const StartupValues& start);

  RealFileSystem file_system;
  Session session;
  std::unique_ptr<MainWindow> main_window;
};

// The windows for what the program started with, in start-up order.
std::unique_ptr<ProgramWindows> CreateProgramWindows(
    const StartupValues& start);

// What went wrong reading the settings, in the "Kuronel" box; for after the
// main window is shown.
void ReportStartupProblems(const StartupValues& start);

}  // namespace kuronel

#endif  // KURONEL_UI_PROGRAM_WINDOWS_H_
