#ifndef KURONEL_CATALOGUE_READER_THREADS_H_
#define KURONEL_CATALOGUE_READER_THREADS_H_

#include <cstddef>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

namespace kuronel {

// How many reads the catalogue keeps in flight on a card. A read from a
// card mostly waits, for the card reader and, through a FUSE driver, for
// the driver as well; both answer sooner with several requests before them.
// The number suits the drive, not the cores: with the files in the cache
// the readers merely take turns.
inline constexpr size_t kReadsInFlight = 16;

// Threads that read for the catalogue. On the way out, however it is taken,
// all of them are told to stop before the first is joined, so that an
// exception does not wait for the rest of the card.
class ReaderThreads {
 public:
  ReaderThreads() = default;
  ReaderThreads(const ReaderThreads&) = delete;
  ReaderThreads& operator=(const ReaderThreads&) = delete;
  ~ReaderThreads() {
    for (std::jthread& thread : threads_) thread.request_stop();
  }  // then each std::jthread joins as it goes

  // Starts `work(std::stop_token)` on up to `wanted` threads of its own;
  // fewer, or none, when the system starts no more: the threads started
  // then share the work.
  template <typename Work>
  void StartUpTo(size_t wanted, const Work& work) {
    for (size_t k = 0; k < wanted; ++k) {
      try {
        threads_.emplace_back(work);
      } catch (const std::system_error&) {
        return;
      }
    }
  }
  size_t size() const { return threads_.size(); }
  bool empty() const { return threads_.empty(); }

 private:
  std::vector<std::jthread> threads_;
};

}  // namespace kuronel

#endif  // KURONEL_CATALOGUE_READER_THREADS_H_
