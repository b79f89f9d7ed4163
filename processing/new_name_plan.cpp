#include "processing/new_name_plan.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/path.h"
#include "platform/text.h"

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

// The files of one shot (IMG_0001.CR3 and IMG_0001.JPG: one folder, one name
// before the extension, one time) share one DayCounter value, so that a
// RAW+JPEG pair keeps one date name. A file whose extension the shot already
// has in another letter case (IMG_0001.JPG beside IMG_0001.jpg) is a shot of
// its own: the two new names would differ only in case, which FAT and exFAT
// drives do not tell apart. Holds the shots of one day's run of rows.
class ShotsOfTheDay {
 public:
  // The value of an earlier file of `row`'s shot; else `next`, which the
  // shot then takes.
  int ValueOf(const CatalogueRow& row, int next) {
    std::string extension = ExtensionOf(row.FileName);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   AsciiLower);
    const std::string_view name = row.FileName;
    const Key key{row.Folder, name.substr(0, name.size() - extension.size()),
                  row.date};
    const auto shot = shots_.try_emplace(key, Shot{next, {}}).first;
    std::vector<std::string>& extensions = shot->second.extensions;
    const bool taken = std::find(extensions.begin(), extensions.end(),
                                 extension) != extensions.end();
    if (taken) return next;
    extensions.push_back(extension);
    return shot->second.value;
  }

  void Clear() { shots_.clear(); }

 private:
  using Key = std::tuple<std::string_view, std::string_view, DateKey>;
  struct Shot {
    int value;
    std::vector<std::string> extensions;  // lower case
  };
  std::map<Key, Shot> shots_;
};

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

std::string BuildNewPath(const std::string& source_path, const DateKey& day,
                         int n, const Settings& options) {
  std::string folder = WithTrailingSeparator(
      options.MoveToDateFolder ? options.DestinationFolder + DateName(day)
                               : ParentFolder(source_path));
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
  ShotsOfTheDay shots;
  for (const CatalogueRow& row : catalogue) {
    if (!row.Checked) continue;
    const DateKey day = row.date.DayOnly();
    // Only the checked row just before counts: a day that comes back after
    // another day starts again at 1.
    if (day_counter == 0 || day != previous_day) {
      day_counter = 0;
      shots.Clear();
    }
    previous_day = day;
    const int n = options.IncludeRawHeifMp4
                      ? shots.ValueOf(row, day_counter + 1)
                      : day_counter + 1;
    day_counter = std::max(day_counter, n);

    std::string source_path = row.Folder + row.FileName;
    std::string new_path;
    if (n <= kSuffixesPerDay) {
      new_path = BuildNewPath(source_path, day, n, options);
    } else {
      new_path = BuildNewPath(source_path, day, kSuffixesPerDay, options) +
                 std::to_string(n - kSuffixesPerDay);
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
