#include "testing/as_nobody.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kuronel::testing {

std::string AsNobody(const std::function<std::string()>& work) {
  if (geteuid() != 0) return work();
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    std::string out = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 &&
                              setuid(kNobody) == 0
                          ? work()
                          : "cannot become nobody";
    ssize_t ignored = write(pipe_fds[1], out.data(), out.size());
    (void)ignored;
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string out;
  char buffer[4096];
  ssize_t got;
  while ((got = read(pipe_fds[0], buffer, sizeof buffer)) > 0)
    out.append(buffer, got);
  close(pipe_fds[0]);
  waitpid(pid, nullptr, 0);
  return out;
}

}  // namespace kuronel::testing
