// The editing operations as changes of a whole state, kept in undo and redo stacks.
// A state is a list of frame indexes, so even a long movie costs only a few bytes a
// frame per step of history.
#include "edit_model.h"

#include <algorithm>
#include <numeric>

namespace editor {

EditModel::EditModel(int64_t sourceFrames, FrameRate rate) {
  state_.frames.resize(static_cast<size_t>(std::max<int64_t>(sourceFrames, 1)));
  std::iota(state_.frames.begin(), state_.frames.end(), int64_t{0});
  state_.rate = rate;
  original_ = state_;
}

FrameRange EditModel::Range() const {
  return {state_.in.value_or(0), state_.out.value_or(Count() - 1)};
}

bool EditModel::MarkIn(int64_t position) {
  if (!ValidPosition(position)) return false;
  State next = state_;
  next.in = position;
  if (next.out && *next.out < position) next.out.reset();
  return Apply(std::move(next));
}

bool EditModel::MarkOut(int64_t position) {
  if (!ValidPosition(position)) return false;
  State next = state_;
  next.out = position;
  if (next.in && *next.in > position) next.in.reset();
  return Apply(std::move(next));
}

bool EditModel::ClearMarks() {
  State next = state_;
  next.in.reset();
  next.out.reset();
  return Apply(std::move(next));
}

bool EditModel::CutRange() {
  const FrameRange range = Range();
  if (range.first == 0 && range.last == Count() - 1) return false;
  State next = state_;
  next.frames.erase(next.frames.begin() + range.first, next.frames.begin() + range.last + 1);
  next.in.reset();
  next.out.reset();
  return Apply(std::move(next));
}

bool EditModel::KeepRange() {
  const FrameRange range = Range();
  State next = state_;
  next.frames.assign(state_.frames.begin() + range.first, state_.frames.begin() + range.last + 1);
  next.in.reset();
  next.out.reset();
  return Apply(std::move(next));
}

bool EditModel::ReverseRange() {
  const FrameRange range = Range();
  State next = state_;
  std::reverse(next.frames.begin() + range.first, next.frames.begin() + range.last + 1);
  return Apply(std::move(next));
}

bool EditModel::PingPongRange() {
  const FrameRange range = Range();
  if (range.last - range.first < 2) return false;  // no inner frames to play backwards
  State next = state_;
  const auto first = state_.frames.begin() + range.first;
  const auto last = state_.frames.begin() + range.last;
  // The way back: last - 1 down to first + 1.
  next.frames.insert(next.frames.begin() + range.last + 1, std::make_reverse_iterator(last),
                     std::make_reverse_iterator(first + 1));
  // The marks keep framing the range; an unset out mark already means the end.
  if (state_.out) next.out = range.last + (range.last - range.first - 1);
  return Apply(std::move(next));
}

bool EditModel::SetRate(FrameRate rate) {
  if (rate.num <= 0 || rate.den <= 0) return false;
  State next = state_;
  next.rate = rate;
  return Apply(std::move(next));
}

bool EditModel::Undo() {
  if (undo_.empty()) return false;
  redo_.push_back(std::move(state_));
  state_ = std::move(undo_.back());
  undo_.pop_back();
  return true;
}

bool EditModel::Redo() {
  if (redo_.empty()) return false;
  undo_.push_back(std::move(state_));
  state_ = std::move(redo_.back());
  redo_.pop_back();
  return true;
}

// A new edit ends the redo chain.
bool EditModel::Apply(State next) {
  if (next == state_) return false;
  if (undo_.size() >= kUndoSteps) undo_.erase(undo_.begin());
  undo_.push_back(std::move(state_));
  state_ = std::move(next);
  redo_.clear();
  return true;
}

}  // namespace editor
