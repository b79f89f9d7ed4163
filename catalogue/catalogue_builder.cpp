#include "catalogue/catalogue_builder.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/catalogue_dates.h"
#include "catalogue/exif_dating.h"
#include "catalogue/folder_listings.h"
#include "catalogue/timestamp_text.h"
#include "platform/cp932.h"
#include "platform/dir_listing.h"
#include "platform/hash_combine.h"
#include "platform/path.h"
#include "platform/text.h"

namespace kuronel {
namespace {

constexpr char kBuildLabel[] = "検索中";
constexpr size_t kBuildBarCells = 10;

struct PathHash {
  size_t operator()(
      const std::pair<std::string_view, std::string_view>& path) const {
    return HashCombine(std::hash<std::string_view>()(path.first),
                       std::hash<std::string_view>()(path.second));
  }
};

// Neither a folder that vanished since the walk nor a file replaced by a
// folder is worth a report: nothing in them can be lost.
bool IsGone(int error) { return error == ENOENT || error == ENOTDIR; }

// Adds the files of one folder's listing that no earlier name led to, and
// notes what could not be read.
void AddFolder(std::uint32_t k, const std::string& path,
               const FolderFiles& folder, FolderListings& listings,
               std::unordered_set<FileIdentity, FileIdentityHash>& seen,
               UnreadablePaths& unreadable) {
  for (const FolderFiles::Entry& entry : folder.entries) {
    if (entry.status_error != 0) {
      unreadable.push_back(
          {JoinPath(path, folder.NameOf(entry)), entry.status_error});
    } else if (seen.insert(entry.identity).second) {
      listings.Add(k, folder.NameOf(entry), entry.modified_seconds,
                   entry.identity);
    }
  }
  if (!folder.listed && !IsGone(folder.error))
    unreadable.push_back({path, folder.error});
}

// Lists the files of every folder of the work list, each file once however
// many names lead to it.
FolderListings ListFolders(const FolderWorkList& work_list,
                           const std::function<void(size_t)>& show_progress,
                           UnreadablePaths& unreadable, SystemCalls& calls) {
  FolderListings listings;
  std::unordered_set<FileIdentity, FileIdentityHash> seen;
  ListFoldersAhead(
      work_list, show_progress,
      [&](size_t k, const FolderFiles& folder) {
        AddFolder(static_cast<std::uint32_t>(k), work_list[k], folder, listings,
                  seen, unreadable);
      },
      calls);
  return listings;
}

// Appends the rows of every folder of the work list.
size_t AppendRows(const FolderWorkList& work_list, FileCatalogue& catalogue,
                  SystemCalls& calls, const BuildOptions& options,
                  const StatusSink& status, UnreadablePaths& unreadable) {
  const bool use_exif_date = options.use_exif_date;
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
      unreadable, calls);

  std::vector<std::string> folders(folder_count);
  for (size_t k = 0; k < folder_count; ++k)
    folders[k] = WithTrailingSeparator(work_list[k]);
  std::vector<FileDate> dates;
  if (use_exif_date) {
    dates =
        DateFilesByExif(listings, folders, calls, options.raw_and_heif,
                        [&](size_t folder) { show_progress(folder, true); });
  } else {
    dates.reserve(listings.FileCount());
    for (size_t i = 0; i < listings.FileCount(); ++i)
      dates.push_back(
          {FileTimeDateKey(listings.file(i).modified_seconds, calls)});
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
    catalogue.push_back(DatedRow(folders[file.folder],
                                 std::string(listings.NameOf(file)), date.key,
                                 false, file.identity));
    ++appended;
  }
  return appended;
}

// The day folders that copies go into: 2004_05_06.
bool IsDateFolderName(std::string_view name) {
  constexpr std::string_view kShape = "0000_00_00";
  if (name.size() != kShape.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (kShape[i] == '0' ? !digit : name[i] != kShape[i]) return false;
  }
  return true;
}

// What the walk of `root` leaves out so that a run never takes its own
// copies for new photos: the destination when it lies inside the root, and
// when the destination is the root or a folder above it, the day folders
// directly under it.
FileIdentitySet LeftOutFolders(const std::string& destination,
                               const std::string& root, SystemCalls& calls) {
  FileIdentitySet left_out;
  const std::optional<FileIdentity> identity =
      destination.empty() ? std::nullopt
                          : DirectoryIdentity(destination, calls);
  if (!identity) return left_out;
  left_out.insert(*identity);
  if (!PathHolds(ResolvedPath(WithoutTrailingSeparator(destination), calls),
                 ResolvedPath(WithoutTrailingSeparator(root), calls)))
    return left_out;
  ListSubfolders(
      destination,
      [&](const DirEntry& entry) {
        if ((entry.attributes & kAttrDirectory) != 0 &&
            IsDateFolderName(entry.name))
          left_out.insert(entry.identity);
      },
      calls);
  return left_out;
}

}  // namespace

std::string BuildProgressText(size_t index, size_t folder_count) {
  return ProgressBar(index * kBuildBarCells / (folder_count - 1),
                     kBuildBarCells) +
         kBuildLabel;
}

BuildOptions BuildOptionsFor(const Settings& settings) {
  BuildOptions options;
  options.use_exif_date = settings.UseExifDate;
  options.raw_and_heif = settings.IncludeRawHeifMp4;
  if (settings.MoveToDateFolder && NamesADrive(settings.DestinationFolder))
    options.left_out_folder = settings.DestinationFolder;
  return options;
}

BuildOutcome BuildCatalogue(const std::string& root, FileCatalogue& catalogue,
                            FolderWorkList& work_list, SystemCalls& calls,
                            const BuildOptions& options, SortState& sort_state,
                            const StatusSink& status) {
  WalkFolderTree(WithoutTrailingSeparator(root), work_list, status, calls,
                 LeftOutFolders(options.left_out_folder, root, calls));
  BuildOutcome outcome;
  // The listings are gone before the sort needs its keys.
  outcome.appended = AppendRows(work_list, catalogue, calls, options, status,
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

std::string UnreadableMessage(const UnreadablePaths& unreadable, size_t shown) {
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
