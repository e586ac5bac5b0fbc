#include <gtest/gtest.h>

#include "app/TextConvert.h"

namespace korvane {
namespace {

TEST(TextConvert, IntegersOrTheDefault) {
  struct Case {
    const char* text;
    int expected;
  };
  for (const Case c : {Case{"12", 12}, Case{" -7 ", -7}, Case{"+3", 3}, Case{"", 99},
                       Case{"1.5", 99}, Case{"12a", 99}, Case{"- 1", 99}, Case{"2147483647", 2147483647},
                       Case{"2147483648", 99}, Case{"0x10", 99}})
    EXPECT_EQ(TextToInt(c.text, 99), c.expected) << '"' << c.text << '"';
}

TEST(TextConvert, NumbersOrTheDefault) {
  struct Case {
    const char* text;
    double expected;
  };
  for (const Case c : {Case{"1.5", 1.5}, Case{"-0,25", -0.25}, Case{" 3 ", 3.0}, Case{"1e2", 100.0},
                       Case{"abc", -1.0}, Case{"", -1.0}, Case{"1.5.2", -1.0}, Case{"inf", -1.0},
                       Case{"nan", -1.0}})
    EXPECT_DOUBLE_EQ(TextToFloat(c.text, -1.0), c.expected) << '"' << c.text << '"';
}

}  // namespace
}  // namespace korvane
