// The project document: the one discard question, opening (also as a copy, converted, with
// a broken side file, failing), saving and its failure, all through the FileStore.
#include "logic/app/project_document.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "tests/app/app_world.h"

namespace ombrix {
namespace {

using testing::AppWorld;

struct DiscardRow {
  const char* name;
  bool changed;
  std::deque<bool> answers;  // to the question; none: it must not be asked
  std::function<bool(AppCore&)> action;
  bool goes_ahead;
  bool changed_after;
  bool resets;  // the project is a new one afterwards
};

bool New(AppCore& core) { return core.document.New(); }
bool Close(AppCore& core) { return core.document.MayClose(); }
bool ReadyToOpen(AppCore& core) { return core.ReadyToOpen(); }

TEST(ProjectDocument, AsksTheOneQuestionOnlyBeforeChangesAreLost) {
  const DiscardRow rows[] = {
      {"Neues Projekt without changes", false, {}, New, true, false, true},
      {"Neues Projekt, Abbrechen keeps the project", true, {false}, New, false, true, false},
      {"Neues Projekt, OK", true, {true}, New, true, false, true},
      {"closing, Abbrechen", true, {false}, Close, false, true, false},
      {"closing, OK drops the changes", true, {true}, Close, true, false, false},
      // The file is still to be chosen: the changes stay marked until it has been read.
      {"opening, OK", true, {true}, ReadyToOpen, true, true, false},
      {"opening, Abbrechen", true, {false}, ReadyToOpen, false, true, false},
  };
  for (const DiscardRow& row : rows) {
    SCOPED_TRACE(row.name);
    AppWorld world;
    world.Main() = {"x:=1"};
    if (row.changed) world.core.document.MarkChanged();
    world.boxes.answers = row.answers;
    EXPECT_EQ(row.action(world.core), row.goes_ahead);
    ASSERT_EQ(world.boxes.boxes.size(), row.answers.size());
    for (const testing::RecordedBox& box : world.boxes.boxes) EXPECT_EQ(box.text, kConfirmDiscard);
    EXPECT_EQ(world.core.document.Changed(), row.changed_after);
    EXPECT_EQ(world.Main().empty(), row.resets);
  }
}

// A front end whose boxes answer later: the question is put, "Abbrechen" for now; after
// the user's OK the changes are dropped and the action repeated, without a second question.
TEST(ProjectDocument, AFrontEndWithBoxesThatAnswerLaterRepeatsTheAction) {
  AppWorld world;
  world.Main() = {"x:=1"};
  world.core.document.MarkChanged();
  world.boxes.answers = {false};
  EXPECT_FALSE(world.core.document.New());
  EXPECT_EQ(world.Main(), ProgramText{"x:=1"});
  world.core.document.DiscardChanges();
  EXPECT_TRUE(world.core.document.New());
  EXPECT_TRUE(world.Main().empty());
  EXPECT_EQ(world.boxes.boxes.size(), 1u);
}

struct OpenRow {
  const char* name;
  const char* file;
  OpenAs as;
  std::string side_file;  // none when empty
  bool opened;
  const char* named;  // File() afterwards
  const char* copy_of;
  bool changed;
  bool controls_problem;
};

TEST(ProjectDocument, OpensAFileAsItsOwnOrAsACopy) {
  const OpenRow rows[] = {
      {"a project file", "a.omp", OpenAs::File, "", true, "a.omp", "", false, false},
      {"an example, as an unnamed copy", "a.omp", OpenAs::Copy, "", true, "", "a.omp", false,
       false},
      {"with its controls", "a.omp", OpenAs::File, "Ombrix-Regler\t1\nlive\t1\nPunkt\tx\n", true,
       "a.omp", "", false, false},
      {"a broken side file: no controls, the problem told", "a.omp", OpenAs::File, "Unsinn", true,
       "a.omp", "", false, true},
      {"of the other decimal separator: converted, changed", "punkt.omp", OpenAs::File, "", true,
       "punkt.omp", "", true, false},
      {"a missing file: the open project stays", "fehlt.omp", OpenAs::File, "", false, "alt.omp",
       "", true, false},
  };
  for (const OpenRow& row : rows) {
    SCOPED_TRACE(row.name);
    AppWorld world;
    world.WriteProject("a.omp", {"x:=1,5"});
    SetDecimalSeparator('.');
    world.WriteProject("punkt.omp", {"x:=1.5"}, 2.5);
    SetDecimalSeparator(',');
    if (!row.side_file.empty()) world.files.files["a.omp.regler"] = row.side_file;
    world.Main() = {"alt"};
    world.core.document.SetFile("alt.omp");
    world.core.document.MarkChanged();
    world.core.runtime.State().CurrentLine = {1, 1};
    const OpenResult result = world.core.document.Open(row.file, row.as);
    EXPECT_EQ(result.opened, row.opened);
    EXPECT_EQ(world.core.document.File(), row.named);
    EXPECT_EQ(world.core.document.CopyOf(), row.copy_of);
    EXPECT_EQ(world.core.document.Changed(), row.changed);
    EXPECT_EQ(result.controls_problem.has_value(), row.controls_problem);
    EXPECT_EQ(world.core.document.Controls().controls.size(), row.side_file.size() > 10 ? 1u : 0u);
    EXPECT_EQ(world.Main(), row.opened ? ProgramText{"x:=1,5"} : ProgramText{"alt"});
    EXPECT_EQ(world.core.runtime.State().CurrentLine[MainProgram], row.opened ? 0 : 1);
    EXPECT_EQ(world.boxes.boxes.size(), row.opened ? 0u : 1u);  // the load error, "Fehler"
  }
}

TEST(ProjectDocument, SavesProjectAndSideFileTogetherOrNeitherAndKeepsTheChanges) {
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "a failed save" : "a save");
    AppWorld world;
    world.WriteProject("beispiel.omp", {"x:=1"});
    ASSERT_TRUE(world.core.document.Open("beispiel.omp", OpenAs::Copy).opened);
    world.core.document.Controls().controls.push_back({ControlKind::Point, "x"});
    world.core.document.MarkChanged();
    if (fails) world.files.failures["b.omp.regler"] = FileFailure{"Datentr\xE4ger voll", false};
    EXPECT_EQ(world.core.document.SaveAs("b.omp"), !fails);
    EXPECT_EQ(world.files.files.count("b.omp"), fails ? 0u : 1u);
    EXPECT_EQ(world.files.files.count("b.omp.regler"), fails ? 0u : 1u);
    EXPECT_EQ(world.core.document.Changed(), fails);
    EXPECT_EQ(world.core.document.File(), fails ? "" : "b.omp");
    EXPECT_EQ(world.core.document.CopyOf(), fails ? "beispiel.omp" : "");
    EXPECT_EQ(world.boxes.boxes.size(), fails ? 1u : 0u);
  }
}

}  // namespace
}  // namespace ombrix
