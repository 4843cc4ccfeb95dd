// The twenty solutes of the calculator and the selection of the current one.
#include "calculator/solutes.hpp"

#include <charconv>

#include "services/ascii_text.hpp"

namespace aqsol {
namespace {

// name, xi, a, b, gf298, s298, cpA, cpB, cpC
constexpr SoluteParams kSolutes[] = {
    {"H2", 0.309, -8.4596, 10.8301, 0, 31.234, 6.52, 0.78, -0.12},
    {"N2", -0.032, -11.538, 14.6278, 0, 45.796, 6.83, 0.9, 0.12},
    {"O2", 0.026, -9.754, 12.9411, 0, 49.003, 7.16, 1, 0.4},
    {"H2S", -0.2102, -11.2303, 12.6104, -8021, 49.185, 7.81, 2.96, 0.46},
    {"CO2", -0.085, -8.8321, 11.2684, -94254, 51.085, 10.57, 2.1, 2.06},
    {"Ar", 0.073, -8.5139, 11.921, 0, 37.0085, 4.968, 0, 0},
    {"Ne", 0.50835, 1.00144, 4.79756, 0, 39.974, 4.968, 0, 0},
    {"NH3", -0.0955, -4.72448, 4.97817, -3932, 46, 7.11, 6, 0.37},
    {"SO2", -0.4295, -14.5223, 14.3512, -71730, 59.327, 11.04, 1.88, 1.84},
    {"CH4", -0.1131, -11.8462, 14.8615, -12122.4, 44.518, 5.65, 11.44, 0.46},
    {"C2H4", -0.4499, -16.8037, 18.846, 16280, 52.45, 8.35, 0.15, 2.29},
    {"C2H6", -0.6091, -16.3482, 20.0628, -7887, 55.14, 1.59, 40.4, 1.263},
    {"C3H8", -1.1471, -25.3879, 28.2616, -5886, 64.5, 0.13, 65.9, 2.475},
    {"C4H10", -1.6849, -33.8492, 36.1457, -3887, 73.86, 0.97, 85.4, 3.264},
    {"C6H6", -1.1, -21.0084, 22.934, 31003, 64.37, 9.90295, 49.7694, 4.38},
    {"HCl", -0.28, 11.642, -7.4244, -22777, 44.5268, 6.2739, 1.2404, -0.3011},
    {"HF", 0.1008, 3.0888, -3.57143, -65822, 41.5342, 6.398, 0.817, -0.314},
    {"H3BO3", -1.085026, -3.54297, 3.4693176, -221881, 70.562, 18.4297, 9.09814, 5.1476},
    {"H3AsO3", -1.4798, -10.0766, 8.36167, -142179, 79.97, 22.81, 10.04, 4.41},
    {"H2Se", -0.1928, -14.3279, 14.4459, 3637, 52.342, 7.59, 3.49, 0.311},
};

}  // namespace

std::span<const SoluteParams> soluteTable() {
  return kSolutes;
}

void selectSolute(double number, SoluteParams& current) {
  for (std::size_t n = 1; n <= std::size(kSolutes); ++n)
    if (number == static_cast<double>(n)) current = kSolutes[n - 1];
}

const SoluteParams* findSolute(std::string_view text) {
  for (const SoluteParams& solute : kSolutes)
    if (equalsIgnoringCase(text, solute.name)) return &solute;
  // A menu number is written in plain decimal digits: no sign, point or exponent.
  unsigned number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || !(text[0] >= '0' && text[0] <= '9') || error != std::errc() ||
      end != text.data() + text.size() || number < 1 || number > std::size(kSolutes))
    return nullptr;
  return &kSolutes[number - 1];
}

}  // namespace aqsol
