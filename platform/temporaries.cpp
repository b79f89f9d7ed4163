// The hidden temporary files of copies, the reservations of names that some
// drives need, and the clean-up of what a killed copy left of them.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/file_system.h"

namespace kuronel {
namespace {

// True when `name` in the folder open as `dir_fd` is a file that nothing is
// writing: a regular file of this user (not a link) on which nobody holds
// the lock a copy keeps while it writes, and whose bytes, when `expected` is
// given, are exactly those.
bool IsUnusedFile(SystemCalls& calls, int dir_fd, const char* name,
                  const std::string* expected = nullptr) {
  UniqueFd fd(calls.OpenAt(dir_fd, name,
                           O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                               O_NOCTTY),
              calls);
  if (!fd.valid()) return false;
  struct stat opened, named;
  bool unused = calls.FileStat(fd.get(), opened) == 0 &&
                S_ISREG(opened.st_mode) && opened.st_uid == OwnUser() &&
                calls.Lock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
                calls.StatAt(dir_fd, name, named, false) == 0 &&
                named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
  if (unused && expected != nullptr) {
    std::string bytes(expected->size() + 1, '\0');
    const ssize_t got = calls.ReadAt(fd.get(), bytes.data(), bytes.size(), 0);
    unused = got == static_cast<ssize_t>(expected->size()) &&
             bytes.compare(0, expected->size(), *expected) == 0;
  }
  return unused;
}

// A visible regular file of a reservation's length.
bool MayBeReservation(SystemCalls& calls, int dir_fd, const char* name) {
  struct stat st;
  return !IsTemporaryName(name) && calls.StatAt(dir_fd, name, st, false) == 0 &&
         S_ISREG(st.st_mode) &&
         static_cast<std::size_t>(st.st_size) ==
             ReservationText(std::string(kTemporaryPrefix) +
                             std::string(kUniqueLetters, 'X'))
                 .size();
}

// The names of the folder open as dir_fd that `wanted` picks.
template <typename Wanted>
std::vector<std::string> NamesIn(SystemCalls& calls, int dir_fd,
                                 Wanted wanted) {
  std::vector<std::string> names;
  calls.ListNames(dir_fd, [&](const char* name, unsigned char) {
    if (wanted(name)) names.push_back(name);
  });
  return names;
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view prefix = kTemporaryPrefix;
  if (name.size() != prefix.size() + kUniqueLetters ||
      name.substr(0, prefix.size()) != prefix)
    return false;
  return std::all_of(name.begin() + prefix.size(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
  });
}

std::string ReservationText(std::string_view temporary_name) {
  return "Kuronel: reserved for the copy being written as " +
         std::string(temporary_name) + "\n";
}

int RealFileSystem::RemoveStaleTemporaries(const std::string& folder) {
  UniqueFd dir(calls_.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC),
               calls_);
  if (!dir.valid()) return 0;
  const std::vector<std::string> stale =
      NamesIn(calls_, dir.get(), [&](const char* name) {
        return IsTemporaryName(name) && IsUnusedFile(calls_, dir.get(), name);
      });
  // A reservation is left only beside its temporary: the folder is searched
  // for one only when a stale temporary was found. It goes first, so that
  // an interrupted clean-up still finds the temporary that proves it.
  std::vector<std::string> garbage;
  if (!stale.empty()) {
    const std::vector<std::string> candidates =
        NamesIn(calls_, dir.get(), [&](const char* name) {
          return MayBeReservation(calls_, dir.get(), name);
        });
    for (const std::string& name : candidates) {
      for (const std::string& temporary : stale) {
        const std::string text = ReservationText(temporary);
        if (IsUnusedFile(calls_, dir.get(), name.c_str(), &text))
          garbage.push_back(name);
      }
    }
  }
  garbage.insert(garbage.end(), stale.begin(), stale.end());
  int removed = 0;
  for (const std::string& name : garbage) {
    if (calls_.UnlinkAt(dir.get(), name.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace kuronel
