// The editor's model of an edited movie, without any GUI: which source frame plays at
// each position of the result, the in and out marks, and the saved movie's frame rate.
// Every edit is undoable and redoable; an edit that would change nothing (or leave no
// frame) is refused and leaves the history alone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace editor {

// Frames per second = num / den.
struct FrameRate {
  int num = 10;
  int den = 1;
  bool operator==(const FrameRate&) const = default;
};

// The first and the last position of the marked range, both included.
struct FrameRange {
  int64_t first = 0;
  int64_t last = 0;
};

class EditModel {
 public:
  // Steps of history kept; older ones are dropped, which bounds the memory of a long
  // session on a long movie.
  static constexpr size_t kUndoSteps = 200;

  // The source movie unedited: frames 0 .. sourceFrames - 1 (at least one) at its rate.
  EditModel(int64_t sourceFrames, FrameRate rate);

  // Source frame index at each position of the result.
  const std::vector<int64_t>& Frames() const { return state_.frames; }
  int64_t Count() const { return static_cast<int64_t>(state_.frames.size()); }
  FrameRate Rate() const { return state_.rate; }
  std::optional<int64_t> InMark() const { return state_.in; }
  std::optional<int64_t> OutMark() const { return state_.out; }
  // The marked range: from the in mark (or the first frame) to the out mark (or the
  // last frame).
  FrameRange Range() const;
  // Whether the result differs from the source as it was opened.
  bool Modified() const {
    return state_.frames != original_.frames || state_.rate != original_.rate;
  }

  // Each returns whether it changed anything. Positions are 0-based and must lie in
  // [0, Count()). A mark on the wrong side of the other one clears the other one.
  bool MarkIn(int64_t position);
  bool MarkOut(int64_t position);
  bool ClearMarks();
  // Removes the range; refused when the range is the whole movie.
  bool CutRange();
  // Removes everything outside the range.
  bool KeepRange();
  // Plays the range backwards.
  bool ReverseRange();
  // The range forward, then backward without repeating its last and first frames, so
  // that the result loops seamlessly: 1 2 3 4 becomes 1 2 3 4 3 2.
  bool PingPongRange();
  // num and den both positive.
  bool SetRate(FrameRate rate);

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  bool Undo();
  bool Redo();

  // After a save: the saved result is what Modified() compares with from now on.
  void MarkSaved() { original_ = state_; }

 private:
  struct State {
    std::vector<int64_t> frames;
    FrameRate rate;
    std::optional<int64_t> in;
    std::optional<int64_t> out;
    bool operator==(const State&) const = default;
  };
  bool Apply(State next);
  bool ValidPosition(int64_t position) const { return position >= 0 && position < Count(); }

  State state_;
  State original_;
  std::vector<State> undo_;
  std::vector<State> redo_;
};

}  // namespace editor
