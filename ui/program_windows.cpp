#include "ui/program_windows.h"

namespace kuronel {

std::unique_ptr<ProgramWindows> CreateProgramWindows() {
  auto windows = std::make_unique<ProgramWindows>();
  windows->Form1 = std::make_unique<TForm1>();
  windows->Form3 = std::make_unique<TForm3>(windows->Form1->StartupFolder(),
                                            windows->Form1->ValuesInUse(),
                                            windows->Form1.get());
  windows->Form1->SetDetailSettingsWindow(windows->Form3.get());
  return windows;
}

}  // namespace kuronel
