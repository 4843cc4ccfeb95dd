// Tests of species files: solutes of one's own, the built-in ones reproduced by a file, and
// every kind of bad file refused by its line with nothing added.
#include "calculator/solute_set.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "calculator/state_rows.hpp"
#include "calculator/validity.hpp"

namespace aqsol {
namespace {

constexpr const char* kHeader = "name,xi,a,b,gf298,s298,cpA,cpB,cpC";

// A species line of a record, every number to the last bit.
std::string recordLine(const SoluteParams& s, std::string_view name) {
  char line[400];
  std::snprintf(line, sizeof line, "%.*s,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g",
                static_cast<int>(name.size()), name.data(), s.xi, s.a, s.b, s.gf298, s.s298, s.cpA,
                s.cpB, s.cpC);
  return line;
}

std::vector<Row> rowsOf(const SoluteParams& solute) {
  ErrorSlot errors;
  const Constants k = setupConstants(errors);
  std::vector<RowRequest> requests;
  for (double t : {0.01, 25.0, 150.0, 300.0, 373.0, 500.0})
    for (double p : {0.0, 1.0, 250.0, 1000.0}) requests.push_back({&solute, t, {p == 0, p}});
  std::vector<Row> rows(requests.size());
  computeRows(k, requests, rows);
  return rows;
}

TEST(SpeciesFiles, TheBuiltInRecordsReadBackGiveTheirRowsBitForBit) {
  std::string text =
      "# the built-in twenty, replaced by themselves\n" + std::string(kHeader) + ",replaces\n";
  for (const SoluteParams& s : soluteTable()) text += recordLine(s, s.name) + ",yes\n";
  SoluteSet set;
  std::string error;
  ASSERT_TRUE(set.addSpecies("builtin.csv", text, error)) << error;
  ASSERT_EQ(set.all().size(), soluteTable().size());
  for (std::size_t n = 0; n < soluteTable().size(); ++n) {
    const std::vector<Row> mine = rowsOf(set.all()[n]), theirs = rowsOf(soluteTable()[n]);
    EXPECT_NE(set.all()[n].provenance, nullptr);
    EXPECT_EQ(set.find(std::to_string(n + 1)), &set.all()[n]) << "the menu number stays";
    for (std::size_t r = 0; r < mine.size(); ++r) {
      ASSERT_EQ(mine[r].status, theirs[r].status);
      const auto a = computedValues(mine[r]), b = computedValues(theirs[r]);
      for (std::size_t v = 0; v < a.size(); ++v)
        EXPECT_EQ(std::bit_cast<uint64_t>(a[v]), std::bit_cast<uint64_t>(b[v]))
            << soluteTable()[n].name << " row " << r << " value " << v;
    }
  }
}

TEST(SpeciesFiles, NewSolutesAreFoundByNameAndFlaggedByTheirProvenance) {
  SoluteSet set;
  std::string error;
  const std::string text = std::string(kHeader) +
                           ",source,T_min_C,T_max_C,worst_residual\n"
                           "Kr,0.05,-9,12,0,39.19,4.968,0,0,a fit,0,100,0.02\n"
                           "\"Xe\" , 0.1 , -9 , 12 , 0 , 40.5 , 4.968 , 0 , 0 , , , , \n"
                           "SF6,0.1,-9,12,0,70,20,5,1,a poor fit,10,50,0.3\n";
  ASSERT_TRUE(set.addSpecies("mine.csv", text, error)) << error;
  ASSERT_EQ(set.all().size(), soluteTable().size() + 3);
  const SoluteParams* kr = set.find("kr");
  ASSERT_NE(kr, nullptr);
  EXPECT_EQ(kr->name, "Kr");
  EXPECT_EQ(set.find("XE")->name, "Xe");
  EXPECT_EQ(SoluteComparison(*kr).flagsAt(300), 0u);
  EXPECT_EQ(SoluteComparison(*kr).flagsAt(400), unsigned{kRangeSoluteExtrapolated});
  EXPECT_EQ(SoluteComparison(*set.find("Xe")).flagsAt(300), unsigned{kRangeUnreferenced});
  EXPECT_EQ(SoluteComparison(*set.find("SF6")).flagsAt(300), unsigned{kRangeReferenceDeviates});
  // A built-in name without replaces, and a name an earlier file added, are refused.
  EXPECT_FALSE(set.addSpecies("again.csv", std::string(kHeader) + "\nKR,0,0,0,0,1,5,0,0\n", error));
  EXPECT_EQ(error, "again.csv:2: KR is already added by an earlier species file");
}

TEST(SpeciesFiles, EveryBadFileIsRefusedByItsLineWithNothingAdded) {
  const std::string h = std::string(kHeader) + "\n";
  const struct {
    std::string text, message;
  } cases[] = {
      {"", "bad.csv:0: no header line (name,xi,a,b,gf298,s298,cpA,cpB,cpC)"},
      {"name,xi,a,b\n", "bad.csv:1: the header names no gf298 column"},
      {h.substr(0, h.size() - 1) + ",colour\n", "bad.csv:1: unknown column 'colour' in the header"},
      {"name,name,xi\n", "bad.csv:1: the header names name twice"},
      {std::string(kHeader) + ",T_min_C\n",
       "bad.csv:1: the header names one of T_min_C and T_max_C without the other"},
      {h + "Kr,x,0,0,0,1,5,0,0\n", "bad.csv:2: xi: 'x' is not a finite number"},
      {h + "Kr,1e999,0,0,0,1,5,0,0\n", "bad.csv:2: xi: '1e999' is not a finite number"},
      {h + "Kr,nan,0,0,0,1,5,0,0\n", "bad.csv:2: xi: 'nan' is not a finite number"},
      {h + "Kr,0,0,0,0,1,5,0\n", "bad.csv:2: expected 9 fields, found 8"},
      {h + "K,r,0,0,0,0,1,5,0,0\n", "bad.csv:2: expected 9 fields, found 10"},
      {h + "CO2,0,0,0,0,1,5,0,0\n",
       "bad.csv:2: CO2 is a built-in solute (say replaces=yes to replace it)"},
      {h + "Kr,0,0,0,0,1,5,0,0\n\nkr,0,0,0,0,1,5,0,0\n", "bad.csv:4: kr is named twice"},
      {h + "Kr,0,0,0,0,1,5,0,5\n",
       "bad.csv:2: the ideal-gas heat capacity falls to -1.70143 cal/(mol K) between 0 and "
       "1,000 C"},
      {std::string(kHeader) + ",T_min_C,T_max_C\nKr,0,0,0,0,1,5,0,0,10,\n",
       "bad.csv:2: T_min_C and T_max_C are given together or not at all"},
      {h + "all,0,0,0,0,1,5,0,0\n",
       "bad.csv:2: 'all' is not a solute name (a letter, then letters, digits and ( ) + - _ . ; "
       "at most 15)"},
      {h + "5,0,0,0,0,1,5,0,0\n",
       "bad.csv:2: '5' is not a solute name (a letter, then letters, digits and ( ) + - _ . ; "
       "at most 15)"},
      {h + "Kr\x1b[31m,0,0,0,0,1,5,0,0\n", "bad.csv:2: a control character"},
      {h + "Kr,0,0,0,0,1,5,0,0\n" + std::string("X\0y", 3) + "\n",
       "bad.csv:3: a NUL byte: not a text file"},
  };
  for (const auto& c : cases) {
    SoluteSet set;
    std::string error;
    EXPECT_FALSE(set.addSpecies("bad.csv", c.text, error)) << c.text;
    EXPECT_EQ(error, c.message) << c.text;
    EXPECT_EQ(set.all().size(), soluteTable().size()) << "nothing added: " << c.text;
  }
}

TEST(SpeciesFiles, FilesTooLargeOrMissingAreRefusedByName) {
  const std::string path = testing::TempDir() + "huge_species.csv";
  std::FILE* out = std::fopen(path.c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fputs(kHeader, out);
  std::fputc('\n', out);
  for (int n = 0; n < 60'000; ++n) std::fprintf(out, "# padding line %05d\n", n);
  std::fclose(out);
  SoluteSet set;
  std::string error;
  EXPECT_FALSE(set.addSpeciesFile(path, error));
  EXPECT_EQ(error, "'" + path + "': larger than 1 MB: not a species file");
  EXPECT_FALSE(set.addSpeciesFile(path + ".missing", error));
  EXPECT_EQ(error, "'" + path + ".missing': No such file or directory");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace aqsol
