#include "settings/settings_file.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <set>

#include "platform/cp932.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::kuronel::testing::ReadFile;
using ::kuronel::testing::TempDir;

TEST(ReadIntegerTextTest, AcceptsDecimalAndHexadecimalOnly) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {"1", 1},
      {" 1 ", 1},
      {"0", 0},
      {"-1", 0xFFFFFFFF},
      {"+7", 7},
      {"0x10", 16},
      {"0X1f", 31},
      {"$0", 0},
      {"$00FF0000", 0xFF0000},
      {"$FFFFFFFF", 0xFFFFFFFF},
      {"2147483647", 0x7FFFFFFF},
      {"-2147483648", 0x80000000},
      {"2147483648", std::nullopt},
      {"$100000000", std::nullopt},
      {"yes", std::nullopt},
      {"", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"-", std::nullopt},
      {"1.0", std::nullopt},
      {"1 2", std::nullopt},
      {"12a", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadIntegerText(c.text), c.value) << c.text;
}

TEST(SettingsFileTest, ReadsLinesAsTheFormatSays) {
  SettingsFile file = SettingsFile::Parse(
      "orphan=dropped\r\n"
      "  [ main ]  \r\n"
      "; a comment\r\n"
      "\r\n"
      "  日付フォルダに移動  =  0  \r\n"
      "a line without separator\n"
      "path=C:\\x=y\r"
      "Key=first\r\n"
      "KEY=second\r\n"
      "[Main]\r\n"
      "later=ignored\r\n");
  EXPECT_FALSE(file.ReadFlag("Main", "日付フォルダに移動", true));
  EXPECT_EQ(file.ReadString("MAIN", "path", "-"), "C:\\x=y");
  EXPECT_EQ(file.ReadString("Main", "key", "-"), "first");
  EXPECT_EQ(file.ReadString("Main", "a line without separator", "-"), "-");
  EXPECT_EQ(file.ReadString("Main", "orphan", "-"), "-");
  EXPECT_EQ(file.ReadString("Main", "later", "-"),
            "-");  // the first section wins
  // Every line comes back as it was; only the line ends become CR LF.
  EXPECT_EQ(file.Text(),
            "orphan=dropped\r\n"
            "  [ main ]  \r\n"
            "; a comment\r\n"
            "\r\n"
            "  日付フォルダに移動  =  0  \r\n"
            "a line without separator\r\n"
            "path=C:\\x=y\r\n"
            "Key=first\r\n"
            "KEY=second\r\n"
            "[Main]\r\n"
            "later=ignored\r\n");
}

TEST(SettingsFileTest, FlagsTakeTheirDefaultUnlessAnInteger) {
  SettingsFile file = SettingsFile::Parse(
      "[S]\r\nblank= 1 \r\nyes=yes\r\nhex=0x10\r\ndollar=$0\r\nempty=\r\n");
  struct Case {
    const char* key;
    bool when_default_off;
    bool when_default_on;
  } cases[] = {
      {"blank", true, true},  {"yes", false, true},
      {"hex", true, true},    {"dollar", false, false},
      {"empty", false, true}, {"missing", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(file.ReadFlag("S", c.key, false), c.when_default_off) << c.key;
    EXPECT_EQ(file.ReadFlag("s", c.key, true), c.when_default_on) << c.key;
  }
}

TEST(SettingsFileTest, WritesInPlaceAndAppendsWhatIsNew) {
  SettingsFile file = SettingsFile::Parse(
      "[Main]\r\nunknown=kept\r\nexif情報 = 1\r\nbare\r\n; note\r\n\r\n"
      "[Other]\r\nx = 1\r\n");
  file.WriteFlag("MAIN", "EXIF情報",
                 false);  // replaces, keeps the file's spelling
  file.WriteString("Main", "bare", "now a key");
  file.WriteFlag("Other", "x", true);  // the same value: the line stays
  file.WriteString("Sub", "背景色", "clRed");
  file.WriteFlag("Sub", "動画ファイル", true);
  EXPECT_EQ(file.Text(),
            "[Main]\r\nunknown=kept\r\nexif情報=0\r\nbare\r\n"
            "bare=now a key\r\n; note\r\n\r\n"
            "[Other]\r\nx = 1\r\n\r\n"
            "[Sub]\r\n背景色=clRed\r\n動画ファイル=1\r\n\r\n");
}

TEST(SettingsFileTest, OpenAndUpdateRoundTrip) {
  TempDir dir;
  std::string path = dir.Path("Kuronel.ini");
  SettingsFile missing = SettingsFile::Open(path, RealSystemCalls());
  EXPECT_EQ(missing.Text(), "");
  missing.WriteFlag("Main", "k", true);
  ASSERT_TRUE(missing.Update(RealSystemCalls()).ok());
  EXPECT_EQ(ReadFile(path), "[Main]\r\nk=1\r\n\r\n");
  EXPECT_TRUE(
      SettingsFile::Open(path, RealSystemCalls()).ReadFlag("Main", "k", false));
}

// A settings file that exists but cannot be read must not be replaced by
// one that holds only what this run wrote.
TEST(SettingsFileTest, RefusesToOverwriteUnreadableFile) {
  TempDir dir;
  std::string path = dir.Path("Kuronel.ini");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  SettingsFile file = SettingsFile::Open(path, RealSystemCalls());
  file.WriteFlag("Main", "k", true);
  Status status = file.Update(RealSystemCalls());
  EXPECT_FALSE(status.ok());
  EXPECT_THAT(status.message(), ::testing::HasSubstr(path));
  struct stat info;
  ASSERT_EQ(lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A save killed before its rename leaves its temporary file; the next save
// removes those that prove themselves a save's, and never a user's file.
TEST(SettingsFileTest, SaveRemovesOnlyItsOwnStaleTemporaries) {
  TempDir dir;
  const std::string settings_text = "[Main]\r\nk=1\r\n\r\n";
  const time_t old = time(nullptr) - 3600;
  struct Case {
    const char* name;
    std::string contents;
    bool recent = false;
    bool removed = false;
  };
  const Case cases[] = {
      {".Kuronel.ini.tmpAb12Cd", settings_text, false, true},
      {".Kuronel.ini.tmpEmpty0", "", false, true},      // cut before its flush
      {".Kuronel.ini.tmpBusy01", settings_text, true},  // a save at work
      {".Kuronel.ini.tmpNotes1", "my notes\n"},
      {".Kuronel.ini.tmpNoHead", "k=1\r\n"},
      {".Kuronel.ini.tmpNul000", std::string("[Main]\r\n\0\r\n", 11)},
      {".Kuronel.ini.tmpSeven12", settings_text},
      {".Kuronel.ini.tmp_x-y.z", settings_text},
      {".Other.ini.tmpAb12Cd", settings_text},
      {"Kuronel.ini.tmpAb12Cd", settings_text},
  };
  for (const Case& c : cases) {
    const std::string path = dir.WriteFile(c.name, c.contents);
    if (!c.recent) testing::SetTimes(path, old, 0);
  }
  // Not plain files of their own: a link, a second name, one a save holds.
  ASSERT_EQ(symlink(dir.Path(".Kuronel.ini.tmpAb12Cd").c_str(),
                    dir.Path(".Kuronel.ini.tmpLink01").c_str()),
            0);
  const std::string twice = dir.WriteFile("kept.ini", settings_text);
  ASSERT_EQ(link(twice.c_str(), dir.Path(".Kuronel.ini.tmpTwice1").c_str()), 0);
  const std::string held =
      dir.WriteFile(".Kuronel.ini.tmpHeld01", settings_text);
  testing::SetTimes(twice, old, 0);
  testing::SetTimes(held, old, 0);
  const int holder = open(held.c_str(), O_RDONLY);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);

  SettingsFile file =
      SettingsFile::Open(dir.Path("Kuronel.ini"), RealSystemCalls());
  file.WriteFlag("Main", "k", true);
  ASSERT_TRUE(file.Update(RealSystemCalls()).ok());
  close(holder);

  std::set<std::string> expected = {
      "Kuronel.ini", "kept.ini", ".Kuronel.ini.tmpLink01",
      ".Kuronel.ini.tmpTwice1", ".Kuronel.ini.tmpHeld01"};
  for (const Case& c : cases)
    if (!c.removed) expected.insert(c.name);
  EXPECT_EQ(testing::FolderEntries(dir.path()), expected);
  EXPECT_EQ(ReadFile(dir.Path("Kuronel.ini")), settings_text);
}

}  // namespace
}  // namespace kuronel
