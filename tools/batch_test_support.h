#ifndef KURONEL_TOOLS_BATCH_TEST_SUPPORT_H_
#define KURONEL_TOOLS_BATCH_TEST_SUPPORT_H_

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

}  // namespace kuronel::testing

#endif  // KURONEL_TOOLS_BATCH_TEST_SUPPORT_H_
