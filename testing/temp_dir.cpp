#include "testing/temp_dir.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "gtest/gtest.h"
#include "platform/path.h"

namespace kuronel::testing {

namespace fs = std::filesystem;

namespace {

bool IsWritableFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(path.c_str(), W_OK) == 0;
}

}  // namespace

std::string DefaultTempBase() {
  const char* base = getenv("TMPDIR");
  return base && *base ? base : "/tmp";
}

std::string FastTempBase() {
  return IsWritableFolder("/dev/shm") ? "/dev/shm" : DefaultTempBase();
}

bool OnDifferentFileSystems(const std::string& a, const std::string& b) {
  struct stat st_a {
  }, st_b{};
  return stat(a.c_str(), &st_a) == 0 && stat(b.c_str(), &st_b) == 0 &&
         st_a.st_dev != st_b.st_dev;
}

TempDir::TempDir() : TempDir(DefaultTempBase()) {}

TempDir::TempDir(const std::string& base) {
  std::string pattern = base + "/kuronel-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  // Give every folder its write bit back so that its entries can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add,
                      error);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::string TempDir::Path(std::string_view relative) const {
  return path_ + "/" + std::string(relative);
}

std::string TempDir::WriteFile(std::string_view relative,
                               std::string_view contents) const {
  std::string path = Path(relative);
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

std::string TempDir::MakeDir(std::string_view relative) const {
  std::string path = Path(relative);
  fs::create_directories(path);
  return path;
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& path) {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr || chdir(path.c_str()) != 0)
    throw std::runtime_error("cannot change to " + path);
  previous_ = buffer;
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  if (chdir(previous_.c_str()) != 0) std::abort();
}

void SetLocalTime(const std::string& path, int year, int month, int day,
                  int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const time_t when = mktime(&local);
  const struct timespec times[2] = {{when, 0}, {when, 0}};
  EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0)
      << path;
}

void SetTimes(const std::string& path, time_t seconds, long nanoseconds) {
  const struct timespec times[2] = {{seconds, nanoseconds},
                                    {seconds, nanoseconds}};
  EXPECT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st;
}

bool Exists(const std::string& path) {
  return KindAt(path, false, RealSystemCalls()) != PathKind::kNothing;
}

std::string Pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<char>(i * 131 + i / 7);
  return data;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::set<std::string> FolderEntries(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.insert(entry.path().filename().string());
  return names;
}

std::string TestDataDir() {
#ifdef KURONEL_TESTDATA_DIR
  return KURONEL_TESTDATA_DIR;
#else
  return "testdata";
#endif
}

std::string CopyTestFile(const TempDir& dir, std::string_view testdata_relative,
                         std::string_view name) {
  std::string source = TestDataDir() + "/" + std::string(testdata_relative);
  std::string contents = ReadFile(source);
  if (contents.empty()) throw std::runtime_error("missing test data " + source);
  return dir.WriteFile(name, contents);
}

}  // namespace kuronel::testing
