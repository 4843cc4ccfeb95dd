// Physical constants and coefficient tables of the water and solute models.
#include "calculator/constants.hpp"

#include "services/data_reader.hpp"
#include "services/guarded_math.hpp"

namespace aqsol {

const char kCalculatorDataText[] =
    "-7.85823,1.83991,-11.7811,22.6705,-15.9393,1.77516,1.99206,1.10123,-5.12506E-1,-1.75263,"
    "-45.4485,-6.75615E5,7.07501275112,-8.34240569963,-0.364601380,-0.036897043,0.003033815,"
    "0.000390109,0.113592870,2.413178500";

namespace {

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
  return k;
}

}  // namespace aqsol
