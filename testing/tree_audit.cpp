#include "testing/tree_audit.h"

#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "platform/file_system.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"

namespace kuronel::testing {
namespace {

namespace fs = std::filesystem;

using Counts = std::map<std::string, std::size_t>;

Counts CountHashes(const Manifest& manifest) {
  Counts counts;
  for (const auto& [path, hash] : manifest) ++counts[hash];
  return counts;
}

bool IsCopyTemporary(const std::string& path) {
  return IsTemporaryName(fs::path(path).filename().string());
}

// A reservation of a target name that a copy killed before its publication
// left (drives without links): empty, or (the start of) the line naming its
// temporary, beside the hidden proof that names both.
bool IsReservation(const std::string& path) {
  const fs::path file(path);
  const std::string text = ReadFile(path);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(file.parent_path(), error)) {
    ReservationProof proof;
    if (IsTemporaryName(entry.path().filename().string()) &&
        entry.file_size(error) < 4096 &&
        ParseProofText(ReadFile(entry.path().string()), proof) &&
        proof.target_name == file.filename().string() &&
        ReservationText(proof.temporary_name).starts_with(text))
      return true;
  }
  return false;
}

}  // namespace

std::string DigestCache::Of(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return std::string();
  std::vector<long long> key = {static_cast<long long>(st.st_dev),
                                static_cast<long long>(st.st_ino),
                                static_cast<long long>(st.st_size),
                                st.st_mtim.tv_sec,
                                st.st_mtim.tv_nsec,
                                st.st_ctim.tv_sec,
                                st.st_ctim.tv_nsec};
  auto found = digests_.find(key);
  if (found != digests_.end()) return found->second;
  std::string digest = Sha256OfFile(path);
  if (!digest.empty()) digests_.emplace(std::move(key), digest);
  return digest;
}

Manifest TakeManifest(const std::string& root, DigestCache* cache) {
  Manifest manifest;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (!it->is_regular_file(error) || it->is_symlink(error)) continue;
    const std::string path = it->path().string();
    manifest[path.substr(root.size() + 1)] =
        cache ? cache->Of(path) : Sha256OfFile(path);
  }
  return manifest;
}

std::string MoveAudit::Report() const {
  std::ostringstream text;
  text << at_source << " at source, " << at_target << " new at target";
  for (const std::string& problem : problems) text << "\n  " << problem;
  return text.str();
}

MoveAudit AuditMove(const Manifest& sources, const std::string& source_root,
                    const Manifest& target_before,
                    const std::string& target_root, AuditRules rules,
                    DigestCache* cache) {
  MoveAudit audit;
  const Manifest source_now = TakeManifest(source_root, cache);
  const Manifest target_now = TakeManifest(target_root, cache);

  Counts kept;  // per content: sources still in place
  for (const auto& [path, hash] : source_now) {
    auto before = sources.find(path);
    if (before == sources.end()) {
      audit.problems.push_back("new file under the source: " + path);
    } else if (before->second != hash) {
      audit.problems.push_back("source changed: " + path);
    } else {
      ++kept[hash];
      ++audit.at_source;
    }
  }
  Manifest arrived;
  for (const auto& [path, hash] : target_now) {
    if (IsCopyTemporary(path)) {
      if (!rules.allow_temporaries)
        audit.problems.push_back("temporary file left: " + path);
      continue;  // no copy: nobody finds a photo under a hidden name
    }
    auto before = target_before.find(path);
    if (before == target_before.end()) {
      arrived[path] = hash;
    } else if (before->second != hash) {
      audit.problems.push_back("existing file overwritten: " + path);
    }
  }
  // A reservation is no copy, even where its text so far (none) equals a
  // source's bytes (an empty file on the card).
  for (auto it = arrived.begin(); it != arrived.end();) {
    if (!IsReservation(target_root + "/" + it->first)) {
      ++it;
      continue;
    }
    if (!rules.allow_temporaries)
      audit.problems.push_back("reservation left: " + it->first);
    it = arrived.erase(it);
  }
  const Counts wanted = CountHashes(sources);
  const Counts copies = CountHashes(arrived);
  audit.at_target = arrived.size();
  for (const auto& [path, hash] : arrived) {
    if (!wanted.count(hash))
      audit.problems.push_back("partial or unknown file at target: " + path);
  }
  for (const auto& [hash, count] : wanted) {
    const std::size_t copied = copies.count(hash) ? copies.at(hash) : 0;
    const std::size_t still = kept.count(hash) ? kept.at(hash) : 0;
    if (copied + still < count)
      audit.problems.push_back(
          "lost: " + std::to_string(count - copied - still) +
          " file(s) with SHA-256 " + hash);
    if (copied > count && !rules.allow_duplicates)
      audit.problems.push_back("duplicate copies of SHA-256 " + hash);
  }
  return audit;
}

}  // namespace kuronel::testing
