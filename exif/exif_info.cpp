#include "exif/exif_info.h"

namespace kuronel {

TExifInfo::TExifInfo(SystemCalls& calls) : calls_(calls) { ClearAll(); }

bool TExifInfo::HasExif(const std::string& file_name) const {
  return LocateExif(file_name).has_value();
}

Status TExifInfo::SetImageFileName(const std::string& file_name) {
  image_file_name_ = file_name;
  // Nothing of an earlier file may survive, also when this one has no block.
  is_thumbnail_file_ = false;
  ClearAll();
  const std::optional<TiffStarts> starts = Locate(image_file_name_);
  if (!starts) {
    DoReadError();
    return Status::Ok();
  }
  return ReadAllDirectories(nullptr, *starts);
}

void TExifInfo::ClearAll() {
  fields_ = ExifFields{};
  user_comments_.clear();
}

void TExifInfo::DoReadError() {
  if (on_read_error_) on_read_error_(*this);
}

}  // namespace kuronel
