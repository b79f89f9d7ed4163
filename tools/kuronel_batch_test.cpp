#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/system.h"
#include "processing/new_name_plan.h"
#include "testing/camera_file_builder.h"
#include "testing/faulty_file_system.h"
#include "testing/jpeg_builder.h"
#include "testing/temp_dir.h"
#include "testing/tree_audit.h"
#include "tools/batch_run.h"
#include "tools/batch_test_support.h"

namespace kuronel {
namespace {

using Args = std::vector<std::string>;
using testing::CopyTestFile;
using testing::RunBatchArgs;
using Result = testing::BatchResult;
using testing::Exists;
using testing::ReadFile;
using testing::TempDir;

std::string Sample(const std::string& name) {
  return ReadFile(testing::TestDataDir() + "/camera-jpegs/" + name);
}

// One row's output line; the target is the planned path unless given.
std::string Line(const std::string& source, const std::string& target,
                 const std::string& state, std::string new_path = "") {
  if (new_path.empty()) new_path = target;
  return source + "\t" + target + "\t" + state + "\t" + new_path + "\n";
}

bool IsWritable(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) != 0;
}

// A camera card of five photos on three days (two shot in the same second)
// and a text file, with the destination beside it.
class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    card_ = dir_.MakeDir("card");
    out_ = dir_.Path("out");
    CopyTestFile(dir_, "camera-jpegs/Canon_40D.jpg",
                 "card/DCIM/100CANON/IMG_0001.JPG");  // 2008:05:30 15:56:01
    CopyTestFile(dir_, "camera-jpegs/Canon_40D.jpg",
                 "card/DCIM/100CANON/IMG_0002.JPG");
    CopyTestFile(dir_, "camera-jpegs/Nikon_D70.jpg",
                 "card/DCIM/101NIKON/DSC_0003.JPG");  // 2008:03:15 09:52:01
    CopyTestFile(dir_, "camera-jpegs/Canon_DIGITAL_IXUS_400.jpg",
                 "card/DCIM/101NIKON/img_0004.jpg");  // 2004:08:27 13:52:55
    dir_.WriteFile("card/notes.txt", "not a photo");
  }

  std::string Source(const std::string& relative) const {
    return card_ + "/DCIM/" + relative;
  }

  TempDir dir_;
  std::string card_;
  std::string out_;
};

TEST_F(BatchRunTest, MovesEveryPhotoIntoItsDateFolder) {
  const Result result =
      RunBatchArgs({"--exif", "--move", "--dest", out_, card_});
  EXPECT_EQ(result.code, kBatchExitOk) << result.err;
  EXPECT_EQ(result.err, "");  // standard error is no terminal: no progress

  // Date order, oldest first; the two photos of one second share a day.
  const std::string d = out_ + "/";
  const std::string expected_start =
      Line(Source("101NIKON/img_0004.jpg"), d + "2004_08_27/2004_08_27a0.jpg",
           "Ok") +
      Line(Source("101NIKON/DSC_0003.JPG"), d + "2008_03_15/2008_03_15a0.JPG",
           "Ok");
  EXPECT_EQ(result.out.substr(0, expected_start.size()), expected_start);
  for (const char* suffix : {"a0", "a1"}) {
    const std::string path = d + "2008_05_30/2008_05_30" + suffix + ".JPG";
    EXPECT_NE(result.out.find("\t" + path + "\tOk\t" + path + "\n"),
              std::string::npos);
  }
  EXPECT_TRUE(result.out.ends_with("\n# 4 files: 4 Ok\n")) << result.out;

  const struct {
    std::string source;
    std::string target;
    std::string sample;
  } moves[] = {
      {"101NIKON/img_0004.jpg", "2004_08_27/2004_08_27a0.jpg",
       "Canon_DIGITAL_IXUS_400.jpg"},
      {"101NIKON/DSC_0003.JPG", "2008_03_15/2008_03_15a0.JPG", "Nikon_D70.jpg"},
      {"100CANON/IMG_0001.JPG", "2008_05_30/2008_05_30a0.JPG", "Canon_40D.jpg"},
      {"100CANON/IMG_0002.JPG", "2008_05_30/2008_05_30a1.JPG", "Canon_40D.jpg"},
  };
  for (const auto& move : moves) {
    SCOPED_TRACE(move.target);
    EXPECT_FALSE(Exists(Source(move.source)));
    EXPECT_EQ(ReadFile(d + move.target), Sample(move.sample));
    EXPECT_FALSE(IsWritable(d + move.target));
  }
  EXPECT_EQ(ReadFile(card_ + "/notes.txt"), "not a photo");
  EXPECT_FALSE(Exists(d + "notes.txt"));
}

TEST_F(BatchRunTest, DryRunPrintsThePlanAndTouchesNothing) {
  const Result result =
      RunBatchArgs({"--exif", "--move", "--dry-run", "--dest", out_, card_});
  EXPECT_EQ(result.code, kBatchExitOk) << result.err;
  EXPECT_NE(
      result.out.find(Line(Source("101NIKON/DSC_0003.JPG"),
                           out_ + "/2008_03_15/2008_03_15a0.JPG", "未処理")),
      std::string::npos)
      << result.out;
  EXPECT_TRUE(result.out.ends_with("\n# 4 files: 4 未処理\n"));
  EXPECT_FALSE(Exists(out_));
  EXPECT_EQ(ReadFile(Source("100CANON/IMG_0001.JPG")), Sample("Canon_40D.jpg"));
  EXPECT_TRUE(IsWritable(Source("100CANON/IMG_0001.JPG")));
}

TEST_F(BatchRunTest, ASecondRunOverTheSameDestinationNumbersItsCopies) {
  const Args args = {"--exif", "--dest", out_, card_};
  ASSERT_EQ(RunBatchArgs(args).code, kBatchExitOk);

  Args dry = args;
  dry.push_back("--dry-run");
  const Result planned = RunBatchArgs(dry);
  EXPECT_EQ(planned.code, kBatchExitOk);
  EXPECT_TRUE(planned.out.ends_with("\n# 4 files: 4 重複\n")) << planned.out;

  const Result second = RunBatchArgs(args);
  EXPECT_EQ(second.code, kBatchExitOk) << second.err;
  // Each row shows where its copy went, a numbered name, beside the
  // planned one.
  EXPECT_NE(second.out.find(Line(Source("101NIKON/DSC_0003.JPG"),
                                 out_ + "/2008_03_15/2008_03_15a01.JPG", "OK",
                                 out_ + "/2008_03_15/2008_03_15a0.JPG")),
            std::string::npos)
      << second.out;
  EXPECT_TRUE(second.out.ends_with("\n# 4 files: 4 OK\n"));
  EXPECT_EQ(ReadFile(out_ + "/2008_03_15/2008_03_15a01.JPG"),
            Sample("Nikon_D70.jpg"));
  EXPECT_EQ(ReadFile(out_ + "/2008_03_15/2008_03_15a0.JPG"),
            Sample("Nikon_D70.jpg"));
  EXPECT_TRUE(Exists(out_ + "/2008_05_30/2008_05_30a11.JPG"));
  EXPECT_TRUE(Exists(Source("101NIKON/DSC_0003.JPG")));  // originals kept
}

TEST_F(BatchRunTest, AReadOnlySourceIsNotDeletedAndFailsTheRun) {
  const std::string locked = Source("101NIKON/DSC_0003.JPG");
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  const Result result =
      RunBatchArgs({"--exif", "--move", "--dest", out_, card_});
  EXPECT_EQ(result.code, kBatchExitFailed);
  EXPECT_NE(result.out.find(Line(locked, out_ + "/2008_03_15/2008_03_15a0.JPG",
                                 "DelError!")),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(result.out.ends_with("\n# 4 files: 3 Ok, 1 DelError!\n"));
  EXPECT_NE(result.err.find("1 of 4 files"), std::string::npos) << result.err;
  // Both the source and its copy remain.
  EXPECT_EQ(ReadFile(locked), Sample("Nikon_D70.jpg"));
  EXPECT_EQ(ReadFile(out_ + "/2008_03_15/2008_03_15a0.JPG"),
            Sample("Nikon_D70.jpg"));
}

TEST_F(BatchRunTest, AddedFoldersAreListedOnceAndMoviesOnRequest) {
  dir_.WriteFile("card/DCIM/100CANON/MVI_0005.MOV", "movie");
  const std::string more = dir_.MakeDir("more");
  CopyTestFile(dir_, "camera-jpegs/Pentax_K10D.jpg", "more/IMGP0006.JPG");
  // The second source lies inside the first: its files must not be planned
  // twice.
  const Args sources = {card_, Source("100CANON"), more};
  Args args = {"--exif", "--dry-run", "--dest", out_};
  args.insert(args.end(), sources.begin(), sources.end());
  const Result photos = RunBatchArgs(args);
  EXPECT_EQ(photos.code, kBatchExitOk) << photos.err;
  EXPECT_TRUE(photos.out.ends_with("\n# 5 files: 5 未処理\n")) << photos.out;
  EXPECT_NE(photos.out.find(more + "/IMGP0006.JPG\t" + out_ +
                            "/2008_05_04/2008_05_04a0.JPG\t"),
            std::string::npos);
  EXPECT_EQ(photos.out.find("MVI_0005"), std::string::npos);

  args.insert(args.begin(), "--movies");
  const Result with_movies = RunBatchArgs(args);
  EXPECT_TRUE(with_movies.out.ends_with("\n# 6 files: 6 未処理\n"));
  EXPECT_NE(with_movies.out.find("/100CANON/MVI_0005.MOV\t"),
            std::string::npos);
}

// A card of today: with --raw-heif-mp4 the RAW and HEIF photos are targets
// dated by their Exif, the MP4 movie keeps its file time, and the RAW+JPEG
// pair keeps one name; without it only the JPEG is a target.
TEST(CameraFormatsTest, RawHeifAndMp4FilesAreCheckedDatedAndPaired) {
  TempDir dir;
  const std::string card = dir.MakeDir("card") + "/";
  const std::string out = dir.Path("out") + "/";
  CopyTestFile(dir, "camera-jpegs/Canon_40D.jpg",
               "card/IMG_0010.JPG");  // 2008:05:30 15:56:01
  testing::TiffBuilder ifd0, exif;
  ifd0.Ascii(ifd0.AddDirectory(), 0x010F, "Canon");
  exif.Ascii(exif.AddDirectory(), 0x9003, "2008:05:30 15:56:01");
  dir.WriteFile("card/IMG_0010.CR3", testing::Cr3Photo(ifd0, exif));
  testing::TiffBuilder heif;
  const int heif_ifd0 = heif.AddDirectory(), heif_exif = heif.AddDirectory();
  heif.Pointer(heif_ifd0, 0x8769, heif_exif)
      .Ascii(heif_exif, 0x9003, "2008:05:30 16:00:00");
  dir.WriteFile("card/IMG_0011.HEIC", testing::HeifPhoto(heif));
  dir.WriteFile("card/MVI_0012.MP4", "movie");
  std::tm noon{};
  noon.tm_year = 2020 - 1900;
  noon.tm_mon = 0;
  noon.tm_mday = 1;
  noon.tm_hour = 12;
  noon.tm_isdst = -1;
  for (const char* name :
       {"IMG_0010.JPG", "IMG_0010.CR3", "IMG_0011.HEIC", "MVI_0012.MP4"})
    testing::SetTimes(card + name, std::mktime(&noon), 0);

  const Result today = RunBatchArgs({"--exif", "--movies", "--raw-heif-mp4",
                                     "--dry-run", "--dest", out, card});
  EXPECT_EQ(today.code, kBatchExitOk) << today.err;
  const std::string day = out + "2008_05_30/2008_05_30";
  for (const std::string& line :
       {Line(card + "IMG_0010.JPG", day + "a0.JPG", "未処理"),
        Line(card + "IMG_0010.CR3", day + "a0.CR3", "未処理"),
        Line(card + "IMG_0011.HEIC", day + "a1.HEIC", "未処理"),
        Line(card + "MVI_0012.MP4", out + "2020_01_01/2020_01_01a0.MP4",
             "未処理")})
    EXPECT_NE(today.out.find(line), std::string::npos) << line << today.out;
  EXPECT_TRUE(today.out.ends_with("\n# 4 files: 4 未処理\n")) << today.out;

  const Result plain =
      RunBatchArgs({"--exif", "--movies", "--dry-run", "--dest", out, card});
  EXPECT_EQ(plain.out, Line(card + "IMG_0010.JPG", day + "a0.JPG", "未処理") +
                           "# 1 files: 1 未処理\n");
}

// A card imported again with --skip-imported adds nothing; its summary
// counts the rows as imported, and a move of it deletes the sources whose
// equal copies there read back from the drive equal.
TEST(SkipImportedBatchTest, ACardImportedAgainAddsNothing) {
  TempDir dir;
  const std::string card = dir.MakeDir("card") + "/";
  const std::string out = dir.Path("out") + "/";
  dir.WriteFile("card/IMG_0001.JPG", "one");
  dir.WriteFile("card/IMG_0002.JPG", "two");
  ASSERT_EQ(RunBatchArgs({"--dest", out, card}).code, kBatchExitOk);
  const Result again = RunBatchArgs({"--skip-imported", "--dest", out, card});
  EXPECT_EQ(again.code, kBatchExitOk) << again.err;
  EXPECT_TRUE(again.out.ends_with("\n# 2 files: 2 取込済\n")) << again.out;
  const Result move =
      RunBatchArgs({"--skip-imported", "--move", "--dest", out, card});
  EXPECT_EQ(move.code, kBatchExitOk) << move.out;
  EXPECT_TRUE(move.out.ends_with("\n# 2 files: 2 取込済\n")) << move.out;
  EXPECT_FALSE(std::filesystem::exists(card + "IMG_0001.JPG"));
  EXPECT_FALSE(std::filesystem::exists(card + "IMG_0002.JPG"));
}

TEST_F(BatchRunTest, WithAllOptionsOffEachFileGetsANumberedCopyBesideIt) {
  const Result result = RunBatchArgs(
      {"--no-date-folder", "--no-rename", "--no-read-only", card_});
  EXPECT_EQ(result.code, kBatchExitOk) << result.err;
  const std::string source = Source("101NIKON/DSC_0003.JPG");
  EXPECT_NE(result.out.find(
                Line(source, Source("101NIKON/DSC_00031.JPG"), "OK", source)),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(result.out.ends_with("\n# 4 files: 4 OK\n"));
  EXPECT_EQ(ReadFile(Source("101NIKON/DSC_00031.JPG")),
            Sample("Nikon_D70.jpg"));
  EXPECT_TRUE(IsWritable(Source("101NIKON/DSC_00031.JPG")));
  EXPECT_EQ(ReadFile(source), Sample("Nikon_D70.jpg"));
}

// A copy that is not on the disk, or reads back different, is never
// written as done: its line says why, and a move keeps the original.
TEST_F(BatchRunTest, ACopyNotOnDiskOrReadBackDifferentIsNeverDone) {
  using Step = testing::FaultyFileSystem::CopyStep;
  const struct {
    Step step;
    bool move;
    std::string reason;
  } cases[] = {
      {Step::kSyncFile, false, "flush: Input/output error"},
      {Step::kReadBack, true,
       "verify: the copy read back differs from its source"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    testing::FaultyFileSystem disk;
    // Copied, as from a card to another drive.
    disk.FailCall(testing::FaultyFileSystem::Operation::kMove);
    disk.FailCopyStep(c.step, 2);
    const std::string out = out_ + (c.move ? "_moved" : "_copied");
    std::vector<std::string> args = {"--exif", "--dest", out, card_};
    if (c.move) args.insert(args.begin(), "--move");
    const Result result = RunBatchArgs(args, &disk);
    EXPECT_EQ(result.code, kBatchExitFailed);
    // The second row, by date.
    const std::string source = Source("101NIKON/DSC_0003.JPG");
    const std::string target = out + "/2008_03_15/2008_03_15a0.JPG";
    EXPECT_NE(
        result.out.find(Line(source, "", "CopyError!", target) +
                        "# CopyError! " + target + ": " + c.reason + "\n"),
        std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("\tOK\t" + target), std::string::npos);
    EXPECT_EQ(result.out.find("\tOk\t" + target), std::string::npos);
    EXPECT_FALSE(Exists(target));
    EXPECT_EQ(ReadFile(source), Sample("Nikon_D70.jpg"));
    const std::string others = c.move ? "3 Ok" : "3 OK";
    EXPECT_TRUE(
        result.out.ends_with("\n# 4 files: " + others + ", 1 CopyError!\n"))
        << result.out;
  }
}

#ifdef KURONEL_BATCH_PROGRAM
int System(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(BatchRunTest, TheProgramTakesARelativeDestination) {
  const std::string program = KURONEL_BATCH_PROGRAM;
  const std::string out_file = dir_.Path("stdout");
  const std::string err_file = dir_.Path("stderr");
  const std::string redirect = " >'" + out_file + "' 2>'" + err_file + "'";
  EXPECT_EQ(System("cd '" + dir_.path() + "' && '" + program +
                   "' --exif --move --dest out card" + redirect),
            kBatchExitOk)
      << ReadFile(err_file);
  EXPECT_EQ(ReadFile(err_file), "");
  const std::string out = ReadFile(out_file);
  EXPECT_EQ(out.substr(0, Source("101NIKON/img_0004.jpg").size()),
            Source("101NIKON/img_0004.jpg"));
  EXPECT_TRUE(out.ends_with("\n# 4 files: 4 Ok\n")) << out;
  EXPECT_EQ(ReadFile(out_ + "/2008_05_30/2008_05_30a1.JPG"),
            Sample("Canon_40D.jpg"));
  EXPECT_FALSE(Exists(Source("100CANON/IMG_0001.JPG")));

  EXPECT_EQ(System("'" + program + "' '" + card_ + "'" + redirect),
            kBatchExitUsage);
  EXPECT_NE(ReadFile(err_file).find("--dest"), std::string::npos);
}

TEST_F(BatchRunTest, AClosedOutputStopsAMoveAfterTheFileInHand) {
  const testing::Manifest before = testing::TakeManifest(card_);
  const std::string err_file = dir_.Path("stderr");
  int status = -1;
  ::waitpid(testing::StartBatchProgram(
                {"--exif", "--move", "--dest", out_, card_}, err_file),
            &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), kBatchExitFailed);
  const std::string err = ReadFile(err_file);
  EXPECT_NE(err.find("cannot write to standard output: Broken pipe"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("stopped after 1 of 4 files"), std::string::npos) << err;
  // The oldest photo was moved whole; every other file is as it was.
  const testing::MoveAudit audit =
      testing::AuditMove(before, card_, testing::Manifest(), out_);
  EXPECT_TRUE(audit.ok()) << audit.Report();
  EXPECT_EQ(audit.at_target, 1u) << audit.Report();
  EXPECT_EQ(audit.at_source, before.size() - 1) << audit.Report();
  EXPECT_EQ(ReadFile(out_ + "/2004_08_27/2004_08_27a0.jpg"),
            Sample("Canon_DIGITAL_IXUS_400.jpg"));
}

#ifdef KURONEL_EXIF_PROGRAM
// An Exif text or a file name holding line breaks cannot forge a field or
// another file's block.
TEST(ExifToolTest, TextsAndNamesStayOnTheirLine) {
  TempDir dir;
  testing::TiffBuilder tiff;
  tiff.Ascii(tiff.AddDirectory(), 0x010F, "Canon\n# /tmp/other.jpg\nHasExif=1");
  const std::string file =
      dir.WriteFile("a\rb\tc\\d\n# e.jpg", testing::ExifJpeg(tiff));
  const std::string out_file = dir.Path("stdout");
  ASSERT_EQ(
      System("'" KURONEL_EXIF_PROGRAM "' '" + file + "' >'" + out_file + "'"),
      0);
  const std::string out = ReadFile(out_file);
  EXPECT_TRUE(out.starts_with("# " + dir.path() +
                              "/a\\rb\\tc\\\\d\\n# e.jpg\nHasExif=1\n"))
      << out;
  EXPECT_NE(out.find("\nMake=Canon\\n# /tmp/other.jpg\\nHasExif=1\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("\n# "), std::string::npos) << out;
  EXPECT_EQ(out.find("\nHasExif="), out.rfind("\nHasExif=")) << out;
}
#endif  // KURONEL_EXIF_PROGRAM
#endif  // KURONEL_BATCH_PROGRAM

TEST(PlanSummaryTest, CountsEachStateInTheOrderOfTheStateTable) {
  EXPECT_EQ(PlanSummary({}), "# 0 files");
  const ProcessingPlan plan = {
      {"a", "b", RowState::kNotFound}, {"a", "b", RowState::kCopied},
      {"a", "b", RowState::kDelError}, {"a", "b", RowState::kDuplicate},
      {"a", "b", RowState::kCopied},
  };
  EXPECT_EQ(PlanSummary(plan),
            "# 5 files: 1 重複, 2 OK, 1 DelError!, 1 file not found");
  EXPECT_TRUE(IsSuccessState(RowState::kReadOnly));
  EXPECT_TRUE(IsSuccessState(RowState::kMoved));
  EXPECT_FALSE(IsSuccessState(RowState::kDuplicate));
  EXPECT_FALSE(IsSuccessState(RowState::kAttrError));
}

TEST(TerminalProgressTest, ShowsAtMostOneTextPerInterval) {
  using std::chrono::milliseconds;
  std::ostringstream err;
  auto now = std::chrono::steady_clock::time_point();
  {
    TerminalProgress progress(err, milliseconds(250), [&] { return now; });
    const StatusSink sink = progress.Sink();
    sink("one");
    now += milliseconds(100);
    sink("two");
    now += milliseconds(200);
    sink("three");
  }
  // Each text rewrites the line; going away erases it.
  EXPECT_EQ(err.str(), "\rone\x1b[K\rthree\x1b[K\r\x1b[K");
}

}  // namespace
}  // namespace kuronel
