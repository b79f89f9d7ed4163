// kuronel-window-bench: times the main window's open-folder command and its
// column-click sort over a large camera card, through the real windows.

#include <ftw.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "testing/qt/qt_test_support.h"
#include "ui/application.h"
#include "ui/catalogue_model.h"
#include "ui/folder_dialog_form.h"
#include "ui/program_windows.h"

namespace kuronel::bench {
namespace {

constexpr char kUsage[] =
    "usage: kuronel-window-bench [--card DIR | --files N] [--runs R]\n"
    "                            [--breakdown]\n"
    "\n"
    "Opens a camera card in the real main window (offscreen unless\n"
    "QT_QPA_PLATFORM says otherwise) with Exif dates on, through the folder\n"
    "picker as a user does, and times the command until the list is filled,\n"
    "sorted and checked, then the first paint of the list: once with the\n"
    "file cache as found, then R times warm (default 3; each open replaces\n"
    "the list) and their median. Then one click on each\n"
    "column header. Prints the process's peak memory. Without --card it\n"
    "lays out a card of N files (default 100000) with kuronel-make-card's\n"
    "defaults under $TMPDIR or /tmp and removes it afterwards.\n"
    "--breakdown: then times the command's parts outside the window (the\n"
    "core's build and checks, the model's reset) to show what the window\n"
    "layer adds.\n";

constexpr double kOpenTargetSeconds = 3.0;
constexpr double kSortTargetSeconds = 0.3;

// The files on a card and how many of them are JPEG photos by extension.
struct CardCount {
  size_t files = 0;
  size_t jpegs = 0;
};
CardCount counted;  // nftw takes a plain function: CountEntry adds here

int CountEntry(const char* path, const struct stat*, int type, struct FTW*) {
  if (type != FTW_F) return 0;
  ++counted.files;
  const std::string name = path;
  const size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (char& c : extension)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".jpg" || extension == ".jpeg") ++counted.jpegs;
  return 0;
}

CardCount CountCard(const std::string& root) {
  counted = CardCount();
  nftw(root.c_str(), CountEntry, 64, FTW_PHYS);
  return counted;
}

const char* Verdict(double seconds, double target) {
  return seconds < target ? "met" : "NOT met";
}

double Seconds(const QElapsedTimer& timer) {
  return timer.nsecsElapsed() / 1e9;
}

// Answers the folder picker that the open command shows: selects `card`,
// starts `from_ok` and presses OK.
void AnswerNextModalPicker(const std::string& card, QElapsedTimer& from_ok) {
  testing::AnswerNextModal([card, &from_ok](QWidget* modal) {
    auto* picker = qobject_cast<TFolderDialogForm*>(modal);
    if (picker == nullptr || !picker->SelectFolder(card)) {
      std::fprintf(stderr, "the folder picker did not take %s\n", card.c_str());
      modal->close();
      return;
    }
    from_ok.start();
    picker->OkButton->click();
  });
}

// Opens `card` through the main window's open-folder button and the folder
// picker; returns the seconds from OK until the command returned, or -1 when
// the list does not show the whole card.
double TimeOpen(MainWindow& window, const std::string& card,
                const CardCount& count) {
  QElapsedTimer from_ok;
  AnswerNextModalPicker(card, from_ok);
  QElapsedTimer from_click;
  from_click.start();
  window.findChild<QToolButton*>("SpeedButton1")->click();
  const double command = Seconds(from_ok);
  const double with_picker = Seconds(from_click);
  QApplication::processEvents();  // the list's layout and first paint
  const double painted = Seconds(from_ok);

  const FileCatalogue& rows = window.Catalogue()->Rows();
  size_t checked = 0;
  for (const CatalogueRow& row : rows) checked += row.Checked ? 1 : 0;
  std::printf(
      "open folder, %zu files (%zu checked): %.3f s from OK until the "
      "command returns; %.3f s from the button; %.3f s until the "
      "list is painted\n",
      rows.size(), checked, command, with_picker, painted);
  if (rows.size() != count.files || checked != count.jpegs) {
    std::fprintf(stderr,
                 "the list shows %zu files, %zu checked; the card has "
                 "%zu files, %zu JPEG\n",
                 rows.size(), checked, count.files, count.jpegs);
    return -1;
  }
  return command;
}

// Median seconds of `runs` calls of `work`.
double TimeRuns(int runs, const std::function<void()>& work) {
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    QElapsedTimer timer;
    timer.start();
    work();
    seconds.push_back(Seconds(timer));
  }
  return Median(seconds);
}

// Times the open command's parts outside the window in this same process:
// the core's build and checks with status texts thrown away, the same with
// each text made a QString as the window does, and the model's reset with
// the list attached. What the command takes beyond them is the window's
// status line (its repaints and event processing).
void PrintBreakdown(MainWindow& window, const std::string& card, int runs,
                    double open) {
  FileCatalogue rows;
  const StatusSink drop = [](const std::string&) {};
  QString last;
  const StatusSink as_qstring = [&last](const std::string& text) {
    last = QString::fromStdString(text);
  };
  auto build = [&](const StatusSink& sink) {
    return [&, sink] {
      FolderWorkList work_list;
      SortState sort;
      rows.clear();
      BuildCatalogue(card, rows, work_list, RealSystemCalls(),
                     BuildOptions{.use_exif_date = true}, sort, sink);
    };
  };
  const double core_build = TimeRuns(runs, build(drop));
  const double build_texts = TimeRuns(runs, build(as_qstring));
  const double core_checks =
      TimeRuns(runs, [&] { ApplyDefaultChecks(rows, {}, drop); });
  const double checks_texts =
      TimeRuns(runs, [&] { ApplyDefaultChecks(rows, {}, as_qstring); });
  std::vector<double> resets;
  for (int run = 0; run < runs; ++run) {
    FileCatalogue shown = rows;
    QElapsedTimer timer;
    timer.start();
    window.Catalogue()->ChangeRows(
        [&](FileCatalogue& model_rows) { model_rows.swap(shown); });
    resets.push_back(Seconds(timer));  // the old rows go after the timing
  }
  const double reset = Median(resets);
  std::printf("breakdown (medians of %d):\n", runs);
  std::printf("  BuildCatalogue, texts dropped:         %.3f s\n", core_build);
  std::printf("  BuildCatalogue, texts made QStrings:   %.3f s\n", build_texts);
  std::printf("  ApplyDefaultChecks, texts dropped:     %.3f s\n", core_checks);
  std::printf("  ApplyDefaultChecks, texts as QStrings: %.3f s\n",
              checks_texts);
  std::printf("  model reset with the list:             %.3f s\n", reset);
  std::printf(
      "  the rest of the command (status line repaints, events): "
      "%.3f s\n",
      open - build_texts - checks_texts - reset);
}

double TimeColumnClick(QTableView& list, int column) {
  QElapsedTimer timer;
  timer.start();
  emit list.horizontalHeader()->sectionClicked(column);
  const double sorted = Seconds(timer);
  QApplication::processEvents();
  std::printf(
      "column %d click sort: %.3f s (target < %.1f s: %s); with the "
      "repaint %.3f s\n",
      column, sorted, kSortTargetSeconds, Verdict(sorted, kSortTargetSeconds),
      Seconds(timer));
  return sorted;
}

}  // namespace

int Run(const BenchOptions& options) {
  const BenchCard bench_card(options, "kuronel-window-bench");
  const std::string& card = bench_card.path();
  if (card.empty()) return 1;
  const CardCount count = CountCard(card);
  // The windows keep Kuronel.ini in the current folder: a scratch one.
  const std::string startup = MakeTempFolder("kuronel-window-bench-home");
  if (startup.empty() || chdir(startup.c_str()) != 0) return 1;

  int result = 0;
  {
    StartupValues start = LoadStartupValues();
    start.settings.UseExifDate = true;
    std::unique_ptr<ProgramWindows> windows = CreateProgramWindows(start);
    MainWindow& window = *windows->main_window;
    window.show();
    QApplication::processEvents();
    // The first open finds the file cache as it is (cold after a reboot or
    // on a real card); the timed ones after it run with a warm cache.
    std::printf("first open, with the file cache as found:\n  ");
    if (TimeOpen(window, card, count) < 0) result = 1;
    std::vector<double> opens;
    for (int run = 0; run < options.runs && result == 0; ++run) {
      std::printf("warm open %d:\n  ", run + 1);
      const double seconds = TimeOpen(window, card, count);
      if (seconds < 0) result = 1;
      opens.push_back(seconds);
    }
    if (result == 0) {
      const double open = Median(opens);
      std::printf(
          "open folder, median of %d warm: %.3f s (target < %.0f s: "
          "%s)\n",
          options.runs, open, kOpenTargetSeconds,
          Verdict(open, kOpenTargetSeconds));
      std::printf("status line: %s\n",
                  window.StatusText().toUtf8().constData());
    }
    if (result == 0 && options.breakdown)
      PrintBreakdown(window, card, options.runs, Median(opens));
    auto& list = *window.findChild<QTableView*>("ListViewM");
    for (int column : {1, 2, 3, 0}) TimeColumnClick(list, column);
    std::printf("peak memory (VmHWM): %.1f MB\n",
                ProcStatusBytes("VmHWM") / (1024.0 * 1024.0));
  }
  RemoveTree(startup);
  return result;
}

}  // namespace kuronel::bench

int main(int argc, char** argv) {
  kuronel::bench::BenchOptions options;
  options.runs = 3;
  if (!kuronel::bench::ParseBenchOptions(argc, argv, true, options)) {
    std::fputs(kuronel::bench::kUsage, stderr);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  kuronel::KuronelApplication app(argc, argv);
  return kuronel::bench::Run(options);
}
