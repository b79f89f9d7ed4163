#include "ui/program_windows.h"

#include "catalogue/catalogue_model.h"

namespace kuronel {

std::unique_ptr<ProgramWindows> CreateProgramWindows() {
  auto windows = std::make_unique<ProgramWindows>();
  windows->Form1 = std::make_unique<TForm1>();
  TForm1* form1 = windows->Form1.get();
  windows->Form2 = std::make_unique<TForm2>(
      [form1]() -> const FileCatalogue& { return form1->Catalogue()->Rows(); },
      [form1] { return form1->CurrentSettings(); },
      [form1] { return form1->OpenedFolders(); }, form1->Sort(),
      windows->FileSystem, form1);
  form1->SetProcessingWindow(windows->Form2.get());
  windows->Form3 = std::make_unique<TForm3>(windows->Form1->StartupFolder(),
                                            windows->Form1->ValuesInUse(),
                                            windows->Form1.get());
  windows->Form1->SetDetailSettingsWindow(windows->Form3.get());
  return windows;
}

}  // namespace kuronel
