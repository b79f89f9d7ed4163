#include "platform/dir_listing.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::kuronel::testing::TempDir;

std::map<std::string, DirEntry> ListByName(const std::string& folder) {
  std::map<std::string, DirEntry> entries;
  EXPECT_TRUE(ListDirectory(
      folder,
      [&](const DirEntry& entry) {
        DirEntry copy = entry;
        copy.name = {};
        entries[std::string(entry.name)] = copy;
      },
      RealSystemCalls()));
  return entries;
}

TEST(DirListingTest, DerivesTheAttributeWordOfEachKindOfEntry) {
  TempDir dir;
  dir.WriteFile("plain.jpg", "x");
  chmod(dir.WriteFile("locked.jpg", "x").c_str(), 0444);
  dir.WriteFile(".hidden", "x");
  dir.MakeDir("sub");
  ASSERT_EQ(symlink("sub", dir.Path("link-to-sub").c_str()), 0);
  ASSERT_EQ(symlink("plain.jpg", dir.Path("link-to-file").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", dir.Path("dangling").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0644), 0);

  const std::map<std::string, std::uint32_t> expected = {
      {"plain.jpg", 0x20},   {"locked.jpg", 0x21},
      {".hidden", 0x22},     {"sub", 0x10},
      {"link-to-sub", 0x10}, {"link-to-file", 0x20},
      {"dangling", 0},       {"fifo", 0}};
  std::map<std::string, std::uint32_t> actual;
  for (const auto& [name, entry] : ListByName(dir.path()))
    actual[name] = entry.attributes;
  EXPECT_EQ(actual, expected);  // "." and ".." are not passed on

  // The folders-only listing passes over what is marked as no folder.
  std::set<std::string> maybe_folders;
  ListSubfolders(
      dir.path(),
      [&](const DirEntry& entry) {
        maybe_folders.insert(std::string(entry.name));
      },
      RealSystemCalls());
  EXPECT_EQ(maybe_folders, (std::set<std::string>{"sub", "link-to-sub",
                                                  "link-to-file", "dangling"}));
}

TEST(DirListingTest, GivesTheModificationTimeAndTheDirectoryIdentity) {
  TempDir dir;
  const std::string file = dir.WriteFile("a.jpg", "x");
  const struct timeval times[2] = {{1000000000, 0}, {1086992431, 0}};
  ASSERT_EQ(utimes(file.c_str(), times), 0);
  dir.MakeDir("sub");
  ASSERT_EQ(symlink("sub", dir.Path("again").c_str()), 0);

  const auto entries = ListByName(dir.path());
  EXPECT_EQ(entries.at("a.jpg").modified_seconds, 1086992431);
  const std::optional<FileIdentity> sub =
      DirectoryIdentity(dir.Path("sub"), RealSystemCalls());
  ASSERT_TRUE(sub);
  EXPECT_EQ(entries.at("sub").identity.device, sub->device);
  EXPECT_EQ(entries.at("sub").identity.inode, sub->inode);
  EXPECT_EQ(entries.at("again").identity.inode, sub->inode);
}

TEST(DirListingTest, AFolderThatCannotBeOpenedGivesNoEntries) {
  TempDir dir;
  const std::string file = dir.WriteFile("file", "x");
  int calls = 0;
  SystemCalls& system = RealSystemCalls();
  EXPECT_FALSE(ListDirectory(
      dir.Path("missing"), [&](auto&) { ++calls; }, system));
  EXPECT_FALSE(ListDirectory(
      file, [&](auto&) { ++calls; }, system));
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(DirectoryIdentity(dir.Path("missing"), system));
  EXPECT_FALSE(DirectoryIdentity(file, system));
}

}  // namespace
}  // namespace kuronel
