#include "catalogue/folder_listings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>

#include "catalogue/folder_walk.h"
#include "catalogue/reader_threads.h"
#include "platform/dir_listing.h"

namespace kuronel {
namespace {

// True for an entry without a status that is a file or folder nobody can
// read, not a dangling link, a link loop or an entry gone meanwhile.
bool IsUnreadable(const DirEntry& entry) {
  return entry.status == nullptr && entry.status_error != ENOENT &&
         entry.status_error != ELOOP;
}

FolderFiles ListFolder(const std::string& folder, SystemCalls& calls) {
  FolderFiles files;
  auto add = [&](const DirEntry& entry, int status_error) {
    files.entries.push_back(FolderFiles::Entry{
        files.names.size(), static_cast<std::uint32_t>(entry.name.size()),
        status_error, entry.modified_seconds, entry.identity});
    files.names += entry.name;
  };
  files.listed = ListDirectory(
      folder,
      [&](const DirEntry& entry) {
        if (IsUnreadable(entry)) {
          add(entry, entry.status_error);
        } else if (IsListedFile(entry.attributes)) {
          add(entry, 0);
        }
      },
      calls, &files.error);
  return files;
}

// Folders listed by threads of their own, taken in order; the calling
// thread takes each listing as soon as it and all before it are made.
class ListingAhead {
 public:
  ListingAhead(const std::vector<std::string>& work_list, SystemCalls& calls)
      : work_list_(work_list),
        calls_(calls),
        listed_(work_list.size()),
        done_(work_list.size()) {}

  void Run(const std::function<void(size_t)>& before,
           const std::function<void(size_t, const FolderFiles&)>& take) {
    {
      ReaderThreads listers;  // ends before everything the listers use
      // With one folder there is nothing to list ahead.
      if (work_list_.size() >= 2)
        listers.StartUpTo(
            std::min(kReadsInFlight, work_list_.size()),
            [this](const std::stop_token& stop) { ListAll(stop); });
      for (size_t k = 0; k < work_list_.size(); ++k) {
        before(k);
        if (!listers.empty() && !WaitFor(k)) break;
        if (listers.empty()) listed_[k] = ListFolder(work_list_[k], calls_);
        take(k, listed_[k]);
        listed_[k] = FolderFiles();  // taken: its memory goes
      }
    }
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  // One lister: takes the next folder until none is left.
  void ListAll(const std::stop_token& stop) {
    try {
      for (size_t k; !stop.stop_requested() &&
                     (k = next_.fetch_add(1)) < work_list_.size();) {
        FolderFiles files = ListFolder(work_list_[k], calls_);
        std::lock_guard lock(mutex_);
        listed_[k] = std::move(files);
        done_[k] = true;
        done_changed_.notify_all();
      }
    } catch (...) {
      next_.store(work_list_.size());  // the others stop at their next take
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      done_changed_.notify_all();
    }
  }

  // Waits until folder k is listed; false when a lister failed instead.
  bool WaitFor(size_t k) {
    std::unique_lock lock(mutex_);
    done_changed_.wait(lock, [&] { return done_[k] || failure_; });
    return !failure_;
  }

  const std::vector<std::string>& work_list_;
  SystemCalls& calls_;               // used by every lister thread
  std::vector<FolderFiles> listed_;  // written under mutex_
  std::atomic<size_t> next_{0};      // the first folder nobody has taken
  std::mutex mutex_;                 // guards what follows and listed_
  std::condition_variable done_changed_;
  std::vector<bool> done_;
  std::exception_ptr failure_;
};

}  // namespace

void ListFoldersAhead(
    const std::vector<std::string>& work_list,
    const std::function<void(size_t)>& before,
    const std::function<void(size_t, const FolderFiles&)>& take,
    SystemCalls& calls) {
  ListingAhead(work_list, calls).Run(before, take);
}

}  // namespace kuronel
