// Physical constants and coefficient tables of the water and solute models.
#include "calculator/constants.hpp"

#include <span>

#include "calculator/eos_tables.hpp"
#include "services/data_reader.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {

const char kCalculatorDataText[] =
    "-7.85823,1.83991,-11.7811,22.6705,-15.9393,1.77516,1.99206,1.10123,-5.12506E-1,-1.75263,"
    "-45.4485,-6.75615E5,7.07501275112,-8.34240569963,-0.364601380,-0.036897043,0.003033815,"
    "0.000390109,0.113592870,2.413178500";

namespace {

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
