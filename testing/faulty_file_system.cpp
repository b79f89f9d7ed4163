#include "testing/faulty_file_system.h"

namespace kuronel::testing {

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

int FaultyFileSystem::CopyStepFault(CopyStep step, std::uint64_t bytes_done) {
  auto it = step_faults_.find(step);
  if (it == step_faults_.end()) return 0;
  const StepFault& fault = it->second;
  if (fault.nth_copy != 0 && fault.nth_copy != copies_started_) return 0;
  if (bytes_done < fault.after_bytes) return 0;
  return fault.error;
}

int FaultyFileSystem::MoveStepFault(MoveStep step) {
  auto it = move_faults_.find(step);
  return it == move_faults_.end() ? 0 : it->second;
}

void FaultyFileSystem::FailSystemCall(SystemCall call, int nth, int error) {
  system_call_faults_[call] = SystemCallFaultPlan{nth, 0, error};
}

int FaultyFileSystem::SystemCallFault(SystemCall call) {
  auto it = system_call_faults_.find(call);
  if (it == system_call_faults_.end()) return 0;
  SystemCallFaultPlan& fault = it->second;
  if (++fault.counted != fault.nth && fault.nth != 0) return 0;
  system_call_fault_struck_ = true;
  return fault.error;
}

bool FaultyFileSystem::FileExists(const std::string& path) {
  return !Fails(Operation::kFileExists) && RealFileSystem::FileExists(path);
}

bool FaultyFileSystem::DirectoryExists(const std::string& path) {
  return !Fails(Operation::kDirectoryExists) &&
         RealFileSystem::DirectoryExists(path);
}

bool FaultyFileSystem::CreateDirectories(const std::string& path) {
  return !Fails(Operation::kCreateDirectories) &&
         RealFileSystem::CreateDirectories(path);
}

CopyResult FaultyFileSystem::CopyFileNoReplace(const std::string& source,
                                               const std::string& target,
                                               bool flush,
                                               const CopyProgress& progress) {
  ++copies_started_;
  if (Fails(Operation::kCopy)) {
    CopyResult failed;
    failed.error = EIO;
    return failed;
  }
  return RealFileSystem::CopyFileNoReplace(source, target, flush, progress);
}

bool FaultyFileSystem::MoveFileNoReplace(const std::string& source,
                                         const std::string& target) {
  return !Fails(Operation::kMove) &&
         RealFileSystem::MoveFileNoReplace(source, target);
}

bool FaultyFileSystem::SetReadOnly(const std::string& path) {
  return !Fails(Operation::kSetReadOnly) && RealFileSystem::SetReadOnly(path);
}

bool FaultyFileSystem::DeleteFile(const std::string& path) {
  return !Fails(Operation::kDeleteFile) && RealFileSystem::DeleteFile(path);
}

bool FaultyFileSystem::Stat(const std::string& path, FileInfo& info) {
  return !Fails(Operation::kStat) && RealFileSystem::Stat(path, info);
}

bool FaultyFileSystem::SyncFileSystem(const std::string& path) {
  return !Fails(Operation::kSyncFileSystem) &&
         RealFileSystem::SyncFileSystem(path);
}

}  // namespace kuronel::testing
