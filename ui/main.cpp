#include <QFont>

#include "ui/application.h"
#include "ui/program_windows.h"

int main(int argc, char** argv) {
  kuronel::KuronelApplication app(argc, argv);
  // IPAPGothic stands in for the proportional Gothic font the windows were
  // designed with.
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(12);
  app.setFont(font);

  std::unique_ptr<kuronel::ProgramWindows> windows =
      kuronel::CreateProgramWindows();
  windows->Form1->show();
  return app.exec();
}
