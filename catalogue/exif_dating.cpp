#include "catalogue/exif_dating.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <utility>

#include "catalogue/catalogue_checks.h"
#include "catalogue/catalogue_dates.h"
#include "catalogue/reader_threads.h"
#include "exif/exif_info.h"

namespace kuronel {
namespace {

// Files a reader takes at a time: neighbours in listing order, which are
// mostly neighbours on the card too.
constexpr size_t kFilesPerTake = 8;
// Below this many files, starting readers costs more than it saves.
constexpr size_t kMinFilesForReaders = 64;
// How often the progress is brought up to date while the readers work.
constexpr std::chrono::milliseconds kProgressInterval(20);

// The Exif date of a photo with a usable one, else the file time. HasExif,
// then a write of ImageFileName for a file with a block, in one open and
// read of the file.
FileDate ExifOrFileDate(const std::string& path, std::int64_t modified_seconds,
                        TExifInfo& exif) {
  FileDate date;
  const ExifRead read = exif.ReadFileOnce(path);
  if (read.outcome == ExifReadOutcome::kRead &&
      ExifDateKey(exif.DateTimeOriginal(), date.key))
    return date;
  date.key = FileTimeDateKey(modified_seconds, exif.system_calls());
  // A photo whose block could not be read to the end is dated by its file
  // time as well, but not in silence.
  date.read_error = read.read_error;
  return date;
}

// Shows each folder's progress once, in folder order, as soon as the files
// done reach the folder's first file.
class FolderProgress {
 public:
  FolderProgress(const FolderListings& listings, size_t folder_count,
                 const std::function<void(size_t)>& show_folder)
      : listings_(listings),
        folder_count_(folder_count),
        show_folder_(show_folder) {}

  void ShowUpTo(size_t files_done) {
    // The folder of the next file to do, and every folder before it, have
    // their first file reached.
    const size_t reached = files_done < listings_.FileCount()
                               ? listings_.file(files_done).folder + 1
                               : folder_count_;
    while (shown_ < reached) show_folder_(shown_++);
  }

 private:
  const FolderListings& listings_;
  const size_t folder_count_;
  const std::function<void(size_t)>& show_folder_;
  size_t shown_ = 0;
};

// Readers of their own take the files in listing order, a few neighbours
// at a time, and put every date into its file's slot; the calling thread
// shows the progress meanwhile. Each file is read once.
class ExifDating {
 public:
  ExifDating(const FolderListings& listings,
             const std::vector<std::string>& folders, SystemCalls& calls,
             bool raw_and_heif)
      : listings_(listings),
        folders_(folders),
        calls_(calls),
        raw_and_heif_(raw_and_heif),
        count_(listings.FileCount()) {}

  std::vector<FileDate> Run(const std::function<void(size_t)>& show_folder) {
    dates_.resize(count_);
    FolderProgress progress(listings_, folders_.size(), show_folder);
    {
      // Ends before everything the readers use, on every way out.
      ReaderThreads readers;
      if (count_ >= kMinFilesForReaders) {
        // As many readers as the files keep busy.
        readers.StartUpTo(
            std::min(kReadsInFlight,
                     (count_ + kFilesPerTake - 1) / kFilesPerTake),
            [this](const std::stop_token& stop) { ReadFiles(stop); });
      }
      if (readers.empty()) {
        OnePass(progress);
      } else {
        WaitShowingProgress(readers.size(), progress);
      }
    }
    if (failure_) std::rethrow_exception(failure_);
    progress.ShowUpTo(count_);
    return std::move(dates_);
  }

 private:
  // The calling thread alone.
  void OnePass(FolderProgress& progress) {
    TExifInfo reader(calls_);
    std::string path;
    for (size_t i = 0; i < count_; ++i) {
      progress.ShowUpTo(i);
      dates_[i] = DateFile(i, reader, path);
    }
  }

  // One reader: takes the next few files until none are left.
  void ReadFiles(const std::stop_token& stop) {
    try {
      TExifInfo reader(calls_);
      std::string path;
      while (!stop.stop_requested()) {
        const size_t begin = next_.fetch_add(kFilesPerTake);
        if (begin >= count_) break;
        const size_t end = std::min(begin + kFilesPerTake, count_);
        for (size_t i = begin; i < end && !stop.stop_requested(); ++i) {
          dates_[i] = DateFile(i, reader, path);
          done_.fetch_add(1, std::memory_order_relaxed);
        }
      }
    } catch (...) {
      next_.store(count_);  // the other readers stop at their next take
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
    }
    Finish();
  }

  void Finish() {
    {
      std::lock_guard lock(mutex_);
      ++finished_;
    }
    finished_changed_.notify_one();
  }

  void WaitShowingProgress(size_t reader_count, FolderProgress& progress) {
    for (;;) {
      progress.ShowUpTo(done_.load(std::memory_order_relaxed));
      std::unique_lock lock(mutex_);
      if (finished_changed_.wait_for(lock, kProgressInterval,
                                     [&] { return finished_ == reader_count; }))
        return;
    }
  }

  FileDate DateFile(size_t index, TExifInfo& reader, std::string& path) const {
    const FolderListings::File& file = listings_.file(index);
    const std::string_view name = listings_.NameOf(file);
    path.assign(folders_[file.folder]).append(name);
    // Only what its name says is a RAW or HEIF photo is read as one: a TIFF
    // scan, or a movie in a RAW maker's boxes, keeps its file time.
    reader.SetReadsRawAndHeif(raw_and_heif_ && IsRawOrHeifPhoto(name));
    return ExifOrFileDate(path, file.modified_seconds, reader);
  }

  const FolderListings& listings_;
  const std::vector<std::string>& folders_;
  SystemCalls& calls_;
  const bool raw_and_heif_;
  const size_t count_;
  std::vector<FileDate> dates_;
  std::atomic<size_t> next_{0};  // the first file no reader has taken
  std::atomic<size_t> done_{0};  // files dated, for the progress
  std::mutex mutex_;             // guards what follows
  std::condition_variable finished_changed_;
  size_t finished_ = 0;  // readers that have ended
  std::exception_ptr failure_;
};

}  // namespace

std::vector<FileDate> DateFilesByExif(
    const FolderListings& listings, const std::vector<std::string>& folders,
    SystemCalls& calls, bool raw_and_heif,
    const std::function<void(size_t)>& show_folder) {
  return ExifDating(listings, folders, calls, raw_and_heif).Run(show_folder);
}

}  // namespace kuronel
