// The editor's fps field: a typed rate is taken only when it is a plain number in
// range; anything else is refused with the reason, and the rate stays as it was.
#include "rate_field.h"

#include <gtest/gtest.h>

namespace {

TEST(RateField, TakesPlainNumbersInRangeAndRefusesTheRest) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"10", 10},      {"29.97", 29.97}, {" 12.5 ", 12.5}, {"0.1", 0.1},   {"1000", 1000},
      {"1000.0", 1000}, {"abc", {}},      {"", {}},         {" ", {}},      {"0", {}},
      {"0.09", {}},    {"1000.5", {}},   {"-5", {}},       {"+5", {}},     {"1e2", {}},
      {"inf", {}},     {"nan", {}},      {"12,5", {}},     {"10fps", {}},  {"1.2.3", {}},
      {".", {}},
  };
  for (const Case& c : cases) {
    std::string problem;
    std::optional<double> value = editor::ParseFps(c.text, &problem);
    EXPECT_EQ(value, c.value) << "\"" << c.text << "\"";
    if (c.value) {
      EXPECT_EQ(problem, "") << c.text;
    } else {
      EXPECT_EQ(problem,
                std::string("\u201C") + c.text + "\u201D is not a number of frames per second from 0.1 to 1000");
    }
  }
}

TEST(RateField, RatesAreKeptInThousandthsAndReduced) {
  EXPECT_EQ(editor::RateFromFps(10), (editor::FrameRate{10, 1}));
  EXPECT_EQ(editor::RateFromFps(29.97), (editor::FrameRate{2997, 100}));
  EXPECT_EQ(editor::RateFromFps(0.1), (editor::FrameRate{1, 10}));
  EXPECT_EQ(editor::RateFromFps(12.5), (editor::FrameRate{25, 2}));
}

}  // namespace
