#ifndef KURONEL_TOOLS_BATCH_TEST_SUPPORT_H_
#define KURONEL_TOOLS_BATCH_TEST_SUPPORT_H_

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tools/batch_run.h"

namespace kuronel::testing {

// What one kuronel-batch run printed and answered.
struct BatchResult {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs kuronel-batch's own entry with `args` (relative paths against the
// current directory), or, with `disk`, the same run over that disk (absolute
// paths only).
inline BatchResult RunBatchArgs(const std::vector<std::string>& args,
                                FileSystem* disk = nullptr) {
  std::ostringstream out, err;
  BatchResult result;
  if (disk == nullptr) {
    result.code = BatchMain(args, out, err, false);
  } else {
    BatchOptions options;
    std::string error;
    EXPECT_TRUE(ParseBatchArguments(args, "/", options, error)) << error;
    result.code = RunBatch(options, out, err, nullptr, disk);
  }
  result.out = out.str();
  result.err = err.str();
  return result;
}

#ifdef KURONEL_BATCH_PROGRAM
// Starts the program with `args`, standard error into `err_file`, SIGPIPE
// as a shell leaves it, and standard output into a pipe of one page (a run
// waits for its reader once that is full); returns its id. `out` receives
// the pipe's read end; without `out` nobody reads it (as after `| head -1`).
inline pid_t StartBatchProgram(const std::vector<std::string>& args,
                               const std::string& err_file,
                               int* out = nullptr) {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  ::fcntl(ends[1], F_SETPIPE_SZ, 4096);
  if (out == nullptr) ::close(ends[0]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    ::dup2(ends[1], STDOUT_FILENO);
    ::dup2(::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
           STDERR_FILENO);
    std::vector<char*> argv = {const_cast<char*>(KURONEL_BATCH_PROGRAM)};
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(KURONEL_BATCH_PROGRAM, argv.data());
    ::_exit(127);
  }
  ::close(ends[1]);
  if (out != nullptr) *out = ends[0];
  return pid;
}
#endif  // KURONEL_BATCH_PROGRAM

}  // namespace kuronel::testing

#endif  // KURONEL_TOOLS_BATCH_TEST_SUPPORT_H_
