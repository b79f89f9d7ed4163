#ifndef KURONEL_TESTING_EXIF_TEST_SUPPORT_H_
#define KURONEL_TESTING_EXIF_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "exif/exif_info.h"
#include "testing/jpeg_builder.h"
#include "testing/temp_dir.h"

namespace kuronel {

// A reader, a temporary folder and a count of OnReadError calls.
class ExifFileTest : public ::testing::Test {
 protected:
  ExifFileTest() {
    exif_.SetOnReadError([this](TExifInfo& sender) {
      EXPECT_EQ(&sender, &exif_);
      ++read_errors_;
    });
  }

  // Writes `contents` under `name` and reads it; the read must succeed.
  const TExifInfo& Read(std::string_view contents,
                        std::string_view name = "photo.jpg") {
    const std::string path = dir_.WriteFile(name, contents);
    const Status status = exif_.SetImageFileName(path);
    EXPECT_TRUE(status.ok()) << status.message();
    return exif_;
  }

  const TExifInfo& Read(const testing::TiffBuilder& tiff) {
    return Read(testing::ExifJpeg(tiff));
  }

  testing::TempDir dir_;
  TExifInfo exif_{RealSystemCalls()};
  int read_errors_ = 0;
};

}  // namespace kuronel

#endif  // KURONEL_TESTING_EXIF_TEST_SUPPORT_H_
