// Tests of the further string operations.
#include "console/string_ops.hpp"

#include <gtest/gtest.h>

#include "tests/console/runtime_fixture.hpp"

namespace aqsol {
namespace {

class StringOps : public RuntimeFixture {
 protected:
  RuntimeString* temporary(std::string_view text) {
    RuntimeString* t = st.string_new(static_cast<uint32_t>(text.size()), true);
    std::copy(text.begin(), text.end(), t->data);
    return t;
  }
};

TEST_F(StringOps, TransformsChangeWritableTemporariesInPlaceAndCopyOthers) {
  RuntimeString* t = temporary("  Mixed Case  ");
  EXPECT_EQ(string_upper(st, t), t);
  EXPECT_EQ(t->view(), "  MIXED CASE  ");
  RuntimeString* lit = literal("Keep");
  RuntimeString* lower = string_lower(st, lit);
  EXPECT_NE(lower, lit);
  EXPECT_EQ(lower->view(), "keep");
  EXPECT_EQ(lit->view(), "Keep");
  EXPECT_EQ(string_ltrim(st, literal("  a b  "))->view(), "a b  ");
  EXPECT_EQ(string_rtrim(st, literal("  a b  "))->view(), "  a b");
}

TEST_F(StringOps, Substrings) {
  struct Case {
    RuntimeString* got;
    std::string_view want;
  };
  const Case cases[] = {
      {string_left(st, literal("Henry"), 3), "Hen"},
      {string_left(st, literal("Henry"), 9), "Henry"},
      {string_right(st, literal("Henry"), 2), "ry"},
      {string_mid(st, literal("Henry"), 2, 3), "enr"},
      {string_mid(st, literal("Henry"), 4, -1), "ry"},
      {string_mid(st, literal("Henry"), 9, 2), ""},
      {string_mid(st, temporary("Henry"), 2, 2), "en"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got->view(), c.want);
  EXPECT_FALSE(errors.has_error());
  string_mid(st, literal("x"), 0, 1);
  EXPECT_EQ(errors.pending_error(), 5u);
}

TEST_F(StringOps, CharactersAndRepetition) {
  EXPECT_EQ(string_chr(st, 65)->view(), "A");
  EXPECT_EQ(string_asc(st, literal("z")), 'z');
  EXPECT_EQ(string_space(st, 3)->view(), "   ");
  EXPECT_EQ(string_space(st, -2)->view(), "");
  EXPECT_EQ(string_repeat(st, 4, '*')->view(), "****");
  EXPECT_FALSE(errors.has_error());
  EXPECT_EQ(string_chr(st, 256)->view(), "");
  EXPECT_EQ(errors.pending_error(), 5u);
  errors.clear();
  EXPECT_EQ(string_asc(st, literal("")), 0);
  EXPECT_EQ(errors.pending_error(), 5u);
}

TEST_F(StringOps, SearchReplaceAndJustify) {
  EXPECT_EQ(string_instr(st, 1, literal("H2O H2S"), literal("H2")), 1);
  EXPECT_EQ(string_instr(st, 2, literal("H2O H2S"), literal("H2")), 5);
  EXPECT_EQ(string_instr(st, 1, literal("H2O"), literal("CO")), 0);
  EXPECT_EQ(string_instr(st, 2, literal("H2O"), literal("")), 2);
  RuntimeString* v = st.string_new(5, false);
  std::copy_n("abcde", 5, v->data);
  string_mid_replace(st, v, 2, -1, literal("XYZW"));
  EXPECT_EQ(v->view(), "aXYZW");
  string_mid_replace(st, v, 1, 1, literal("QR"));
  EXPECT_EQ(v->view(), "QXYZW");
  uint8_t bytes[6];
  RuntimeString* fixed = st.string_new_fixed(bytes, 6);
  string_rset(st, fixed, literal("ab"));
  EXPECT_EQ(fixed->view(), "    ab");
  string_lset(st, fixed, literal("abcdefgh"));
  EXPECT_EQ(fixed->view(), "abcdef");
}

TEST_F(StringOps, OrderingAndRawPacking) {
  EXPECT_EQ(string_less(literal("ab"), literal("abc")), -1);
  EXPECT_EQ(string_less(literal("b"), literal("abc")), 0);
  EXPECT_EQ(string_greater(literal("\xff"), literal("a")), -1);
  EXPECT_EQ(string_less_equal(literal("x"), literal("x")), -1);
  EXPECT_EQ(string_greater_equal(literal(""), literal("a")), 0);
  EXPECT_EQ(string_unpack<double>(st, string_pack(st, 298.15)), 298.15);
  EXPECT_EQ(string_unpack<int16_t>(st, string_pack<int16_t>(st, -7)), -7);
  EXPECT_EQ(string_unpack<int32_t>(st, literal("ab")), 0);
  EXPECT_EQ(errors.pending_error(), 5u);
}

}  // namespace
}  // namespace aqsol
