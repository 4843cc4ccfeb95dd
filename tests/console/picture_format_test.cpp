// Tests of picture-string formatting: value x picture grids, literal text, string fields and
// errors.
#include "console/picture_format.hpp"

#include <gtest/gtest.h>

#include "tests/console/runtime_fixture.hpp"

namespace aqsol {
namespace {

class Picture : public RuntimeFixture {
 protected:
  template <typename Format, typename T>
  std::string format(Format f, std::string_view picture, T value, int32_t* next = nullptr) {
    RuntimeString* out = st.string_new(0, false);
    const int32_t pos = f(st, literal(picture), value, 0, out);
    if (next) *next = pos;
    std::string text(out->view());
    st.string_free(out);
    st.temporaries_release(1, 0);
    return text;
  }
  std::string d(std::string_view picture, double value) {
    return format(format_double, picture, value);
  }
};

TEST_F(Picture, FixedFields) {
  struct Case {
    const char* picture;
    double value;
    const char* out;
  };
  const Case cases[] = {
      {"####.##", 25, "  25.00"},
      {"####.##", -25, " -25.00"},
      {"####.##", 0.5, "   0.50"},
      {"####.##", -0.5, "  -0.50"},
      {"####.##", 12345.6, "%12345.60"},
      {"####.##", 2.675, "   2.67"},
      {"####.##", 0, "   0.00"},
      {"####.##", 0.005, "   0.01"},
      {"####.##", 9999.995, "%10000.00"},
      {" ####.##", 100, "  100.00"},
      {"##.##", -12.3, "%-12.30"},
      {"##.#", 99.96, "%100.0"},
      {".##", 0.5, ".50"},
      {".##", -0.5, "%-.50"},
      {".##", -0.05, "%-.05"},  // no place for the "-": the overflow form, never a wider field
      {".##", 0.05, ".05"},
      {"###", 2.5, "  3"},
      {"#", 0.4, "0"},
      {"####.###", 18.06865760215651, "  18.069"},
      {"#######.#", -92255.52081029493, " -92255.5"},
      {"#####.###", 32.71133384396667, "   32.711"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(d(c.picture, c.value), c.out) << c.picture << " " << c.value;
  EXPECT_FALSE(errors.has_error());
}

TEST_F(Picture, SignsCommasStarsAndDollars) {
  struct Case {
    const char* picture;
    double value;
    const char* out;
  };
  const Case cases[] = {
      {"+##.##", 3, "+ 3.00"},
      {"+##.##", -3, "- 3.00"},
      {"##.##+", 3, " 3.00+"},
      {"##.##-", -3, " 3.00-"},
      {"##.##-", 3, " 3.00 "},
      {"**##.##", 3.5, "***3.50"},
      {"**$##.##", 3.5, "***$3.50"},
      {"$$##.##", 3.5, "  $3.50"},
      {"$$##.##", -3.5, " -$3.50"},
      {"#,###.##", 1234.5, "1,234.50"},
      {"###,###.##", 1234567.891, "%1,234,567.89"},
      {"##,###", 999, "   999"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(d(c.picture, c.value), c.out) << c.picture << " " << c.value;
}

TEST_F(Picture, ExponentFields) {
  struct Case {
    const char* picture;
    double value;
    const char* out;
  };
  const Case cases[] = {
      {"##.###^^^^", 0.00001234, " 1.234D-05"},
      {"##.###^^^^", -0.0021, "-2.100D-03"},
      {"##.###^^^^", 0, " 0.000D+00"},
      {"#.##^^^^", 12.5, "0.13D+02"},
      {".###^^^^", 1.5, ".150D+01"},
      {".###^^^^", -1.5, "%-.150D+01"},
      {"##.###^^^^", 4.5114923081603026e-05, " 4.511D-05"},
      {"##.###^^^^", -0.00025710320362212085, "-2.571D-04"},
      {"##.###^^^^", 9.9996, " 1.000D+01"},
      {"##.##^^^^^", 1.5e100, " 1.50D+100"},
      {"##.##^^^^", 1.5e100, "% 1.50D+100"},
      {"+#.#^^^^", 250, "+2.5D+02"},
      {"###.#^^^^", 1234.5, " 12.3D+02"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(d(c.picture, c.value), c.out) << c.picture << " " << c.value;
}

TEST_F(Picture, FrontEnds) {
  EXPECT_EQ(format(format_extended, " #######.###", 29.16786773678779L), "      29.168");
  EXPECT_EQ(format(format_extended, "##.##", 0.5L), " 0.50");
  EXPECT_EQ(format(format_extended, "#.#^^^^", 0.00123L), "0.1F-02");
  EXPECT_EQ(format(format_single, "##.##^^^^", 1234.5f), " 1.23E+03");
  EXPECT_EQ(format(format_int64, "#####", int64_t{-1234}), "-1234");
  EXPECT_EQ(format(format_uint64, "##.#", uint64_t{7}), " 7.0");
  EXPECT_FALSE(errors.has_error());
}

TEST_F(Picture, LiteralTextAndSeveralItems) {
  EXPECT_EQ(d("####.## cal ", 5), "   5.00 cal ");
  EXPECT_EQ(d("T=##_#", 5), "T= 5#");
  int32_t next = -1;
  EXPECT_EQ(format(format_double, "a## b## c", 1.0, &next), "a 1 b");
  EXPECT_EQ(next, 5);
  RuntimeString* out = st.string_new(0, false);
  EXPECT_EQ(format_double(st, literal("a## b## c"), 2, next, out), 0);
  EXPECT_EQ(out->view(), " 2 c");
}

TEST_F(Picture, StringFields) {
  RuntimeString* out = st.string_new(0, false);
  format_with_picture(st, literal("[&] [!] [\\  \\]"), 0, out, literal("CO2"));
  EXPECT_EQ(out->view(), "[CO2] [");  // literal text up to the next field goes with the item
  RuntimeString* out2 = st.string_new(0, false);
  format_with_picture(st, literal("<\\  \\>"), 0, out2, literal("Methane"));
  EXPECT_EQ(out2->view(), "<Meth>");
  RuntimeString* out3 = st.string_new(0, false);
  format_with_picture(st, literal("<!>"), 0, out3, literal(""));
  EXPECT_EQ(out3->view(), "< >");
}

TEST_F(Picture, Errors) {
  EXPECT_EQ(d("no field", 1), "no field");
  EXPECT_EQ(errors.pending_error(), 5u);
  errors.clear();
  EXPECT_EQ(d("x & y", 1), "x ");
  EXPECT_EQ(errors.pending_error(), 13u);
  errors.clear();
  RuntimeString* out = st.string_new(0, false);
  format_with_picture(st, literal("##.#"), 0, out, literal("text"));
  EXPECT_EQ(errors.pending_error(), 13u);
  errors.clear();
  EXPECT_EQ(d("##.#", std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(errors.pending_error(), 5u);
  EXPECT_EQ(d("##.#", 1), "");  // nothing while an error is pending
}

}  // namespace
}  // namespace aqsol
