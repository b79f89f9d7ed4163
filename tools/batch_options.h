#ifndef KURONEL_TOOLS_BATCH_OPTIONS_H_
#define KURONEL_TOOLS_BATCH_OPTIONS_H_

#include <string>
#include <vector>

#include "settings/settings.h"

namespace kuronel {

// Exit codes of kuronel-batch.
inline constexpr int kBatchExitOk = 0;
inline constexpr int kBatchExitFailed = 1;  // a file was not processed
inline constexpr int kBatchExitUsage = 2;

// What one kuronel-batch run is asked to do.
struct BatchOptions {
  // The folders to catalogue, absolute; the first is opened, the others are
  // added.
  std::vector<std::string> sources;
  // The processing options (the program's design values unless an option
  // turned one off) and the destination, absolute with a trailing "/".
  Settings settings;
  bool dry_run = false;
  // Read back every copy from the drive before it counts; --no-verify turns
  // it off for the copies whose originals are kept (a move always reads its
  // copies back before it deletes anything).
  bool verify_copies = true;
  bool help = false;
  bool version = false;
  // Progress texts on standard error; the program turns it on when standard
  // error is a terminal.
  bool show_progress = false;
};

// The full help text.
const char* BatchHelpText();

// The two lines shown after a usage error.
const char* BatchUsageText();

// `path` made absolute against `current_directory` (a path beginning with "/"
// stays as it is), with "." parts and repeated "/" dropped and no trailing
// "/" except for the root. ".." parts are kept for the kernel to resolve, so
// that a link in the path is followed as the shell would. Empty when `path`
// is relative and `current_directory` is empty.
std::string AbsolutePath(const std::string& path,
                         const std::string& current_directory);

// Parses the arguments after the program name. Relative paths are taken from
// `current_directory`. False with a one-line `error` on a usage error. With
// -h, --help or --version anywhere before "--", only `help` or `version` is
// set, whichever comes first.
bool ParseBatchArguments(const std::vector<std::string>& args,
                         const std::string& current_directory,
                         BatchOptions& options, std::string& error);

}  // namespace kuronel

#endif  // KURONEL_TOOLS_BATCH_OPTIONS_H_
