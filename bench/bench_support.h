#ifndef KURONEL_BENCH_BENCH_SUPPORT_H_
#define KURONEL_BENCH_BENCH_SUPPORT_H_

#include <cstddef>
#include <string>
#include <vector>

namespace kuronel::bench {

// The options every benchmark program takes.
struct BenchOptions {
  std::string card;        // --card DIR: an existing card
  size_t files = 100000;   // --files N: the size of a card made for the run
  int runs = 5;            // --runs R
  bool breakdown = false;  // --breakdown, where the program offers it
};

// Reads the options; false on anything it does not know (`--breakdown`
// only when `with_breakdown`).
bool ParseBenchOptions(int argc, char** argv, bool with_breakdown,
                       BenchOptions& options);

// The card to measure: the one given with --card, or a card of --files
// files made with the card maker's defaults in a temporary folder, removed
// again when this object goes.
class BenchCard {
 public:
  BenchCard(const BenchOptions& options, const char* name);
  ~BenchCard();
  BenchCard(const BenchCard&) = delete;
  BenchCard& operator=(const BenchCard&) = delete;

  // Empty when the card could not be made (the reason is on stderr).
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool made_ = false;
};

// A fresh folder under $TMPDIR or /tmp; empty on failure.
std::string MakeTempFolder(const char* name);
// Removes a folder with everything in it.
void RemoveTree(const std::string& root);

// A value of /proc/self/status in bytes ("VmRSS", "VmHWM").
size_t ProcStatusBytes(const std::string& key);

double Median(std::vector<double> values);

}  // namespace kuronel::bench

#endif  // KURONEL_BENCH_BENCH_SUPPORT_H_
