#include "ui/program_windows.h"

#include "ui/application.h"

namespace kuronel {

ProgramWindows::ProgramWindows(const StartupValues& start)
    : file_system(RealFileSystem::Options(), RealSystemCalls()),
      session(RealSystemCalls(), file_system, start.sort),
      main_window(std::make_unique<MainWindow>(start, session)) {}

std::unique_ptr<ProgramWindows> CreateProgramWindows(
    const StartupValues& start) {
  return std::make_unique<ProgramWindows>(start);
}

void ReportStartupProblems(const StartupValues& start) {
  if (!start.settings_status.ok())
    ShowErrorReport(QString::fromStdString(start.settings_status.message()));
}

}  // namespace kuronel
