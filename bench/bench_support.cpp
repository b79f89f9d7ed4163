#include "bench/bench_support.h"

#include <ftw.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "bench/card_maker.h"

namespace kuronel::bench {
namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

}  // namespace

bool ParseBenchOptions(int argc, char** argv, bool with_breakdown,
                       BenchOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--card" && i + 1 < argc) {
      options.card = argv[++i];
    } else if (arg == "--files" && i + 1 < argc) {
      options.files = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--runs" && i + 1 < argc) {
      options.runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--breakdown" && with_breakdown) {
      options.breakdown = true;
    } else {
      return false;
    }
  }
  return true;
}

BenchCard::BenchCard(const BenchOptions& options, const char* name)
    : path_(options.card) {
  if (!path_.empty()) return;
  path_ = MakeTempFolder(name);
  if (path_.empty()) return;
  made_ = true;
  CardOptions card_options;
  card_options.root = path_;
  card_options.file_count = options.files;
  CardSummary summary;
  const auto start = std::chrono::steady_clock::now();
  if (Status status = MakeCard(card_options, summary); !status.ok()) {
    std::fprintf(stderr, "%s\n", status.message().c_str());
    RemoveTree(path_);
    path_.clear();
    made_ = false;
    return;
  }
  std::printf(
      "card %s: %zu photos, %zu movies, %zu thumbnails, %zu texts, "
      "%zu folders (made in %.1f s)\n",
      path_.c_str(), summary.photos, summary.movies, summary.thumbnails,
      summary.texts, summary.folders,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count());
}

BenchCard::~BenchCard() {
  if (made_) RemoveTree(path_);
}

std::string MakeTempFolder(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

void RemoveTree(const std::string& root) {
  nftw(root.c_str(), RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
}

size_t ProcStatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size() + 1, key + ":") == 0)
      return std::strtoull(line.c_str() + key.size() + 1, nullptr, 10) * 1024;
  }
  return 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle]
                           : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace kuronel::bench
