#ifndef KURONEL_TESTING_POWER_CUT_DRIVE_H_
#define KURONEL_TESTING_POWER_CUT_DRIVE_H_

#include <string>

#include "testing/temp_dir.h"

namespace kuronel::testing {

// The options kuronel-power-cut-drive (power_cut_drive.cpp) is started
// with; an empty text is not given.
struct PowerCutDriveOptions {
  std::string cut{};             // WHEN:KIND:N[:PATTERN]
  std::string corrupt_writes{};  // N[:PATTERN]
  std::string corrupt_reads{};   // N[:PATTERN]
  std::string close_fault{};     // empty|short:N[:PATTERN]
  bool separate_top_folders = false;
};

// The power-cut drive mounted over `backing` for the life of the object (or
// until Unmount). Needs root and /dev/fuse; where they are missing the drive
// is not mounted and `unavailable()` says why in one line.
class PowerCutDrive {
 public:
  explicit PowerCutDrive(const std::string& backing,
                         const PowerCutDriveOptions& options = {});
  ~PowerCutDrive();
  PowerCutDrive(const PowerCutDrive&) = delete;
  PowerCutDrive& operator=(const PowerCutDrive&) = delete;

  bool mounted() const { return unavailable_.empty() && pid_ > 0; }
  const std::string& unavailable() const { return unavailable_; }
  // The mount point, without a trailing "/".
  const std::string& path() const { return mount_point_; }
  std::string Path(const std::string& relative) const;

  // Cuts the power now (through the drive's control file).
  void CutNow() const;
  // Sets when the power goes from now on (WHEN:KIND:N[:PATTERN]; the
  // changes made so far do not count).
  void SetCut(const std::string& cut) const;
  // The drive has cut its power.
  bool WasCut() const;
  // What the drive reported: a line for each cut and corruption, and the
  // number of changes it saw once unmounted.
  std::string Report() const;
  // Unmounts and waits for the drive to end; the backing folder then holds
  // what the disk would after the cut. Anything using the drive must have
  // ended.
  void Unmount();

 private:
  TempDir place_;  // the mount point and the report
  std::string mount_point_;
  std::string report_;
  std::string unavailable_;
  int pid_ = -1;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_POWER_CUT_DRIVE_H_
