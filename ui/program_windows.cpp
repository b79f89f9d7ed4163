#include "ui/program_windows.h"

#include "ui/application.h"

namespace kuronel {

std::unique_ptr<ProgramWindows> CreateProgramWindows(
    const StartupValues& start) {
  auto windows = std::make_unique<ProgramWindows>();
  windows->Form1 = std::make_unique<TForm1>(start, windows->file_system);
  return windows;
}

void ReportStartupProblems(const StartupValues& start) {
  if (!start.settings_status.ok())
    ShowErrorReport(QString::fromStdString(start.settings_status.message()));
}

}  // namespace kuronel
