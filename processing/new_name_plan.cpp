#include "processing/new_name_plan.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/path.h"
#include "platform/text.h"
#include "processing/shot_names.h"

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
    case RowState::kImported:
      return "取込済";
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
         state == RowState::kReadOnly || state == RowState::kImported;
}

void PrintTo(RowState state, std::ostream* out) { *out << StateText(state); }
namespace {

// The file name without its extension.
std::string StemOf(const std::string& path) {
  std::string name = BaseName(path);
  return name.substr(0, name.size() - ExtensionOf(path).size());
}

int SecondsOfDay(const DateKey& time) {
  return time.hour * 3600 + time.minute * 60 + time.second;
}

// The files of one shot (IMG_0001.CR3 and IMG_0001.JPG: one folder, one name
// before the extension, times at most kShotSecondsApart apart) share one
// DayCounter value, so that a RAW+JPEG pair keeps one date name. A file
// whose extension the shot already has in another letter case (IMG_0001.JPG
// beside IMG_0001.jpg) is a shot of its own: the two new names would differ
// only in case, which FAT and exFAT drives do not tell apart. Holds the
// shots of one day's run of rows.
class ShotsOfTheDay {
 public:
  struct Place {
    int value;  // the DayCounter value
    int shot;   // the shot's number in the plan
  };

  // The place of `row`: an earlier file's of its shot; else `next` and a new
  // shot number.
  Place PlaceOf(const CatalogueRow& row, int next) {
    std::string extension = ExtensionOf(row.FileName);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   AsciiLower);
    const std::string_view name = row.FileName;
    const Key key{row.Folder, name.substr(0, name.size() - extension.size())};
    const Place own{next, next_shot_++};
    const auto [shot, is_new] =
        shots_.try_emplace(key, Shot{own, SecondsOfDay(row.date), {}});
    std::vector<std::string>& extensions = shot->second.extensions;
    const bool joins =
        is_new || (std::find(extensions.begin(), extensions.end(), extension) ==
                       extensions.end() &&
                   std::abs(SecondsOfDay(row.date) -
                            shot->second.first_seconds) <= kShotSecondsApart);
    if (!joins) return own;
    extensions.push_back(extension);
    return shot->second.place;
  }

  void Clear() { shots_.clear(); }

 private:
  using Key = std::pair<std::string_view, std::string_view>;
  struct Shot {
    Place place;
    int first_seconds;                    // the time of the shot's first file
    std::vector<std::string> extensions;  // lower case
  };
  std::map<Key, Shot> shots_;
  int next_shot_ = 0;
};

}  // namespace

std::map<int, std::vector<std::size_t>> RowsByShot(const ProcessingPlan& plan) {
  std::map<int, std::vector<std::size_t>> rows;
  for (std::size_t i = 0; i < plan.size(); ++i)
    if (plan[i].Shot >= 0) rows[plan[i].Shot].push_back(i);
  return rows;
}

namespace {

// The plan's warning for the rows of one shot: every row "重複" when the
// planned name is taken for the shot; when files there of the lengths of
// some of its sources may be the shot imported in part before, only those
// rows. The copies' bytes are compared when the run names the files.
void MarkShot(ProcessingPlan& plan, const std::vector<std::size_t>& rows,
              FileSystem& file_system) {
  const std::vector<ShotFile> shot = ShotFilesOf(plan, rows);
  auto same_length = [&](const std::string& source, const std::string& there) {
    FileInfo source_info, there_info;
    return file_system.FileExists(there) &&
           file_system.Stat(source, source_info) &&
           file_system.Stat(there, there_info) &&
           source_info.size == there_info.size;
  };
  const NameFit fit = FitOfVariant(shot, 0, file_system, same_length,
                                   [](const std::string&) { return false; });
  for (std::size_t i : rows) {
    const bool taken =
        fit == NameFit::kTaken ||
        (fit == NameFit::kCompletes && file_system.NameTaken(plan[i].NewPath));
    plan[i].State = taken ? RowState::kDuplicate : RowState::kUnprocessed;
  }
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
    ShotsOfTheDay::Place place{day_counter + 1, -1};
    if (options.IncludeRawHeifMp4) place = shots.PlaceOf(row, day_counter + 1);
    const int n = place.value;
    day_counter = std::max(day_counter, n);

    std::string source_path = row.Folder + row.FileName;
    std::string new_path;
    if (n <= kSuffixesPerDay) {
      new_path = BuildNewPath(source_path, day, n, options);
    } else {
      new_path = BuildNewPath(source_path, day, kSuffixesPerDay, options) +
                 std::to_string(n - kSuffixesPerDay);
    }
    PlanRow planned{std::move(source_path), std::move(new_path), {}};
    planned.Shot = place.shot;
    pairs.push_back(std::move(planned));
  }
  // The states are looked up only once every path is known.
  for (PlanRow& row : pairs)
    if (row.Shot < 0)
      row.State = file_system.FileExists(row.NewPath) ? RowState::kDuplicate
                                                      : RowState::kUnprocessed;
  for (const auto& [shot, rows] : RowsByShot(pairs))
    MarkShot(pairs, rows, file_system);
  plan = std::move(pairs);
}

}  // namespace kuronel
