// The whole pipeline (catalogue, default checks, date sort, plan, run) over a
// card full of awkward names and things that are not plain files, in move
// and copy mode. Every byte is accounted for by a SHA-256 manifest: each file
// is at its source or at exactly one target with the same bytes, nothing
// that stood in the destination is overwritten, special files are left
// alone, and every row's state tells the truth.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "processing/new_name_plan.h"
#include "processing/plan_execution.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "tools/batch_run.h"

namespace kuronel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Sha256OfFile;
using testing::TempDir;

constexpr uint64_t kSparseSize = uint64_t{5} << 30;  // 5 GiB, no blocks

// What stood at one path: enough to tell that it is unchanged.
struct Thing {
  fs::file_type type = fs::file_type::none;
  std::string hash;         // regular files except the sparse one
  std::string link_target;  // symbolic links
  uint64_t size = 0;
  std::pair<dev_t, ino_t> inode;
};

bool operator==(const Thing& a, const Thing& b) {
  return a.type == b.type && a.hash == b.hash &&
         a.link_target == b.link_target && a.size == b.size;
}

// Every entry below the roots, links not followed, by path.
std::map<std::string, Thing> Inventory(const std::vector<std::string>& roots) {
  std::map<std::string, Thing> things;
  for (const std::string& root : roots) {
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      Thing thing;
      thing.type = entry.symlink_status().type();
      const std::string path = entry.path().string();
      struct stat info;
      EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
      // A folder's size follows its entries on some file systems.
      if (thing.type != fs::file_type::directory)
        thing.size = static_cast<uint64_t>(info.st_size);
      thing.inode = {info.st_dev, info.st_ino};
      if (thing.type == fs::file_type::regular && thing.size < kSparseSize)
        thing.hash = Sha256OfFile(path);
      if (thing.type == fs::file_type::symlink)
        thing.link_target = fs::read_symlink(entry.path()).string();
      things[path] = thing;
    }
  }
  return things;
}

std::string Photo(const std::string& name, const std::string& tag) {
  // Bytes after the image's end marker change nothing a reader looks at and
  // make every file's contents its own.
  return ReadFile(testing::TestDataDir() + "/camera-jpegs/" + name) + "\n#" +
         tag;
}

void MakeFifo(const std::string& path) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
}

void MakeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path) << path;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address),
            0);
  ::close(fd);  // the socket file stays
}

void MakeSparse(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(fd, 0) << path;
  EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(kSparseSize)), 0);
  ::close(fd);
}

void MakeLink(const std::string& target, const std::string& path) {
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
}

struct Mode {
  const char* name;
  bool keep_original;
  bool move_to_date_folder;
  bool rename_to_date_file;
  bool other_file_system;  // the destination on another file system
  // The 255-byte name's row must fail: in its own folder that name has no
  // numbered variant (the number makes it too long).
  bool long_name_fails;
};

class OddFilesTest : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    card_ = dir_.MakeDir("card");
    if (GetParam().other_file_system) {
      other_dir_ = OtherFileSystemDir(card_);
      if (other_dir_ == nullptr)
        GTEST_SKIP() << "no second file system (/dev/shm) to move to";
    }
    out_ = (other_dir_ ? *other_dir_ : dir_).MakeDir("out");
    // Photos, one named in Shift-JIS ("テスト.JPG"); two shot the same second.
    Put("\x83\x65\x83\x58\x83\x67.JPG", Photo("Canon_40D.jpg", "sjis"));
    Put("IMG_CANON.JPG", Photo("Canon_40D.jpg", "canon"));
    Put("DSC_NIKON.JPG", Photo("Nikon_D70.jpg", "nikon"));
    // Names that a quoted, comma-separated listing or a line-based text
    // could break.
    for (const char* name :
         {"a, b.jpg", "say \"hi\".jpg", "\"\".jpg", " lead.jpg", "  both  .jpg",
          "new\nline.jpg", "tab\there.jpg", "x,\"y\" ,z.JPG"})
      Put(name, std::string("not really a photo: ") + name);
    Put(".jpg", "a name that is all extension");
    Put("\xff\xfe\x80.jpg", "bytes that are neither UTF-8 nor CP932");
    // File times no date text can show: held at the ends of the years 1 to
    // 9999 (or whatever the file system keeps of them).
    Put("future.jpg", "dated far ahead");
    SetModified("future.jpg", int64_t{1} << 40);
    Put("ancient.jpg", "dated before the year 1");
    SetModified("ancient.jpg", -(int64_t{1} << 37));
    Put("trail.jpg ", "the extension is \".jpg \": never checked");
    Put(std::string(251, 'n') + ".jpg", "a name of 255 bytes");
    Put("empty.jpg", "");
    Put("empty.txt", "");
    Put("notes.txt", "not checked");
    // A file at the end of a path just short of PATH_MAX.
    std::string deep = card_;
    for (int level = 0; deep.size() + 251 + 9 < 4000; ++level)
      deep += "/" + std::string(249, 'd') + std::to_string(level % 10);
    ASSERT_TRUE(fs::create_directories(deep));
    deep_file_ = deep + "/deep.jpg";
    Put(deep_file_.substr(card_.size() + 1), "deep down");
    // Folders whose names hold what a listing or a numbering could trip on.
    Put(" odd, \"folder\"\n/in odd folder.jpg", "in an odd folder");
    Put("album.JPG/photo.JPG", "in a folder named like a photo");
    // A folder and a link to it: walked once, whichever comes first.
    Put("sub/in_sub.jpg", "in a subfolder");
    MakeLink("sub", card_ + "/linked_folder");
    // Things that are no files.
    MakeFifo(card_ + "/pipe.jpg");
    MakeSocket(card_ + "/sock.jpg");
    MakeLink("nowhere.jpg", card_ + "/dangling.jpg");
    MakeLink("loop.jpg", card_ + "/loop.jpg");
    MakeLink("loop_b.jpg", card_ + "/loop_a.jpg");
    MakeLink("loop_a.jpg", card_ + "/loop_b.jpg");
    // 5 GiB without a block on disk: a move on one file system must rename
    // it, never read it. A copy would write 5 GiB, so in copy mode and
    // across file systems it is a file nobody checks (its name is no
    // photo's).
    sparse_ = card_ + (SparseIsMoved() ? "/big.JPG" : "/big.bin");
    MakeSparse(sparse_);
    // Files already in the destination where the plan puts the Canon photos.
    const TempDir& out_dir = other_dir_ ? *other_dir_ : dir_;
    out_dir.WriteFile("out/2008_05_30/2008_05_30a0.JPG", "was here first (a0)");
    out_dir.WriteFile("out/2008_05_30/IMG_CANON.JPG", "was here first (name)");
  }

  bool SparseIsMoved() const {
    return !GetParam().keep_original && !GetParam().other_file_system;
  }

  std::vector<std::string> Roots() const {
    if (other_dir_) return {dir_.path(), other_dir_->path()};
    return {dir_.path()};
  }

  // A folder on /dev/shm when that is another file system than `here`'s.
  static std::unique_ptr<TempDir> OtherFileSystemDir(const std::string& here) {
    const std::string fast = testing::FastTempBase();
    if (!testing::OnDifferentFileSystems(here, fast)) return nullptr;
    return std::make_unique<TempDir>(fast);
  }

  void Put(const std::string& relative, const std::string& contents) {
    dir_.WriteFile("card/" + relative, contents);
  }

  BatchOptions Options(bool dry_run) const {
    BatchOptions options;
    options.sources = {card_};
    options.settings.DestinationFolder = out_ + "/";
    options.settings.MoveToDateFolder = GetParam().move_to_date_folder;
    options.settings.RenameToDateFile = GetParam().rename_to_date_file;
    // Read-only copies, except in place, where it would make the files
    // themselves read-only and copy nothing.
    options.settings.MakeReadOnly = GetParam().move_to_date_folder;
    options.settings.KeepOriginal = GetParam().keep_original;
    options.settings.UseExifDate = true;
    options.dry_run = dry_run;
    return options;
  }

  ProcessingPlan Run(bool dry_run, int& code) {
    std::ostringstream out, err;
    ProcessingPlan plan;
    code = RunBatch(Options(dry_run), out, err, &plan);
    output_ = out.str();
    return plan;
  }

  void SetModified(const std::string& relative, time_t seconds) {
    testing::SetTimes(card_ + "/" + relative, seconds, 0);
  }

  TempDir dir_;
  std::unique_ptr<TempDir>
      other_dir_;  // the destination's, across file systems
  std::string card_;
  std::string out_;
  std::string deep_file_;
  std::string sparse_;
  std::string output_;  // the plan as kuronel-batch prints it
};

// Where a row's file went: its NewPath or the first numbered variants, as
// the inventory names them (a path through the folder link is named by the
// folder itself).
std::vector<std::string> TargetCandidates(const std::string& new_path) {
  std::vector<std::string> candidates;
  for (int k = 0; k <= 5; ++k) {
    const fs::path path = NumberedPath(new_path, k);
    candidates.push_back(
        (fs::weakly_canonical(path.parent_path()) / path.filename()).string());
  }
  return candidates;
}

TEST_P(OddFilesTest, EveryByteIsAccountedForAndEveryStateIsTrue) {
  const bool move = !GetParam().keep_original;
  const std::string long_name = card_ + "/" + std::string(251, 'n') + ".jpg";
  // The sources exactly as the run will see them (a file below the folder
  // link may be listed under the link's path).
  int code = -1;
  const ProcessingPlan dry = Run(true, code);
  ASSERT_EQ(code, kBatchExitOk);
  std::map<std::string, std::string> source_hash;
  // Of the files that must leave their place.
  std::set<std::pair<dev_t, ino_t>> moved_inodes;
  for (const PlanRow& row : dry) {
    struct stat info;
    ASSERT_EQ(::stat(row.SourcePath.c_str(), &info), 0) << row.SourcePath;
    const bool fails =
        GetParam().long_name_fails && row.SourcePath == long_name;
    if (move && !fails) moved_inodes.insert({info.st_dev, info.st_ino});
    if (row.SourcePath != sparse_)
      source_hash[row.SourcePath] = Sha256OfFile(row.SourcePath);
  }
  const std::map<std::string, Thing> before = Inventory(Roots());

  const ProcessingPlan plan = Run(false, code);
  const std::map<std::string, Thing> after = Inventory(Roots());

  // Every photo-named regular file is a row, and nothing else is: not the
  // FIFO, the socket, the links that lead nowhere, nor a file twice.
  const size_t expected_rows = SparseIsMoved() ? 22 : 21;
  ASSERT_EQ(plan.size(), expected_rows);
  std::set<std::string> sources;
  for (const PlanRow& row : plan) sources.insert(row.SourcePath);
  EXPECT_EQ(sources.size(), plan.size());
  EXPECT_EQ(sources.count(deep_file_), 1u);
  const size_t failures = GetParam().long_name_fails ? 1 : 0;
  EXPECT_EQ(code, failures ? kBatchExitFailed : kBatchExitOk);
  // One line of four fields per row, whatever the names hold (a failed
  // row's reason on a "#" line of its own after it), then the summary.
  std::istringstream lines(output_);
  std::string line;
  size_t row_lines = 0, reason_lines = 0;
  while (std::getline(lines, line)) {
    if (line.starts_with("# ") && !line.starts_with("# CopyError!")) break;
    if (line.starts_with("# ")) {
      ++reason_lines;
      continue;
    }
    ++row_lines;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3) << line;
  }
  EXPECT_EQ(reason_lines, failures);
  EXPECT_EQ(row_lines, plan.size());
  EXPECT_TRUE(line.starts_with("# " + std::to_string(plan.size()) + " files: " +
                               std::to_string(plan.size() - failures) +
                               (move ? " Ok" : " OK")))
      << line;

  // Each row that reads done: a complete file with the source's bytes at
  // exactly one new target, the source gone (move) or unchanged (copy).
  // Each other row: the source as it was.
  std::set<std::string> targets;
  for (const PlanRow& row : plan) {
    SCOPED_TRACE(row.SourcePath);
    struct stat info;
    const bool source_stays = ::lstat(row.SourcePath.c_str(), &info) == 0;
    if (GetParam().long_name_fails && row.SourcePath == long_name) {
      EXPECT_EQ(row.State, RowState::kCopyError);
      EXPECT_TRUE(source_stays);
      continue;
    }
    EXPECT_EQ(row.State, move ? RowState::kMoved : RowState::kCopied);
    EXPECT_EQ(source_stays, !move);
    std::string found;
    for (const std::string& candidate : TargetCandidates(row.NewPath)) {
      if (before.count(candidate) || targets.count(candidate) ||
          !after.count(candidate))
        continue;
      if (row.SourcePath == sparse_) {
        // Renamed: the same file, still without blocks.
        ASSERT_EQ(::stat(candidate.c_str(), &info), 0);
        EXPECT_EQ(info.st_ino, before.at(sparse_).inode.second);
        EXPECT_EQ(static_cast<uint64_t>(info.st_size), kSparseSize);
        EXPECT_LT(info.st_blocks, 2048);
      } else if (after.at(candidate).hash != source_hash.at(row.SourcePath)) {
        continue;
      }
      found = candidate;
      break;
    }
    ASSERT_FALSE(found.empty()) << "no complete file at a new target";
    targets.insert(found);
  }

  // Everything that stood before and was no moved row's source stands as it
  // was: files already in the destination, unchecked files, the FIFO, the
  // socket and every link.
  for (const auto& [path, thing] : before) {
    if (thing.type == fs::file_type::regular &&
        moved_inodes.count(thing.inode)) {
      EXPECT_FALSE(after.count(path) && after.at(path).inode == thing.inode &&
                   !targets.count(path))
          << "still here: " << path;
      continue;
    }
    ASSERT_TRUE(after.count(path)) << "gone: " << path;
    EXPECT_TRUE(after.at(path) == thing) << "changed: " << path;
  }
  // Nothing new but the targets and their folders (no temporary file left).
  for (const auto& [path, thing] : after) {
    if (before.count(path) || targets.count(path)) continue;
    EXPECT_EQ(thing.type, fs::file_type::directory) << "appeared: " << path;
  }
}

// Names the mode in test listings (instead of its bytes, which hold a
// pointer and so change with every build).
void PrintTo(const Mode& mode, std::ostream* out) { *out << mode.name; }

INSTANTIATE_TEST_SUITE_P(
    Modes, OddFilesTest,
    ::testing::Values(Mode{"MoveRenamed", false, true, true, false, false},
                      Mode{"MoveNamesKept", false, true, false, false, false},
                      Mode{"MoveInPlace", false, false, false, false, true},
                      Mode{"MoveAcross", false, true, false, true, false},
                      Mode{"CopyRenamed", true, true, true, false, false},
                      Mode{"CopyNamesKept", true, true, false, false, false},
                      Mode{"CopyInPlace", true, false, false, false, true},
                      Mode{"CopyAcross", true, true, true, true, false}),
    [](const auto& test_info) { return test_info.param.name; });

// Through the whole pipeline, a copy of a sparse file keeps its holes: a
// copy that wrote them as zeros would take 64 MiB here (and 5 GiB for the
// card's big file).
TEST(SparseCopyTest, ACopyOfASparseFileStaysSparse) {
  TempDir dir;
  const std::string card = dir.MakeDir("card");
  const std::string out = dir.MakeDir("out");
  const int fd =
      ::open((card + "/sparse.JPG").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, off_t{64} << 20), 0);
  ASSERT_EQ(::pwrite(fd, "end", 3, (off_t{64} << 20) - 3), 3);
  ::close(fd);
  BatchOptions options;
  options.sources = {card};
  options.settings.DestinationFolder = out + "/";
  std::ostringstream printed, err;
  ProcessingPlan plan;
  ASSERT_EQ(RunBatch(options, printed, err, &plan), kBatchExitOk);
  ASSERT_EQ(plan.size(), 1u);
  ASSERT_EQ(plan[0].State, RowState::kCopied);
  struct stat info;
  ASSERT_EQ(::stat(plan[0].NewPath.c_str(), &info), 0);  // out was empty
  EXPECT_EQ(info.st_size, off_t{64} << 20);
  EXPECT_LT(info.st_blocks * 512, off_t{1} << 20);
}

TEST(PlanLineTest, NoNameSplitsALineOrAddsAField) {
  struct Case {
    const char* source;
    const char* line;
  } cases[] = {
      {"/c/plain.jpg", "/c/plain.jpg\t/o/a01.jpg\tOk\t/o/a0.jpg"},
      {"/c/tab\there.jpg", "/c/tab\\there.jpg\t/o/a01.jpg\tOk\t/o/a0.jpg"},
      {"/c/new\n# 0 files", "/c/new\\n# 0 files\t/o/a01.jpg\tOk\t/o/a0.jpg"},
      {"/c/cr\r.jpg", "/c/cr\\r.jpg\t/o/a01.jpg\tOk\t/o/a0.jpg"},
      {"/c/back\\t.jpg", "/c/back\\\\t.jpg\t/o/a01.jpg\tOk\t/o/a0.jpg"},
      {"/c/\x83\x65.jpg", "/c/\x83\x65.jpg\t/o/a01.jpg\tOk\t/o/a0.jpg"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        PlanLine({c.source, "/o/a0.jpg", RowState::kMoved, "/o/a01.jpg"}, true),
        c.line)
        << c.source;
  }
  // The reason of a failed row cannot forge a line either.
  PlanRow failed{"/c/a.jpg", "/o/new\n# 0 files/a0.jpg", RowState::kDirError};
  failed.failure =
      FileResult(FileOperation::kCreateFolder, "/o/new\n# 0 files", EACCES);
  EXPECT_EQ(FailureLine(failed),
            std::string("# DirError! /o/new\\n# 0 files: ") +
                "create folder: " + std::strerror(EACCES));
}

}  // namespace
}  // namespace kuronel
