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

}  // namespace
}  // namespace kuronel
