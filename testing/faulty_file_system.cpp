#include "testing/faulty_file_system.h"

#include <utility>
#include <vector>

#include "testing/forwarding_batch.h"

namespace kuronel::testing {
namespace {

using Call = FaultySystemCalls::Call;
using On = FaultySystemCalls::On;

// What an operation reports when a test makes it fail.
FileResult Failed(FileOperation operation, const std::string& path) {
  return FileResult(operation, path, EIO);
}

}  // namespace

void FaultyFileSystem::FailCall(Operation operation, int nth) {
  call_faults_[operation] = CallFault{nth, 0};
}

void FaultyFileSystem::FailCopyStep(CopyStep step, int nth_copy,
                                    std::uint64_t after_bytes, int error) {
  step_faults_[step] = StepFault{
      nth_copy + (nth_copy > 0 ? copies_started_ : 0), after_bytes, error};
}

int FaultyFileSystem::Calls(Operation operation) const {
  auto it = calls_.find(operation);
  return it == calls_.end() ? 0 : it->second;
}

bool FaultyFileSystem::Fails(Operation operation) {
  ++calls_[operation];
  auto it = call_faults_.find(operation);
  if (it == call_faults_.end()) return false;
  CallFault& fault = it->second;
  ++fault.counted;
  return fault.nth == 0 || fault.counted == fault.nth;
}

void FaultyFileSystem::ArmCopySteps(const std::string& target) {
  for (const auto& [step, fault] : step_faults_) {
    if (fault.nth_copy != 0 && fault.nth_copy != copies_started_) continue;
    switch (step) {
      case CopyStep::kWrite:
        system_calls.FailWritesAfter(fault.after_bytes, fault.error);
        break;
      case CopyStep::kSyncFile:
        system_calls.FailCall(Call::kFsync, 0, fault.error, On::kFile, true);
        break;
      case CopyStep::kPublish:
        system_calls.FailCall(Call::kLink, 0, fault.error, On::kAnything, true);
        system_calls.FailCall(Call::kRename, 0, fault.error, On::kAnything,
                              true);
        break;
      case CopyStep::kClose:
        system_calls.FailCall(Call::kClose, 0, fault.error, On::kAnything,
                              true);
        break;
      case CopyStep::kSyncFolder:
        system_calls.FailCall(Call::kFsync, 0, fault.error, On::kFolder, true);
        break;
      case CopyStep::kReadBack:
        system_calls.CorruptReadsOf(target);
        break;
    }
  }
}

void FaultyFileSystem::ArmMoveSteps() {
  for (const auto& [step, error] : move_faults_) {
    switch (step) {
      case MoveStep::kRename:
        system_calls.FailCall(Call::kRename, 0, error, On::kAnything, true);
        break;
      case MoveStep::kLink:
        system_calls.FailCall(Call::kLink, 0, error, On::kAnything, true);
        break;
      case MoveStep::kUnlink:
        // The unlink of the old name; the one that undoes the link after it
        // goes through.
        system_calls.FailCall(Call::kUnlink, 1, error, On::kAnything, true);
        break;
    }
  }
}

bool FaultyFileSystem::FileExists(const std::string& path) {
  return !Fails(Operation::kFileExists) && RealFileSystem::FileExists(path);
}

bool FaultyFileSystem::DirectoryExists(const std::string& path) {
  return !Fails(Operation::kDirectoryExists) &&
         RealFileSystem::DirectoryExists(path);
}

FileResult FaultyFileSystem::CreateDirectories(const std::string& path) {
  if (Fails(Operation::kCreateDirectories))
    return Failed(FileOperation::kCreateFolder, path);
  return RealFileSystem::CreateDirectories(path);
}

// The real batch, its copies counted and failed as whole copies are.
class FaultyFileSystem::CountedBatch : public ForwardingBatch {
 public:
  CountedBatch(FaultyFileSystem& owner, std::unique_ptr<CopyBatch> real)
      : ForwardingBatch(std::move(real)), owner_(owner) {}

  Ticket Add(const std::string& source, const std::string& target,
             bool source_goes_next, const CopyProgress& progress) override {
    ++owner_.copies_started_;
    if (owner_.Fails(Operation::kCopy)) {
      CopyResult failed;
      failed.failure = Failed(FileOperation::kWrite, target);
      tickets_.emplace_back(false, refused_.size());
      refused_.push_back(failed);
    } else {
      tickets_.emplace_back(
          true,
          ForwardingBatch::Add(source, target, source_goes_next, progress));
    }
    return tickets_.size() - 1;
  }
  const CopyResult& Result(Ticket ticket) const override {
    const auto [real, inner] = tickets_.at(ticket);
    return real ? ForwardingBatch::Result(inner) : refused_.at(inner);
  }

 private:
  FaultyFileSystem& owner_;
  std::vector<std::pair<bool, Ticket>> tickets_;  // real, and its ticket there
  std::vector<CopyResult> refused_;
};

std::unique_ptr<CopyBatch> FaultyFileSystem::NewCopyBatch(bool mark_read_only) {
  // The base's batch on purpose: whole copies, each through this disk's
  // CopyFileNoReplace, where the step's fault is armed.
  if (!step_faults_.empty())
    return FileSystem::NewCopyBatch(  // NOLINT(bugprone-parent-virtual-call)
        mark_read_only);
  // A fault of the read-only step or of a file's flush is one of the mark
  // set on a copy after it stands, as on a drive that keeps no permission
  // bits: the batch leaves its copies' marks to that step then.
  const bool mark_fails = call_faults_.contains(Operation::kSetReadOnly) ||
                          call_faults_.contains(Operation::kFlushFile);
  return std::make_unique<CountedBatch>(
      *this, RealFileSystem::NewCopyBatch(mark_read_only && !mark_fails));
}

CopyResult FaultyFileSystem::CopyFileNoReplace(const std::string& source,
                                               const std::string& target,
                                               bool source_goes_next,
                                               const CopyProgress& progress) {
  ++copies_started_;
  if (Fails(Operation::kCopy)) {
    CopyResult failed;
    failed.failure = Failed(FileOperation::kWrite, target);
    return failed;
  }
  ArmCopySteps(target);
  CopyResult result = RealFileSystem::CopyFileNoReplace(
      source, target, source_goes_next, progress);
  system_calls.ClearPassingFaults();
  return result;
}

bool FaultyFileSystem::MoveFileNoReplace(const std::string& source,
                                         const std::string& target) {
  if (Fails(Operation::kMove)) return false;
  ArmMoveSteps();
  const bool moved = RealFileSystem::MoveFileNoReplace(source, target);
  system_calls.ClearPassingFaults();
  return moved;
}

FileResult FaultyFileSystem::SetReadOnly(const std::string& path) {
  if (Fails(Operation::kSetReadOnly))
    return Failed(FileOperation::kMakeReadOnly, path);
  return RealFileSystem::SetReadOnly(path);
}

FileResult FaultyFileSystem::DeleteFile(const std::string& path) {
  if (Fails(Operation::kDeleteFile))
    return Failed(FileOperation::kDelete, path);
  return RealFileSystem::DeleteFile(path);
}

bool FaultyFileSystem::Stat(const std::string& path, FileInfo& info) {
  return !Fails(Operation::kStat) && RealFileSystem::Stat(path, info);
}

FileResult FaultyFileSystem::FlushFile(const std::string& path) {
  if (Fails(Operation::kFlushFile)) return Failed(FileOperation::kFlush, path);
  return RealFileSystem::FlushFile(path);
}

std::optional<std::uint64_t> FaultyFileSystem::FlushDrive(
    const std::string& folder) {
  if (Fails(Operation::kFlushDrive) ||
      call_faults_.contains(Operation::kFlushFile) ||
      call_faults_.contains(Operation::kFlushFolder))
    return std::nullopt;
  return RealFileSystem::FlushDrive(folder);
}

FileResult FaultyFileSystem::FlushFolder(const std::string& path) {
  if (Fails(Operation::kFlushFolder))
    return Failed(FileOperation::kFlush, path);
  return RealFileSystem::FlushFolder(path);
}

}  // namespace kuronel::testing
