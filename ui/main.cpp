#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/version_line.h"
#include "ui/application.h"
#include "ui/program_windows.h"

namespace {

constexpr char kNoDisplayFound[] =
    "kuronel: no display was found (DISPLAY and WAYLAND_DISPLAY are not "
    "set); on a machine without one, start it as: xvfb-run kuronel\n";
constexpr char kDisplayNotOpened[] =
    "kuronel: no display could be opened (see above); on a machine without "
    "one, start it as: xvfb-run kuronel\n";

constexpr char kUsage[] =
    "usage: kuronel [-h | --help | --version]\n"
    "\n"
    "Kuronel puts a camera's photos and movies in order by date: it lists the\n"
    "files of the folders you open with their dates and copies or moves the\n"
    "ones you check into a folder for each day, under names made of the date.\n"
    "Its window is in Japanese and needs a display; every choice is made in\n"
    "the window and kept in Kuronel.ini in the folder it was started from.\n"
    "\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the name and version and exit\n"
    "\n"
    "The same job without a window: kuronel-batch (see kuronel-batch --help).\n"
    "The user's guide, in Japanese, is ヘルプ → Help in the window, or\n"
    "share/kuronel/guide/guide.html where Kuronel is installed; see also\n"
    "man kuronel.\n";

// --version and --help answer on the terminal, with or without a display;
// nothing else of the command line is the program's (Qt takes its own).
// Returns true when one was answered.
bool AnsweredOnTheTerminal(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") {
      std::puts(kuronel::VersionLine("kuronel").c_str());
      return true;
    }
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return true;
    }
  }
  return false;
}

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
  if (AnsweredOnTheTerminal(argc, argv))
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
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
  windows->main_window->show();
  kuronel::ReportStartupProblems(start);
  return app.exec();
}
