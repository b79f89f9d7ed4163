// kuronel-screenshot-tour OUT_DIR: saves pictures of the program's windows
// for the user's guide (make screenshots). Not part of the installed program.
#include <QDir>
#include <cstdio>

#include "ui/application.h"
#include "ui/screenshot_tour.h"

int main(int argc, char** argv) {
  kuronel::KuronelApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kuronel-screenshot-tour OUT_DIR\n");
    return 2;
  }
  app.UseProgramFont();
  const QString out_dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  const std::vector<kuronel::Screenshot> shots =
      kuronel::TakeScreenshots(out_dir);
  for (const kuronel::Screenshot& shot : shots)
    std::printf("%s\n", shot.file.toLocal8Bit().constData());
  if (shots.size() != kuronel::ScreenshotNames().size()) {
    std::fprintf(stderr, "kuronel-screenshot-tour: only %zu of %zu pictures\n",
                 shots.size(), kuronel::ScreenshotNames().size());
    return 1;
  }
  return 0;
}
