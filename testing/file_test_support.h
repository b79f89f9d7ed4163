// Small helpers shared by the tests of the disk layer.
#ifndef KURONEL_TESTING_FILE_TEST_SUPPORT_H_
#define KURONEL_TESTING_FILE_TEST_SUPPORT_H_

#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <string>

#include "gtest/gtest.h"

namespace kuronel::testing {

// Bytes that differ from block to block, so that a misplaced block shows.
inline std::string Pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(i * 131 + i / 7);
  return data;
}

inline struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

inline void SetTimes(const std::string& path, time_t seconds, long nanoseconds) {
  struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_FILE_TEST_SUPPORT_H_
