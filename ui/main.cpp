#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "ui/application.h"
#include "ui/program_windows.h"

namespace {

constexpr char kNoDisplayFound[] =
    "kuronel: no display was found (DISPLAY and WAYLAND_DISPLAY are not "
    "set); on a machine without one, start it as: xvfb-run kuronel\n";
constexpr char kDisplayNotOpened[] =
    "kuronel: no display could be opened (see above); on a machine without "
    "one, start it as: xvfb-run kuronel\n";

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// True when Qt is told which platform to use (QT_QPA_PLATFORM, -platform):
// then whether it needs a display is for Qt to find out.
bool PlatformChosen(int argc, char** argv) {
  if (IsSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-platform" || arg == "--platform") return true;
  }
  return false;
}

QtMessageHandler qt_message_handler = nullptr;

// Without a display Qt ends the program with a fatal message while it makes
// the application object, and aborts (a core dump, status 134). Its warnings
// before that say which display failed; the fatal message that follows is
// replaced by one line and status 1.
void EndWithoutDisplay(QtMsgType type, const QMessageLogContext& context,
                       const QString& message) {
  if (type != QtFatalMsg ||
      !message.contains(QStringLiteral("platform plugin"))) {
    qt_message_handler(type, context, message);
    return;
  }
  std::fputs(kDisplayNotOpened, stderr);
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (!PlatformChosen(argc, argv) && !IsSet("DISPLAY") &&
      !IsSet("WAYLAND_DISPLAY")) {
    std::fputs(kNoDisplayFound, stderr);
    return 1;
  }
  qt_message_handler = qInstallMessageHandler(EndWithoutDisplay);
  kuronel::KuronelApplication app(argc, argv);
  qInstallMessageHandler(qt_message_handler);
  app.UseProgramFont();

  const kuronel::StartupValues start = kuronel::LoadStartupValues();
  std::unique_ptr<kuronel::ProgramWindows> windows =
      kuronel::CreateProgramWindows(start);
  windows->Form1->show();
  kuronel::ReportStartupProblems(start);
  return app.exec();
}
