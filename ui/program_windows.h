#ifndef KURONEL_UI_PROGRAM_WINDOWS_H_
#define KURONEL_UI_PROGRAM_WINDOWS_H_

#include <memory>

#include "platform/file_system.h"
#include "processing/form2.h"
#include "settings/form3.h"
#include "ui/form1.h"

namespace kuronel {

// The program's windows, created in start-up order: the main window first
// (it records the startup folder and loads the settings), then the
// processing window, then the detail settings window, which reads the
// settings file again. Destroyed in the opposite order.
struct ProgramWindows {
  RealFileSystem FileSystem;
  std::unique_ptr<TForm1> Form1;
  std::unique_ptr<TForm2> Form2;
  std::unique_ptr<TForm3> Form3;
};

std::unique_ptr<ProgramWindows> CreateProgramWindows();

}  // namespace kuronel

#endif  // KURONEL_UI_PROGRAM_WINDOWS_H_
