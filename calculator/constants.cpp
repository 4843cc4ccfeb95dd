// Physical constants and coefficient tables of the water and solute models.
#include "calculator/constants.hpp"

#include <span>

#include "services/data_reader.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {

const char kCalculatorDataText[] =
    "-7.85823,1.83991,-11.7811,22.6705,-15.9393,1.77516,1.99206,1.10123,-5.12506E-1,-1.75263,"
    "-45.4485,-6.75615E5,7.07501275112,-8.34240569963,-0.364601380,-0.036897043,0.003033815,"
    "0.000390109,0.113592870,2.413178500";

namespace {

// Coefficients of the dimensionless Helmholtz function of water, as assigned (i, j, value).
constexpr TableEntry kTableA[] = {
    {4, 1, 0.3384249125},    {5, 1, -0.07153393406}, {7, 1, 0.0005493680814},
    {3, 2, 0.04933218501},   {6, 2, -0.02328491212}, {7, 2, 0.00240209518},
    {1, 3, 0.7529422956},    {3, 3, -2.28026007},    {2, 4, 1.142004144},
    {3, 4, -2.619059624},    {5, 4, 0.4395237702},   {6, 4, -0.03161046646},
    {7, 4, 0.0006814467692}, {1, 5, -0.3924227294},  {3, 5, -0.2738770648},
    {4, 6, -0.01943443857},  {5, 6, 0.003048860434}, {3, 7, 0.003946510403},
};

constexpr TableEntry kTableB[] = {
    {1, 1, 0.2243610314},     {2, 1, 0.1193250201},  {5, 1, 0.06582959348}, {5, 2, 0.1651430628},
    {1, 3, -2.178969357},     {2, 3, 0.2674090542},  {3, 3, 0.8647490995},  {1, 4, -0.1530432257},
    {3, 4, 2.059881454},      {6, 4, -0.4888628703}, {7, 4, 0.1375328753},  {5, 5, -0.9015180666},
    {6, 5, -0.1444258609},    {7, 5, 0.1558046279},  {4, 6, -2.740652563},  {6, 6, 0.4983771706},
    {4, 7, -3.261978564},     {5, 7, 1.609338784},   {1, 8, 0.03484674963}, {2, 8, -1.537646434},
    {5, 8, 0.2316225257},     {2, 9, -1.419249232},  {3, 9, 0.7969984635},  {5, 10, 0.007510544627},
    {1, 12, 0.0005364384732},
};

constexpr TableEntry kTableC[] = {
    {1, 1, 0.610938129},  {3, 1, -0.01906644459}, {5, 1, 0.007976092188}, {1, 2, 1.934466766},
    {1, 3, 1.921820547},  {3, 3, -0.0441010591},  {1, 4, 0.6130354419},   {2, 4, -0.2855258689},
    {5, 4, 0.0252613708}, {2, 5, -0.2374074642},  {4, 5, 0.03855866402},  {5, 5, 0.00804167215},
};

constexpr TableEntry kTableD[] = {
    {3, 1, -16.35439033},    {1, 2, -50.25818675},      {2, 4, 0.164900304},
    {1, 5, -0.8499893502},   {1, 9, 0.008314382544},    {2, 9, 0.0008781327858},
    {2, 10, 0.001537391213}, {3, 10, -0.0009016873786}, {5, 10, 0.0003326628664},
};

// Zeroes a rows x columns table, assigns the listed entries through the index check, and
// returns its non-zero entries in row-major order.
std::vector<TableEntry> fillTable(ErrorSlot& errors, uint32_t rows, uint32_t columns,
                                  std::span<const TableEntry> entries) {
  std::vector<double> dense(static_cast<std::size_t>(rows) * columns, 0.0);
  for (const TableEntry& e : entries) {
    const uint32_t i = check_index(errors, e.i - 1, rows);
    const uint32_t j = check_index(errors, e.j - 1, columns);
    dense[i * columns + j] = e.value;
  }
  std::vector<TableEntry> nonzero;
  for (uint32_t i = 0; i < rows; ++i)
    for (uint32_t j = 0; j < columns; ++j)
      if (const double v = dense[i * columns + j]; v != 0)
        nonzero.push_back({static_cast<int>(i + 1), static_cast<int>(j + 1), v});
  return nonzero;
}

// Reads list[1..] from the data reader, in order.
template <std::size_t N>
void readList(ErrorSlot& errors, DataReader& reader, std::array<double, N>& list) {
  for (std::size_t n = 1; n < N; ++n) list[n] = reader.read_number(errors);
}

}  // namespace

Constants setupConstants(ErrorSlot& errors) {
  Constants k;
  DataReader reader(kCalculatorDataText);
  readList(errors, reader, k.a);
  readList(errors, reader, k.b);
  readList(errors, reader, k.c);
  k.A = fillTable(errors, 7, 7, kTableA);
  k.B = fillTable(errors, 7, 12, kTableB);
  k.C = fillTable(errors, 5, 5, kTableC);
  k.D = fillTable(errors, 5, 10, kTableD);
  return k;
}

}  // namespace aqsol
