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
#include "platform/folder_lock.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"
#include "tools/batch_run.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using Args = std::vector<std::string>;
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

// The lines of `text` that tell a row (not "#" lines nor messages).
std::vector<std::string> RowLines(const std::string& text) {
  std::vector<std::string> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.find('\t') != std::string::npos) rows.push_back(line);
  return rows;
}

// Standard output that takes one line and then fails, as a pipe whose
// reader has gone or a disk that is full.
class OneLineOutput : public std::streambuf {
 public:
  std::string taken;

 protected:
  std::streamsize xsputn(const char* text, std::streamsize size) override {
    if (taken.find('\n') != std::string::npos) return 0;
    taken.append(text, static_cast<std::size_t>(size));
    return size;
  }
  int_type overflow(int_type ch) override {
    const char c = static_cast<char>(ch);
    return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
  }
};

TEST(BatchOutputTest, RowsThatOutputDidNotTakeGoToStandardError) {
  TempDir dir;
  const std::string card = WriteCard(dir, 6);
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
  const std::vector<std::string> told = RowLines(err.str());
  EXPECT_EQ(RowLines(taken.taken).size(), 1u) << taken.taken;
  EXPECT_EQ(1 + told.size(), audit.at_target) << err.str();
  EXPECT_GT(audit.at_source, 0u);
  for (const std::string& row : told)
    EXPECT_NE(row.find("\tOk\t"), std::string::npos) << row;
  EXPECT_NE(err.str().find("stopped after " + std::to_string(audit.at_target) +
                           " of 6 files"),
            std::string::npos)
      << err.str();
}

TEST(BatchOutputTest, APipeWithoutItsReaderIsSeenBeforeAWriteFails) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  EXPECT_FALSE(OutputReaderGone(ends[1]));
  ::close(ends[0]);
  EXPECT_TRUE(OutputReaderGone(ends[1]));
  ::close(ends[1]);
  TempDir dir;
  const int file = ::open(dir.Path("out").c_str(), O_WRONLY | O_CREAT, 0600);
  EXPECT_FALSE(OutputReaderGone(file));
  ::close(file);
}

// A run refused for want of a trustworthy registry, in a child as a user
// of its own (the registry of the test's own user stays as it is).
TEST(BatchOutputTest, ARunWithoutATrustworthyRegistryIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  TempDir dir;
  const std::string card = WriteCard(dir, 2);
  ::chmod(dir.path().c_str(), 0755);
  const testing::Manifest before = testing::TakeManifest(card);
  const uid_t user = 61000 + static_cast<uid_t>(::getpid() % 1000);
  const std::string registry = RunRegistryFolder(user);
  ::unlink(registry.c_str());
  ASSERT_EQ(::symlink(dir.MakeDir("planted").c_str(), registry.c_str()), 0);
  ::chown(dir.Path("planted").c_str(), user, user);
  ::chmod(dir.Path("planted").c_str(), 0700);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    if (::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(99);
    const testing::BatchResult result =
        testing::RunBatchArgs({"--move", "--dest", dir.Path("out"), card});
    (void)!::write(ends[1], result.err.data(), result.err.size());
    ::_exit(result.code);
  }
  ::close(ends[1]);
  std::string err;
  char buffer[512];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
    err.append(buffer, static_cast<std::size_t>(n));
  ::close(ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::unlink(registry.c_str());
  EXPECT_EQ(WEXITSTATUS(status), kBatchExitUsage) << err;
  EXPECT_NE(err.find("cannot keep track of the runs in " + registry +
                     " (it is a symbolic link)"),
            std::string::npos)
      << err;
  EXPECT_EQ(testing::TakeManifest(card), before);
}

#ifdef KURONEL_BATCH_PROGRAM
// Starts the program on a move with standard output into a small pipe, so
// that it waits for the reader; returns its id and the pipe's read end.
pid_t StartMove(const Args& args, const std::string& err_file, int& out) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  ::fcntl(ends[1], F_SETPIPE_SZ, 4096);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ends[0]);
    ::dup2(ends[1], STDOUT_FILENO);
    const int err =
        ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(KURONEL_BATCH_PROGRAM)};
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(KURONEL_BATCH_PROGRAM, argv.data());
    ::_exit(127);
  }
  ::close(ends[1]);
  out = ends[0];
  return pid;
}

std::string ReadLine(int fd) {
  std::string line;
  for (char c; ::read(fd, &c, 1) == 1 && c != '\n';) line += c;
  return line;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(n));
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
    const pid_t child = StartMove({"--move", "--dest", dir.Path("out"), card},
                                  dir.Path("err"), out);
    ASSERT_GT(child, 0);
    // The run has begun once its first row is told; the pipe, soon full,
    // holds it back until the signal has come.
    const std::string first = ReadLine(out);
    ASSERT_EQ(::kill(child, signal_number), 0);
    const std::string rest = ReadAll(out);
    ::close(out);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);

    const testing::MoveAudit audit =
        testing::AuditMove(before, card, testing::Manifest(), dir.Path("out"));
    EXPECT_TRUE(audit.ok()) << audit.Report();
    EXPECT_GT(audit.at_source, 0u);
    std::size_t moved_rows = 0;
    for (const std::string& row : RowLines(first + "\n" + rest))
      moved_rows += row.find("\tOk\t") != std::string::npos;
    EXPECT_EQ(moved_rows, audit.at_target);
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
