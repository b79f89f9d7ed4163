// kuronel-batch copies and moves a card onto the power-cut drive, whose power
// goes after each delete of a source, after each publication of a copy, at
// random changes and after the run. The drive then holds what a disk that
// lost its power would, and the audit demands that every photo is whole at
// least once, at its source or under a visible name, and that every row the
// run reported done ("OK", "Ok", "ReadOnly") is whole at its target. The
// same for moves onto exFAT, NTFS and ext4 drives whose disk image lies on
// the power-cut drive (the loop device's flushes reach it as the image's
// fsync): on ext4 a batch's copies are made durable by one syncfs, and the
// cuts fall between and inside those. A corrupting drive must cost no photo
// either, and its copies read "CopyError!".
//
// KURONEL_POWER_CUTS sets the cuts at random changes, spread over the kinds
// of run (default 5); KURONEL_POWER_CUT_SEED repeats a sequence. Needs root
// and /dev/fuse (and loop devices for the images), else each test is skipped
// with the reason.

#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gtest/gtest.h"
#include "testing/power_cut_drive.h"
#include "testing/sha256.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"

namespace kuronel {
namespace {

using testing::PowerCutDrive;
using testing::TempDir;

int EnvironmentNumber(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::atoi(text) : fallback;
}

// An empty photo, small ones and one of several write requests, over two days.
constexpr std::size_t kPhotoSizes[] = {0, 5000, 300000, 20000};
constexpr int kPhotos = std::size(kPhotoSizes);

void WriteCard(const TempDir& backing) {
  for (int i = 0; i < kPhotos; ++i) {
    const std::string path = backing.WriteFile(
        "card/DCIM/100CANON/IMG_000" + std::to_string(i) + ".JPG",
        testing::Pattern(kPhotoSizes[i]));
    testing::SetTimes(path, 1083834000 + (i % 2) * 86400 + i, 0);
  }
  backing.MakeDir("photos");
}

// Runs a shell command; the first line it wrote. Its output goes to a file,
// not a pipe: a driver that goes on in the background must not die of a
// pipe closed behind it.
std::string Shell(const std::string& command, bool* ok = nullptr) {
  TempDir place;
  const std::string output = place.Path("output");
  const int status = std::system((command + " >" + output + " 2>&1").c_str());
  if (ok != nullptr) *ok = status == 0;
  const std::string text = testing::ReadFile(output);
  return text.substr(0, text.find('\n'));
}

// The file systems of drives photos are moved to, made on a disk image.
struct ImageFormat {
  const char* make;   // the image's path is appended
  const char* mount;  // DRIVER [-o ro] DEVICE FOLDER
  // A journal cut short is replayed when the image is mounted again, which
  // takes a device it may write.
  bool replays_journal = false;
};
const ImageFormat kExfat = {"mkfs.exfat", "mount.exfat-fuse"};
const ImageFormat kNtfs = {"mkfs.ntfs -q -F -f", "ntfs-3g"};
// The kernel's ext4, whose one syncfs makes a whole batch of copies durable:
// the cuts fall between and inside those flushes.
const ImageFormat kExt4 = {"mkfs.ext4 -q -F", "mount -t ext4", true};

// An image attached to a loop device and mounted on `folder` by its driver
// for the life of the object. Tests running side by side race for the free
// loop devices: the loser tries again.
class ImageDrive {
 public:
  ImageDrive(const ImageFormat& format, const std::string& image,
             const std::string& folder, bool read_only)
      : folder_(folder) {
    for (int attempt = 0; attempt < 3 && !mounted_; ++attempt) {
      Detach();
      bool attached = false;
      device_ = Shell(
          std::string("losetup -f --show ") + (read_only ? "-r " : "") + image,
          &attached);
      error_ = !attached ? device_
                         : Shell(std::string(format.mount) +
                                     (read_only ? " -o ro " : " ") + device_ +
                                     " " + folder,
                                 &mounted_);
      if (!attached) device_.clear();
    }
  }
  ~ImageDrive() {
    if (mounted_ && umount2(folder_.c_str(), 0) != 0)
      umount2(folder_.c_str(), MNT_DETACH);
    Detach();
  }
  bool mounted() const { return mounted_; }
  const std::string& error() const { return error_; }

 private:
  void Detach() {
    if (!device_.empty()) Shell("losetup -d " + device_);
    device_.clear();
  }

  std::string folder_, device_, error_;
  bool mounted_ = false;
};

// Runs kuronel-batch with `args` until it ends or the drive's power goes as
// `cut` says, then cuts the power if it has not gone yet; the program's
// output.
std::string RunUntilCut(PowerCutDrive& drive, const std::string& cut,
                        std::vector<std::string> args) {
  TempDir outputs;
  const std::string rows = outputs.Path("rows");
  args.insert(args.begin(), KURONEL_BATCH_PROGRAM);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  if (!cut.empty()) drive.SetCut(cut);
  std::cout.flush();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen(rows.c_str(), "w", stdout);
    freopen("/dev/null", "w", stderr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // The power goes for the program too: it writes nothing more.
  while (waitpid(pid, nullptr, WNOHANG) == 0) {
    if (drive.WasCut()) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!drive.WasCut()) drive.CutNow();
  return testing::ReadFile(rows);
}

// The changes the drive saw before it lost its power.
long ChangesIn(const std::string& report) {
  const std::size_t end = report.find(" changes");
  if (end == std::string::npos) return 0;
  return std::atol(report.c_str() + report.rfind(' ', end - 1) + 1);
}

// Each row's last line (its final state): source -> {target, state}.
std::map<std::string, std::pair<std::string, std::string>> FinalRows(
    const std::string& output) {
  std::map<std::string, std::pair<std::string, std::string>> rows;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');)
      fields.push_back(field);
    if (fields.size() == 4) rows[fields[0]] = {fields[1], fields[2]};
  }
  return rows;
}

bool IsDone(const std::string& state) {
  return state == "OK" || state == "Ok" || state == "ReadOnly";
}

// The card and the destination as the run saw them, and where they are
// read after the cut.
struct Places {
  std::string card, photos;
  std::string card_after, photos_after;
};

// What the run left on disk that it must not have: lost photos, partial or
// unknown files, and rows reported done whose copy is not whole.
std::string Audit(const testing::Manifest& sources, const Places& places,
                  const std::string& rows) {
  std::string problems;
  const testing::MoveAudit audit = testing::AuditMove(
      sources, places.card_after, testing::Manifest(), places.photos_after,
      {.allow_duplicates = false, .allow_temporaries = true});
  if (!audit.ok()) problems += audit.Report();
  for (const auto& [source, row] : FinalRows(rows)) {
    const auto& [target, state] = row;
    if (!IsDone(state)) continue;
    const auto original = sources.find(source.substr(places.card.size() + 1));
    if (original == sources.end() ||
        testing::Sha256OfFile(places.photos_after +
                              target.substr(places.photos.size())) !=
            original->second)
      problems += "reported " + state + " but not whole: " + target + "\n";
  }
  return problems;
}

struct RunKind {
  const char* name;
  bool move;
  bool separate_drives;  // card and photos: a move copies, then deletes
  std::vector<const char*> cuts_at_each_photo;  // WHEN:KIND
  const ImageFormat* image = nullptr;  // photos go to a drive on this image
};

void PrintTo(const RunKind& kind, std::ostream* out) { *out << kind.name; }

// One run cut as `cut` says, then audited; the drive's report and the
// problems found. A drive that cannot be mounted here fills `unavailable`.
struct CutRun {
  std::string report{}, problems{}, unavailable{};
};

CutRun RunAndCut(const RunKind& kind, const std::string& cut) {
  TempDir backing(testing::FastTempBase()), image_mount;
  WriteCard(backing);
  const testing::Manifest sources = testing::TakeManifest(backing.Path("card"));
  const std::string image = backing.Path("image");
  if (kind.image != nullptr)
    Shell("truncate -s 32M " + image + " && " + kind.image->make + " " + image);
  PowerCutDrive drive(backing.path(),
                      {.separate_top_folders = kind.separate_drives});
  if (!drive.mounted()) return {.unavailable = drive.unavailable()};
  Places places = {drive.Path("card"), drive.Path("photos"),
                   backing.Path("card"), backing.Path("photos")};
  std::vector<std::string> args = {"--dest", places.photos, places.card};
  if (kind.move) args.insert(args.begin(), "--move");
  std::optional<ImageDrive> image_drive;
  if (kind.image != nullptr) {
    places.photos = places.photos_after = image_mount.path();
    image_drive.emplace(*kind.image, drive.Path("image"), places.photos, false);
    if (!image_drive->mounted()) return {.unavailable = image_drive->error()};
    // Neither drive keeps a read-only mark this way: the rows read "Ok".
    args = {"--move", "--no-read-only", "--dest", places.photos, places.card};
  }
  const std::string rows = RunUntilCut(drive, cut, args);
  image_drive.reset();
  drive.Unmount();
  // The image as the disk holds it after the cut, mounted where it was.
  if (kind.image != nullptr)
    image_drive.emplace(*kind.image, image, places.photos,
                        !kind.image->replays_journal);
  CutRun run = {drive.Report(), Audit(sources, places, rows)};
  if (image_drive && !image_drive->mounted())
    run.problems =
        "cannot mount the image after the cut: " + image_drive->error();
  if (!run.problems.empty()) run.problems += "\nkuronel-batch:\n" + rows;
  return run;
}

constexpr char kPublication[] = "photos/*/[!.]*";

class PowerCutTest : public ::testing::TestWithParam<RunKind> {};

TEST_P(PowerCutTest, NothingIsLostAndNothingReportedDoneIsMissing) {
  const RunKind& kind = GetParam();
  const unsigned seed = static_cast<unsigned>(EnvironmentNumber(
      "KURONEL_POWER_CUT_SEED", static_cast<int>(std::time(nullptr))));
  std::mt19937 random(seed);
  SCOPED_TRACE("KURONEL_POWER_CUT_SEED=" + std::to_string(seed));
  // The run after which the power goes, then a cut at each photo's step,
  // then cuts at random changes within the changes of a whole run.
  std::vector<std::string> cuts = {""};
  for (const std::string cut : kind.cuts_at_each_photo) {
    for (int n = 1; n <= kPhotos; ++n)
      cuts.push_back(cut + ":" + std::to_string(n) + ":" +
                     (cut.ends_with("unlink") ? "card/*" : kPublication));
  }
  const int random_cuts =
      std::max(1, EnvironmentNumber("KURONEL_POWER_CUTS", 5) / 5);
  long whole_run = 1;
  for (std::size_t i = 0; i < cuts.size() + random_cuts; ++i) {
    const std::string cut =
        i < cuts.size()
            ? cuts[i]
            : std::string(random() % 2 ? "before" : "after") +
                  ":any:" + std::to_string(1 + random() % whole_run);
    const CutRun run = RunAndCut(kind, cut);
    // Once a drive worked here, its failing is no reason to skip.
    if (!run.unavailable.empty() && i == 0) GTEST_SKIP() << run.unavailable;
    ASSERT_EQ(run.unavailable, "") << "power cut " << cut;
    if (i == 0) whole_run = std::max(ChangesIn(run.report), 1L);
    // One failing cut says it; the others would repeat it.
    ASSERT_EQ(run.problems, "")
        << "power cut " << (cut.empty() ? "after the run" : cut)
        << "; drive: " << run.report;
  }
  std::cout << kind.name << ": " << cuts.size() + random_cuts
            << " power cuts survived (seed " << seed << "; a whole run makes "
            << whole_run << " changes)\n";
}

INSTANTIATE_TEST_SUITE_P(
    KuronelBatch, PowerCutTest,
    ::testing::Values(
        RunKind{"move_between_drives",
                true,
                true,
                {"after:unlink", "after:rename"}},
        RunKind{"copy", false, true, {"after:rename"}},
        RunKind{"move_within_one_drive", true, false, {"after:rename"}},
        RunKind{
            "move_onto_exfat_image", true, false, {"after:unlink"}, &kExfat},
        RunKind{"move_onto_ntfs_image", true, false, {"after:unlink"}, &kNtfs},
        RunKind{"move_onto_ext4_image", true, false, {"after:unlink"}, &kExt4}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

// A drive that alters what it is given, by write or as the copy is read
// back: no source whose copy differs is deleted, and such copies read
// "CopyError!". (A FUSE drive the program does not know keeps every source:
// the other rows read "OK".)
TEST(CorruptingDriveTest, AMoveDeletesNoSourceWhoseCopyDiffers) {
  for (const auto& [writes, reads] :
       {std::pair{"2:photos/*", ""}, {"", "1:photos/*"}}) {
    SCOPED_TRACE(std::string("corrupting writes ") + writes + ", reads " +
                 reads);
    TempDir backing(testing::FastTempBase());
    WriteCard(backing);
    const testing::Manifest sources =
        testing::TakeManifest(backing.Path("card"));
    PowerCutDrive drive(backing.path(), {.corrupt_writes = writes,
                                         .corrupt_reads = reads,
                                         .separate_top_folders = true});
    if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
    const Places places = {drive.Path("card"), drive.Path("photos"),
                           backing.Path("card"), backing.Path("photos")};
    const std::string rows = RunUntilCut(
        drive, "", {"--move", "--dest", places.photos, places.card});
    drive.Unmount();
    ASSERT_NE(drive.Report().find("corrupted"), std::string::npos);
    EXPECT_EQ(Audit(sources, places, rows), "") << rows;
    int copy_errors = 0;
    for (const auto& [source, row] : FinalRows(rows)) {
      EXPECT_TRUE(row.second == "OK" || row.second == "CopyError!") << source;
      copy_errors += row.second == "CopyError!";
      // Every read of a copy is altered: only the empty photo proves equal.
      const std::string relative = source.substr(places.card.size() + 1);
      if (*reads != '\0' && sources.at(relative) != testing::Sha256Hex("")) {
        EXPECT_EQ(row.second, "CopyError!") << source;
      }
    }
    EXPECT_GT(copy_errors, 0) << rows;
  }
}

// Runs kuronel-batch with `args` to its end; its output, and its exit
// status in `status`.
std::string RunToItsEnd(std::vector<std::string> args, int& status) {
  TempDir outputs;
  args.insert(args.begin(), KURONEL_BATCH_PROGRAM);
  std::string command;
  for (const std::string& arg : args) command += " '" + arg + "'";
  status = std::system(
      (command + " >" + outputs.Path("rows") + " 2>/dev/null").c_str());
  return testing::ReadFile(outputs.Path("rows"));
}

// A drive whose close of a written file empties it and fails, or cuts its
// last byte and succeeds: every row reads "CopyError!" with the reason, no
// such copy keeps its name, a move keeps every source, and the run fails.
TEST(ClosingDriveTest, ACopySpoiltAtItsCloseIsNoCopy) {
  for (const auto& [fault, reason] :
       {std::pair{"empty:1:photos/*", ": write: Input/output error"},
        {"short:1:photos/*", ": verify: the copy read back differs"}}) {
    for (bool move : {false, true}) {
      SCOPED_TRACE(std::string(fault) + (move ? ", move" : ", copy"));
      TempDir backing(testing::FastTempBase());
      for (int i = 0; i < 8; ++i)
        backing.WriteFile("card/IMG_000" + std::to_string(i) + ".JPG",
                          testing::Pattern(1 + 4000 * i));
      const testing::Manifest sources =
          testing::TakeManifest(backing.Path("card"));
      PowerCutDrive drive(backing.path(),
                          {.close_fault = fault, .separate_top_folders = true});
      if (!drive.mounted()) GTEST_SKIP() << drive.unavailable();
      std::vector<std::string> args = {"--dest", drive.Path("photos"),
                                       drive.Path("card")};
      if (move) args.insert(args.begin(), "--move");
      int status = 0;
      const std::string rows = RunToItsEnd(args, status);
      drive.Unmount();
      EXPECT_NE(status, 0);
      EXPECT_NE(rows.find("# 8 files: 8 CopyError!"), std::string::npos)
          << rows;
      std::size_t reasons = 0;
      for (auto at = rows.find(reason); at != std::string::npos;
           at = rows.find(reason, at + 1))
        ++reasons;
      EXPECT_EQ(reasons, 8u) << rows;
      EXPECT_EQ(testing::TakeManifest(backing.Path("card")), sources);
      EXPECT_EQ(testing::TakeManifest(backing.Path("photos")),
                testing::Manifest());
    }
  }
}

}  // namespace
}  // namespace kuronel
