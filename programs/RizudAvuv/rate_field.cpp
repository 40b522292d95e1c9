// Checking the typed frame rate.
#include "rate_field.h"

#include <charconv>
#include <cmath>
#include <numeric>

namespace editor {

FrameRate RateFromFps(double fps) {
  const int num = static_cast<int>(std::lround(fps * 1000));
  const int divisor = std::gcd(num, 1000);
  return {num / divisor, 1000 / divisor};
}

std::optional<double> ParseFps(std::string_view text, std::string* problem) {
  std::string_view number = text;
  while (!number.empty() && (number.front() == ' ' || number.front() == '\t')) number.remove_prefix(1);
  while (!number.empty() && (number.back() == ' ' || number.back() == '\t')) number.remove_suffix(1);
  double value = 0;
  // Plain decimal notation only: no sign, exponent, "inf" or "nan".
  const bool plain = !number.empty() && number.find_first_not_of("0123456789.") == std::string_view::npos;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                            std::chars_format::fixed);
  if (!plain || error != std::errc() || end != number.data() + number.size() || !(value >= kMinFps) ||
      !(value <= kMaxFps)) {
    *problem = "\u201C" + std::string(text) + "\u201D is not a number of frames per second from 0.1 to 1000";
    return std::nullopt;
  }
  return value;
}

}  // namespace editor
