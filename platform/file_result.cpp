#include "platform/file_result.h"

#include <cstring>

namespace kuronel {
namespace {

struct Texts {
  const char* english;
  const char* japanese;
};

const char* In(Wording wording, const Texts& texts) {
  return wording == Wording::kJapanese ? texts.japanese : texts.english;
}

Texts OperationTexts(FileOperation operation) {
  switch (operation) {
    case FileOperation::kCreateFolder:
      return {"create folder", "フォルダの作成"};
    case FileOperation::kOpen:
      return {"open", "ファイルを開く"};
    case FileOperation::kRead:
      return {"read", "読み出し"};
    case FileOperation::kWrite:
      return {"write", "書き込み"};
    case FileOperation::kFlush:
      return {"flush", "ディスクへの書き出し"};
    case FileOperation::kName:
      return {"name", "名前の付与"};
    case FileOperation::kVerify:
      return {"verify", "読み戻しの照合"};
    case FileOperation::kMakeReadOnly:
      return {"make read-only", "読み出し専用の設定"};
    case FileOperation::kDelete:
      return {"delete", "削除"};
  }
  return {"", ""};
}

Texts OutcomeTexts(FailureOutcome outcome) {
  switch (outcome) {
    case FailureOutcome::kNone:
      break;
    case FailureOutcome::kSourceDeleted:
      return {"the source was deleted", "元のファイルは削除しました"};
    case FailureOutcome::kFileMoved:
      return {"the file was moved all the same", "ファイルは移動先にあります"};
    case FailureOutcome::kSourceKeptUnproven:
      return {
          "the source was kept: the copy could not be proven a whole, "
          "separate copy of it",
          "コピーが元のファイルの完全な別のコピーだと確かめられないため、"
          "元のファイルを残しました"};
    case FailureOutcome::kSourceKeptImported:
      return {
          "the source was kept: its equal copy already there did not "
          "read back from the drive equal to it, or one of them changed",
          "取り込み済みのコピーをドライブから読み戻して元のファイルと"
          "同じだと確かめられなかったため、元のファイルを残しました"};
    case FailureOutcome::kSourceKeptNoFlush:
      return {
          "the source was kept: the drive of the copy is not known to "
          "write its disk when it flushes (a FUSE driver such as "
          "fusefat; only the kernel's drivers, and exfat-fuse and "
          "ntfs-3g on a device, are; mount the drive with the kernel's "
          "driver to move onto it)",
          "コピー先のドライブ（fusefat などの FUSE ドライバ）は"
          "ディスクへの書き込みを確かめられないため、元のファイルを"
          "残しました。移動するには、カーネルのドライバでマウントして"
          "ください"};
    case FailureOutcome::kSourceKeptReadBackFromMemory:
      return {
          "the source was kept: on the drive of the copy its read-back "
          "may come from memory, not from the disk (ext4 mounted "
          "data=journal, btrfs, or a FUSE drive whose device cannot be "
          "read)",
          "コピー先のドライブ（data=journal の ext4、btrfs、デバイスを"
          "読めない FUSE ドライブ）では読み戻しがディスクではなくメモリ"
          "から読まれることがあるため、元のファイルを残しました"};
  }
  return {"", ""};
}

// The errno's text; 0 is a failure the system gave no reason for.
std::string SystemText(int error, Wording wording) {
  if (error == 0) return In(wording, {"unknown error", "不明なエラー"});
  return std::strerror(error);
}

Texts OwnCauseTexts(FailureCause cause) {
  switch (cause) {
    case FailureCause::kSystem:
    case FailureCause::kSourceDriveGone:
    case FailureCause::kOutcomeOnly:
      break;
    case FailureCause::kCopyDiffers:
      return {"the copy read back differs from its source",
              "読み戻したコピーが元のファイルと違います"};
    case FailureCause::kSourceChanged:
      return {"the source changed while it was copied",
              "コピーの間に元のファイルが変わりました"};
    case FailureCause::kNotAFile:
      return {"not a regular file", "通常のファイルではありません"};
    case FailureCause::kNoPath:
      return {"the path is empty", "パスが空です"};
    case FailureCause::kNotAFolder:
      return {"something other than a folder has the name",
              "同じ名前のフォルダ以外のものがあります"};
    case FailureCause::kNameTaken:
      return {"something already has the name", "同じ名前のものが既にあります"};
    case FailureCause::kMarkedReadOnly:
      return {"the file is marked read-only", "読み出し専用のファイルです"};
    case FailureCause::kReadOnlyNotKept:
      return {"the drive did not keep the read-only mark",
              "ドライブが読み出し専用の設定を保持しませんでした"};
    case FailureCause::kCopyWrongLength:
      return {"the copy as written is not as long as its source",
              "書き込んだコピーの長さが元のファイルと違います"};
    case FailureCause::kNothingWritten:
      return {"the drive took none of the bytes and gave no reason",
              "ドライブが理由を示さずにデータを書き込みませんでした"};
    case FailureCause::kEndedEarly:
      return {"the file ended before its length",
              "ファイルが長さの途中で終わりました"};
    case FailureCause::kCopyReplaced:
      return {"another file has the copy's name now",
              "コピーの名前に別のファイルがあります"};
    case FailureCause::kUnsoundDataMap:
      return {
          "the drive told nonsense of where the file's data lies",
          "ドライブがファイルのデータの位置について矛盾した答えを返しました"};
  }
  return {"", ""};
}

std::string CauseText(const FileResult& result, Wording wording) {
  if (result.cause() == FailureCause::kSystem)
    return SystemText(result.error(), wording);
  if (result.cause() == FailureCause::kSourceDriveGone)
    return std::string(
               In(wording,
                  {"the drive of the source is gone (the card was taken out, "
                   "or it cannot be read): ",
                   "元のファイルのドライブがありません（カードが抜かれたか、"
                   "読めなくなっています）: "})) +
           SystemText(result.error(), wording);
  return In(wording, OwnCauseTexts(result.cause()));
}

}  // namespace

const char* OperationText(FileOperation operation, Wording wording) {
  return In(wording, OperationTexts(operation));
}

FileResult FileResult::WithOutcome(FailureOutcome outcome) const {
  FileResult result = *this;
  result.outcome_ = outcome;
  return result;
}

FileResult FileResult::WithCopyLeftBehind(const std::string& copy,
                                          int error) const {
  FileResult result = *this;
  result.left_behind_error_ = error;
  result.left_behind_path_ = copy;
  return result;
}

std::string FileResult::Reason(Wording wording) const {
  const char* separator = wording == Wording::kJapanese ? "。" : "; ";
  std::string reason = CauseText(*this, wording);
  if (copy_left_behind()) {
    if (!reason.empty()) reason += separator;
    reason += In(wording, {"the copy could not be removed and stays at ",
                           "コピーを削除できず、次の場所に残っています: "});
    reason += left_behind_path_ + " (" +
              SystemText(left_behind_error_, wording) + ")";
  }
  const std::string outcome = In(wording, OutcomeTexts(outcome_));
  if (!reason.empty() && !outcome.empty()) reason += separator;
  return reason + outcome;
}

std::string FileResult::Describe(Wording wording) const {
  if (ok()) return std::string();
  return path_ + ": " + OperationText(operation_, wording) + ": " +
         Reason(wording);
}

}  // namespace kuronel
