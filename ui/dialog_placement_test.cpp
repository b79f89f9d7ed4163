#include "ui/dialog_placement.h"

#include <gtest/gtest.h>

#include <set>

namespace kuronel {
namespace {

PlacementInput OwnerCentre(PixelRect owner) {
  PlacementInput input;
  input.position = TDialogPosition::dpOwnerCenter;
  input.width = 240;
  input.height = 360;
  input.owner = owner;
  input.screen = {0, 0, 1024, 768};
  input.work_area = PixelRect{0, 0, 1024, 728};  // a 40-pixel task bar
  input.desktop = {0, 0, 2048, 768};
  return input;
}

TEST(DialogPlacementTest, CentresOverTheOwnerAndKeepsOnTheScreen) {
  struct Case {
    PixelRect owner;
    PixelPoint expected;
  } cases[] = {
      // 100 + 592/2 - 240/2 = 276; 100 + 314/2 - 360/2 = 77
      {{100, 100, 592, 314}, {276, 77}},
      // odd sizes: halves rounded toward zero
      {{101, 101, 593, 315}, {277, 78}},
      // off the left and top edges
      {{-300, -200, 300, 100}, {0, 0}},
      // beyond the right edge of the screen
      {{900, 100, 592, 314}, {1024 - 240, 77}},
      // below the work area: kept above the task bar
      {{100, 600, 592, 314}, {276, 728 - 360}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DialogPlacement(OwnerCentre(c.owner)), c.expected)
        << c.owner.left << "," << c.owner.top;
  }
}

TEST(DialogPlacementTest, WithoutWorkAreaTheScreenBottomLimits) {
  PlacementInput input = OwnerCentre({100, 600, 592, 314});
  input.work_area.reset();
  EXPECT_EQ(DialogPlacement(input), (PixelPoint{276, 768 - 360}));
}

TEST(DialogPlacementTest, OtherPositions) {
  PlacementInput input = OwnerCentre({100, 100, 592, 314});
  input.owner.reset();
  EXPECT_EQ(DialogPlacement(input), (PixelPoint{512 - 120, 384 - 180}));
  input.position = TDialogPosition::dpScreenCenter;
  EXPECT_EQ(DialogPlacement(input), (PixelPoint{392, 204}));
  input.position = TDialogPosition::dpDesktopCenter;
  EXPECT_EQ(DialogPlacement(input), (PixelPoint{1024 - 120, 204}));
  input.position = TDialogPosition::dpCustom;
  input.custom = {-5, 7};
  EXPECT_EQ(DialogPlacement(input), (PixelPoint{-5, 7}));
  input.position = TDialogPosition::dpDefault;
  EXPECT_EQ(DialogPlacement(input), std::nullopt);
}

TEST(InitialFolderTest, ShortensToTheNearestExistingParent) {
  std::set<std::string> folders = {"/", "/a/", "/a", "/home/user/photos/"};
  auto exists = [&](const std::string& path) {
    return folders.count(path) > 0;
  };
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/home/user/photos/", "/home/user/photos/"},
      {"/a/b/", "/a/"},    // b was deleted
      {"/a/b/c/", "/a/"},  // two levels gone
      {"/x/", "/"},        // only the root is left
      {"/a/b", "/a/"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(InitialFolder(c.path, exists), c.expected) << c.path;
  EXPECT_EQ(
      InitialFolder("relative/x/", [](const std::string&) { return false; }),
      "");
}

}  // namespace
}  // namespace kuronel
