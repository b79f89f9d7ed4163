// kuronel-batch [options] --dest DIR SOURCE...: puts the photos of camera
// folders in order by date without a window, with the same core as the
// window. See BatchHelpText for the options and the output.

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "tools/batch_run.h"
#include "tools/tool_text.h"

namespace {

constexpr char kStopping[] =
    "kuronel-batch: stopping after the files in hand; the files after them "
    "are not touched\n";

// Takes SIGINT and SIGTERM on a thread of its own: every thread has them
// blocked, so no system call of the run is cut short by them. The first one
// during the run stops it after the rows in hand; before the run has
// touched a file, the process ends as the signal would end it.
void WatchStopSignals(sigset_t signals) {
  for (;;) {
    int signal_number = 0;
    if (sigwait(&signals, &signal_number) != 0) continue;
    if (kuronel::RequestBatchStop(signal_number)) {
      // Told at once: the files in hand may take a while.
      (void)!write(STDERR_FILENO, kStopping, std::strlen(kStopping));
      continue;
    }
    std::signal(signal_number, SIG_DFL);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &just_this, nullptr);
    raise(signal_number);
  }
}

// Before any other thread starts, so that they all inherit the mask.
void HandleStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread(WatchStopSignals, signals).detach();
}

}  // namespace

int main(int argc, char** argv) {
  // A closed output (`kuronel-batch --move ... | head -1`) must end the run
  // between two files with a message and an exit status, not kill it
  // silently: the failed write is noticed instead.
  std::signal(SIGPIPE, SIG_IGN);
  HandleStopSignals();
  std::ios::sync_with_stdio(false);
  kuronel::UseTheUsersLanguageForReasons();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return kuronel::BatchMain(args, std::cout, std::cerr,
                            isatty(STDERR_FILENO) == 1, STDOUT_FILENO);
}
