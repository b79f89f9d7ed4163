#include "catalogue/catalogue_builder.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/catalogue_dates.h"
#include "catalogue/timestamp_text.h"
#include "exif/exif_info.h"
#include "platform/cp932.h"
#include "platform/dir_listing.h"
#include "platform/system.h"

namespace kuronel {
namespace {

constexpr char kBlackSquare[] = "■";
constexpr char kWhiteSquare[] = "□";
constexpr char kBuildLabel[] = "検索中";

// The regular files of every folder of the work list, in listing order, with
// the modification time the listing already read. Names share one buffer so
// that a card of 100,000 files costs no allocation per file.
class FolderListings {
 public:
  struct File {
    size_t name_offset;
    std::uint32_t name_length;
    std::uint32_t folder;
    std::int64_t modified_seconds;
    FileIdentity identity;
  };

  void Add(std::uint32_t folder, const DirEntry& entry) {
    files_.push_back(File{names_.size(),
                          static_cast<std::uint32_t>(entry.name.size()), folder,
                          entry.modified_seconds,
                          FileIdentity{entry.device, entry.inode}});
    names_ += entry.name;
  }
  void EndFolder() { folder_end_.push_back(files_.size()); }

  size_t FileCount() const { return files_.size(); }
  size_t FirstFile(size_t folder) const {
    return folder == 0 ? 0 : folder_end_[folder - 1];
  }
  size_t EndFile(size_t folder) const { return folder_end_[folder]; }
  const File& file(size_t index) const { return files_[index]; }
  std::string_view NameOf(const File& file) const {
    return std::string_view(names_).substr(file.name_offset, file.name_length);
  }

 private:
  std::string names_;
  std::vector<File> files_;
  std::vector<size_t> folder_end_;
};

// The date of one file and whether it could be read for it.
struct FileDate {
  DateKey key;
  int read_error = 0;  // errno when the file could not be read; ENOENT: gone
};

// The Exif date of a photo with a usable one, else the file time. HasExif,
// then a write of ImageFileName for a file with a block, in one open and
// read of the file; `has_exif` tells whether the reader took the file.
FileDate ExifOrFileDate(const std::string& path, std::int64_t modified_seconds,
                        TExifInfo& exif, bool& has_exif) {
  FileDate date;
  if (exif.ReadFileOnce(path, has_exif).ok() && has_exif &&
      ExifDateKey(exif.DateTimeOriginal(), date.key))
    return date;
  date.key = FileTimeDateKey(modified_seconds);
  if (!has_exif) date.read_error = exif.LastReadError();
  return date;
}

// Below this many files a second thread costs more than it saves.
constexpr size_t kMinFilesForTwoThreads = 64;

// Dates the files of `listings` by their Exif dates on two threads: a helper
// takes the first half of the files with a reader of its own, the calling
// thread the second half with `exif`. Every key goes to its file's slot, so
// the rows come out in listing order. The calling thread shows the progress
// texts, in folder order, as the files done pass each folder's start.
// Afterwards `exif` holds the last file with a block, as after one pass.
class ExifDating {
 public:
  ExifDating(const FolderListings& listings,
             const std::vector<std::string>& folders, TExifInfo& exif)
      : listings_(listings), folders_(folders), exif_(exif) {}

  std::vector<FileDate> Run(const std::function<void(size_t)>& show_folder) {
    const size_t count = listings_.FileCount();
    dates_.resize(count);
    size_t shown = 0;
    auto show_up_to = [&](size_t files_done) {
      while (shown < folders_.size() && listings_.FirstFile(shown) <= files_done)
        show_folder(shown++);
    };
    const bool two_threads = count >= kMinFilesForTwoThreads &&
                             std::thread::hardware_concurrency() >= 2;
    const size_t middle = two_threads ? count / 2 : 0;
    std::optional<size_t> helper_last;
    // Joined on every way out, an exception of this thread's half included.
    std::jthread helper;
    if (two_threads) {
      helper = std::jthread([this, middle, &helper_last] {
        TExifInfo own;
        own.SetSearchRange(exif_.SearchRange());
        helper_last = DateRange(0, middle, own, {});
      });
    }
    const std::optional<size_t> own_last =
        DateRange(middle, count, exif_, [&](size_t done_here) {
          show_up_to(helper_done_.load(std::memory_order_relaxed) + done_here);
        });
    if (helper.joinable()) helper.join();
    show_up_to(count);
    // The reader ends as one pass would leave it: on the last file that it
    // took, which was the helper's when this thread took none.
    if (!own_last && helper_last) {
      bool has_exif = false;
      (void)exif_.ReadFileOnce(PathOf(*helper_last), has_exif);
    }
    return std::move(dates_);
  }

 private:
  // Dates files begin .. end - 1; gives the last one the reader took.
  std::optional<size_t> DateRange(size_t begin, size_t end, TExifInfo& exif,
                                  const std::function<void(size_t)>& before) {
    std::optional<size_t> last_taken;
    std::string path;
    for (size_t i = begin; i < end; ++i) {
      if (before) before(i - begin);
      const FolderListings::File& file = listings_.file(i);
      path.assign(folders_[file.folder]).append(listings_.NameOf(file));
      bool has_exif = false;
      dates_[i] = ExifOrFileDate(path, file.modified_seconds, exif, has_exif);
      if (has_exif) last_taken = i;
      if (!before) helper_done_.store(i + 1 - begin, std::memory_order_relaxed);
    }
    return last_taken;
  }

  std::string PathOf(size_t index) const {
    const FolderListings::File& file = listings_.file(index);
    return folders_[file.folder] + std::string(listings_.NameOf(file));
  }

  const FolderListings& listings_;
  const std::vector<std::string>& folders_;
  TExifInfo& exif_;
  std::vector<FileDate> dates_;
  std::atomic<size_t> helper_done_{0};
};

struct PathHash {
  size_t operator()(
      const std::pair<std::string_view, std::string_view>& path) const {
    const size_t folder = std::hash<std::string_view>()(path.first);
    return folder ^ (std::hash<std::string_view>()(path.second) + 0x9E3779B9 +
                     (folder << 6) + (folder >> 2));
  }
};

// True for an entry without a status that is a file or folder nobody can
// read, not a dangling link, a link loop or an entry gone meanwhile.
bool IsUnreadable(const DirEntry& entry) {
  return entry.status == nullptr && entry.status_error != ENOENT &&
         entry.status_error != ELOOP;
}

// Neither a folder that vanished since the walk nor a file replaced by a
// folder is worth a report: nothing in them can be lost.
bool IsGone(int error) { return error == ENOENT || error == ENOTDIR; }

// Lists the files of every folder of the work list, each file once however
// many names lead to it.
FolderListings ListFolders(const FolderWorkList& work_list,
                           const std::function<void(size_t)>& show_progress,
                           UnreadablePaths& unreadable) {
  FolderListings listings;
  std::unordered_set<FileIdentity, FileIdentityHash> seen;
  for (size_t k = 0; k < work_list.size(); ++k) {
    show_progress(k);
    const std::string& folder = work_list[k];
    int error = 0;
    bool listed = ListDirectory(
        folder,
        [&](const DirEntry& entry) {
          if (IsUnreadable(entry)) {
            unreadable.push_back(
                {JoinFolderPath(folder, entry.name), entry.status_error});
          } else if (IsListedFile(entry.attributes) &&
                     seen.insert({entry.device, entry.inode}).second) {
            listings.Add(static_cast<std::uint32_t>(k), entry);
          }
        },
        &error);
    if (!listed && !IsGone(error)) unreadable.push_back({folder, error});
    listings.EndFolder();
  }
  return listings;
}

// Appends the rows of every folder of the work list.
size_t AppendRows(const FolderWorkList& work_list, FileCatalogue& catalogue,
                  TExifInfo& exif, bool use_exif_date, const StatusSink& status,
                  UnreadablePaths& unreadable) {
  const size_t folder_count = work_list.size();
  // The bar follows the slow part of the build: the listing (one status call
  // per file) without Exif dates, the reading of the photos with them.
  auto show_progress = [&](size_t folder, bool in_slow_part) {
    if (in_slow_part && folder_count > 1 && status)
      status(BuildProgressText(folder, folder_count));
  };

  // All folders are listed first, so that the rows can be reserved at once.
  const FolderListings listings = ListFolders(
      work_list, [&](size_t k) { show_progress(k, !use_exif_date); },
      unreadable);

  std::vector<std::string> folders(folder_count);
  for (size_t k = 0; k < folder_count; ++k)
    folders[k] = JoinFolderPath(work_list[k], "");
  std::vector<FileDate> dates;
  if (use_exif_date) {
    dates = ExifDating(listings, folders, exif).Run(
        [&](size_t folder) { show_progress(folder, true); });
  } else {
    dates.reserve(listings.FileCount());
    for (size_t i = 0; i < listings.FileCount(); ++i)
      dates.push_back({FileTimeDateKey(listings.file(i).modified_seconds)});
  }

  catalogue.reserve(catalogue.size() + listings.FileCount());
  size_t appended = 0;
  for (size_t i = 0; i < listings.FileCount(); ++i) {
    const FolderListings::File& file = listings.file(i);
    const FileDate& date = dates[i];
    if (date.read_error != 0) {
      const std::string path =
          folders[file.folder] + std::string(listings.NameOf(file));
      if (date.read_error == ENOENT) continue;  // gone since the listing
      unreadable.push_back({path, date.read_error});
    }
    catalogue.push_back(CatalogueRow{
        DisplayKind(date.key), std::string(listings.NameOf(file)),
        folders[file.folder], TimestampText(date.key), false, file.identity});
    ++appended;
  }
  return appended;
}

}  // namespace

std::string BuildProgressText(size_t index, size_t folder_count) {
  const size_t black = index * 10 / (folder_count - 1);
  std::string text;
  for (size_t i = 0; i < 10; ++i)
    text += i < black ? kBlackSquare : kWhiteSquare;
  text += kBuildLabel;
  return text;
}

BuildOptions BuildOptionsFor(const Settings& settings) {
  BuildOptions options;
  options.use_exif_date = settings.UseExifDate;
  if (settings.MoveToDateFolder && NamesADrive(settings.DestinationFolder))
    options.left_out_folder = settings.DestinationFolder;
  return options;
}

BuildOutcome BuildCatalogue(const std::string& root, FileCatalogue& catalogue,
                            FolderWorkList& work_list, TExifInfo& exif,
                            const BuildOptions& options, SortState& sort_state,
                            const StatusSink& status) {
  FileIdentity left_out;
  if (!options.left_out_folder.empty())
    DirectoryIdentity(options.left_out_folder, left_out.device,
                      left_out.inode);
  WalkFolderTree(WithoutTrailingSlash(root), work_list, status, left_out);
  BuildOutcome outcome;
  // The listings are gone before the sort needs its keys.
  outcome.appended = AppendRows(work_list, catalogue, exif,
                                options.use_exif_date, status,
                                outcome.unreadable);
  sort_state.SortColumn = kTimestampColumn;
  SortCatalogue(catalogue, sort_state);
  return outcome;
}

size_t RemoveDuplicateRows(FileCatalogue& catalogue) {
  std::unordered_set<std::pair<std::string_view, std::string_view>, PathHash>
      seen;
  std::unordered_set<FileIdentity, FileIdentityHash> seen_files;
  seen.reserve(catalogue.size());
  seen_files.reserve(catalogue.size());
  std::vector<bool> keep(catalogue.size());
  for (size_t row = catalogue.size(); row-- > 0;) {
    const CatalogueRow& candidate = catalogue[row];
    const bool new_path =
        seen.insert({candidate.Folder, candidate.FileName}).second;
    const bool new_file = !candidate.identity.known() ||
                          seen_files.insert(candidate.identity).second;
    keep[row] = new_path && new_file;
  }
  seen.clear();  // Its views point into rows that are about to move.
  size_t kept = 0;
  for (size_t row = 0; row < catalogue.size(); ++row) {
    if (!keep[row]) continue;
    if (kept != row) catalogue[kept] = std::move(catalogue[row]);
    ++kept;
  }
  const size_t removed = catalogue.size() - kept;
  catalogue.resize(kept);
  return removed;
}

std::string UnreadableMessage(const UnreadablePaths& unreadable,
                              size_t shown) {
  std::string message = std::to_string(unreadable.size()) +
                        "個のフォルダまたはファイルを読み込めませんでした。";
  for (size_t i = 0; i < unreadable.size() && i < shown; ++i) {
    message += "\n" + DisplayPath(unreadable[i].path) + ": " +
               std::strerror(unreadable[i].error);
  }
  if (unreadable.size() > shown)
    message += "\nほか" + std::to_string(unreadable.size() - shown) + "個";
  return message;
}

}  // namespace kuronel
