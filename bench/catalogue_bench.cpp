// kuronel-catalogue-bench: times the catalogue over a synthetic card.

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "catalogue/catalogue_builder.h"
#include "catalogue/catalogue_checks.h"
#include "catalogue/catalogue_order.h"

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

void ResetPeakRss() {
  std::ofstream clear_refs("/proc/self/clear_refs");
  clear_refs << "5";
}

size_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void MeasureMemory(const std::string& card) {
  FileCatalogue catalogue;
  FolderWorkList work_list;
  SortState sort;
  const size_t heap_before = HeapBytesInUse();
  const size_t rss_before = ProcStatusBytes("VmRSS");
  ResetPeakRss();
  BuildCatalogue(card, catalogue, work_list, RealSystemCalls(), BuildOptions{},
                 sort, nullptr);
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

int Run(const BenchOptions& options) {
  const BenchCard bench_card(options, "kuronel-bench");
  const std::string& card = bench_card.path();
  if (card.empty()) return 1;

  MeasureMemory(card);

  FileCatalogue catalogue;
  FolderWorkList work_list;
  SortState sort;
  auto fresh = [&] {
    catalogue = FileCatalogue();
    sort = SortState();
  };
  auto build = [&](bool use_exif) {
    return [&, use_exif] {
      BuildCatalogue(card, catalogue, work_list, RealSystemCalls(),
                     BuildOptions{.use_exif_date = use_exif}, sort,
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
        ApplyDefaultChecks(catalogue, {},
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
        [&] {
          ApplyPermutation(catalogue, ClickedColumnOrder(
                                          catalogue.size(),
                                          [&](size_t row) {
                                            return CatalogueColumnText(
                                                catalogue[row], column);
                                          },
                                          column, sort));
        });
    std::printf("column %d click sort: %.4f s (target < 0.3)\n", column,
                seconds);
  }
  return 0;
}

}  // namespace
}  // namespace kuronel::bench

int main(int argc, char** argv) {
  kuronel::bench::BenchOptions options;
  if (!kuronel::bench::ParseBenchOptions(argc, argv, false, options)) {
    std::fputs(kuronel::bench::kUsage, stderr);
    return 2;
  }
  return kuronel::bench::Run(options);
}
