#include <climits>
#include <cstring>
#include <string>

#include "core/terrain_model.h"
#include "core/text_numbers.h"
#include "tests/unit/harness.h"

namespace {

std::string number3(int n) {
  char text[16] = "x";
  append_number3(text, n);
  return text;
}

TEST(AppendNumber3, PadsToThreeDigits) {
  EXPECT_EQ("x000", number3(0));
  EXPECT_EQ("x007", number3(7));
  EXPECT_EQ("x042", number3(42));
  EXPECT_EQ("x100", number3(100));
  EXPECT_EQ("x511", number3(511));
  // Every number, inside the three digits and beyond, as the zero-padding
  // format writes it.
  for (int n = -1200; n <= 1200; n++) {
    char want[32];
    snprintf(want, sizeof(want), "x%s%s%d", n < 100 ? "0" : "", n < 10 ? "0" : "", n);
    ASSERT_EQ(want, number3(n));
  }
}

TEST(ParseLeadingInt, BlanksSignDigitsAndClamp) {
  EXPECT_EQ(2, parse_leading_int("2", -100, 100));
  EXPECT_EQ(-5, parse_leading_int("  \t-5abc", -100, 100));
  EXPECT_EQ(7, parse_leading_int("+7 8", -100, 100));
  EXPECT_EQ(0, parse_leading_int("", -100, 100));
  EXPECT_EQ(0, parse_leading_int("x12", -100, 100));
  EXPECT_EQ(0, parse_leading_int("- 3", -100, 100));
  EXPECT_EQ(100, parse_leading_int("101", -100, 100));
  EXPECT_EQ(INT32_MAX, parse_leading_int(std::string(400, '9').c_str(), INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MIN,
            parse_leading_int(("-" + std::string(400, '9')).c_str(), INT32_MIN, INT32_MAX));
}

TEST(ParseFloat, NumbersCommasAndLimits) {
  EXPECT_FLOAT_EQ(125.0f, parse_float("  12.5e1, 3"));
  EXPECT_FLOAT_EQ(-0.25f, parse_float("-.25"));
  EXPECT_EQ(0.0f, parse_float("east"));
  EXPECT_EQ(0.0f, parse_float("nan"));
  EXPECT_EQ(FLT_MAX, parse_float("1e999"));
  EXPECT_EQ(-FLT_MAX, parse_float("-1e999"));
  EXPECT_FLOAT_EQ(-2.5f, parse_float_after_comma("1, -2.5"));
  EXPECT_FLOAT_EQ(7.0f, parse_float_after_comma("1,7,9"));
  EXPECT_EQ(0.0f, parse_float_after_comma("250"));
}

TEST(RoundToInt, HalvesGoTowardZero) {
  EXPECT_EQ(2, round_to_int(2.5));
  EXPECT_EQ(3, round_to_int(2.6));
  EXPECT_EQ(-2, round_to_int(-2.7));
  EXPECT_EQ(0, round_to_int(-0.4));
  EXPECT_EQ(0, round_to_int(0.5));
  EXPECT_EQ(1, round_to_int(0.5000001));
  EXPECT_EQ(7, round_to_int(7.0));
  EXPECT_EQ(2147483647, round_to_int(1e300));
  EXPECT_EQ(0, round_to_int(__builtin_nan("")));
}

TEST(InsertSuffix, BeforeTheLastFourCharacters) {
  char path[PATH_SIZE] = "D:\\maps\\Desert.ini";
  insert_suffix(path, "_DATA", sizeof(path));
  EXPECT_STREQ("D:\\maps\\Desert_DATA.ini", path);

  char tiny[PATH_SIZE] = "ini";  // no room for four characters behind the text
  insert_suffix(tiny, "_DATA", sizeof(tiny));
  EXPECT_STREQ("", tiny);

  // Exactly 255 characters fit; one more empties the path rather than cut it.
  std::string fits = std::string(PATH_SIZE - 1 - 4 - 5, 'a') + ".ini";
  char full[PATH_SIZE];
  strcpy(full, fits.c_str());
  insert_suffix(full, "_DATA", sizeof(full));
  EXPECT_EQ(std::string(PATH_SIZE - 1 - 4 - 5, 'a') + "_DATA.ini", full);
  strcpy(full, ("b" + fits).c_str());
  insert_suffix(full, "_DATA", sizeof(full));
  EXPECT_STREQ("", full);
}

TEST(CopyCut, KeepsWhatFitsAndAlwaysEnds) {
  char small[5] = "????";
  copy_cut(small, "abcdefgh", sizeof(small));
  EXPECT_STREQ("abcd", small);
  copy_cut(small, "", sizeof(small));
  EXPECT_STREQ("", small);
  char untouched[2] = "z";
  copy_cut(untouched, "abc", 0);  // no room at all: nothing written
  EXPECT_STREQ("z", untouched);
}

}  // namespace
