#ifndef KURONEL_TESTING_FAULTY_FILE_SYSTEM_H_
#define KURONEL_TESTING_FAULTY_FILE_SYSTEM_H_

#include <cerrno>
#include <cstdint>
#include <map>
#include <string>

#include "platform/file_system.h"

namespace kuronel::testing {

// The real disk with failures on demand: a test makes the nth call (or every
// call) of an operation fail, or breaks one step inside a copy (no space
// after some bytes, a failing fsync, a failing final link). Everything not
// made to fail goes to the real file system, so the files a test inspects
// afterwards are real.
class FaultyFileSystem : public RealFileSystem {
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
    kSyncFileSystem,
  };
  using CopyStep = RealFileSystem::CopyStep;
  using MoveStep = RealFileSystem::MoveStep;
  using SystemCall = RealFileSystem::SystemCall;

  FaultyFileSystem() = default;
  explicit FaultyFileSystem(Options options) : RealFileSystem(options) {}

  // Calls are counted from 1 from the moment the fault is set; nth == 0
  // fails every call. A failing call does nothing and reports failure.
  void FailCall(Operation operation, int nth = 0);
  // The nth copy (every copy for 0) fails at `step` with `error`; for kWrite
  // only once at least `after_bytes` bytes have been written.
  void FailCopyStep(CopyStep step, int nth_copy = 0,
                    std::uint64_t after_bytes = 0, int error = EIO);
  // No space left after `bytes` bytes of the nth copy.
  void FailCopyWhenFull(std::uint64_t bytes, int nth_copy = 0) {
    FailCopyStep(CopyStep::kWrite, nth_copy, bytes, ENOSPC);
  }

  // Every later move fails at `step` with `error` (EXDEV: as if the target
  // were on another file system; EINVAL at kRename: as if the file system
  // had no no-replace rename, so that the link and unlink run).
  void FailMoveStep(MoveStep step, int error) { move_faults_[step] = error; }

  // The nth system call of this kind (counted from 1 from now on) fails with
  // `error`: only that one call, or every call for nth == 0. Replaces an
  // earlier fault on that kind of call.
  void FailSystemCall(SystemCall call, int nth, int error);
  // Every later system call of this kind reports success without being
  // made, as a driver does that accepts chmod and keeps nothing of it.
  void IgnoreSystemCall(SystemCall call) {
    FailSystemCall(call, 0, kSystemCallIgnored);
  }
  // True once a fault set by FailSystemCall has struck.
  bool SystemCallFaultStruck() const { return system_call_fault_struck_; }

  // How often an operation was called.
  int Calls(Operation operation) const;

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectories(const std::string& path) override;
  CopyResult CopyFileNoReplace(const std::string& source,
                               const std::string& target, bool flush,
                               const CopyProgress& progress) override;
  bool MoveFileNoReplace(const std::string& source,
                         const std::string& target) override;
  bool SetReadOnly(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool Stat(const std::string& path, FileInfo& info) override;
  bool SyncFileSystem(const std::string& path) override;

 protected:
  int CopyStepFault(CopyStep step, std::uint64_t bytes_done) override;
  int MoveStepFault(MoveStep step) override;
  int SystemCallFault(SystemCall call) override;

 private:
  struct SystemCallFaultPlan {
    int nth = 0;
    int counted = 0;
    int error = EIO;
  };
  struct CallFault {
    int nth = 0;
    int counted = 0;
  };
  struct StepFault {
    int nth_copy = 0;
    std::uint64_t after_bytes = 0;
    int error = EIO;
  };

  // Counts the call; true when it is to fail.
  bool Fails(Operation operation);

  std::map<Operation, int> calls_;
  std::map<Operation, CallFault> call_faults_;
  std::map<CopyStep, StepFault> step_faults_;
  std::map<MoveStep, int> move_faults_;
  std::map<SystemCall, SystemCallFaultPlan> system_call_faults_;
  bool system_call_fault_struck_ = false;
  int copies_started_ = 0;
};

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_FAULTY_FILE_SYSTEM_H_
