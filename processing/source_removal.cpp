#include "processing/source_removal.h"

namespace kuronel {
namespace {

// The copy that `copy` describes stands at `target_path`, whole, on disk,
// read back equal to the source, and is another file than the source as it
// stands now. Its modification time is compared too: a file put there in its
// place may get its inode number again.
bool CopyProvesItself(const std::string& source_path,
                      const std::string& target_path, const CopyResult& copy,
                      FileSystem& file_system) {
  if (!copy.ok || !copy.flushed || !copy.verified) return false;
  const FileInfo& source = copy.source_before;
  FileInfo source_now, target_now;
  return copy.source_after.Unchanged(source) &&
         copy.bytes_copied == source.size && copy.written.size == source.size &&
         file_system.Stat(source_path, source_now) &&
         source_now.Unchanged(source) &&
         file_system.Stat(target_path, target_now) &&
         target_now.Unchanged(copy.written) &&
         !target_now.SameFileAs(source_now);
}

}  // namespace

SourceRemoval RemoveCopiedSource(const std::string& source_path,
                                 const std::string& target_path,
                                 const CopyResult& copy,
                                 FileSystem& file_system,
                                 FileResult* failure) {
  switch (file_system.ProofOfCopiesOn(target_path)) {
    case CopyProof::kComplete:
      break;
    case CopyProof::kFlushNotDurable:
      return SourceRemoval::kDriveCannotFlush;
    case CopyProof::kReadBackFromMemory:
      return SourceRemoval::kReadBackFromMemory;
  }
  if (!CopyProvesItself(source_path, target_path, copy, file_system))
    return SourceRemoval::kNotAllowed;
  const FileResult deleted = file_system.DeleteFile(source_path);
  if (deleted.ok()) return SourceRemoval::kDeleted;
  if (failure != nullptr) *failure = deleted;
  return SourceRemoval::kDeleteFailed;
}

}  // namespace kuronel
