#ifndef KURONEL_TESTING_TREE_AUDIT_H_
#define KURONEL_TESTING_TREE_AUDIT_H_

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace kuronel::testing {

// Path below a root -> SHA-256 of the file, for every regular file below it
// (links are not followed and not listed).
using Manifest = std::map<std::string, std::string>;

// Digests of files already read, for audits repeated many times over the
// same files: a file whose identity, size, modification and change times are
// as before is not read again (its change time moves with any write).
class DigestCache {
 public:
  std::string Of(const std::string& path);

 private:
  std::map<std::vector<long long>, std::string> digests_;
};

Manifest TakeManifest(const std::string& root, DigestCache* cache = nullptr);

// What became of the files of a move from one tree into another.
struct MoveAudit {
  std::vector<std::string> problems;  // empty when all is well
  std::size_t at_source = 0;          // files still at their source, unchanged
  std::size_t at_target = 0;          // files new under the target root
  bool ok() const { return problems.empty(); }
  std::string Report() const;
};

// What an audit lets pass.
struct AuditRules {
  // More copies of a content than there were sources with it: a run killed
  // after a copy and before its source's delete copies that source again.
  bool allow_duplicates = false;
  // Hidden temporary files of copies under target_root, and the reservations
  // of names that their proofs name: a killed copy leaves them until a later
  // run into that folder removes them.
  bool allow_temporaries = false;
};

// Checks the trees now against `sources` (source_root before the move) and
// `target_before` (target_root before the move):
//   - every source file is at its source unchanged or has a copy with the
//     same bytes under a visible name below target_root (or both), so nothing
//     is lost: a photo that survives only under a hidden temporary name is
//     lost to its user;
//   - every file that stood under target_root still holds its bytes;
//   - every new visible file under target_root holds the bytes of a source
//     file: nothing partial or unknown, and no more copies of a content than
//     there were sources with it unless the rules allow duplicates (an
//     empty file left at a target passes for the copy of an empty source:
//     audits after kills want sources that are not empty);
//   - no temporary file of a copy is left under target_root unless the rules
//     allow it;
//   - nothing new appeared under source_root.
MoveAudit AuditMove(const Manifest& sources, const std::string& source_root,
                    const Manifest& target_before,
                    const std::string& target_root, AuditRules rules = {},
                    DigestCache* cache = nullptr);

}  // namespace kuronel::testing

#endif  // KURONEL_TESTING_TREE_AUDIT_H_
