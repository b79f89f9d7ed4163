#include "exif/exif_info.h"

namespace kuronel {

TExifInfo::TExifInfo() { ClearAll(); }

bool TExifInfo::HasExif(const std::string& file_name) const {
  return LocateExif(file_name).has_value();
}

Status TExifInfo::SetImageFileName(const std::string& file_name) {
  image_file_name_ = file_name;
  // Nothing of an earlier file may survive, also when this one has no block.
  is_thumbnail_file_ = false;
  ClearAll();
  const std::optional<uint64_t> tiff_start = LocateExif(image_file_name_);
  if (!tiff_start) {
    DoReadError();
    return Status::Ok();
  }
  return ReadDirectories(*tiff_start);
}

void TExifInfo::ClearAll() {
  fields_ = ExifFields{};
  user_comments_.clear();
}

void TExifInfo::DoReadError() {
  if (on_read_error_) on_read_error_(*this);
}

}  // namespace kuronel
