#include "processing/source_removal.h"

#include <optional>

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

// The copy that was there before the run, at `copy_path`: another file than
// the source, on the disk, read back from its drive equal to the source as
// it was hashed, and unchanged meanwhile; the source unchanged since it was
// hashed.
bool ImportedCopyProvesItself(const std::string& source_path,
                              const FileInfo& source,
                              const ContentHash::Digest& digest,
                              const std::string& copy_path,
                              FileSystem& file_system) {
  FileInfo copy_before, copy_after, source_now;
  return file_system.Stat(copy_path, copy_before) &&
         !copy_before.SameFileAs(source) && copy_before.size == source.size &&
         file_system.FlushFile(copy_path).ok() &&
         file_system.ReadsBackEqual(copy_path, source.size, digest) &&
         file_system.Stat(copy_path, copy_after) &&
         copy_after.Unchanged(copy_before) &&
         file_system.Stat(source_path, source_now) &&
         source_now.Unchanged(source) && !source_now.SameFileAs(copy_after);
}

// The drive of a copy may rule out any delete on its strength.
std::optional<SourceRemoval> RuledOutByDrive(const std::string& copy_path,
                                             FileSystem& file_system) {
  switch (file_system.ProofOfCopiesOn(copy_path)) {
    case CopyProof::kComplete:
      return std::nullopt;
    case CopyProof::kFlushNotDurable:
      return SourceRemoval::kDriveCannotFlush;
    case CopyProof::kReadBackFromMemory:
      return SourceRemoval::kReadBackFromMemory;
  }
  return SourceRemoval::kNotAllowed;
}

SourceRemoval Delete(const std::string& source_path, FileSystem& file_system,
                     FileResult* failure) {
  const FileResult deleted = file_system.DeleteFile(source_path);
  if (deleted.ok()) return SourceRemoval::kDeleted;
  if (failure != nullptr) *failure = deleted;
  return SourceRemoval::kDeleteFailed;
}

}  // namespace

SourceRemoval RemoveCopiedSource(const std::string& source_path,
                                 const std::string& target_path,
                                 const CopyResult& copy,
                                 FileSystem& file_system, FileResult* failure) {
  if (const auto ruled_out = RuledOutByDrive(target_path, file_system))
    return *ruled_out;
  if (!CopyProvesItself(source_path, target_path, copy, file_system))
    return SourceRemoval::kNotAllowed;
  return Delete(source_path, file_system, failure);
}

SourceRemoval RemoveImportedSource(const std::string& source_path,
                                   const FileInfo& source,
                                   const ContentHash::Digest& digest,
                                   const std::string& copy_path,
                                   FileSystem& file_system,
                                   FileResult* failure) {
  if (const auto ruled_out = RuledOutByDrive(copy_path, file_system))
    return *ruled_out;
  if (!ImportedCopyProvesItself(source_path, source, digest, copy_path,
                                file_system))
    return SourceRemoval::kNotAllowed;
  return Delete(source_path, file_system, failure);
}

}  // namespace kuronel
