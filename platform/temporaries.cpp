// The hidden temporary files of copies, the reservations of names that some
// drives need with the proofs that make them this program's own, and the
// clean-up of what a killed copy left of them.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "platform/file_identity.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace kuronel {
namespace {

constexpr std::size_t kRandomLetters = 6;
constexpr std::size_t kCheckLetters = 6;
// Lower case only: FAT folds case, so a name must not rely on it.
constexpr std::string_view kNameLetters =
    "abcdefghijklmnopqrstuvwxyz0123456789";

// The letters that check a name's random part: a keyed hash of it, so that
// a name somebody typed is taken for this program's by chance only once in
// 36^6 (two billion). Not a secret: it guards against accidents.
std::string CheckLetters(std::string_view random_part) {
  std::uint64_t hash = 0xcbf29ce484222325u;  // FNV-1a
  const auto mix = [&](char c) {
    hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 0x100000001b3u;
  };
  for (char c : std::string_view("kuronel hidden file name\n")) mix(c);
  for (char c : random_part) mix(c);
  // Every check letter depends on every random one.
  hash = (hash ^ (hash >> 30)) * 0xbf58476d1ce4e5b9u;
  hash = (hash ^ (hash >> 27)) * 0x94d049bb133111ebu;
  hash ^= hash >> 31;
  std::string check;
  for (std::size_t i = 0; i < kCheckLetters; ++i) {
    check += kNameLetters[hash % kNameLetters.size()];
    hash /= kNameLetters.size();
  }
  return check;
}

// A proof's lines around the names it holds.
constexpr std::string_view kProofLead = "Kuronel: about to reserve\n";
constexpr std::string_view kProofMiddle = "for the copy being written as\n";
// A proof's text is a few hundred bytes at most; a longer file is none.
constexpr std::size_t kLongestProof = 4096;

// The first bytes of `name` in the folder open as dir_fd, up to `limit` and
// one more (so that a longer file shows itself), when it is a file that
// nothing is writing: a regular file of this user (not a link) on which
// nobody holds the lock a copy keeps while it writes.
std::optional<std::string> UnusedFileStart(SystemCalls& calls, int dir_fd,
                                           const char* name,
                                           std::size_t limit) {
  UniqueFd fd(
      calls.OpenAt(dir_fd, name,
                   O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY),
      calls);
  if (!fd.valid()) return std::nullopt;
  struct stat opened, named;
  if (calls.FileStat(fd.get(), opened) != 0 || !S_ISREG(opened.st_mode) ||
      opened.st_uid != calls.EffectiveUser() ||
      calls.Lock(fd.get(), LOCK_EX | LOCK_NB) != 0 ||
      calls.StatAt(dir_fd, name, named, false) != 0 ||
      !InodeIdentity(named).SameFileAs(InodeIdentity(opened)))
    return std::nullopt;
  std::string bytes(limit + 1, '\0');
  const ssize_t got = calls.ReadAt(fd.get(), bytes.data(), bytes.size(), 0);
  if (got < 0) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(got));
  return bytes;
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

// True when the stale hidden file `name` is a proof whose reservation a
// killed copy left: the target it names is unused and holds nothing but
// (the start of) the reservation text, and the temporary that was to be
// renamed over it is still there, stale too. A target holding anything
// else (the published copy, a user's file) stays.
bool ProvesLeftReservation(SystemCalls& calls, int dir_fd,
                           const std::string& name,
                           const std::vector<std::string>& stale,
                           ReservationProof& proof) {
  const std::optional<std::string> text =
      UnusedFileStart(calls, dir_fd, name.c_str(), kLongestProof);
  if (!text || !ParseProofText(*text, proof) || proof.temporary_name == name ||
      std::find(stale.begin(), stale.end(), proof.temporary_name) ==
          stale.end())
    return false;
  const std::string reserved = ReservationText(proof.temporary_name);
  const std::optional<std::string> held = UnusedFileStart(
      calls, dir_fd, proof.target_name.c_str(), reserved.size());
  return held && std::string_view(reserved).starts_with(*held);
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view prefix = kTemporaryPrefix;
  if (name.size() != prefix.size() + kRandomLetters + kCheckLetters ||
      !SameIgnoringAsciiCase(name.substr(0, prefix.size()), prefix))
    return false;
  name.remove_prefix(prefix.size());
  return std::all_of(name.begin(), name.end(),
                     [](char c) {
                       return std::isalnum(static_cast<unsigned char>(c)) != 0;
                     }) &&
         SameIgnoringAsciiCase(name.substr(kRandomLetters),
                               CheckLetters(name.substr(0, kRandomLetters)));
}

std::string NewTemporaryName() {
  thread_local std::mt19937 random{std::random_device()()};
  std::uniform_int_distribution<std::size_t> letter(0, kNameLetters.size() - 1);
  std::string random_part;
  for (std::size_t i = 0; i < kRandomLetters; ++i)
    random_part += kNameLetters[letter(random)];
  return kTemporaryPrefix + random_part + CheckLetters(random_part);
}

UniqueFd CreateTemporaryFile(SystemCalls& calls, const std::string& folder,
                             mode_t mode, std::string& path) {
  return CreateNewFile(calls, folder, NewTemporaryName, mode, path);
}

std::string ReservationText(std::string_view temporary_name) {
  return "Kuronel: reserved for the copy being written as " +
         std::string(temporary_name) + "\n";
}

std::string ProofText(const ReservationProof& proof) {
  return std::string(kProofLead) + proof.target_name + "\n" +
         std::string(kProofMiddle) + proof.temporary_name + "\n";
}

bool ParseProofText(std::string_view text, ReservationProof& proof) {
  if (!text.starts_with(kProofLead)) return false;
  text.remove_prefix(kProofLead.size());
  const std::size_t target_end = text.find('\n');
  if (target_end == std::string_view::npos) return false;
  const std::string_view target = text.substr(0, target_end);
  text.remove_prefix(target_end + 1);
  if (!text.starts_with(kProofMiddle) || !text.ends_with('\n')) return false;
  text.remove_prefix(kProofMiddle.size());
  text.remove_suffix(1);
  // Only a name in the proof's own folder, and never a hidden file's.
  if (target.empty() || target == "." || target == ".." ||
      target.find('/') != std::string_view::npos || IsTemporaryName(target) ||
      !IsTemporaryName(text))
    return false;
  proof.target_name = std::string(target);
  proof.temporary_name = std::string(text);
  return true;
}

UniqueFd WriteReservationProof(SystemCalls& calls, const std::string& folder,
                               const ReservationProof& proof,
                               std::string& path) {
  UniqueFd file = CreateTemporaryFile(calls, folder, 0600, path);
  if (!file.valid()) return file;
  calls.Lock(file.get(), LOCK_EX | LOCK_NB);  // in use until closed
  if (WriteAll(calls, file.get(), ProofText(proof))) {
    // So that a power cut cannot keep the reservation and lose its proof.
    // Some drives cannot flush (fusefat); the copy's own flush reports that.
    calls.Sync(file.get());
    return file;
  }
  const int error = errno;
  file.Reset();
  calls.Unlink(path);
  path.clear();
  errno = error;
  return UniqueFd();
}

int RealFileSystem::RemoveStaleTemporaries(const std::string& folder) {
  UniqueFd dir(calls_.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC), calls_);
  if (!dir.valid()) return 0;
  const std::vector<std::string> stale =
      NamesIn(calls_, dir.get(), [&](const char* name) {
        return IsTemporaryName(name) &&
               UnusedFileStart(calls_, dir.get(), name, 0).has_value();
      });
  // The reservations go first, so that a clean-up interrupted in its turn
  // still finds the proofs and temporaries that make them garbage.
  std::vector<std::string> garbage;
  for (const std::string& name : stale) {
    ReservationProof proof;
    if (ProvesLeftReservation(calls_, dir.get(), name, stale, proof))
      garbage.push_back(proof.target_name);
  }
  garbage.insert(garbage.end(), stale.begin(), stale.end());
  int removed = 0;
  for (const std::string& name : garbage) {
    if (calls_.UnlinkAt(dir.get(), name.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace kuronel
