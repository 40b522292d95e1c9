// The "fps" field of the editor: what the user types, checked before it becomes the
// saved movie's rate. Anything that is not a plain number in range is refused, so that
// the rate never changes to a value the user did not mean.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "edit_model.h"

namespace editor {

inline constexpr double kMinFps = 0.1;
inline constexpr double kMaxFps = 1000;

// The rate closest to fps in thousandths of a frame per second, reduced.
FrameRate RateFromFps(double fps);

// A typed rate ("25", "29.97", " 12.5 "): a decimal number from kMinFps to kMaxFps,
// blanks around it allowed. nullopt, with the reason in *problem, for anything else.
std::optional<double> ParseFps(std::string_view text, std::string* problem);

}  // namespace editor
