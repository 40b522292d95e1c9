// The editing model on synthetic movies: which source frames the result holds, in
// which order, after marks, cuts, keeps, reversals, ping-pongs and rate changes, and
// how undo and redo walk the history.
#include "edit_model.h"

#include <gtest/gtest.h>

namespace {

using editor::EditModel;
using editor::FrameRate;
using Frames = std::vector<int64_t>;

EditModel Model(int64_t frames) { return EditModel(frames, FrameRate{10, 1}); }

// Home, ten steps right (frame 11), O, Delete: frames 12 to 24 of 24 remain.
TEST(EditModelTest, CutUpToAnOutMarkKeepsTheFramesAfterIt) {
  EditModel model = Model(24);
  ASSERT_TRUE(model.MarkOut(10));
  ASSERT_TRUE(model.CutRange());
  ASSERT_EQ(model.Count(), 13);
  EXPECT_EQ(model.Frames().front(), 11);
  EXPECT_EQ(model.Frames().back(), 23);
  EXPECT_FALSE(model.InMark() || model.OutMark());
  EXPECT_TRUE(model.Modified());
}

TEST(EditModelTest, RangesIncludeBothMarks) {
  EditModel model = Model(10);
  model.MarkIn(3);
  model.MarkOut(5);
  EditModel keep = model;
  ASSERT_TRUE(model.CutRange());
  EXPECT_EQ(model.Frames(), (Frames{0, 1, 2, 6, 7, 8, 9}));
  ASSERT_TRUE(keep.KeepRange());
  EXPECT_EQ(keep.Frames(), (Frames{3, 4, 5}));

  EditModel fromIn = Model(5);
  fromIn.MarkIn(2);  // no out mark: up to the last frame
  ASSERT_TRUE(fromIn.CutRange());
  EXPECT_EQ(fromIn.Frames(), (Frames{0, 1}));
}

TEST(EditModelTest, MarksOnTheWrongSideClearTheOtherMark) {
  EditModel model = Model(10);
  model.MarkIn(6);
  model.MarkOut(2);
  EXPECT_FALSE(model.InMark());
  EXPECT_EQ(model.Range().first, 0);
  EXPECT_EQ(model.Range().last, 2);
  model.MarkIn(8);
  EXPECT_FALSE(model.OutMark());
  EXPECT_EQ(model.Range().last, 9);
  EXPECT_FALSE(model.MarkIn(10));  // past the end
  EXPECT_FALSE(model.MarkOut(-1));
}

TEST(EditModelTest, EditsThatChangeNothingOrLeaveNoFrameAreRefused) {
  EditModel model = Model(3);
  EXPECT_FALSE(model.CutRange());  // the whole movie
  EXPECT_FALSE(model.KeepRange());  // keeps everything
  EXPECT_FALSE(model.SetRate({10, 1}));
  EXPECT_FALSE(model.SetRate({0, 1}));
  EXPECT_FALSE(model.SetRate({5, -1}));
  EXPECT_FALSE(model.ClearMarks());
  EXPECT_FALSE(model.CanUndo());
  EditModel one = Model(0);  // a movie always has a frame to show
  EXPECT_EQ(one.Frames(), (Frames{0}));
  EXPECT_FALSE(one.ReverseRange());
  EXPECT_FALSE(one.PingPongRange());
}

TEST(EditModelTest, ReverseTurnsTheRangeAround) {
  EditModel model = Model(6);
  ASSERT_TRUE(model.ReverseRange());
  EXPECT_EQ(model.Frames(), (Frames{5, 4, 3, 2, 1, 0}));
  model.MarkIn(1);
  model.MarkOut(3);
  ASSERT_TRUE(model.ReverseRange());
  EXPECT_EQ(model.Frames(), (Frames{5, 2, 3, 4, 1, 0}));
}

TEST(EditModelTest, PingPongLoopsWithoutRepeatingTheEnds) {
  EditModel model = Model(4);
  ASSERT_TRUE(model.PingPongRange());
  EXPECT_EQ(model.Frames(), (Frames{0, 1, 2, 3, 2, 1}));  // 2n - 2 frames

  EditModel inner = Model(8);
  inner.MarkIn(2);
  inner.MarkOut(5);
  ASSERT_TRUE(inner.PingPongRange());
  EXPECT_EQ(inner.Frames(), (Frames{0, 1, 2, 3, 4, 5, 4, 3, 6, 7}));
  EXPECT_EQ(inner.Range().first, 2);
  EXPECT_EQ(inner.Range().last, 7);  // the marks frame the longer range

  EditModel two = Model(2);
  EXPECT_FALSE(two.PingPongRange());  // nothing between the ends
}

TEST(EditModelTest, RateIsAnEditOfItsOwn) {
  EditModel model(5, FrameRate{30000, 1001});
  ASSERT_TRUE(model.SetRate({25, 1}));
  EXPECT_EQ(model.Rate(), (FrameRate{25, 1}));
  EXPECT_TRUE(model.Modified());
  EXPECT_EQ(model.Count(), 5);
  ASSERT_TRUE(model.Undo());
  EXPECT_EQ(model.Rate(), (FrameRate{30000, 1001}));
  EXPECT_FALSE(model.Modified());
}

TEST(EditModelTest, UndoAndRedoWalkTheWholeChain) {
  EditModel model = Model(6);
  model.MarkIn(1);                // 1
  model.MarkOut(4);               // 2
  model.KeepRange();              // 3: 1 2 3 4
  model.ReverseRange();           // 4: 4 3 2 1
  model.SetRate({5, 1});          // 5
  const Frames done{4, 3, 2, 1};
  EXPECT_EQ(model.Frames(), done);

  for (int i = 0; i < 5; ++i) ASSERT_TRUE(model.Undo()) << i;
  EXPECT_FALSE(model.Undo());
  EXPECT_EQ(model.Frames(), (Frames{0, 1, 2, 3, 4, 5}));
  EXPECT_FALSE(model.InMark());
  EXPECT_FALSE(model.Modified());

  ASSERT_TRUE(model.Redo());
  EXPECT_EQ(model.InMark(), 1);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(model.Redo()) << i;
  EXPECT_FALSE(model.Redo());
  EXPECT_EQ(model.Frames(), done);
  EXPECT_EQ(model.Rate(), (FrameRate{5, 1}));
}

TEST(EditModelTest, HistoryKeepsTheLatestSteps) {
  EditModel model = Model(2);
  for (size_t i = 0; i < EditModel::kUndoSteps + 5; ++i) model.ReverseRange();
  size_t undone = 0;
  while (model.Undo()) ++undone;
  EXPECT_EQ(undone, EditModel::kUndoSteps);
  EXPECT_EQ(model.Frames(), (Frames{1, 0}));  // 205 reversals, the first 5 forgotten
}

TEST(EditModelTest, NewEditAfterUndoEndsTheRedoChain) {
  EditModel model = Model(5);
  model.ReverseRange();
  model.Undo();
  ASSERT_TRUE(model.CanRedo());
  model.MarkOut(1);
  EXPECT_FALSE(model.CanRedo());
  ASSERT_TRUE(model.CutRange());
  EXPECT_EQ(model.Frames(), (Frames{2, 3, 4}));
  ASSERT_TRUE(model.Undo());
  EXPECT_EQ(model.OutMark(), 1);  // the cut gives its marks back
}

TEST(EditModelTest, SavedResultIsNoLongerModified) {
  EditModel model = Model(5);
  model.ReverseRange();
  model.MarkSaved();
  EXPECT_FALSE(model.Modified());
  model.Undo();
  EXPECT_TRUE(model.Modified());
}

}  // namespace
