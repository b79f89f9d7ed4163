#include "ui/application.h"
#include "ui/program_windows.h"

int main(int argc, char** argv) {
  kuronel::KuronelApplication app(argc, argv);
  app.UseProgramFont();

  std::unique_ptr<kuronel::ProgramWindows> windows =
      kuronel::CreateProgramWindows();
  windows->Form1->show();
  return app.exec();
}
