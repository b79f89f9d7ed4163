#include "ui/program_icon.h"

#include <QString>

// The resources live in a static library: naming them here makes the linker
// keep them in every program that asks for the icon. Qt's macro must stand
// outside any namespace.
static void InitProgramIconResources() { Q_INIT_RESOURCE(program_icon); }

namespace kuronel {

QIcon ProgramIcon() {
  InitProgramIconResources();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/kuronel/kuronel-%1.png").arg(size),
                 QSize(size, size));
  }
  return icon;
}

}  // namespace kuronel
