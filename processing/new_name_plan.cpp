#include "processing/new_name_plan.h"

#include <algorithm>
#include <ostream>
#include <utility>

#include "platform/path.h"

namespace kuronel {

const char* StateText(RowState state) {
  switch (state) {
    case RowState::kUnprocessed:
      return "未処理";
    case RowState::kDuplicate:
      return "重複";
    case RowState::kCopied:
      return "OK";
    case RowState::kMoved:
      return "Ok";
    case RowState::kReadOnly:
      return "ReadOnly";
    case RowState::kCopyError:
      return "CopyError!";
    case RowState::kAttrError:
      return "AttrError!";
    case RowState::kDirError:
      return "DirError!";
    case RowState::kDelError:
      return "DelError!";
    case RowState::kNotFound:
      return "file not found";
  }
  return "";
}

bool IsSuccessState(RowState state) {
  return state == RowState::kCopied || state == RowState::kMoved ||
         state == RowState::kReadOnly;
}

void PrintTo(RowState state, std::ostream* out) { *out << StateText(state); }
namespace {

// The file name without its extension.
std::string StemOf(const std::string& path) {
  std::string name = BaseName(path);
  return name.substr(0, name.size() - ExtensionOf(path).size());
}

}  // namespace

std::string NameSuffix(int n) {
  static constexpr char kFirst[] = "abcdefghijklmnopqrstuvwxyz~";
  static constexpr char kSecond[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  n = std::clamp(n, 1, kSuffixesPerDay);
  return {kFirst[(n - 1) / 36], kSecond[(n - 1) % 36]};
}

std::string DateName(const DateKey& day) {
  std::string name = TimestampText(day.DayOnly());
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  std::string name = BaseName(path);
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string BuildNewPath(const std::string& source_path, const DateKey& day,
                         int n, const Settings& options) {
  std::string folder = options.MoveToDateFolder
                           ? options.DestinationFolder + DateName(day) + "/"
                           : FolderOf(source_path);
  std::string base = options.RenameToDateFile ? DateName(day) + NameSuffix(n)
                                              : StemOf(source_path);
  return folder + base + ExtensionOf(source_path);
}

void BuildPlan(const FileCatalogue& catalogue, const Settings& options,
               FileSystem& file_system, ProcessingPlan& plan) {
  plan.clear();
  ProcessingPlan pairs;
  int day_counter = 0;
  DateKey previous_day;
  for (const CatalogueRow& row : catalogue) {
    if (!row.Checked) continue;
    const DateKey day = row.date.DayOnly();
    // Only the checked row just before counts: a day that comes back after
    // another day starts again at 1.
    day_counter =
        (day_counter > 0 && day == previous_day) ? day_counter + 1 : 1;
    previous_day = day;

    std::string source_path = row.Folder + row.FileName;
    std::string new_path;
    if (day_counter <= kSuffixesPerDay) {
      new_path = BuildNewPath(source_path, day, day_counter, options);
    } else {
      new_path = BuildNewPath(source_path, day, kSuffixesPerDay, options) +
                 std::to_string(day_counter - kSuffixesPerDay);
    }
    pairs.push_back(PlanRow{std::move(source_path), std::move(new_path), {}});
  }
  // The states are looked up only once every path is known.
  for (PlanRow& row : pairs) {
    row.State = file_system.FileExists(row.NewPath) ? RowState::kDuplicate
                                                    : RowState::kUnprocessed;
  }
  plan = std::move(pairs);
}

}  // namespace kuronel
