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
      return {"the file was moved all the same",
              "ファイルは移動先にあります"};
    case FailureOutcome::kSourceKeptUnproven:
      return {"the source was kept: the copy could not be proven a whole, "
              "separate copy of it",
              "コピーが元のファイルの完全な別のコピーだと確かめられないため、"
              "元のファイルを残しました"};
    case FailureOutcome::kSourceKeptImported:
      return {"the source was kept: its equal copy already there was not "
              "written by this run",
              "取り込み済みのコピーはこの実行で書いたものではないため、"
              "元のファイルを残しました"};
    case FailureOutcome::kSourceKeptNoFlush:
      return {"the source was kept: the drive of the copy cannot confirm that "
              "it is on its disk (fusefat; mount FAT32 drives with the "
              "kernel's vfat driver to move onto them)",
              "コピー先のドライブ（fusefat）はディスクへの書き込みを確かめられな"
              "いため、元のファイルを残しました。FAT32 "
              "のドライブへ移動するには、カーネルの vfat "
              "ドライバでマウントしてください"};
  }
  return {"", ""};
}

std::string CauseText(const FileResult& result, Wording wording) {
  switch (result.cause()) {
    case FailureCause::kSystem:
      return std::strerror(result.error());
    case FailureCause::kCopyDiffers:
      return In(wording, {"the copy read back differs from its source",
                          "読み戻したコピーが元のファイルと違います"});
    case FailureCause::kSourceChanged:
      return In(wording, {"the source changed while it was copied",
                          "コピーの間に元のファイルが変わりました"});
    case FailureCause::kNotAFile:
      return In(wording, {"not a regular file",
                          "通常のファイルではありません"});
    case FailureCause::kOutcomeOnly:
      break;
  }
  return std::string();
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

std::string FileResult::Reason(Wording wording) const {
  std::string reason = CauseText(*this, wording);
  const std::string outcome = In(wording, OutcomeTexts(outcome_));
  if (!reason.empty() && !outcome.empty())
    reason += wording == Wording::kJapanese ? "。" : "; ";
  return reason + outcome;
}

std::string FileResult::Describe(Wording wording) const {
  if (ok()) return std::string();
  return path_ + ": " + OperationText(operation_, wording) + ": " +
         Reason(wording);
}

}  // namespace kuronel
