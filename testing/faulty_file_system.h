#ifndef KURONEL_TESTING_FAULTY_FILE_SYSTEM_H_
#define KURONEL_TESTING_FAULTY_FILE_SYSTEM_H_

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/file_system.h"
#include "testing/faulty_system_calls.h"

namespace kuronel::testing {

// Holds the system calls that the disk below is made over, so that they
// exist before it (base before the disk).
struct FaultySystemCallsHolder {
  FaultySystemCalls system_calls;
};

// The real disk over system calls that fail on request, with failures of
// whole operations and of steps inside a copy or a move on top: a test
// makes the nth call (or every call) of an operation fail, or breaks one
// step of a copy (no space after some bytes, a failing fsync, a failing
// final link) or of a move. Everything not made to fail goes to the real
// file system, so the files a test inspects afterwards are real.
class FaultyFileSystem : private FaultySystemCallsHolder,
                         public RealFileSystem {
 public:
  enum class Operation {
    kFileExists,
    kDirectoryExists,
    kCreateDirectories,
    kCopy,
    kMove,
    kSetReadOnly,
    kDeleteFile,
    kStat,
    kFlushFile,
    kFlushFolder,
    kFlushDrive,
  };
  using SystemCall = FaultySystemCalls::Call;
  // The steps of a copy a disk can fail, as the calls of the copy meet them.
  // kReadBack does not fail a call: the copy reads back with a byte changed.
  // kClose fails the close of the written copy.
  enum class CopyStep {
    kWrite,
    kSyncFile,
    kPublish,
    kClose,
    kSyncFolder,
    kReadBack
  };
  // The calls of a move: the no-replace rename, and where the file system
  // has none, a link to the new name and the unlink of the old one.
  enum class MoveStep { kRename, kLink, kUnlink };

  FaultyFileSystem() : FaultyFileSystem(Options()) {}
  // Its faults count calls in the order they come, so copies are read back
  // one after another.
  explicit FaultyFileSystem(Options options)
      : RealFileSystem(OneReadBackThread(options), system_calls) {}

  // Calls are counted from 1 from the moment the fault is set; nth == 0
  // fails every call. A failing call does nothing and reports failure.
  void FailCall(Operation operation, int nth = 0);
  // The nth copy (every copy for 0) fails at `step` with `error`; for kWrite
  // only once at least `after_bytes` bytes have been written.
  void FailCopyStep(CopyStep step, int nth_copy = 0,
                    std::uint64_t after_bytes = 0, int error = EIO);
  // Every later move fails at `step` with `error` (EXDEV at kRename: as if
  // the target were on another file system; EINVAL: as if the file system
  // had no no-replace rename, so that the link and unlink run).
  void FailMoveStep(MoveStep step, int error) { move_faults_[step] = error; }

  // The nth system call of this kind (counted from 1 from now on) fails
  // with `error`: only that one, or every call for nth == 0.
  void FailSystemCall(
      SystemCall call, int nth, int error,
      FaultySystemCalls::On on = FaultySystemCalls::On::kAnything) {
    system_calls.FailCall(call, nth, error, on);
  }
  // Every later system call of this kind reports success without being
  // made, as a driver does that accepts chmod and keeps nothing of it.
  void IgnoreSystemCall(SystemCall call) {
    system_calls.FailCall(call, 0, FaultySystemCalls::kIgnored);
  }
  bool SystemCallFaultStruck() const { return system_calls.FaultStruck(); }

  // How often an operation was called.
  int Calls(Operation operation) const;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  FileResult CreateDirectories(const std::string& path) override;
  CopyResult CopyFileNoReplace(const std::string& source,
                               const std::string& target, bool source_goes_next,
                               const CopyProgress& progress) override;
  bool MoveFileNoReplace(const std::string& source,
                         const std::string& target) override;
  FileResult SetReadOnly(const std::string& path) override;
  FileResult DeleteFile(const std::string& path) override;
  bool Stat(const std::string& path, FileInfo& info) override;
  FileResult FlushFile(const std::string& path) override;
  FileResult FlushFolder(const std::string& path) override;
  // While the flush of files or folders is to fail, so does that of their
  // whole drive: the caller then flushes each file or folder, and meets the
  // fault.
  std::optional<std::uint64_t> FlushDrive(const std::string& folder) override;
  // A copy step's fault belongs to the calls of one copy: while one is set,
  // copies run whole, one at a time, as outside a batch. Otherwise a
  // batch's copies count as copies and fail as FailCall(kCopy) asks.
  std::unique_ptr<CopyBatch> NewCopyBatch(bool mark_read_only) override;

 private:
  struct CallFault {
    int nth = 0;
    int counted = 0;
  };
  struct StepFault {
    int nth_copy = 0;
    std::uint64_t after_bytes = 0;
    int error = EIO;
  };

  static Options OneReadBackThread(Options options) {
    options.read_back_threads = 1;
    return options;
  }
  class CountedBatch;
  // Counts the call; true when it is to fail.
  bool Fails(Operation operation);
  // Sets the system-call faults of the copy and move steps that are due.
  void ArmCopySteps(const std::string& target);
  void ArmMoveSteps();

  std::map<Operation, int> calls_;
  std::map<Operation, CallFault> call_faults_;
  std::map<CopyStep, StepFault> step_faults_;
  std::map<MoveStep, int> move_faults_;
  int copies_started_ = 0;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_FAULTY_FILE_SYSTEM_H_
