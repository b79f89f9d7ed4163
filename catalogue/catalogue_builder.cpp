#include "catalogue/catalogue_builder.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "catalogue/catalogue_dates.h"
#include "catalogue/timestamp_text.h"
#include "exif/exif_info.h"
#include "platform/dir_listing.h"

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
  };

  void Add(std::uint32_t folder, const DirEntry& entry) {
    files_.push_back(File{names_.size(),
                          static_cast<std::uint32_t>(entry.name.size()), folder,
                          entry.modified_seconds});
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

DateKey DateOf(const std::string& path, std::int64_t modified_seconds,
               TExifInfo& exif, bool use_exif_date) {
  DateKey key;
  if (use_exif_date && exif.HasExif(path) && exif.SetImageFileName(path).ok() &&
      ExifDateKey(exif.DateTimeOriginal(), key))
    return key;
  return FileTimeDateKey(modified_seconds);
}

struct PathHash {
  size_t operator()(
      const std::pair<std::string_view, std::string_view>& path) const {
    const size_t folder = std::hash<std::string_view>()(path.first);
    return folder ^ (std::hash<std::string_view>()(path.second) + 0x9E3779B9 +
                     (folder << 6) + (folder >> 2));
  }
};

// Appends the rows of every folder of the work list.
size_t AppendRows(const FolderWorkList& work_list, FileCatalogue& catalogue,
                  TExifInfo& exif, bool use_exif_date,
                  const StatusSink& status) {
  const size_t folder_count = work_list.size();
  // The bar follows the slow part of the build: the listing (one status call
  // per file) without Exif dates, the reading of the photos with them.
  auto show_progress = [&](size_t folder, bool in_slow_part) {
    if (in_slow_part && folder_count > 1 && status)
      status(BuildProgressText(folder, folder_count));
  };

  // All folders are listed first, so that the rows can be reserved at once.
  FolderListings listings;
  for (size_t k = 0; k < folder_count; ++k) {
    show_progress(k, !use_exif_date);
    ListDirectory(work_list[k], [&](const DirEntry& entry) {
      if (IsListedFile(entry.attributes))
        listings.Add(static_cast<std::uint32_t>(k), entry);
    });
    listings.EndFolder();
  }

  catalogue.reserve(catalogue.size() + listings.FileCount());
  std::string path;
  for (size_t k = 0; k < folder_count; ++k) {
    show_progress(k, use_exif_date);
    const std::string folder = JoinFolderPath(work_list[k], "");
    for (size_t i = listings.FirstFile(k); i < listings.EndFile(k); ++i) {
      const FolderListings::File& file = listings.file(i);
      const std::string_view name = listings.NameOf(file);
      path.assign(folder).append(name);
      const DateKey key =
          DateOf(path, file.modified_seconds, exif, use_exif_date);
      catalogue.push_back(CatalogueRow{DisplayKind(key), std::string(name),
                                       folder, TimestampText(key), false});
    }
  }
  return listings.FileCount();
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

size_t BuildCatalogue(const std::string& root, FileCatalogue& catalogue,
                      FolderWorkList& work_list, TExifInfo& exif,
                      bool use_exif_date, SortState& sort_state,
                      const StatusSink& status) {
  WalkFolderTree(WithoutTrailingSlash(root), work_list, status);
  // The listings are gone before the sort needs its keys.
  const size_t appended =
      AppendRows(work_list, catalogue, exif, use_exif_date, status);
  sort_state.SortColumn = kTimestampColumn;
  SortCatalogue(catalogue, sort_state);
  return appended;
}

size_t RemoveDuplicateRows(FileCatalogue& catalogue) {
  std::unordered_set<std::pair<std::string_view, std::string_view>, PathHash>
      seen;
  seen.reserve(catalogue.size());
  std::vector<bool> keep(catalogue.size());
  for (size_t row = catalogue.size(); row-- > 0;) {
    keep[row] =
        seen.insert({catalogue[row].Folder, catalogue[row].FileName}).second;
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

}  // namespace kuronel
