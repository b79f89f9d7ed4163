// kuronel-catalogue-bench: times the catalogue over a synthetic card.

#include <fcntl.h>
#include <ftw.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/card_maker.h"
#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "catalogue/catalogue_order.h"
#include "exif/exif_info.h"

namespace kuronel::bench {
namespace {

constexpr char kUsage[] =
    "usage: kuronel-catalogue-bench [--card DIR | --files N] [--runs R]\n"
    "\n"
    "Times the catalogue over a camera card: the build with and without Exif\n"
    "dates, the default checks and a column sort of each text column\n"
    "(medians of R runs, default 5, after one warm-up build), and measures\n"
    "the memory of the rows. Without --card it makes a card of N files\n"
    "(default 100000) with kuronel-make-card's defaults in a temporary folder\n"
    "under $TMPDIR or /tmp and removes it afterwards.\n";

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Median seconds of `runs` calls of `work`; `prepare` runs untimed first.
double TimeRuns(int runs, const std::function<void()>& prepare,
                const std::function<void()>& work) {
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    prepare();
    const auto start = Clock::now();
    work();
    seconds.push_back(
        std::chrono::duration<double>(Clock::now() - start).count());
  }
  return Median(seconds);
}

// A value of /proc/self/status in bytes ("VmRSS", "VmHWM").
size_t ProcStatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size() + 1, key + ":") == 0)
      return std::strtoull(line.c_str() + key.size() + 1, nullptr, 10) * 1024;
  }
  return 0;
}

void ResetPeakRss() {
  std::ofstream clear_refs("/proc/self/clear_refs");
  clear_refs << "5";
}

size_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

void RemoveTree(const std::string& root) {
  nftw(root.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
}

struct Options {
  std::string card;
  size_t files = 100000;
  int runs = 5;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--card" && i + 1 < argc) {
      options.card = argv[++i];
    } else if (arg == "--files" && i + 1 < argc) {
      options.files = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else {
      return false;
    }
  }
  return true;
}

void MeasureMemory(const std::string& card, TExifInfo& exif) {
  FileCatalogue catalogue;
  FolderWorkList work_list;
  SortState sort;
  const size_t heap_before = HeapBytesInUse();
  const size_t rss_before = ProcStatusBytes("VmRSS");
  ResetPeakRss();
  BuildCatalogue(card, catalogue, work_list, exif, false, sort, nullptr);
  const size_t rows = std::max<size_t>(catalogue.size(), 1);
  const double heap = double(HeapBytesInUse() - heap_before) / rows;
  const double peak = double(ProcStatusBytes("VmHWM") - rss_before) / rows;
  std::printf("rows: %zu, sizeof(CatalogueRow) %zu bytes\n", catalogue.size(),
              sizeof(CatalogueRow));
  std::printf(
      "memory per row: %.0f bytes held after the build (heap), "
      "%.0f bytes peak RSS during the build (target < 300)\n",
      heap, peak);
}

int Run(const Options& options) {
  std::string card = options.card;
  bool made = false;
  if (card.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/kuronel-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    card = pattern;
    made = true;
    CardOptions card_options;
    card_options.root = card;
    card_options.file_count = options.files;
    CardSummary summary;
    const auto start = Clock::now();
    if (Status status = MakeCard(card_options, summary); !status.ok()) {
      std::fprintf(stderr, "%s\n", status.message().c_str());
      RemoveTree(card);
      return 1;
    }
    std::printf(
        "card %s: %zu photos, %zu movies, %zu thumbnails, %zu texts, "
        "%zu folders (made in %.1f s)\n",
        card.c_str(), summary.photos, summary.movies, summary.thumbnails,
        summary.texts, summary.folders,
        std::chrono::duration<double>(Clock::now() - start).count());
  }

  TExifInfo exif;
  MeasureMemory(card, exif);

  FileCatalogue catalogue;
  FolderWorkList work_list;
  SortState sort;
  auto fresh = [&] {
    catalogue = FileCatalogue();
    sort = SortState();
  };
  auto build = [&](bool use_exif) {
    return [&, use_exif] {
      BuildCatalogue(card, catalogue, work_list, exif, use_exif, sort,
                     [](const std::string&) {});
    };
  };
  fresh();
  build(true)();  // warm the cache
  const double exif_on = TimeRuns(options.runs, fresh, build(true));
  const double exif_off = TimeRuns(options.runs, fresh, build(false));
  std::string last_text;
  const double checks = TimeRuns(
      options.runs, [] {},
      [&] {
        ApplyDefaultChecks(catalogue, false,
                           [&](const std::string& text) { last_text = text; });
      });
  std::printf("BuildCatalogue, %zu files, Exif on:  %.3f s (target < 5)\n",
              catalogue.size(), exif_on);
  std::printf("BuildCatalogue, %zu files, Exif off: %.3f s (target < 2)\n",
              catalogue.size(), exif_off);
  std::printf("ApplyDefaultChecks: %.3f s (%s)\n", checks, last_text.c_str());
  for (int column :
       {kFileNameColumn, kFolderColumn, kTimestampColumn, kDisplayKindColumn}) {
    const double seconds = TimeRuns(
        options.runs, [] {},
        [&] { SortByClickedColumn(catalogue, column, sort); });
    std::printf("column %d click sort: %.4f s (target < 0.3)\n", column,
                seconds);
  }
  if (made) RemoveTree(card);
  return 0;
}

}  // namespace
}  // namespace kuronel::bench

int main(int argc, char** argv) {
  kuronel::bench::Options options;
  if (!kuronel::bench::ParseOptions(argc, argv, options)) {
    std::fputs(kuronel::bench::kUsage, stderr);
    return 2;
  }
  return kuronel::bench::Run(options);
}
