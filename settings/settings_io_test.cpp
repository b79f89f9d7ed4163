#include "settings/settings_io.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/cp932.h"
#include "platform/system.h"
#include "settings/settings_file.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::kuronel::testing::ReadFile;
using ::kuronel::testing::ScopedCurrentDirectory;
using ::kuronel::testing::TempDir;
using ::testing::HasSubstr;

constexpr char kFreshSub[] =
    "[Sub]\r\n動画ファイル=0\r\nExif情報=0\r\n背景色=clInactiveCaption\r\n\r\n";
constexpr char kFreshFlags[] =
    "日付フォルダに移動=1\r\n日付ファイルに変更=1\r\n読出し専用に変更="
    "1\r\nオリジナルは保存=1\r\n";

// Compares every stored field; SaveResultText is never stored.
void ExpectSameSettings(const Settings& actual, const Settings& expected) {
  EXPECT_EQ(actual.DestinationFolder, expected.DestinationFolder);
  EXPECT_EQ(actual.MoveToDateFolder, expected.MoveToDateFolder);
  EXPECT_EQ(actual.RenameToDateFile, expected.RenameToDateFile);
  EXPECT_EQ(actual.MakeReadOnly, expected.MakeReadOnly);
  EXPECT_EQ(actual.KeepOriginal, expected.KeepOriginal);
  EXPECT_EQ(actual.CheckMoviesByDefault, expected.CheckMoviesByDefault);
  EXPECT_EQ(actual.UseExifDate, expected.UseExifDate);
  EXPECT_EQ(actual.TargetBackColour, expected.TargetBackColour);
  EXPECT_EQ(actual.IncludeRawHeifMp4, expected.IncludeRawHeifMp4);
  EXPECT_EQ(actual.SkipImported, expected.SkipImported);
}

TEST(SettingsIoTest, FirstRunUsesDefaultsAndWritesFlagsOnly) {
  TempDir dir;
  Settings settings;
  ASSERT_TRUE(LoadSettings(dir.path(), settings, RealSystemCalls()).ok());
  ExpectSameSettings(settings, Settings());
  EXPECT_EQ(settings.DestinationFolder, "移動先フォルダ選択");

  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls())
          .ok());
  EXPECT_EQ(ReadFile(dir.path() + "/Kuronel.ini"),
            std::string("[Main]\r\n") + kFreshFlags + "\r\n" + kFreshSub);
}

TEST(SettingsIoTest, ChosenDestinationIsStoredAndLoadedBack) {
  TempDir dir;
  std::string destination = dir.MakeDir("写真") + "/";
  Settings settings;
  settings.DestinationFolder = destination;
  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls())
          .ok());
  EXPECT_EQ(ReadFile(SettingsFilePath(dir.path())),
            "[Main]\r\n移動先フォルダ=" + destination + "\r\n" + kFreshFlags +
                "\r\n" + kFreshSub);

  Settings loaded;
  ASSERT_TRUE(LoadSettings(dir.path(), loaded, RealSystemCalls()).ok());
  ExpectSameSettings(loaded, settings);
}

TEST(SettingsIoTest, EveryStoredValueRoundTrips) {
  TempDir dir;
  Settings settings;
  settings.MoveToDateFolder = false;
  settings.MakeReadOnly = false;
  settings.SaveResultText = true;
  DetailSettings detail{true, true, 0x123456};
  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, detail, RealSystemCalls()).ok());
  EXPECT_THAT(ReadFile(SettingsFilePath(dir.path())),
              HasSubstr("背景色=$00123456\r\n"));

  Settings loaded;
  ASSERT_TRUE(LoadSettings(dir.path(), loaded, RealSystemCalls()).ok());
  settings.CheckMoviesByDefault = settings.UseExifDate = true;
  settings.TargetBackColour = 0x123456;
  ExpectSameSettings(loaded, settings);
  EXPECT_FALSE(loaded.SaveResultText);
}

TEST(SettingsIoTest, KeepsUnknownEntriesInOrder) {
  TempDir dir;
  dir.WriteFile(
      "Kuronel.ini",
      "[Other]\r\nz=1\r\n\r\n[main]\r\nfirst=a\r\n日付ファイルに変更= 0 \r\n"
      "読み出し専用に変更=0\r\nlast=b\r\n");
  Settings settings;
  ASSERT_TRUE(LoadSettings(dir.path(), settings, RealSystemCalls()).ok());
  EXPECT_TRUE(settings.MoveToDateFolder);
  EXPECT_FALSE(settings.RenameToDateFile);  // read from the lower-case section
  EXPECT_TRUE(settings.MakeReadOnly);  // the menu's spelling is not the key

  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls())
          .ok());
  EXPECT_EQ(
      ReadFile(SettingsFilePath(dir.path())),
      std::string("[Other]\r\nz=1\r\n\r\n[main]\r\nfirst=a\r\n"
                  "日付ファイルに変更= 0 \r\n読み出し専用に変更=0\r\nlast=b\r\n"
                  "日付フォルダに移動=1\r\n"
                  "読出し専用に変更=1\r\nオリジナルは保存=1\r\n\r\n") +
          kFreshSub);
}

TEST(SettingsIoTest, ReadsCp932File) {
  TempDir dir;
  std::optional<std::string> bytes = Utf8ToCp932(
      "[Main]\r\n読出し専用に変更=0\r\n[Sub]\r\nExif情報=1\r\n背景色="
      "clred\r\n");
  ASSERT_TRUE(bytes.has_value());
  dir.WriteFile("Kuronel.ini", *bytes);
  Settings settings;
  ASSERT_TRUE(LoadSettings(dir.path(), settings, RealSystemCalls()).ok());
  EXPECT_FALSE(settings.MakeReadOnly);
  EXPECT_TRUE(settings.UseExifDate);
  EXPECT_EQ(settings.TargetBackColour, 0x0000FFu);
}

TEST(SettingsIoTest, BadColourStopsTheLoadAndNamesTheText) {
  TempDir dir;
  std::string destination = dir.MakeDir("dest") + "/";
  dir.WriteFile("Kuronel.ini",
                "[Main]\r\n移動先フォルダ=" + destination +
                    "\r\nオリジナルは保存=0\r\n[Sub]\r\n"
                    "動画ファイル=1\r\nExif情報=1\r\n背景色=あお\r\n");
  Settings settings;
  settings.TargetBackColour = 0x00FF00;
  Status status = LoadSettings(dir.path(), settings, RealSystemCalls());
  EXPECT_FALSE(status.ok());
  EXPECT_THAT(status.message(), HasSubstr("「あお」"));
  EXPECT_FALSE(settings.KeepOriginal);
  EXPECT_TRUE(settings.UseExifDate);
  EXPECT_EQ(settings.TargetBackColour, 0x00FF00u);
  EXPECT_EQ(settings.DestinationFolder, kNoDestination);

  Settings in_use;
  DetailSettings window_copy{false, false, 0xFF0000};
  status =
      LoadDetailSettings(dir.path(), in_use, window_copy, RealSystemCalls());
  EXPECT_THAT(status.message(), HasSubstr("「あお」"));
  EXPECT_TRUE(in_use.CheckMoviesByDefault && window_copy.CheckMoviesByDefault);
  EXPECT_TRUE(in_use.UseExifDate && window_copy.UseExifDate);
  EXPECT_EQ(in_use.TargetBackColour, kClInactiveCaption);
  EXPECT_EQ(window_copy.TargetBackColour, 0xFF0000u);

  // The next save writes the window's colour over the bad text.
  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, window_copy, RealSystemCalls()).ok());
  EXPECT_THAT(ReadFile(SettingsFilePath(dir.path())),
              HasSubstr("背景色=clBlue\r\n"));
}

TEST(SettingsIoTest, DestinationThatIsNoFolderIsNeitherAppliedNorStored) {
  TempDir dir;
  std::string stored = "[Main]\r\n移動先フォルダ=" + dir.path() + "/gone/\r\n";
  dir.WriteFile("Kuronel.ini", stored);
  Settings settings;
  ASSERT_TRUE(LoadSettings(dir.path(), settings, RealSystemCalls()).ok());
  EXPECT_EQ(settings.DestinationFolder, kNoDestination);

  // A typed folder that does not exist, or whose name cannot be stored in
  // the file's text, leaves the stored destination alone.
  for (const std::string& destination :
       {std::string(kNoDestination), dir.path() + "/typed/",
        dir.MakeDir("two\nlines") + "/"}) {
    settings.DestinationFolder = destination;
    ASSERT_TRUE(
        SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls())
            .ok());
    std::string text = ReadFile(SettingsFilePath(dir.path()));
    EXPECT_TRUE(text.starts_with(stored)) << destination;
    EXPECT_TRUE(IsValidUtf8(text));
  }
}

// A destination is read back as the bytes it was saved with: 写真 in
// Shift-JIS under a UTF-8 key stays Shift-JIS, and a save that changes
// nothing leaves its line alone. A whole old CP932 line is still decoded,
// so it names the folder by its UTF-8 name.
TEST(SettingsIoTest, DestinationReadsBackAsItsBytes) {
  TempDir dir;
  const std::string shift_jis = dir.MakeDir("\x8e\xca\x90\x5e") + "/";
  const std::string utf8 = dir.MakeDir("写真") + "/";
  Settings settings;
  settings.DestinationFolder = shift_jis;
  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls())
          .ok());
  const std::string saved = ReadFile(SettingsFilePath(dir.path()));
  EXPECT_THAT(saved, HasSubstr("移動先フォルダ=" + shift_jis + "\r\n"));
  Settings loaded;
  ASSERT_TRUE(LoadSettings(dir.path(), loaded, RealSystemCalls()).ok());
  EXPECT_EQ(loaded.DestinationFolder, shift_jis);
  ASSERT_TRUE(
      SaveSettings(dir.path(), loaded, DetailSettings(), RealSystemCalls())
          .ok());
  EXPECT_EQ(ReadFile(SettingsFilePath(dir.path())), saved);

  std::optional<std::string> old_line = Utf8ToCp932("移動先フォルダ=" + utf8);
  ASSERT_TRUE(old_line.has_value());
  dir.WriteFile("Kuronel.ini", "[Main]\r\n" + *old_line + "\r\n");
  ASSERT_TRUE(LoadSettings(dir.path(), loaded, RealSystemCalls()).ok());
  EXPECT_EQ(loaded.DestinationFolder, utf8);
}

TEST(SettingsIoTest, DetailSettingsTouchOnlyTheSubSection) {
  TempDir dir;
  std::string main = "[Main]\r\n日付フォルダに移動=0\r\n\r\n";
  dir.WriteFile("Kuronel.ini", main);
  Settings in_use;
  DetailSettings window_copy{true, false, 0x0000FF};
  ASSERT_TRUE(
      SaveDetailSettings(dir.path(), window_copy, in_use, RealSystemCalls())
          .ok());
  EXPECT_EQ(
      ReadFile(SettingsFilePath(dir.path())),
      main + "[Sub]\r\n動画ファイル=1\r\nExif情報=0\r\n背景色=clRed\r\n\r\n");
  EXPECT_TRUE(in_use.CheckMoviesByDefault);
  EXPECT_EQ(in_use.TargetBackColour, 0x0000FFu);
  EXPECT_TRUE(in_use.MoveToDateFolder);  // the option in use is not reloaded

  // A change made to the file reaches both copies at the next load.
  dir.WriteFile("Kuronel.ini", "[SUB]\r\nexif情報=1\r\n背景色=$00FF0000\r\n");
  ASSERT_TRUE(
      LoadDetailSettings(dir.path(), in_use, window_copy, RealSystemCalls())
          .ok());
  EXPECT_FALSE(in_use.CheckMoviesByDefault || window_copy.CheckMoviesByDefault);
  EXPECT_TRUE(in_use.UseExifDate && window_copy.UseExifDate);
  EXPECT_EQ(in_use.TargetBackColour, 0xFF0000u);
  EXPECT_EQ(window_copy.TargetBackColour, 0xFF0000u);
}

// The window's copy, not the values in use, goes to the file at shut-down
// (an edit left with Cancel is saved then).
TEST(SettingsIoTest, ShutDownSavesTheWindowCopy) {
  TempDir dir;
  Settings in_use;
  DetailSettings window_copy{true, true, 0x00FF00};
  ASSERT_TRUE(
      SaveSettings(dir.path(), in_use, window_copy, RealSystemCalls()).ok());
  EXPECT_THAT(
      ReadFile(SettingsFilePath(dir.path())),
      HasSubstr("[Sub]\r\n動画ファイル=1\r\nExif情報=1\r\n背景色=clLime\r\n"));
  EXPECT_FALSE(in_use.CheckMoviesByDefault);
}

// The options of later versions are keys that older files lack: absent
// reads as off, and each is not written until it has been on, so a file of a
// user who never turned it on is the same as ever; once stored it follows
// the window's box.
TEST(SettingsIoTest, NewOptionKeysAreAddedOnlyOnceTurnedOn) {
  struct Case {
    const char* key;  // as stored
    const char* key_in_other_case;
    bool DetailSettings::*in_window;
    bool Settings::*in_use;
  };
  const Case cases[] = {
      {"RAW・HEIF・MP4", "raw・heif・mp4", &DetailSettings::IncludeRawHeifMp4,
       &Settings::IncludeRawHeifMp4},
      {"取り込み済みは飛ばす", "取り込み済みは飛ばす",
       &DetailSettings::SkipImported, &Settings::SkipImported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    TempDir dir;
    const std::string path = SettingsFilePath(dir.path());
    const std::string key = c.key;
    Settings in_use;
    DetailSettings window_copy;
    ASSERT_TRUE(
        SaveDetailSettings(dir.path(), window_copy, in_use, RealSystemCalls())
            .ok());
    EXPECT_EQ(ReadFile(path), kFreshSub);

    window_copy.*c.in_window = true;
    ASSERT_TRUE(
        SaveSettings(dir.path(), in_use, window_copy, RealSystemCalls()).ok());
    EXPECT_THAT(ReadFile(path),
                HasSubstr("背景色=clInactiveCaption\r\n" + key + "=1\r\n"));
    Settings loaded;
    ASSERT_TRUE(LoadSettings(dir.path(), loaded, RealSystemCalls()).ok());
    EXPECT_TRUE(loaded.*c.in_use);
    Settings others = loaded;  // the other option stays off
    others.*c.in_use = false;
    EXPECT_FALSE(others.IncludeRawHeifMp4 || others.SkipImported);

    window_copy.*c.in_window = false;
    ASSERT_TRUE(
        SaveDetailSettings(dir.path(), window_copy, in_use, RealSystemCalls())
            .ok());
    EXPECT_THAT(ReadFile(path), HasSubstr(key + "=0\r\n"));
    DetailSettings reloaded{true, true, 0, true, true};
    ASSERT_TRUE(
        LoadDetailSettings(dir.path(), in_use, reloaded, RealSystemCalls())
            .ok());
    EXPECT_FALSE(in_use.*c.in_use || reloaded.*c.in_window);

    // A bad colour still lets the check boxes load, this one included.
    dir.WriteFile(
        "Kuronel.ini",
        "[Sub]\r\n" + std::string(c.key_in_other_case) + "=1\r\n背景色=?\r\n");
    EXPECT_FALSE(
        LoadDetailSettings(dir.path(), in_use, reloaded, RealSystemCalls())
            .ok());
    EXPECT_TRUE(in_use.*c.in_use && reloaded.*c.in_window);
  }
}

TEST(SettingsIoTest, WindowSizeTextsOutsideTheFormGiveNone) {
  const struct {
    const char* text;
    std::optional<WindowSize> size;
  } cases[] = {
      {"800x600", WindowSize{800, 600}},
      {"1x100000", WindowSize{1, 100000}},
      {"0x600", std::nullopt},
      {"800x0", std::nullopt},
      {"100001x600", std::nullopt},
      {"-800x600", std::nullopt},
      {"800x", std::nullopt},
      {"x600", std::nullopt},
      {"800", std::nullopt},
      {"800x600x2", std::nullopt},
      {"99999999999x1", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WindowSizeFromText(c.text), c.size) << c.text;
}

// A size is written only once set (the window sets it once the user has
// resized it), in a section of its own, and the next start reads it.
TEST(SettingsIoTest, WindowSizesAreWrittenOnlyOnceSetAndReadBack) {
  TempDir dir;
  Settings settings;
  settings.ProcessingWindowSize = WindowSize{900, 480};
  ASSERT_TRUE(
      SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls())
          .ok());
  EXPECT_EQ(ReadFile(dir.path() + "/Kuronel.ini"),
            std::string("[Main]\r\n") + kFreshFlags + "\r\n" + kFreshSub +
                "[Window]\r\n処理ファイル一覧=900x480\r\n\r\n");

  Settings loaded;
  ASSERT_TRUE(LoadSettings(dir.path(), loaded, RealSystemCalls()).ok());
  EXPECT_EQ(loaded.ProcessingWindowSize, (WindowSize{900, 480}));
  EXPECT_EQ(loaded.MainWindowSize, std::nullopt);
}

TEST(SettingsIoTest, FailedWriteIsReported) {
  TempDir dir;
  std::string not_a_folder = dir.WriteFile("file", "x");
  Settings settings;
  Status status =
      SaveSettings(not_a_folder, settings, DetailSettings(), RealSystemCalls());
  EXPECT_FALSE(status.ok());
  EXPECT_THAT(status.message(), HasSubstr(SettingsFilePath(not_a_folder)));
  Settings in_use;
  EXPECT_FALSE(SaveDetailSettings(not_a_folder, DetailSettings(), in_use,
                                  RealSystemCalls())
                   .ok());
  EXPECT_EQ(ReadFile(not_a_folder), "x");
}

// The settings file as a user may leave it: huge, half rewritten by an old
// editor, in a folder that is gone, or a link to somewhere else. None of it
// may crash the program, lose the file, or put a file where it does not
// belong.

// A file over the bound, a sparse one of 100 GiB too, is refused unread,
// like an unreadable file: the defaults are used and no save replaces it.
TEST(HostileSettingsFileTest, OversizedFileIsNeitherReadNorOverwritten) {
  struct Case {
    std::uintmax_t size;
    bool read;
  } cases[] = {
      {SettingsFile::kMaxFileSize, true},
      {SettingsFile::kMaxFileSize + 1, false},
      {std::uintmax_t{100} << 30, false},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path =
        dir.WriteFile("Kuronel.ini", "[Main]\r\n日付フォルダに移動=0\r\n");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(c.size)), 0);
    Settings settings;
    EXPECT_EQ(LoadSettings(dir.path(), settings, RealSystemCalls()).ok(),
              c.read)
        << c.size;
    EXPECT_EQ(settings.MoveToDateFolder, !c.read) << c.size;

    Status saved =
        SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls());
    EXPECT_EQ(saved.ok(), c.read) << c.size;
    if (c.read) continue;
    EXPECT_THAT(saved.message(), HasSubstr(path));
    Settings in_use;
    EXPECT_FALSE(SaveDetailSettings(dir.path(), DetailSettings(), in_use,
                                    RealSystemCalls())
                     .ok());
    EXPECT_EQ(std::filesystem::file_size(path), c.size);
  }
}

// One old CP932 line must not garble the UTF-8 lines around it, and a save
// changes only the line of the value that changed.
TEST(HostileSettingsFileTest, MixedEncodingsRoundTripByteForByte) {
  auto cp932 = [](std::string_view text) {
    std::optional<std::string> bytes = Utf8ToCp932(text);
    EXPECT_TRUE(bytes.has_value() && !IsValidUtf8(*bytes)) << text;
    return bytes.value_or("");
  };
  const std::string head = "\xEF\xBB\xBF[Main]\r\n" + cp932("; 古い設定") +
                           "\r\n" + cp932("日付ファイルに変更=0") + "\r\n";
  const std::string tail =
      "読出し専用に変更=1\r\n  オリジナルは保存 = 0\r\n\r\n[Sub]\r\n"
      "動画ファイル=1\r\nExif情報=1\r\n背景色=clRed\r\n";
  TempDir dir;
  const std::string path =
      dir.WriteFile("Kuronel.ini", head + "日付フォルダに移動=0\r\n" + tail);
  Settings settings;
  ASSERT_TRUE(LoadSettings(dir.path(), settings, RealSystemCalls()).ok());
  EXPECT_FALSE(settings.MoveToDateFolder || settings.RenameToDateFile ||
               settings.KeepOriginal);
  EXPECT_TRUE(settings.CheckMoviesByDefault && settings.UseExifDate);
  EXPECT_EQ(settings.TargetBackColour, 0x0000FFu);

  settings.MoveToDateFolder = true;
  ASSERT_TRUE(SaveSettings(dir.path(), settings, {true, true, 0x0000FF},
                           RealSystemCalls())
                  .ok());
  EXPECT_EQ(ReadFile(path), head + "日付フォルダに移動=1\r\n" + tail);
}

// A deleted start folder must not turn into "/": nothing is read from or
// written to any other place, and the saves say so.
TEST(HostileSettingsFileTest, DeletedStartFolderReadsAndWritesNothing) {
  TempDir dir;
  const std::string gone = dir.MakeDir("gone");
  ScopedCurrentDirectory inside(gone);
  ASSERT_EQ(rmdir(gone.c_str()), 0);
  const bool root_file_existed = std::filesystem::exists("/Kuronel.ini");

  const std::string folder = CurrentDirectory(RealSystemCalls());
  EXPECT_EQ(folder, "");
  Settings settings;
  ASSERT_TRUE(LoadSettings(folder, settings, RealSystemCalls()).ok());
  EXPECT_FALSE(
      SaveSettings(folder, settings, DetailSettings(), RealSystemCalls()).ok());
  EXPECT_FALSE(
      SaveDetailSettings(folder, DetailSettings(), settings, RealSystemCalls())
          .ok());
  if (!root_file_existed) {
    EXPECT_FALSE(std::filesystem::exists("/Kuronel.ini"));
  }
}

// A Kuronel.ini that is a link stays a link: the save goes to the file at
// the end of the links (made when it is missing), and a loop is refused.
TEST(HostileSettingsFileTest, LinkIsWrittenThroughAndStaysALink) {
  struct Link {
    const char* name;
    const char* points_to;
  };
  struct Case {
    const char* what;
    std::vector<Link> links;
    const char* target;  // nullptr: the save is refused
  } cases[] = {
      {"live", {{"Kuronel.ini", "elsewhere/live.ini"}}, "elsewhere/live.ini"},
      {"dangling", {{"Kuronel.ini", "elsewhere/new.ini"}}, "elsewhere/new.ini"},
      {"chain",
       {{"Kuronel.ini", "elsewhere/hop"}, {"elsewhere/hop", "new.ini"}},
       "elsewhere/new.ini"},
      {"loop",
       {{"Kuronel.ini", "elsewhere/hop"}, {"elsewhere/hop", "../Kuronel.ini"}},
       nullptr},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.WriteFile("elsewhere/live.ini", "[Main]\r\n; mine\r\n");
    for (const Link& link : c.links)
      ASSERT_EQ(symlink(link.points_to, dir.Path(link.name).c_str()), 0);
    Settings settings;
    EXPECT_EQ(LoadSettings(dir.path(), settings, RealSystemCalls()).ok(),
              c.target != nullptr)
        << c.what;

    Status saved =
        SaveSettings(dir.path(), settings, DetailSettings(), RealSystemCalls());
    EXPECT_EQ(saved.ok(), c.target != nullptr) << c.what;
    for (const Link& link : c.links)
      EXPECT_EQ(std::filesystem::read_symlink(dir.Path(link.name)),
                link.points_to)
          << c.what;
    if (c.target != nullptr) {
      EXPECT_THAT(ReadFile(dir.Path(c.target)), HasSubstr(kFreshSub)) << c.what;
    }
  }
}

}  // namespace
}  // namespace kuronel
