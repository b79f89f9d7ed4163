// Every file a run handled is told somewhere the user can read, however
// the run ends: an output that stops taking lines, a reader that went away,
// a signal. The files not begun are not touched, and the run fails.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"
#include "tools/batch_run.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using testing::TempDir;

// A card of `count` photos, one a day, so each is its own row in date
// order.
std::string WriteCard(const TempDir& dir, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string path =
        dir.WriteFile("card/IMG_" + std::to_string(1000 + i) + ".JPG",
                      std::string(300 + i, static_cast<char>('a' + i % 26)));
    testing::SetTimes(path, 1083844801 + 86400 * i, 0);
  }
  return dir.Path("card");
}

// The rows of `text` that tell a file moved.
std::size_t MovedRows(const std::string& text) {
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = text.find("\tOk\t", at)) != text.npos; ++at)
    ++rows;
  return rows;
}

// Standard output that takes one line and then fails, as a closed pipe or
// a full disk does.
struct OneLineOutput : std::streambuf {
  std::string taken;
  int_type overflow(int_type ch) override {
    if (taken.ends_with('\n')) return traits_type::eof();
    taken += static_cast<char>(ch);
    return ch;
  }
};

TEST(BatchOutputTest, RowsThatOutputDidNotTakeGoToStandardError) {
  TempDir dir;
  // More rows than the first three batches hold (1, 2 and 4 rows): the
  // second row's report, which fails, comes at the latest once the third
  // batch is written, and the rows after it are never begun.
  const std::string card = WriteCard(dir, 12);
  const testing::Manifest before = testing::TakeManifest(card);
  BatchOptions options;
  std::string error;
  ASSERT_TRUE(ParseBatchArguments({"--move", "--dest", dir.Path("out"), card},
                                  "/", options, error));
  OneLineOutput taken;
  std::ostream out(&taken);
  std::ostringstream err;
  EXPECT_EQ(RunBatch(options, out, err), kBatchExitFailed);

  const testing::MoveAudit audit =
      testing::AuditMove(before, card, testing::Manifest(), dir.Path("out"));
  EXPECT_TRUE(audit.ok()) << audit.Report();
  // The first file on standard output, every other file moved on standard
  // error, each its own line; the files after them untouched.
  EXPECT_EQ(MovedRows(taken.taken), 1u) << taken.taken;
  EXPECT_EQ(1 + MovedRows(err.str()), audit.at_target) << err.str();
  EXPECT_GT(audit.at_source, 0u);
}

TEST(BatchOutputTest, APipeWithoutItsReaderIsSeenBeforeAWriteFails) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  EXPECT_FALSE(OutputReaderGone(ends[1]));
  ::close(ends[0]);
  EXPECT_TRUE(OutputReaderGone(ends[1]));
  ::close(ends[1]);
  const int file = ::open("/dev/null", O_WRONLY);
  EXPECT_FALSE(OutputReaderGone(file));
  ::close(file);
}

#ifdef KURONEL_BATCH_PROGRAM
// What `fd` gives up to the first line end (or its end), without it.
std::string ReadUpTo(int fd, char end) {
  std::string text;
  for (char c; ::read(fd, &c, 1) == 1 && c != end;) text += c;
  return text;
}

// SIGINT or SIGTERM while a move runs: the rows in hand are finished and
// told, the rest stay where they are, and the exit code names the signal.
TEST(BatchOutputTest, ASignalStopsAMoveAfterTheRowsInHand) {
  for (int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    TempDir dir;
    constexpr int kFiles = 120;
    const std::string card = WriteCard(dir, kFiles);
    const testing::Manifest before = testing::TakeManifest(card);
    int out = -1;
    const pid_t child = testing::StartBatchProgram(
        {"--move", "--dest", dir.Path("out"), card}, dir.Path("err"), &out);
    ASSERT_GT(child, 0);
    // The run has begun once its first row is told; the pipe, soon full,
    // holds it back until the signal has come.
    const std::string first = ReadUpTo(out, '\n');
    ASSERT_EQ(::kill(child, signal_number), 0);
    const std::string rest = ReadUpTo(out, '\0');
    ::close(out);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);

    const testing::MoveAudit audit =
        testing::AuditMove(before, card, testing::Manifest(), dir.Path("out"));
    EXPECT_TRUE(audit.ok()) << audit.Report();
    EXPECT_GT(audit.at_source, 0u);
    EXPECT_EQ(MovedRows(first + "\n" + rest), audit.at_target);
    const std::string err = testing::ReadFile(dir.Path("err"));
    EXPECT_NE(err.find(" after " + std::to_string(audit.at_target) + " of " +
                       std::to_string(kFiles) + " files"),
              std::string::npos)
        << err;
    EXPECT_NE(rest.find("未処理"), std::string::npos);
  }
}
#endif  // KURONEL_BATCH_PROGRAM

}  // namespace
}  // namespace kuronel
