// Fuzz target: any eight bytes as a double are written by writeShortest exactly as
// std::to_chars writes them.
#include <charconv>
#include <cstring>

#include "services/shortest_number.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  char library[64], ours[aqsol::kShortestNumberRoom];
  const char* libraryEnd = std::to_chars(library, library + sizeof library, value).ptr;
  const char* oursEnd = aqsol::writeShortest(ours, value);
  aqsol::fuzz::check(oursEnd - ours == libraryEnd - library &&
                         std::memcmp(ours, library, static_cast<std::size_t>(oursEnd - ours)) == 0,
                     "the same characters as std::to_chars");
  return 0;
}
