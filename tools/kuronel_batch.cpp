// kuronel-batch [options] --dest DIR SOURCE...: puts the photos of camera
// folders in order by date without a window, with the same core as the
// window. See BatchHelpText for the options and the output.

#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "tools/batch_run.h"
#include "tools/tool_text.h"

int main(int argc, char** argv) {
  // A closed output (`kuronel-batch --move ... | head -1`) must end the run
  // between two files with a message and an exit status, not kill it
  // silently: the failed write is noticed instead.
  std::signal(SIGPIPE, SIG_IGN);
  std::ios::sync_with_stdio(false);
  kuronel::UseTheUsersLanguageForReasons();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kuronel::BatchMain(args, std::cout, std::cerr,
                            isatty(STDERR_FILENO) == 1);
}
