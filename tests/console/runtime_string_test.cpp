// Tests of runtime string storage: assignment, concatenation, temporaries, compaction and the
// storage invariants under random operation sequences.
#include "console/runtime_string.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>

#include "tests/console/runtime_fixture.hpp"

namespace aqsol {
namespace {

class Strings : public RuntimeFixture {
 protected:
  RuntimeString* variable(std::string_view text) {
    RuntimeString* v = st.string_new(0, false);
    st.string_assign(v, literal(text));
    return v;
  }
  const StringStorage::Area& heap() const { return st.main_area(); }
};

TEST_F(Strings, AssigningALiteralCopiesAndAConcatenationMoves) {
  const int32_t mark = st.temporaries_mark();
  static const char kText[] = "water";
  RuntimeString* v = st.string_new(0, false);
  st.string_assign(v, literal(kText));
  EXPECT_EQ(v->view(), "water");
  EXPECT_NE(reinterpret_cast<const char*>(v->data), kText);

  RuntimeString* joined = st.string_concat(literal("CO"), literal("2"));
  const uint8_t* bytes = joined->data;
  st.string_assign(v, joined);
  EXPECT_EQ(v->view(), "CO2");
  EXPECT_EQ(v->data, bytes);  // taken over, not copied
  EXPECT_EQ(heap().slots[v->list_index], v);
  st.temporaries_release(mark, 0);
  EXPECT_EQ(st.temporaries_mark(), mark);
}

TEST_F(Strings, ConcatenationWithAnEmptyOperandReturnsTheOtherOperand) {
  RuntimeString* text = literal("abc");
  RuntimeString* empty = literal("");
  EXPECT_EQ(st.string_concat(empty, text), text);
  EXPECT_EQ(st.string_concat(text, empty), text);
  RuntimeString* twice = st.string_concat(variable("ab"), literal("cd"));
  EXPECT_EQ(twice->view(), "abcd");
  EXPECT_TRUE(twice->temporary);
}

TEST_F(Strings, FixedLengthAssignmentPadsAndTruncates) {
  uint8_t bytes[5];
  RuntimeString* fixed = st.string_new_fixed(bytes, 5);
  st.string_assign(fixed, literal("ab"));
  EXPECT_EQ(fixed->view(), "ab   ");
  st.string_assign(fixed, literal("abcdefg"));
  EXPECT_EQ(fixed->view(), "abcde");
  st.string_free(fixed);
}

TEST_F(Strings, EqualityAndInequality) {
  RuntimeString* a = variable("H2O");
  EXPECT_EQ(StringStorage::string_equal(a, literal("H2O")), -1);
  EXPECT_EQ(StringStorage::string_equal(a, literal("H2")), 0);
  EXPECT_EQ(StringStorage::string_not_equal(a, literal("")), -1);
  EXPECT_EQ(StringStorage::string_not_equal(variable(""), literal("")), 0);
  EXPECT_EQ(st.temporaries_release(1, -1), -1);  // the result passes through
}

TEST_F(Strings, ReleasingAStatementsTemporariesRestoresTheHeapTop) {
  RuntimeString* kept = variable("kept");
  const std::size_t top = heap().top;
  const int32_t mark = st.temporaries_mark();
  for (int i = 0; i < 100; ++i) st.string_concat(st.string_new(10, true), literal("x"));
  EXPECT_GT(heap().top, top);
  st.temporaries_release(mark, 0);
  EXPECT_EQ(st.temporaries_mark(), mark);
  EXPECT_EQ(heap().top, static_cast<std::size_t>(kept->data + kept->length - heap().base) + 32);
}

TEST_F(Strings, AVariableGrowsInPlaceWhenItIsTheLastString) {
  RuntimeString* v = variable("abc");
  const uint8_t* bytes = v->data;
  st.string_assign(v, literal("abcdefghij"));
  EXPECT_EQ(v->data, bytes);
  EXPECT_EQ(v->view(), "abcdefghij");
  EXPECT_EQ(heap().top, static_cast<std::size_t>(v->data + 10 - heap().base));
}

TEST_F(Strings, AVariableBlockedByALaterStringMovesToTheTop) {
  RuntimeString* v = variable("abc");
  RuntimeString* w = variable("next");
  st.string_assign(v, literal(std::string(100, 'z')));
  EXPECT_GT(v->data, w->data);
  EXPECT_EQ(v->view(), std::string(100, 'z'));
  EXPECT_EQ(w->view(), "next");
  EXPECT_EQ(heap().slots[heap().count - 1], v);
}

TEST_F(Strings, HeapCompactsAndGrowsKeepingEveryValue) {
  std::map<RuntimeString*, std::string> live;
  for (int i = 0; i < 3000; ++i) {
    const std::string text(500 + i % 97, static_cast<char>('a' + i % 26));
    live[variable(text)] = text;
    if (i % 3 == 0) {  // leave holes for compaction to close
      auto it = live.begin();
      std::advance(it, i % live.size());
      st.string_free(it->first);
      live.erase(it);
    }
    st.temporaries_release(1, 0);
  }
  EXPECT_GT(st.heap_size(), StringStorage::kInitialHeapSize);
  for (const auto& [s, text] : live) EXPECT_EQ(s->view(), text);
}

TEST_F(Strings, LowAreaVariablesKeepTheirEntryCurrent) {
  RuntimeString* empty = st.shared_empty();
  EXPECT_EQ(empty->length, 0);
  EXPECT_TRUE(empty->in_low_area);
  EXPECT_FALSE(empty->temporary);
  RuntimeString* v = st.string_new_low(0);
  st.string_assign(v, literal("low text"));
  const uint8_t* entry = v->low_area_entry;
  const int length = entry[0] | entry[1] << 8, offset = entry[2] | entry[3] << 8;
  EXPECT_EQ(length, 8);
  EXPECT_EQ(low_memory.bytes() + LowMemory::kLowStringArea + offset, v->data);
  EXPECT_EQ(v->view(), "low text");
}

// A low-area temporary assigned to a low-area variable hands over its bytes and frees its own
// (length, offset) entry: statement after statement, the entries never run out.
TEST_F(Strings, LowTemporariesAssignedToLowVariablesFreeTheirEntries) {
  RuntimeString* v = st.string_new_low(0);
  for (int statement = 0; statement < 500; ++statement) {
    const int32_t mark = st.temporaries_mark();
    RuntimeString* t = st.string_make_temporary(st.string_new_low(4));
    std::memcpy(t->data, "abcd", 4);
    st.string_assign(v, t);
    st.temporaries_release(mark, 0);
    ASSERT_EQ(v->view(), "abcd") << statement;
  }
  const uint8_t* entry = v->low_area_entry;
  EXPECT_EQ(low_memory.bytes() + LowMemory::kLowStringArea + (entry[2] | entry[3] << 8), v->data);
}

TEST_F(Strings, ExhaustedLowAreaIsACriticalError) {
  try {
    for (int i = 0; i < 10; ++i) st.string_new_low(10'000);
    FAIL() << "no critical error";
  } catch (const CriticalError& critical) {
    EXPECT_EQ(critical.line(), "Critical Error #13: Out of memory");
  }
}

// Random statements of string operations keep the storage invariants: every live descriptor
// sits in exactly one list slot that names it back, temporaries are gone at the mark, and the
// heap top lies behind the last live string.
TEST_F(Strings, RandomOperationSequencesKeepTheInvariants) {
  std::mt19937 random(20261207);
  std::vector<std::pair<RuntimeString*, std::string>> variables;
  const int32_t mark = st.temporaries_mark();
  for (int statement = 0; statement < 4000; ++statement) {
    const int op = static_cast<int>(random() % 5);
    const std::string text(random() % 80, static_cast<char>('A' + random() % 26));
    if (op == 0 || variables.empty()) {
      variables.emplace_back(variable(text), text);
    } else {
      const std::size_t chosen = random() % variables.size();
      auto& [v, expected] = variables[chosen];
      if (op == 1) {
        st.string_assign(v, literal(text));
        expected = text;
      } else if (op == 2) {
        st.string_assign(v, st.string_concat(v, literal(text)));
        expected += text;
      } else if (op == 3) {
        RuntimeString* t = st.string_new(static_cast<uint32_t>(text.size()), true);
        std::copy(text.begin(), text.end(), t->data);
        st.string_assign(v, t);
        expected = text;
      } else {
        st.string_free(v);
        variables.erase(variables.begin() + static_cast<std::ptrdiff_t>(chosen));
      }
    }
    st.temporaries_release(mark, 0);

    ASSERT_EQ(st.temporaries_mark(), mark);
    const auto& area = heap();
    std::size_t listed = 0;
    const uint8_t* last_end = area.base;
    for (int32_t i = 0; i < area.count; ++i) {
      const RuntimeString* s = area.slots[i];
      if (s == nullptr) continue;
      ++listed;
      ASSERT_EQ(s->list_index, i);
      ASSERT_GE(s->data, last_end);  // placement order
      last_end = s->data + s->length;
    }
    ASSERT_EQ(listed, variables.size());
    ASSERT_LE(static_cast<std::size_t>(last_end - area.base), area.top);
    for (const auto& [v, expected] : variables) ASSERT_EQ(v->view(), expected);
  }
}

}  // namespace
}  // namespace aqsol
