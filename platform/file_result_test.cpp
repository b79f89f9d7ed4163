#include "platform/file_result.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <string>

#include "gtest/gtest.h"

namespace kuronel {
namespace {

// A Japanese desktop: the system's reasons come in Japanese (Debian's
// libc-l10n), the windows' words are Japanese, and kuronel-batch keeps its
// English operation words beside the Japanese reason.
TEST(FileResultTest, AJapaneseLocaleGivesJapaneseReasons) {
  const std::string ctype = std::setlocale(LC_CTYPE, nullptr);
  const std::string messages = std::setlocale(LC_MESSAGES, nullptr);
  setenv("LANGUAGE", "ja", 1);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  ASSERT_NE(std::setlocale(LC_MESSAGES, "C.UTF-8"), nullptr);
  const FileResult full(FileOperation::kWrite, "/x/a0.JPG", ENOSPC);
  const FileResult kept =
      FileResult(FileOperation::kMakeReadOnly, "/x/a0.JPG", EPERM)
          .WithOutcome(FailureOutcome::kSourceKeptNoFlush);
  const std::string window = full.Describe(Wording::kJapanese);
  const std::string batch = full.Describe(Wording::kEnglish);
  const std::string kept_text = kept.Describe(Wording::kJapanese);
  unsetenv("LANGUAGE");
  std::setlocale(LC_CTYPE, ctype.c_str());
  std::setlocale(LC_MESSAGES, messages.c_str());

  EXPECT_EQ(window, "/x/a0.JPG: 書き込み: デバイスに空き領域がありません");
  EXPECT_EQ(batch, "/x/a0.JPG: write: デバイスに空き領域がありません");
  EXPECT_EQ(kept_text.rfind(
                "/x/a0.JPG: 読み出し専用の設定: 許可されていない操作です。"
                "コピー先のドライブ（fusefat",
                0),
            0u)
      << kept_text;
}

// A failure is one by itself: built with no errno it still fails, and its
// reason is the program's own cause in each wording, or "unknown error".
TEST(FileResultTest, AFailureIsOneWhateverItsErrno) {
  const struct {
    FileResult result;
    const char* english;
    const char* japanese;
  } cases[] = {
      {FileResult(FileOperation::kDelete, "/c/a.JPG", 0), "unknown error",
       "不明なエラー"},
      {FileResult(FileOperation::kOpen, "/c/a.JPG", FailureCause::kNotAFile),
       "not a regular file", "通常のファイルではありません"},
      {FileResult(FileOperation::kDelete, "/c/a.JPG",
                  FailureCause::kOutcomeOnly)
           .WithOutcome(FailureOutcome::kSourceKeptUnproven),
       "the source was kept: the copy could not be proven a whole, separate "
       "copy of it",
       "コピーが元のファイルの完全な別のコピーだと確かめられないため、"
       "元のファイルを残しました"},
      {FileResult(FileOperation::kVerify, "/d/a0.JPG",
                  FailureCause::kCopyDiffers)
           .WithCopyLeftBehind("/d/a0.JPG", 0),
       "the copy read back differs from its source; the copy could not be "
       "removed and stays at /d/a0.JPG (unknown error)",
       "読み戻したコピーが元のファイルと違います。コピーを削除できず、"
       "次の場所に残っています: /d/a0.JPG (不明なエラー)"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(c.result.ok()) << c.english;
    EXPECT_EQ(c.result.error(), 0);
    EXPECT_EQ(c.result.Reason(Wording::kEnglish), c.english);
    EXPECT_EQ(c.result.Reason(Wording::kJapanese), c.japanese);
  }
  EXPECT_TRUE(FileResult().ok());
  EXPECT_EQ(FileResult().Describe(), "");
}

}  // namespace
}  // namespace kuronel
