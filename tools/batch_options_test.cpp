#include "tools/batch_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/system.h"
#include "testing/temp_dir.h"
#include "tools/batch_run.h"

namespace kuronel {
namespace {

using Args = std::vector<std::string>;

BatchOptions Parse(const Args& args, const std::string& cwd = "/home/u") {
  BatchOptions options;
  std::string error;
  EXPECT_TRUE(ParseBatchArguments(args, cwd, options, error)) << error;
  return options;
}

TEST(BatchOptionsTest, WithoutOptionsTheDesignValuesHold) {
  const BatchOptions options = Parse({"--dest", "/photos", "/card"});
  EXPECT_EQ(options.sources, Args{"/card"});
  EXPECT_EQ(options.settings.DestinationFolder, "/photos/");
  EXPECT_TRUE(options.settings.MoveToDateFolder);
  EXPECT_TRUE(options.settings.RenameToDateFile);
  EXPECT_TRUE(options.settings.MakeReadOnly);
  EXPECT_TRUE(options.settings.KeepOriginal);
  EXPECT_FALSE(options.settings.UseExifDate);
  EXPECT_FALSE(options.settings.CheckMoviesByDefault);
  EXPECT_FALSE(options.dry_run);
  EXPECT_FALSE(options.help);
  EXPECT_FALSE(options.show_progress);
}

TEST(BatchOptionsTest, EachSwitchTurnsItsOwnValue) {
  struct Case {
    const char* arg;
    std::function<bool(const BatchOptions&)> value;
    bool expected;
  };
  const Case cases[] = {
      {"--exif", [](auto& o) { return o.settings.UseExifDate; }, true},
      {"--movies", [](auto& o) { return o.settings.CheckMoviesByDefault; },
       true},
      {"--raw-heif-mp4", [](auto& o) { return o.settings.IncludeRawHeifMp4; },
       true},
      {"--skip-imported", [](auto& o) { return o.settings.SkipImported; },
       true},
      {"--no-date-folder", [](auto& o) { return o.settings.MoveToDateFolder; },
       false},
      {"--no-rename", [](auto& o) { return o.settings.RenameToDateFile; },
       false},
      {"--no-read-only", [](auto& o) { return o.settings.MakeReadOnly; },
       false},
      {"--move", [](auto& o) { return o.settings.KeepOriginal; }, false},
      {"--dry-run", [](auto& o) { return o.dry_run; }, true},
      {"--no-verify", [](auto& o) { return o.verify_copies; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arg);
    const BatchOptions plain = Parse({"--dest", "/d", "/card"});
    const BatchOptions set = Parse({"--dest", "/d", c.arg, "/card"});
    EXPECT_NE(c.value(plain), c.expected);
    EXPECT_EQ(c.value(set), c.expected);
    // No switch touches another value.
    EXPECT_EQ(set.sources, plain.sources);
    EXPECT_EQ(set.settings.DestinationFolder, "/d/");
  }
}

TEST(BatchOptionsTest, PathsAreMadeAbsoluteAgainstTheCurrentDirectory) {
  struct Case {
    Args args;
    std::string destination;
    Args sources;
  };
  const Case cases[] = {
      {{"--dest", "out", "card"}, "/home/u/out/", {"/home/u/card"}},
      {{"--dest=./out/", "./card/"}, "/home/u/out/", {"/home/u/card"}},
      {{"--dest", "../out", "/media//card/"},
       "/home/u/../out/",
       {"/media/card"}},
      {{"--dest", "/", "a", "b/c"}, "/", {"/home/u/a", "/home/u/b/c"}},
      {{"--dest", "/x", "--", "-card"}, "/x/", {"/home/u/-card"}},
  };
  for (const Case& c : cases) {
    const BatchOptions options = Parse(c.args);
    EXPECT_EQ(options.settings.DestinationFolder, c.destination);
    EXPECT_EQ(options.sources, c.sources);
  }
}

TEST(BatchOptionsTest, AbsolutePathKeepsTheBytesItIsGiven) {
  EXPECT_EQ(AbsolutePath(".", "/home/u"), "/home/u");
  EXPECT_EQ(AbsolutePath("/", "/home/u"), "/");
  EXPECT_EQ(AbsolutePath(".", "/"), "/");
  EXPECT_EQ(AbsolutePath("a/../b", "/"), "/a/../b");
  // A Shift_JIS name (not UTF-8) passes unchanged.
  EXPECT_EQ(AbsolutePath("\x83\x4A\x83\x81\x83\x89", "/m"),
            "/m/\x83\x4A\x83\x81\x83\x89");
  EXPECT_EQ(AbsolutePath("card", ""), "");
  EXPECT_EQ(AbsolutePath("/card", ""), "/card");
}

TEST(BatchOptionsTest, WithoutDateFolderTheDestinationIsNotNeeded) {
  const BatchOptions options = Parse({"--no-date-folder", "/card"});
  EXPECT_EQ(options.settings.DestinationFolder, kNoDestination);
  // All three name and attribute options off is allowed.
  const BatchOptions all_off =
      Parse({"--no-date-folder", "--no-rename", "--no-read-only", "/card"});
  EXPECT_FALSE(all_off.settings.MakeReadOnly);
}

TEST(BatchOptionsTest, HelpWinsOverEverythingElse) {
  EXPECT_TRUE(Parse({"--bogus", "-h"}).help);
  EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(BatchOptionsTest, UsageErrorsAreRefused) {
  struct Case {
    Args args;
    std::string cwd;
    std::string error_part;
  };
  const Case cases[] = {
      {{}, "/u", "no SOURCE"},
      {{"--dest", "/d"}, "/u", "no SOURCE"},
      {{"/card"}, "/u", "--dest"},
      {{"--exif", "--move", "/card"}, "/u", "--dest"},
      {{"--dest"}, "/u", "--dest needs a folder"},
      {{"/card", "--dest", ""}, "/u", "--dest needs a folder"},
      {{"--dest=", "/card"}, "/u", "--dest needs a folder"},
      {{"--dest", "/d", "--bogus", "/card"}, "/u", "unknown option --bogus"},
      {{"--dest", "/d", "-x", "/card"}, "/u", "unknown option -x"},
      {{"--dest", "/d", ""}, "/u", "empty SOURCE"},
      // A relative path without a current directory must never become "/".
      {{"--dest", "out", "/card"}, "", "current directory"},
      {{"--dest", "/d", "card"}, "", "current directory"},
  };
  for (const Case& c : cases) {
    BatchOptions options;
    std::string error;
    EXPECT_FALSE(ParseBatchArguments(c.args, c.cwd, options, error));
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
}

struct MainResult {
  int code;
  std::string out;
  std::string err;
};

MainResult Main(const Args& args) {
  std::ostringstream out;
  std::ostringstream err;
  const int code = BatchMain(args, out, err, false);
  return {code, out.str(), err.str()};
}

TEST(BatchMainTest, ExitCodesOfUsage) {
  testing::TempDir dir;
  const std::string card = dir.MakeDir("card");
  const std::string file = dir.WriteFile("file.txt", "x");
  const std::string missing = dir.Path("missing");
  struct Case {
    Args args;
    int code;
    std::string err_part;
  };
  const Case cases[] = {
      {{}, kBatchExitUsage, "no SOURCE"},
      {{card}, kBatchExitUsage, "--dest"},
      {{"--nope", "--dest", "/d", card}, kBatchExitUsage, "--nope"},
      {{"--dest", dir.Path("out"), missing},
       kBatchExitUsage,
       "not a folder: " + missing},
      {{"--dest", dir.Path("out"), card, file},
       kBatchExitUsage,
       "not a folder: " + file},
  };
  for (const Case& c : cases) {
    const MainResult result = Main(c.args);
    EXPECT_EQ(result.code, c.code);
    EXPECT_NE(result.err.find(c.err_part), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("usage: kuronel-batch"), std::string::npos);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(KindAt(dir.Path("out"), true, RealSystemCalls()),
            PathKind::kNothing);
}

TEST(BatchMainTest, HelpGoesToStandardOutput) {
  const MainResult result = Main({"--help"});
  EXPECT_EQ(result.code, kBatchExitOk);
  EXPECT_EQ(result.err, "");
  for (const char* part :
       {"--dest", "--exif", "--movies", "--raw-heif-mp4", "--skip-imported",
        "取込済", "--no-date-folder", "--no-rename", "--no-read-only", "--move",
        "--no-verify", "--dry-run", "current directory", "# 0 files", "未処理",
        "重複", "DelError!", "file not found"})
    EXPECT_NE(result.out.find(part), std::string::npos) << part;
}

TEST(BatchMainTest, NothingToDoIsNoError) {
  testing::TempDir dir;
  const std::string empty = dir.MakeDir("empty");
  const MainResult none = Main({"--no-date-folder", empty});
  EXPECT_EQ(none.code, kBatchExitOk);
  EXPECT_EQ(none.out, "# 0 files\n");
  EXPECT_NE(none.err.find("対象ファイルがありません"), std::string::npos);

  dir.WriteFile("texts/a.txt", "a");
  dir.WriteFile("texts/b.mov", "b");
  const MainResult unchecked =
      Main({"--dest", dir.Path("out"), dir.Path("texts")});
  EXPECT_EQ(unchecked.code, kBatchExitOk);
  EXPECT_EQ(unchecked.out, "# 0 files\n");
  EXPECT_NE(unchecked.err.find("選択されたファイルがありません"),
            std::string::npos);
}

}  // namespace
}  // namespace kuronel
