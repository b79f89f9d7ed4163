#ifndef KURONEL_PLATFORM_DRIVE_ATTRIBUTES_H_
#define KURONEL_PLATFORM_DRIVE_ATTRIBUTES_H_

#include <string>

#include "platform/system_calls.h"

namespace kuronel {

// The Windows read-only attribute where a drive keeps one that Linux does not
// show as permission bits: NTFS through ntfs-3g keeps the attribute word in
// the extended attribute "system.ntfs_attrib_be" and ignores chmod. Windows,
// cameras and the drive's next user honour that bit; Linux does not.
enum class DriveReadOnly {
  kNotKept,   // the drive keeps no such attribute (or it cannot be read)
  kWritable,  // kept, and clear
  kReadOnly,  // kept, and set
};

DriveReadOnly DriveReadOnlyOf(const std::string& path, SystemCalls& calls);

// Sets the read-only bit of the drive's attribute word and reads it back:
// true only when the drive keeps the attribute and it now says read-only.
bool SetDriveReadOnly(const std::string& path, SystemCalls& calls);

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_DRIVE_ATTRIBUTES_H_
