#ifndef KURONEL_TESTING_TEMP_DIR_H_
#define KURONEL_TESTING_TEMP_DIR_H_

#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <set>
#include <string>
#include <string_view>

namespace kuronel::testing {

// A fresh folder under $TMPDIR (or /tmp) that is removed with everything in
// it when the object goes away; write bits are restored first so read-only
// files and folders made by a test go too.
class TempDir {
 public:
  TempDir();
  // A fresh folder under `base` instead.
  explicit TempDir(const std::string& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing "/".
  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string Path(std::string_view relative) const;

  // Writes a file (creating missing parent folders) and returns its path.
  std::string WriteFile(std::string_view relative,
                        std::string_view contents) const;
  // Creates a folder with its parents and returns its path.
  std::string MakeDir(std::string_view relative) const;

 private:
  std::string path_;
};

// Where a TempDir goes by default: $TMPDIR, else /tmp.
std::string DefaultTempBase();
// /dev/shm when it is a writable folder (fsync costs nothing there, so tests
// that flush a lot stay quick), else DefaultTempBase().
std::string FastTempBase();
// True when both folders exist on two different file systems.
bool OnDifferentFileSystems(const std::string& a, const std::string& b);

// Changes the current directory for one test and back afterwards.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& path);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::string previous_;
};

// Sets a file's modification (and access) time to the given local time; a
// link is changed itself, not followed.
void SetLocalTime(const std::string& path, int year, int month, int day,
                  int hour, int minute, int second);

// Sets a file's modification and access time; a link is followed.
void SetTimes(const std::string& path, time_t seconds, long nanoseconds);

// stat of a path (links followed); a failure is a test failure.
struct stat StatOf(const std::string& path);

// True when anything stands at the path, a link (even a dangling one)
// counting itself.
bool Exists(const std::string& path);

// Bytes that differ from block to block, so that a misplaced block shows.
std::string Pattern(std::size_t size);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Entry names of a folder, "." and ".." left out, hidden names included;
// empty when the folder cannot be read.
std::set<std::string> FolderEntries(const std::string& folder);

// Copies a file from the test data folder into `dir` under `name`.
std::string CopyTestFile(const TempDir& dir, std::string_view testdata_relative,
                         std::string_view name);

// The repository's test data folder, testdata/ (holding camera-jpegs/).
std::string TestDataDir();

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_TEMP_DIR_H_
