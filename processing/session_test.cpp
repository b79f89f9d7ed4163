#include "processing/session.h"

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "platform/path.h"
#include "testing/faulty_file_system.h"
#include "testing/temp_dir.h"

namespace kuronel {
namespace {

using ::testing::ElementsAre;
using testing::FaultyFileSystem;
using testing::TempDir;

std::vector<std::string> Names(const FileCatalogue& rows) {
  std::vector<std::string> names;
  for (const CatalogueRow& row : rows) names.push_back(row.FileName);
  return names;
}

// Records what a list following the catalogue would read: the rows as they
// stand when each change is announced and when it is done.
class RecordingObserver : public CatalogueObserver {
 public:
  explicit RecordingObserver(const Session& session) : session_(session) {}

  void RowsAboutToBeReplaced() override { Record("replacing"); }
  void RowsReplaced() override { Record("replaced"); }
  void RowsAboutToBeReordered() override { Record("reordering"); }
  void RowsReordered(const std::vector<size_t>& order) override {
    Record("reordered");
    orders.push_back(order);
  }
  void ChecksChanged(size_t first, size_t last) override {
    events.push_back("checks " + std::to_string(first) + "-" +
                     std::to_string(last));
  }

  std::vector<std::string> events;
  std::vector<std::vector<size_t>> orders;

 private:
  void Record(const std::string& event) {
    events.push_back(event + " " + std::to_string(session_.Catalogue().size()));
  }
  const Session& session_;
};

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : session_(RealSystemCalls(), disk_) {
    settings_.DestinationFolder = dir_.MakeDir("photos") + "/";
    settings_.MakeReadOnly = false;
    session_.SetSettings(settings_);
  }

  std::string WritePhoto(const std::string& relative, int day) {
    std::string path = dir_.WriteFile(relative, relative);
    testing::SetLocalTime(path, 2004, 5, day, 12, 0, 0);
    return path;
  }

  TempDir dir_;
  Settings settings_;
  FaultyFileSystem disk_;
  Session session_;
};

// A second open starts over: the rows and opened folders of the first are
// gone; the old rows stay readable until the new ones replace them at once.
TEST_F(SessionTest, ASecondOpenReplacesWhatTheFirstOpenedAndAdded) {
  WritePhoto("a/IMG_1.JPG", 6);
  WritePhoto("a/IMG_2.JPG", 7);
  WritePhoto("b/IMG_3.JPG", 8);
  dir_.WriteFile("b/notes.txt", "not a photo");
  RecordingObserver observer(session_);
  session_.SetCatalogueObserver(&observer);

  session_.OpenFolder(dir_.Path("a"), {});
  // Adding the same folder again lists each file once.
  session_.AddFolder(dir_.Path("a"), {});
  session_.AddFolder(dir_.Path("b"), {});
  EXPECT_EQ(session_.Catalogue().size(), 4u);
  EXPECT_THAT(session_.OpenedFolders(),
              ElementsAre(dir_.Path("a"), dir_.Path("a"), dir_.Path("b")));

  observer.events.clear();
  session_.OpenFolder(dir_.Path("b"), {});
  EXPECT_THAT(observer.events, ElementsAre("replacing 4", "replaced 2"));
  EXPECT_THAT(session_.OpenedFolders(), ElementsAre(dir_.Path("b")));
  // The build's date order, newest first as the program starts, and the
  // default checks of the settings in force.
  EXPECT_THAT(Names(session_.Catalogue()),
              ElementsAre("notes.txt", "IMG_3.JPG"));
  EXPECT_FALSE(session_.Catalogue()[0].Checked);
  EXPECT_TRUE(session_.Catalogue()[1].Checked);
  session_.SetCatalogueObserver(nullptr);
}

// One sort state for both lists: a header click in the plan list after the
// execute command sorts ascending and turns the direction, so the main
// list's next click sorts descending.
TEST_F(SessionTest, APlanHeaderClickTurnsTheMainListsNextSort) {
  for (const char* name : {"b.JPG", "a.JPG", "c.JPG"})
    WritePhoto(std::string("card/") + name, 6);
  session_.OpenFolder(dir_.Path("card"), {});
  RecordingObserver observer(session_);
  session_.SetCatalogueObserver(&observer);

  ProcessingPlan plan;
  ASSERT_TRUE(session_.PrepareRun(plan).ready());
  EXPECT_EQ(session_.Sort().SortColumn, kTimestampColumn);
  EXPECT_TRUE(session_.Sort().SortAscending);
  ASSERT_EQ(plan.size(), 3u);
  session_.SortPlanByClickedColumn(plan, 0);
  EXPECT_EQ(BaseName(plan[0].SourcePath), "a.JPG");
  EXPECT_FALSE(session_.Sort().SortAscending);

  const FileCatalogue before = session_.Catalogue();
  observer.orders.clear();
  session_.SortByClickedColumn(kFileNameColumn);
  EXPECT_THAT(Names(session_.Catalogue()),
              ElementsAre("c.JPG", "b.JPG", "a.JPG"));
  EXPECT_TRUE(session_.Sort().SortAscending);
  // The list is told where each row came from.
  ASSERT_EQ(observer.orders.size(), 1u);
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(session_.Catalogue()[i].FileName,
              before[observer.orders[0][i]].FileName);
  session_.SetCatalogueObserver(nullptr);
}

// The execute command's order: the destination check before the one that
// there is something to process, a failed check leaving the plan empty; then
// the sort by date, announced before it is made, then the plan.
TEST_F(SessionTest, PreparingARunChecksThenSortsByDateThenPlans) {
  RecordingObserver observer(session_);
  session_.SetCatalogueObserver(&observer);
  const StatusSink status = [&observer](const std::string& text) {
    observer.events.push_back(text);
  };
  settings_.DestinationFolder = "移動先フォルダ選択";
  session_.SetSettings(settings_);
  ProcessingPlan plan(1);  // a plan left from before
  const RunPreparation refused = session_.PrepareRun(plan, status);
  EXPECT_EQ(refused.outcome, RunPreparation::Outcome::kInvalidDestination);
  EXPECT_EQ(refused.message, kInvalidDestinationText);
  EXPECT_TRUE(plan.empty());

  settings_.MoveToDateFolder = false;
  session_.SetSettings(settings_);
  WritePhoto("card/b.JPG", 7);
  WritePhoto("card/a.JPG", 6);
  WritePhoto("card/c.JPG", 8);
  session_.OpenFolder(dir_.Path("card"), {});  // newest first
  session_.SetChecked(1, false);
  observer.events.clear();
  EXPECT_TRUE(session_.PrepareRun(plan, status).ready());
  EXPECT_THAT(observer.events, ElementsAre(kSortedForExecuteText,
                                           "reordering 3", "reordered 3"));
  EXPECT_THAT(Names(session_.Catalogue()),
              ElementsAre("a.JPG", "b.JPG", "c.JPG"));
  EXPECT_EQ(session_.Sort().SortColumn, kTimestampColumn);
  EXPECT_TRUE(session_.Sort().SortAscending);
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(BaseName(plan[0].SourcePath), "a.JPG");
  EXPECT_EQ(BaseName(plan[1].SourcePath), "c.JPG");
  session_.SetCatalogueObserver(nullptr);
}

// A run that did not take the locks first still cannot run beside another
// run on its folders: it touches no file. Once the other run is over, it
// runs, and through the disk the session was given.
TEST_F(SessionTest, ARunNeverGoesBesideAnotherRunOnItsFolders) {
  const std::string photo = WritePhoto("card/IMG_1.JPG", 6);
  session_.OpenFolder(dir_.Path("card"), {});
  ProcessingPlan plan;
  ASSERT_TRUE(session_.PrepareRun(plan).ready());
  ASSERT_EQ(plan.size(), 1u);

  FaultyFileSystem other_disk;
  Session other(RealSystemCalls(), other_disk);
  other.SetSettings(settings_);
  LockRefusal refusal;
  ASSERT_TRUE(other.LockRun({dir_.Path("card")}, refusal)) << refusal.reason;
  EXPECT_FALSE(session_.LockRun(refusal));
  EXPECT_EQ(refusal.kind, LockRefusal::Kind::kBusy);
  EXPECT_FALSE(refusal.folder.empty());
  const RunSummary refused = session_.RunPlan(plan, {});
  EXPECT_EQ(refused.rows, 0u);
  EXPECT_EQ(refused.refusal.kind, LockRefusal::Kind::kBusy);
  EXPECT_EQ(plan[0].State, RowState::kUnprocessed);
  EXPECT_EQ(KindAt(plan[0].NewPath, false, RealSystemCalls()),
            PathKind::kNothing);

  other.UnlockRun();
  disk_.FailCopyStep(FaultyFileSystem::CopyStep::kWrite);
  const RunSummary ran = session_.RunPlan(plan, {});
  EXPECT_EQ(ran.rows, 1u);
  EXPECT_EQ(ran.refusal.kind, LockRefusal::Kind::kNone);
  EXPECT_EQ(plan[0].State, RowState::kCopyError);
  // The run's own locks went with it.
  EXPECT_FALSE(session_.HoldsRunLocks());
  EXPECT_TRUE(other.LockRun({dir_.Path("card")}, refusal)) << refusal.reason;
}

}  // namespace
}  // namespace kuronel
