#include "catalogue/catalogue_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "platform/dir_listing.h"
#include "platform/path.h"
#include "testing/as_nobody.h"
#include "testing/faulty_system_calls.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::kuronel::testing::CopyTestFile;
using ::kuronel::testing::ReadFile;
using ::kuronel::testing::SetLocalTime;
using ::kuronel::testing::TempDir;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// Canon_40D.jpg (little-endian) holds DateTimeOriginal 2008:05:30 15:56:01.
constexpr char kCanon[] = "camera-jpegs/Canon_40D.jpg";
const std::string kCanonDateTag("\x03\x90\x02\x00\x14\x00\x00\x00", 8);

// A copy of the Canon photo whose DateTimeOriginal entry is changed by
// `change` (given the file bytes and the entry's offset).
template <typename Change>
std::string CopyCanonChanged(const TempDir& dir, const std::string& name,
                             Change change) {
  std::string bytes = ReadFile(testing::TestDataDir() + "/" + kCanon);
  const size_t entry = bytes.find(kCanonDateTag);
  EXPECT_NE(entry, std::string::npos);
  change(bytes, entry);
  return dir.WriteFile(name, bytes);
}

void SetCanonDate(std::string& bytes, size_t entry, const std::string& date) {
  const size_t tiff_start = bytes.find(std::string("II*\0", 4));
  std::uint32_t offset;
  std::memcpy(&offset, bytes.data() + entry + 8, 4);  // little-endian host
  ASSERT_EQ(bytes.compare(tiff_start + offset, 19, "2008:05:30 15:56:01"), 0);
  bytes.replace(tiff_start + offset, date.size(), date);
}

struct Build {
  FileCatalogue rows;
  FolderWorkList work_list;
  SortState sort;
  std::vector<std::string> texts;
  SystemCalls* calls = &RealSystemCalls();

  BuildOutcome Run(const std::string& root, bool use_exif_date,
                   const std::string& left_out = "") {
    return BuildCatalogue(
        root, rows, work_list, *calls, BuildOptions{use_exif_date, left_out},
        sort, [&](const std::string& text) { texts.push_back(text); });
  }
  const CatalogueRow& Row(const std::string& name) const {
    auto it = std::find_if(rows.begin(), rows.end(),
                           [&](auto& row) { return row.FileName == name; });
    if (it == rows.end()) throw std::runtime_error("no row " + name);
    return *it;
  }
  std::vector<std::string> BuildTexts() const {
    std::vector<std::string> result;
    for (const std::string& text : texts)
      if (text.find("検索中") != std::string::npos) result.push_back(text);
    return result;
  }
};

TEST(BuildCatalogueTest, ShowsTheBuildBarForEachFolderOfSeveral) {
  TempDir dir;
  for (const char* folder : {"a", "b", "c"}) dir.MakeDir(folder);
  Build build;
  build.Run(dir.path(), false);
  EXPECT_THAT(build.BuildTexts(),
              ElementsAre("□□□□□□□□□□検索中", "■■■□□□□□□□検索中",
                          "■■■■■■□□□□検索中", "■■■■■■■■■■検索中"));
  EXPECT_EQ(BuildProgressText(1, 2), "■■■■■■■■■■検索中");

  TempDir single;
  single.WriteFile("a.jpg", "x");
  Build alone;
  alone.Run(single.path(), true);
  EXPECT_THAT(alone.BuildTexts(), IsEmpty());
  EXPECT_EQ(alone.rows.size(), 1u);
}

TEST(BuildCatalogueTest, DatesPhotosByExifOnlyWithTheOptionOn) {
  TempDir dir;
  const std::string photo = CopyTestFile(dir, kCanon, "DCIM/IMG_0001.JPG");
  // The content decides, not the name.
  const std::string renamed = CopyTestFile(dir, kCanon, "DCIM/photo.dat");
  const std::string movie = dir.WriteFile("DCIM/MVI_0002.MOV", "movie");
  const std::string text = dir.WriteFile("notes.txt", "text");
  for (const std::string& path : {photo, renamed, movie, text})
    SetLocalTime(path, 2010, 1, 2, 3, 4, 5);

  Build with_exif;
  with_exif.Run(dir.path(), true);
  EXPECT_EQ(with_exif.rows.size(), 4u);
  const CatalogueRow& row = with_exif.Row("IMG_0001.JPG");
  EXPECT_EQ(row.DisplayKind, "2008_05_30");
  EXPECT_EQ(row.Timestamp, "2008/05/30 15:56:01");
  EXPECT_EQ(row.Folder, dir.path() + "/DCIM/");
  EXPECT_FALSE(row.Checked);
  EXPECT_EQ(with_exif.Row("photo.dat").Timestamp, "2008/05/30 15:56:01");
  EXPECT_EQ(with_exif.Row("MVI_0002.MOV").Timestamp, "2010/01/02 03:04:04");
  EXPECT_EQ(with_exif.Row("notes.txt").DisplayKind, "2010_01_02");

  Build without_exif;
  without_exif.Run(dir.path(), false);
  EXPECT_EQ(without_exif.Row("IMG_0001.JPG").Timestamp, "2010/01/02 03:04:04");
  EXPECT_EQ(without_exif.Row("photo.dat").Timestamp, "2010/01/02 03:04:04");
}

// The real system calls, with the opens of each file's name counted.
struct OpenCountingCalls : testing::FaultySystemCalls {
  std::mutex mutex;
  std::map<std::string, int> opens;  // by the name after the last "/"

  int Open(const std::string& path, int flags, mode_t mode) override {
    {
      const std::lock_guard lock(mutex);
      ++opens[path.substr(path.rfind('/') + 1)];
    }
    return FaultySystemCalls::Open(path, flags, mode);
  }
};

// Enough photos for the dating to read many files at once: the rows and the
// build texts are those of one pass over the files in listing order, and
// every file is opened once, however many readers share the card.
TEST(BuildCatalogueTest, ManyPhotosAreDatedAsInOnePass) {
  struct Layout {
    const char* name;
    std::vector<std::pair<std::string, int>> folders;  // folder, file count
    std::vector<std::string> bars;  // one per folder, the opened one first
  };
  // "mixed": photos, photos with an unusable date and movies everywhere;
  // "photos first": the last 60 files are movies.
  const Layout layouts[] = {
      {"mixed",
       {{"x", 50}, {"y", 50}, {"z", 50}},
       {"□□□□□□□□□□検索中", "■■■□□□□□□□検索中", "■■■■■■□□□□検索中",
        "■■■■■■■■■■検索中"}},
      {"photos first",
       {{"a", 40}, {"a/b", 60}},
       {"□□□□□□□□□□検索中", "■■■■■□□□□□検索中", "■■■■■■■■■■検索中"}},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    TempDir dir;
    std::map<std::string, std::string> expected;  // name -> Timestamp
    std::map<std::string, int> opened_once;       // name -> 1
    int n = 0;
    for (const auto& [folder, count] : layout.folders) {
      for (int i = 0; i < count; ++i, ++n) {
        const std::string name = "F" + std::to_string(n) + ".JPG";
        opened_once[name] = 1;
        const bool movie =
            layout.folders.size() == 2 ? folder == "a/b" : n % 4 == 1;
        const int day = 1 + n % 28, minute = n % 60;
        char date[32];
        std::snprintf(date, sizeof date, "2001:03:%02d 10:%02d:07", day,
                      minute);
        std::string path;
        if (movie) {
          path = dir.WriteFile(folder + "/" + name, "movie");
        } else {
          const bool usable = n % 4 != 2;
          path = CopyCanonChanged(
              dir, folder + "/" + name, [&](std::string& bytes, size_t entry) {
                SetCanonDate(bytes, entry,
                             usable ? date : "0000:00:00 00:00:00");
              });
          if (usable) {
            std::snprintf(date, sizeof date, "2001/03/%02d 10:%02d:07", day,
                          minute);
            expected[name] = date;
          }
        }
        SetLocalTime(path, 2010, 1, 2, 3, 4, 6);
        expected.try_emplace(name, "2010/01/02 03:04:06");
      }
    }

    OpenCountingCalls calls;
    Build build;
    build.calls = &calls;
    build.Run(dir.path(), true);
    std::map<std::string, std::string> timestamps;
    for (const CatalogueRow& row : build.rows) {
      timestamps[row.FileName] = row.Timestamp;
      EXPECT_EQ(
          row.Folder + row.FileName,
          dir.Path(row.Folder.substr(dir.path().size() + 1)) + row.FileName);
    }
    EXPECT_EQ(timestamps, expected);
    EXPECT_EQ(build.BuildTexts(), layout.bars);
    std::erase_if(calls.opens, [&](const auto& name_and_count) {
      return !opened_once.contains(name_and_count.first);
    });
    EXPECT_EQ(calls.opens, opened_once);
  }
}

// An exception while the listers or the readers work (here from the
// progress display, which follows the listing without Exif dates and the
// dating with them) reaches the caller after every thread has stopped: the
// program goes on.
TEST(BuildCatalogueTest, AnExceptionWhileReadingTheCardReachesTheCaller) {
  TempDir dir;
  for (int i = 0; i < 100; ++i)
    CopyTestFile(
        dir, kCanon,
        "f" + std::to_string(i % 4) + "/" + std::to_string(i) + ".JPG");
  for (bool use_exif_date : {false, true}) {
    Build build;
    EXPECT_THROW(
        BuildCatalogue(dir.path(), build.rows, build.work_list, *build.calls,
                       BuildOptions{use_exif_date}, build.sort,
                       [](const std::string& text) {
                         if (text.find("検索中") != std::string::npos)
                           throw std::runtime_error("the display is gone");
                       }),
        std::runtime_error)
        << use_exif_date;
  }
}

TEST(BuildCatalogueTest, FileTimesAreRoundedDownToEvenSeconds) {
  struct Case {
    int year, month, day, hour, minute, second;
    const char* timestamp;
  };
  const std::vector<Case> cases = {
      {2004, 5, 12, 10, 20, 31, "2004/05/12 10:20:30"},
      {2004, 5, 12, 10, 20, 30, "2004/05/12 10:20:30"},
      {2004, 5, 12, 0, 0, 1, "2004/05/12"},  // midnight: the date alone
      {2004, 5, 12, 0, 0, 0, "2004/05/12"},
      {2004, 5, 12, 23, 59, 59, "2004/05/12 23:59:58"},
      {1975, 6, 1, 12, 0, 0, "1975/06/01 12:00:00"},  // before 1980: as is
      {1965, 3, 4, 5, 6, 7, "1965/03/04 05:06:06"},
      {2200, 1, 1, 9, 0, 0, "2200/01/01 09:00:00"},  // after 2107: as is
  };
  for (const Case& c : cases) {
    TempDir dir;
    SetLocalTime(dir.WriteFile("f.jpg", "x"), c.year, c.month, c.day, c.hour,
                 c.minute, c.second);
    Build build;
    build.Run(dir.path(), false);
    ASSERT_EQ(build.rows.size(), 1u) << c.timestamp;
    EXPECT_EQ(build.rows[0].Timestamp, c.timestamp);
  }
}

TEST(BuildCatalogueTest, AnUnusableExifDateFallsBackToTheFileTime) {
  TempDir dir;
  auto no_tag = [](std::string& bytes, size_t entry) {
    bytes[entry] = '\x09';  // tag 0x9009: no DateTimeOriginal any more
  };
  auto date = [](std::string text) {
    return [text](std::string& bytes, size_t entry) {
      SetCanonDate(bytes, entry, text);
    };
  };
  const std::vector<std::string> photos = {
      CopyCanonChanged(dir, "a_no_tag.jpg", no_tag),
      CopyCanonChanged(dir, "b_zeros.jpg", date("0000:00:00 00:00:00")),
      CopyCanonChanged(dir, "c_zulu.jpg", date("2004:05:12 10:20:3Z")),
      CopyCanonChanged(dir, "d_no_time.jpg",
                       date(std::string("2004:05:12\0\0\0\0\0\0\0\0\0", 19))),
      CopyTestFile(dir, "camera-jpegs/Canon_40D_photoshop_import.jpg",
                   "e_photoshop.jpg"),
      CopyTestFile(dir, "camera-jpegs/corrupted.jpg", "f_corrupted.jpg"),
      CopyCanonChanged(dir, "g_good.jpg", date("2004:05:12 10:20:31")),
      CopyCanonChanged(dir, "h_midnight.jpg", date("2004:05:12 00:00:00")),
  };
  for (const std::string& path : photos)
    SetLocalTime(path, 2011, 2, 3, 4, 5, 6);

  Build build;
  build.Run(dir.path(), true);
  ASSERT_EQ(build.rows.size(), photos.size());
  for (const char* name : {"a_no_tag.jpg", "b_zeros.jpg", "c_zulu.jpg",
                           "d_no_time.jpg", "e_photoshop.jpg"})
    EXPECT_EQ(build.Row(name).Timestamp, "2011/02/03 04:05:06") << name;
  EXPECT_EQ(build.Row("g_good.jpg").Timestamp, "2004/05/12 10:20:31");
  EXPECT_EQ(build.Row("h_midnight.jpg").Timestamp, "2004/05/12");
}

TEST(BuildCatalogueTest, KeepsNamesAsTheirBytes) {
  TempDir dir;
  const std::string shift_jis = "\x8e\xca\x90\x5e.jpg";  // 写真.jpg
  for (const std::string& name :
       {std::string("say \"cheese\".jpg"), std::string("a, b.jpg"), shift_jis})
    dir.WriteFile(name, "x");
  Build build;
  build.Run(dir.path() + "/", false);
  std::vector<std::string> paths;
  for (const CatalogueRow& row : build.rows) paths.push_back(row.FullPath());
  EXPECT_THAT(paths,
              UnorderedElementsAre(dir.Path("say \"cheese\".jpg"),
                                   dir.Path("a, b.jpg"), dir.Path(shift_jis)));
}

TEST(BuildCatalogueTest, SortsByTimestampInTheDirectionLeftByTheLastSort) {
  TempDir dir;
  SetLocalTime(dir.WriteFile("old.jpg", "x"), 2001, 1, 1, 12, 0, 0);
  SetLocalTime(dir.WriteFile("new.jpg", "x"), 2009, 1, 1, 12, 0, 0);
  SetLocalTime(dir.WriteFile("mid.jpg", "x"), 2005, 1, 1, 12, 0, 0);
  Build build;
  build.sort.SortColumn = kFileNameColumn;
  build.Run(dir.path(), false);
  EXPECT_EQ(build.sort.SortColumn, kTimestampColumn);
  EXPECT_FALSE(build.sort.SortAscending);
  EXPECT_EQ(build.rows.front().FileName, "new.jpg");
  EXPECT_EQ(build.rows.back().FileName, "old.jpg");

  // A click on any column flips the direction for the next sort.
  ClickedColumnOrder(
      build.rows.size(), [](size_t) { return ""; }, kFolderColumn, build.sort);
  build.rows.clear();
  build.Run(dir.path(), false);
  EXPECT_EQ(build.rows.front().FileName, "old.jpg");
  EXPECT_EQ(build.rows.back().FileName, "new.jpg");
}

std::vector<std::string> FullPaths(const FileCatalogue& rows) {
  std::vector<std::string> paths;
  for (const CatalogueRow& row : rows) paths.push_back(row.FullPath());
  return paths;
}

// Every file of the folders gets one row in the order the folder lists it
// (rows of one time keep it): hidden and read-only files and any byte in a
// name; no folders, FIFOs or dangling links.
TEST(BuildCatalogueTest, ListsEveryFileInListingOrder) {
  TempDir dir;
  for (const char* name :
       {".hidden.jpg", "locked.jpg", "a, b.jpg", "say \"cheese\".jpg"}) {
    const std::string path = dir.WriteFile(std::string("card/") + name, "x");
    SetLocalTime(path, 2004, 5, 6, 10, 0, 0);
  }
  chmod(dir.Path("card/locked.jpg").c_str(), 0444);
  ASSERT_EQ(mkfifo(dir.Path("card/fifo").c_str(), 0644), 0);
  ASSERT_EQ(symlink("nowhere", dir.Path("card/dangling.jpg").c_str()), 0);
  dir.MakeDir("card/empty");
  std::vector<std::string> listing_order;
  ListDirectory(
      dir.Path("card"),
      [&](const DirEntry& entry) {
        if (IsListedFile(entry.attributes))
          listing_order.push_back(std::string(entry.name));
      },
      RealSystemCalls());

  Build build;
  build.Run(dir.Path("card"), false);
  std::vector<std::string> names;
  for (const CatalogueRow& row : build.rows) {
    EXPECT_EQ(row.Folder, dir.Path("card/"));
    names.push_back(row.FileName);
  }
  EXPECT_EQ(names, listing_order);
  EXPECT_EQ(names.size(), 4u);
}

// Nothing unreadable passes for empty: a folder nobody may list and a photo
// nobody may read are reported (the photo keeps its row, dated by its file
// time); the message names them with the reason.
TEST(BuildCatalogueTest, ReportsWhatCannotBeRead) {
  TempDir dir;
  CopyTestFile(dir, kCanon, "card/ok.jpg");
  CopyTestFile(dir, kCanon, "card/secret.jpg");
  dir.WriteFile("card/locked/IMG_0001.JPG", "photo");
  for (const char* open_to_all : {"", "card"})
    ASSERT_EQ(chmod(dir.Path(open_to_all).c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.Path("card/locked").c_str(), 0), 0);
  ASSERT_EQ(chmod(dir.Path("card/secret.jpg").c_str(), 0), 0);
  const std::string outcome = testing::AsNobody([&] {
    Build build;
    const BuildOutcome built = build.Run(dir.Path("card"), true);
    std::string text = std::to_string(build.rows.size()) + " rows\n";
    for (const UnreadablePath& path : built.unreadable)
      text += path.path + " " + std::to_string(path.error) + "\n";
    return text + UnreadableMessage(built.unreadable, 1);
  });
  chmod(dir.Path("card/locked").c_str(), 0755);
  EXPECT_EQ(
      outcome,
      "2 rows\n" + dir.Path("card/locked") + " " + std::to_string(EACCES) +
          "\n" + dir.Path("card/secret.jpg") + " " + std::to_string(EACCES) +
          "\n" + "2個のフォルダまたはファイルを読み込めませんでした。\n" +
          dir.Path("card/locked") + ": " + std::strerror(EACCES) + "\nほか1個");
}

TEST(RemoveDuplicateRowsTest, AddingAListedFolderOrItsParentListsEachFileOnce) {
  TempDir dir;
  dir.WriteFile("top.jpg", "x");
  dir.WriteFile("sub/IMG.JPG", "x");
  dir.WriteFile("sub/img.jpg", "x");  // another file on Linux
  Build build;
  build.Run(dir.Path("sub"), false);
  ASSERT_EQ(build.rows.size(), 2u);
  build.Run(dir.Path("sub"), false);
  EXPECT_EQ(RemoveDuplicateRows(build.rows), 2u);
  EXPECT_EQ(build.rows.size(), 2u);
  build.Run(dir.path(), false);
  EXPECT_EQ(RemoveDuplicateRows(build.rows), 2u);
  EXPECT_THAT(FullPaths(build.rows),
              UnorderedElementsAre(dir.Path("top.jpg"), dir.Path("sub/IMG.JPG"),
                                   dir.Path("sub/img.jpg")));
}

// A path listed twice, or one file under two paths (a link, "..", a second
// hard link): the lowest row stays.
TEST(RemoveDuplicateRowsTest, KeepsTheLowestRowOfAPathOrAFileAndTheOrder) {
  const FileIdentity unknown, photo{1, 7};
  FileCatalogue rows = {{"k", "a.jpg", "/x/", "t", true, unknown},
                        {"k", "b.jpg", "/x/", "t", false, unknown},
                        {"k", "c.jpg", "/card/", "t", false, photo},
                        {"k", "a.jpg", "/x/", "t", false, unknown},
                        {"k", "a.jpg", "/y/", "t", false, unknown},
                        {"k", "b.jpg", "/x/", "t", true, unknown},
                        {"k", "c.jpg", "/link/", "t", true, photo}};
  EXPECT_EQ(RemoveDuplicateRows(rows), 3u);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_THAT(FullPaths(rows),
              ElementsAre("/x/a.jpg", "/y/a.jpg", "/x/b.jpg", "/link/c.jpg"));
  EXPECT_FALSE(rows[0].Checked);
  EXPECT_TRUE(rows[2].Checked);
}

}  // namespace
}  // namespace kuronel
