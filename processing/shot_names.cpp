#include "processing/shot_names.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "catalogue/catalogue_checks.h"
#include "platform/path.h"
#include "platform/text.h"

namespace kuronel {
namespace {

std::string InCase(std::string_view text, char (*convert)(char)) {
  std::string converted(text);
  std::transform(converted.begin(), converted.end(), converted.begin(),
                 convert);
  return converted;
}

// A name looked at for variant k, with the shot's file of its kind (none
// for a photo of a kind the shot does not hold).
struct Probe {
  std::string path;
  const ShotFile* own = nullptr;
};

const ShotFile* FileOfKind(const std::vector<ShotFile>& shot,
                           std::string_view extension) {
  for (const ShotFile& file : shot)
    if (SameIgnoringAsciiCase(ExtensionOf(file.new_path), extension))
      return &file;
  return nullptr;
}

// The shot's own names at variant k, then, for a photo shot, the names of
// every photo kind in both letter cases.
std::vector<Probe> ProbesOf(const std::vector<ShotFile>& shot, int k) {
  std::vector<Probe> probes;
  std::set<std::string> seen;
  auto add = [&](std::string path, const ShotFile* own) {
    if (seen.insert(path).second) probes.push_back({std::move(path), own});
  };
  for (const ShotFile& file : shot)
    add(VariantPath(file.new_path, k, ExtensionOf(file.new_path)), &file);
  if (std::none_of(shot.begin(), shot.end(), [](const ShotFile& file) {
        return IsPhoto(file.source_path);
      }))
    return probes;
  // Each kind of photo a camera writes beside another under one name, in
  // the two letter cases cameras write.
  for (std::string_view extension : kPhotoExtensions) {
    for (char (*convert)(char) : {AsciiLower, AsciiUpper}) {
      const std::string variant = InCase(extension, convert);
      add(VariantPath(shot.front().new_path, k, variant),
          FileOfKind(shot, variant));
    }
  }
  return probes;
}

}  // namespace

std::string VariantPath(const std::string& new_path, int k,
                        std::string_view extension) {
  const std::string stem =
      new_path.substr(0, new_path.size() - ExtensionOf(new_path).size());
  return stem + (k == 0 ? std::string() : std::to_string(k)) +
         std::string(extension);
}

std::vector<ShotFile> ShotFilesOf(const ProcessingPlan& plan,
                                  const std::vector<std::size_t>& rows) {
  std::vector<ShotFile> shot;
  shot.reserve(rows.size());
  for (std::size_t i : rows)
    shot.push_back({plan[i].SourcePath, plan[i].NewPath});
  return shot;
}

NameFit FitOfVariant(const std::vector<ShotFile>& shot, int k,
                     FileSystem& file_system, const OwnCopyTest& own_copy,
                     const ClaimedTest& claimed) {
  std::set<const ShotFile*> present;  // the shot's files proven there
  for (const Probe& probe : ProbesOf(shot, k)) {
    if (claimed(probe.path)) return NameFit::kTaken;
    if (!file_system.NameTaken(probe.path)) continue;
    if (probe.own == nullptr || !own_copy(probe.own->source_path, probe.path))
      return NameFit::kTaken;
    present.insert(probe.own);
  }
  if (present.empty()) return NameFit::kFree;
  // Every name still missing is free by now (a taken one returned above);
  // a shot that is there whole is no shot to complete.
  return present.size() < shot.size() ? NameFit::kCompletes : NameFit::kTaken;
}

int FirstFittingVariant(const std::vector<ShotFile>& shot,
                        FileSystem& file_system, const OwnCopyTest& own_copy,
                        const ClaimedTest& claimed) {
  int k = 0;
  while (FitOfVariant(shot, k, file_system, own_copy, claimed) ==
         NameFit::kTaken)
    ++k;
  return k;
}

}  // namespace kuronel
