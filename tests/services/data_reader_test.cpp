// Tests of the data reader.
#include "services/data_reader.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace aqsol {
namespace {

// Reads every item of a text; stops at the first error.
std::vector<double> readAll(std::string_view text, ErrorSlot& errors) {
  DataReader reader(text);
  std::vector<double> values;
  while (reader.position() < text.size() && !errors.has_error())
    values.push_back(reader.read_number(errors));
  return values;
}

TEST(DataReader, DecimalForms) {
  struct Case {
    std::string_view text;
    double value;
  };
  const Case cases[] = {
      {"-5.12506E-1", -0.512506},
      {"-6.75615E5", -675615},
      {"2.413178500", 2.4131785},
      {"0.113592870", 0.11359287},
      {"+.5", 0.5},
      {"007", 7},
      {"1.5d2", 150},
      {"3e+2", 300},
      {"-0.000390109", -0.000390109},
      {"1e-400", 0},
      {"-", 0},
      {"1.7976931348623157e308", 1.7976931348623157e308},
  };
  for (const Case& c : cases) {
    ErrorSlot errors;
    DataReader reader(c.text);
    EXPECT_EQ(reader.read_number(errors), c.value) << c.text;
    EXPECT_FALSE(errors.has_error()) << c.text;
  }
}

TEST(DataReader, EmptyItemsReadAsZeroAndCommasAreConsumed) {
  ErrorSlot errors;
  EXPECT_EQ(readAll("1,,2", errors), (std::vector<double>{1, 0, 2}));
  EXPECT_FALSE(errors.has_error());
}

TEST(DataReader, HexadecimalAndOctalIntegers) {
  ErrorSlot errors;
  EXPECT_EQ(readAll("&H1F,&hff,&O17,&o0,&HFFFFFFFFFFFFFFFF", errors),
            (std::vector<double>{31, 255, 15, 0, -1}));
  EXPECT_FALSE(errors.has_error());
}

TEST(DataReader, PastTheEndIsOutOfData) {
  ErrorSlot errors;
  DataReader reader("1,2");
  EXPECT_EQ(reader.read_number(errors), 1);
  EXPECT_EQ(reader.read_number(errors), 2);
  EXPECT_EQ(reader.read_number(errors), 0);
  EXPECT_EQ(errors.pending_error(), 4u);
}

TEST(DataReader, MalformedItemIsASyntaxErrorAndKeepsItsPosition) {
  for (std::string_view text : {"1,2x,3", "1,1-2,3", "1,1.2.3,3", "1,&G1,3", "1,&H1G,3"}) {
    ErrorSlot errors;
    DataReader reader(text);
    reader.read_number(errors);
    EXPECT_EQ(reader.read_number(errors), 0) << text;
    EXPECT_EQ(errors.pending_error(), 2u) << text;
    EXPECT_EQ(reader.position(), 2u) << text;
  }
}

TEST(DataReader, TooLargeIsOverflow) {
  const std::string tooManyDigits(257, '1');
  for (std::string_view text :
       {std::string_view("1e309"), std::string_view("1.8e308"),
        std::string_view("1e1234567890123456789"), std::string_view("&H10000000000000000"),
        std::string_view(tooManyDigits)}) {
    ErrorSlot errors;
    DataReader reader(text);
    EXPECT_EQ(reader.read_number(errors), 0) << text;
    EXPECT_EQ(errors.pending_error(), 6u) << text;
  }
}

TEST(DataReader, NothingIsReadWhileAnErrorIsPending) {
  ErrorSlot errors;
  errors.raise_error(9);
  DataReader reader("1,2");
  EXPECT_EQ(reader.read_number(errors), 0);
  EXPECT_EQ(reader.position(), 0u);
  EXPECT_EQ(errors.pending_error(), 9u);
}

}  // namespace
}  // namespace aqsol
