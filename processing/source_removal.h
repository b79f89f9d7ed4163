#ifndef KURONEL_PROCESSING_SOURCE_REMOVAL_H_
#define KURONEL_PROCESSING_SOURCE_REMOVAL_H_

#include <string>

#include "platform/file_system.h"

namespace kuronel {

enum class SourceRemoval {
  kNotAllowed,  // the copy does not prove itself; the source stays
  kDeleted,
  kDeleteFailed,  // allowed, but the disk refused (a read-only source)
  // The copy is on a drive not known to write its disk when it flushes
  // (fusefat, any FUSE driver not known): nothing confirms that it would
  // outlive a power cut.
  kDriveCannotFlush,
  // The copy's read-back may have been served from memory (ext4 mounted
  // data=journal, btrfs, a FUSE drive whose device cannot be opened):
  // nothing proves that the drive holds what was read.
  kReadBackFromMemory,
};

// The only way a move deletes its source. The source is often the only copy
// of a photo, so it goes only when a different file (by device and inode)
// that this run wrote, flushed and read back from the drive equal to the
// source stands at the row's target with the source's complete bytes, and
// the source is still the very file that was copied, unchanged since. A file
// reached under another spelling, a link, a file somebody else put at the
// target, a copy not yet on disk or one not read back never counts; nor
// does any copy on a drive not known to make its flushes durable and its
// read-backs reach the medium.
// A failed delete is described in `failure` when given.
SourceRemoval RemoveCopiedSource(const std::string& source_path,
                                 const std::string& target_path,
                                 const CopyResult& copy,
                                 FileSystem& file_system,
                                 FileResult* failure = nullptr);

// The source of a row imported before the run: its equal copy stood at
// `copy_path` in the target folder already. It goes on the same proof a copy
// gives: the copy there is another file than the source, on a drive known
// to make its flushes durable and whose read-back reaches the medium,
// flushed, read back from the drive with the source's length and `digest`
// (the source's hash, taken when its status was `source`), and unchanged
// meanwhile; the source is unchanged since it was hashed.
SourceRemoval RemoveImportedSource(const std::string& source_path,
                                   const FileInfo& source,
                                   const ContentHash::Digest& digest,
                                   const std::string& copy_path,
                                   FileSystem& file_system,
                                   FileResult* failure = nullptr);

}  // namespace kuronel

#endif  // KURONEL_PROCESSING_SOURCE_REMOVAL_H_
