// Copies, moves and read-only marks on the file systems cards and drives
// come with, each made and mounted for the test: the kernel's ext4, xfs,
// btrfs and tmpfs, and exFAT, FAT32 and NTFS through their FUSE drivers.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/drive_attributes.h"
#include "platform/drive_facts.h"
#include "platform/file_system.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "testing/test_drive.h"
#include "testing/tree_audit.h"
#include "tools/batch_run.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using Args = std::vector<std::string>;
using testing::DriveKind;
using testing::SetTimes;
using testing::TempDir;
using testing::TestDrive;

// Field `index` of a row: SOURCE, TARGET, STATE, NEWPATH.
std::string Field(const std::string& line, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) start = line.find('\t', start) + 1;
  return line.substr(start, line.find('\t', start) - start);
}

struct Result : testing::BatchResult {
  std::map<std::string, int> states;  // state -> rows
};

Result Batch(const Args& args) {
  Result result;
  static_cast<testing::BatchResult&>(result) = testing::RunBatchArgs(args);
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    ++result.states[Field(line, 2)];
  }
  return result;
}

std::string StatesText(const std::map<std::string, int>& states) {
  std::string text;
  for (const auto& [state, rows] : states)
    text += (text.empty() ? "" : ", ") + std::to_string(rows) + " " + state;
  return text;
}

// Three photos over two days, shot at odd seconds (FAT keeps two).
void WriteCard(const std::string& card) {
  const time_t shot[] = {1083844801, 1083844803, 1083931207};
  for (int i = 0; i < 3; ++i) {
    const std::string path =
        card + "/DCIM/IMG_000" + std::to_string(i + 1) + ".JPG";
    std::string folder = card + "/DCIM";
    mkdir(card.c_str(), 0755);
    mkdir(folder.c_str(), 0755);
    const std::string bytes(1000 + 7919 * i, static_cast<char>('a' + i));
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
    SetTimes(path, shot[i], 0);
  }
}

bool KeepsReadOnly(DriveKind kind) {
  return kind != DriveKind::kExfat && kind != DriveKind::kFat32;
}

// A file reads as read-only where the drive keeps it: no write permission,
// or the Windows attribute of NTFS.
bool IsReadOnly(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 &&
         ((st.st_mode & 0222) == 0 ||
          DriveReadOnlyOf(path, RealSystemCalls()) == DriveReadOnly::kReadOnly);
}

// The modification time of each source, by content.
using ShotTimes = std::map<std::string, time_t>;

ShotTimes ShotTimesOf(const std::string& card) {
  ShotTimes shot;
  for (const auto& [relative, digest] : testing::TakeManifest(card)) {
    struct stat st;
    if (stat((card + "/" + relative).c_str(), &st) == 0)
      shot[digest] = st.st_mtime;
  }
  return shot;
}

// The files below `destination` whose modification time is not their
// source's (to the two seconds that FAT keeps).
std::vector<std::string> MisdatedCopies(const ShotTimes& shot,
                                        const std::string& destination) {
  std::vector<std::string> misdated;
  for (const auto& [relative, digest] : testing::TakeManifest(destination)) {
    struct stat st;
    const auto source = shot.find(digest);
    if (stat((destination + "/" + relative).c_str(), &st) != 0 ||
        source == shot.end() || st.st_mtime > source->second ||
        st.st_mtime < source->second - 1)
      misdated.push_back(relative);
  }
  return misdated;
}

// Every regular file below `root` that a read-only state claims is
// read-only, is.
std::vector<std::string> WritableFiles(const std::string& root) {
  std::vector<std::string> writable;
  for (const auto& [relative, digest] : testing::TakeManifest(root)) {
    if (!IsReadOnly(root + "/" + relative)) writable.push_back(relative);
  }
  return writable;
}

struct Mode {
  const char* name;
  bool card_on_drive;
  bool destination_on_drive;
  // Neither date folder nor new name: the results stay in the card's folder.
  bool in_place;
  Args options;
  // The state of every row, by whether the drive keeps read-only marks.
  const char* state_where_kept;
  const char* state_where_not;
};

const Mode kModes[] = {
    {"copy onto the drive", false, true, false, {}, "OK", "AttrError!"},
    {"move within the drive",
     true,
     true,
     false,
     {"--move"},
     "Ok",
     "AttrError!"},
    {"read-only in place",
     true,
     false,
     true,
     {"--no-date-folder", "--no-rename"},
     "ReadOnly",
     "AttrError!"},
    {"move off the drive as a card",
     true,
     false,
     false,
     {"--move"},
     "Ok",
     "Ok"},
};

// Each mode on each drive: every photo arrives whole, nothing is lost, and
// read-only is claimed only where it holds. The states seen are printed as
// a table.
TEST(DriveTest, EveryModeOnEveryDrive) {
  std::ostringstream table;
  std::string not_run;  // the drives that could not be mounted
  for (DriveKind kind : testing::kEveryDriveKind) {
    TestDrive drive(kind);
    if (!drive.mounted()) {
      not_run += drive.unavailable() + "; ";
      continue;
    }
    // Asked before a run, of a destination not made yet.
    RealFileSystem disk(RealSystemCalls());
    EXPECT_EQ(disk.KeepsReadOnlyMarks(drive.Path("photos/2004_05_06")),
              KeepsReadOnly(kind))
        << DriveKindName(kind);
    EXPECT_TRUE(testing::TakeManifest(drive.path()).empty());  // no probe left
    table << "| " << DriveKindName(kind);
    for (const Mode& mode : kModes) {
      SCOPED_TRACE(std::string(DriveKindName(kind)) + ", " + mode.name);
      TempDir host(testing::FastTempBase());
      const std::string on_drive = drive.Path(mode.name);
      mkdir(on_drive.c_str(), 0755);
      const std::string card =
          (mode.card_on_drive ? on_drive : host.path()) + "/card";
      const std::string destination =
          (mode.destination_on_drive ? on_drive : host.path()) + "/photos";
      WriteCard(card);
      const testing::Manifest sources = testing::TakeManifest(card);
      const ShotTimes shot = ShotTimesOf(card);
      Args args = mode.options;
      for (const std::string& arg : {std::string("--dest"), destination, card})
        args.push_back(arg);

      const Result result = Batch(args);
      const std::string expected =
          KeepsReadOnly(kind) ? mode.state_where_kept : mode.state_where_not;
      EXPECT_EQ(result.states, (std::map<std::string, int>{{expected, 3}}))
          << result.out << result.err;
      const std::string results = mode.in_place ? card : destination;
      const testing::MoveAudit audit =
          testing::AuditMove(sources, card, testing::Manifest(), results,
                             {.allow_duplicates = mode.in_place});
      EXPECT_TRUE(audit.ok()) << audit.Report();
      EXPECT_EQ(MisdatedCopies(shot, results), std::vector<std::string>());
      if (expected == std::string("OK") ||
          expected == std::string("ReadOnly")) {
        EXPECT_EQ(WritableFiles(results), std::vector<std::string>());
      }
      table << " | " << StatesText(result.states);
    }
    table << " |\n";
  }
  // A part not run is told as a skip, never passed over.
  if (!not_run.empty()) GTEST_SKIP() << "not run: " << not_run;
  std::cout << table.str();
}

// The states of a run by source file name.
std::map<std::string, std::string> StatesByName(const Result& result) {
  std::map<std::string, std::string> states;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string source = Field(line, 0);
    states[source.substr(source.rfind('/') + 1)] = Field(line, 2);
  }
  return states;
}

std::string WriteShot(const std::string& path, std::size_t size, time_t when) {
  std::string bytes(size, 'x');
  bytes.replace(0, std::min(size, path.size()), path, 0,
                std::min(size, path.size()));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  EXPECT_GE(fd, 0) << path;
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
  close(fd);
  SetTimes(path, when, 0);
  return path;
}

constexpr time_t kDay1 = 1083844801;  // 2004-05-06 12:00:01 UTC
constexpr time_t kDay2 = kDay1 + 86400;

// The visible and hidden names of a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& [relative, digest] : testing::TakeManifest(folder))
    names.push_back(relative);
  return names;
}

// What the drives do not take gives the row's failure state or the next
// free name, and the source stays.
TEST(DriveTest, WhatTheDrivesRefuse) {
  std::string not_run;  // the drives that could not be mounted
  for (DriveKind kind : {DriveKind::kExfat, DriveKind::kFat32}) {
    SCOPED_TRACE(DriveKindName(kind));
    TestDrive drive(kind, 64u << 20);
    if (!drive.mounted()) {
      not_run += drive.unavailable() + "; ";
      continue;
    }
    TempDir host(testing::FastTempBase());
    mkdir(host.Path("card").c_str(), 0755);
    // A name these drives do not allow, kept as it is.
    WriteShot(host.Path("card/a:b.JPG"), 1000, kDay1);
    WriteShot(host.Path("card/ok.JPG"), 1000, kDay1);
    Result kept = Batch({"--no-rename", "--no-read-only", "--dest",
                         drive.Path("kept"), host.Path("card")});
    EXPECT_EQ(StatesByName(kept),
              (std::map<std::string, std::string>{{"a:b.JPG", "CopyError!"},
                                                  {"ok.JPG", "OK"}}));
    EXPECT_EQ(Names(drive.Path("kept")),
              std::vector<std::string>{"2004_05_06/ok.JPG"});

    // Names that differ only in letter case are one name here.
    TempDir card(testing::FastTempBase());
    WriteShot(card.Path("IMG_0001.JPG"), 1000, kDay1);
    mkdir(drive.Path("cased").c_str(), 0755);
    mkdir(drive.Path("cased/2004_05_06").c_str(), 0755);
    WriteShot(drive.Path("cased/2004_05_06/2004_05_06A0.jpg"), 10, kDay2);
    EXPECT_EQ(StatesByName(Batch({"--no-read-only", "--dest",
                                  drive.Path("cased"), card.path()})),
              (std::map<std::string, std::string>{{"IMG_0001.JPG", "OK"}}));
    EXPECT_EQ(
        Names(drive.Path("cased/2004_05_06")),
        (std::vector<std::string>{"2004_05_06A0.jpg", "2004_05_06a01.JPG"}));
  }
  // A part not run is told as a skip, never passed over.
  if (!not_run.empty()) GTEST_SKIP() << "not run: " << not_run;
}

// A full drive fails the copy that does not fit and nothing else; nothing
// partial is left, visible or hidden.
TEST(DriveTest, AFullDriveFailsOnlyTheCopyThatDoesNotFit) {
  TestDrive drive(DriveKind::kExfat, 32u << 20);
  if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
  TempDir card(testing::FastTempBase());
  WriteShot(card.Path("MVI_0001.JPG"), 48u << 20, kDay1);
  WriteShot(card.Path("IMG_0002.JPG"), 1000, kDay2);
  const testing::Manifest sources = testing::TakeManifest(card.path());
  const Result result = Batch({"--move", "--no-read-only", "--dest",
                               drive.Path("photos"), card.path()});
  EXPECT_EQ(StatesByName(result),
            (std::map<std::string, std::string>{{"MVI_0001.JPG", "CopyError!"},
                                                {"IMG_0002.JPG", "Ok"}}));
  const testing::MoveAudit audit = testing::AuditMove(
      sources, card.path(), testing::Manifest(), drive.Path("photos"));
  EXPECT_TRUE(audit.ok()) << audit.Report();
  EXPECT_EQ(audit.at_source, 1u);
}

// The leftovers of a publication killed on exFAT: a hidden temporary, the
// proof that names it and the reservation, still empty. The next run into
// the folder removes them and takes the name.
TEST(DriveTest, AKilledPublicationIsCleanedUpByTheNextRun) {
  TestDrive drive(DriveKind::kExfat, 64u << 20);
  if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
  TempDir card(testing::FastTempBase());
  const std::string photo = WriteShot(card.Path("IMG_0001.JPG"), 5000, kDay1);
  const std::string folder = drive.Path("photos/2004_05_06");
  mkdir(drive.Path("photos").c_str(), 0755);
  mkdir(folder.c_str(), 0755);
  const std::string temporary = NewTemporaryName();
  WriteShot(folder + "/" + temporary, 3000, kDay1);
  const std::string proof = ProofText({"2004_05_06a0.JPG", temporary});
  const int proof_fd = open((folder + "/" + NewTemporaryName()).c_str(),
                            O_WRONLY | O_CREAT | O_EXCL, 0600);
  ASSERT_EQ(write(proof_fd, proof.data(), proof.size()),
            static_cast<ssize_t>(proof.size()));
  close(proof_fd);
  const std::string reservation = folder + "/2004_05_06a0.JPG";
  close(open(reservation.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));

  EXPECT_EQ(StatesByName(Batch({"--no-read-only", "--dest",
                                drive.Path("photos"), card.path()})),
            (std::map<std::string, std::string>{{"IMG_0001.JPG", "OK"}}));
  EXPECT_EQ(Names(folder), std::vector<std::string>{"2004_05_06a0.JPG"});
  EXPECT_EQ(testing::Sha256OfFile(reservation), testing::Sha256OfFile(photo));
}

// A camera's "protect", or Windows' read-only mark, on an NTFS card: the
// photo is copied but never deleted.
TEST(DriveTest, AProtectedPhotoOnNtfsIsCopiedButKept) {
  TestDrive drive(DriveKind::kNtfs, 64u << 20);
  if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
  mkdir(drive.Path("card").c_str(), 0755);
  const std::string kept =
      WriteShot(drive.Path("card/IMG_0001.JPG"), 900, kDay1);
  WriteShot(drive.Path("card/IMG_0002.JPG"), 900, kDay2);
  ASSERT_TRUE(SetDriveReadOnly(kept, RealSystemCalls()));
  TempDir destination(testing::FastTempBase());
  EXPECT_EQ(StatesByName(Batch(
                {"--move", "--dest", destination.path(), drive.Path("card")})),
            (std::map<std::string, std::string>{{"IMG_0001.JPG", "DelError!"},
                                                {"IMG_0002.JPG", "Ok"}}));
  EXPECT_EQ(Names(drive.Path("card")),
            std::vector<std::string>{"IMG_0001.JPG"});
}

// A batch knows its files by their folders' facts, asked once: on every
// drive a file must keep the identity that asking the drive for each file
// gives, so that a source is never taken for its own copy, nor a copy for
// another file.
TEST(DriveTest, AFolderAskedOnceGivesEachFileItsOwnIdentity) {
  std::string not_run;  // the drives that could not be mounted
  for (testing::DriveKind kind : testing::kEveryDriveKind) {
    TestDrive drive(kind);
    if (!drive.mounted()) {
      not_run += drive.unavailable() + "; ";
      continue;
    }
    SCOPED_TRACE(testing::DriveKindName(kind));
    ASSERT_EQ(mkdir(drive.Path("DCIM").c_str(), 0755), 0);
    std::vector<std::string> paths;
    for (const char* name : {"IMG_0001.JPG", "img_0002.jpg", "Été.JPG"}) {
      paths.push_back(drive.Path(std::string("DCIM/") + name));
      // fusefat takes no name outside ASCII.
      if (!(std::ofstream(paths.back()) << name)) paths.pop_back();
    }
    std::vector<std::uint64_t> asked_each;
    for (const std::string& path : paths) {
      asked_each.push_back(
          PathKeyOf(testing::StatOf(path), path, RealSystemCalls()));
      // FAT and exFAT know files by path: a key that is there to compare.
      if (kind == testing::DriveKind::kExfat ||
          kind == testing::DriveKind::kFat32) {
        EXPECT_NE(asked_each.back(), 0u);
      }
    }
    const DriveMemo memo;
    for (std::size_t i = 0; i < paths.size(); ++i)
      EXPECT_EQ(
          PathKeyOf(testing::StatOf(paths[i]), paths[i], RealSystemCalls()),
          asked_each[i])
          << paths[i];
  }
  if (!not_run.empty()) GTEST_SKIP() << "not run: " << not_run;
}

}  // namespace
}  // namespace kuronel
