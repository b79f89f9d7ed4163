#ifndef KURONEL_PLATFORM_FILE_RESULT_H_
#define KURONEL_PLATFORM_FILE_RESULT_H_

#include <string>
#include <utility>

namespace kuronel {

// The file operations whose failure a user may need to read about.
enum class FileOperation {
  kCreateFolder,
  kOpen,
  kRead,
  kWrite,
  kFlush,
  kName,    // giving a copy its name
  kVerify,  // reading a copy back: it differs from its source
  kMakeReadOnly,
  kDelete,
};

// The language of the program's own words: kuronel-batch writes English
// (scripts read its lines), the windows Japanese. The system's reasons come
// from strerror in the user's locale either way.
enum class Wording { kEnglish, kJapanese };

// "create folder", "open", "read", "write", "flush", "name", "verify",
// "make read-only", "delete"; in Japanese "フォルダの作成", "ファイルを開く",
// "読み出し", "書き込み", ...
const char* OperationText(FileOperation operation,
                          Wording wording = Wording::kEnglish);

// Why an operation failed: the system's errno, or a cause of the program's
// own, which no errno stands for.
enum class FailureCause {
  kSystem,           // the errno's text ("unknown error" where there is none)
  kCopyDiffers,      // the copy, read back, differs from its source
  kSourceChanged,    // the source was written to while it was copied
  kNotAFile,         // a folder, FIFO, socket or device, not a regular file
  kSourceDriveGone,  // the source's drive was pulled out or cannot be read
                     // (the errno, where there is one, follows)
  kOutcomeOnly,      // nothing failed but what the outcome says
  kNoPath,           // the path is empty
  kNotAFolder,       // something other than a folder stands at a folder's name
  kNameTaken,        // something stands at the copy's name already
  kMarkedReadOnly,   // the file is marked read-only, so it is not deleted
  kReadOnlyNotKept,  // the drive took the read-only mark and kept nothing
  kCopyWrongLength,  // the copy as written is not as long as its source
  kNothingWritten,   // a write took none of the bytes and gave no reason
  kEndedEarly,       // the file ended before the length it has
  kCopyReplaced,     // another file stands at the copy's name now
  kUnsoundDataMap,   // the drive's answer of where the data lies is nonsense
};

// What became of the files after a failure, where the row's state alone
// does not say.
enum class FailureOutcome {
  kNone,
  kSourceDeleted,  // a move deleted the source of a copy that is not read-only
  kFileMoved,      // a rename happened though a later step failed
  kSourceKeptUnproven,  // a move kept its source: its copy did not prove itself
  kSourceKeptNoFlush,   // a move kept its source: the copy's drive is not
                        // known to write its disk when it flushes (fusefat)
  kSourceKeptReadBackFromMemory,  // a move kept its source: the copy's
                                  // read-back may have come from memory
  kSourceKeptImported,  // a move kept the source of a row not copied: its
                        // equal copy there is not one this run wrote
};

// The outcome of a file operation: success, or which operation failed on
// which path and why (the errno, or a cause of the program's own), and what
// became of the files. A failure is a failure whatever its errno: 0 where
// the system gave none.
class [[nodiscard]] FileResult {
 public:
  FileResult() = default;  // success
  FileResult(FileOperation operation, std::string path, int error,
             FailureCause cause = FailureCause::kSystem)
      : failed_(true),
        operation_(operation),
        path_(std::move(path)),
        error_(error),
        cause_(cause) {}
  // A failure of the program's own cause, with no errno behind it.
  FileResult(FileOperation operation, std::string path, FailureCause cause)
      : FileResult(operation, std::move(path), 0, cause) {}

  bool ok() const { return !failed_; }
  FileOperation operation() const { return operation_; }
  const std::string& path() const { return path_; }
  // The system's reason, 0 where there is none.
  int error() const { return error_; }
  FailureCause cause() const { return cause_; }
  FailureOutcome outcome() const { return outcome_; }
  // The same failure, with what became of the files.
  FileResult WithOutcome(FailureOutcome outcome) const;
  // The same failure of a copy that was to be removed for it, and could not
  // be (the errno `error`, 0 where the system gave none): the reason says
  // so, and that the copy stays at `copy`.
  FileResult WithCopyLeftBehind(const std::string& copy, int error) const;
  // True when the failed copy could not be removed (WithCopyLeftBehind).
  bool copy_left_behind() const { return !left_behind_path_.empty(); }
  int left_behind_error() const { return left_behind_error_; }
  // Why it failed, then what became of the files: "Operation not supported;
  // the source was deleted".
  std::string Reason(Wording wording = Wording::kEnglish) const;
  // "PATH: OPERATION: REASON", for example "/x/2004_05_06: create folder:
  // Permission denied"; empty on success.
  std::string Describe(Wording wording = Wording::kEnglish) const;

 private:
  bool failed_ = false;
  FileOperation operation_ = FileOperation::kOpen;
  std::string path_;
  int error_ = 0;
  FailureCause cause_ = FailureCause::kSystem;
  FailureOutcome outcome_ = FailureOutcome::kNone;
  int left_behind_error_ = 0;
  std::string left_behind_path_;
};

}  // namespace kuronel

#endif  // KURONEL_PLATFORM_FILE_RESULT_H_
