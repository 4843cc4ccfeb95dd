// The calculator routine: banner, units note and solute menu, then the passes of date line,
// temperature and pressure entry, water results and solute results.
#include "dialogue/calculator_dialogue.hpp"

#include <cmath>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "calculator/constants.hpp"
#include "calculator/infinite_dilution.hpp"
#include "calculator/solutes.hpp"
#include "calculator/water.hpp"
#include "console/line_input.hpp"
#include "console/number_text.hpp"
#include "console/picture_format.hpp"
#include "services/clock_text.hpp"

namespace aqsol {
namespace {

// Code page 437 box characters of the banner.
constexpr char kTopLeft = '\xC9', kHorizontal = '\xCD', kTopRight = '\xBB', kVertical = '\xBA',
               kBottomLeft = '\xC8', kBottomRight = '\xBC';

constexpr std::string_view kBannerTitle =
    " Q. Zorvatin        Non electrolytes in Water - Mixtures      January 2002 ";
constexpr std::string_view kUnitsNote =
    "        NB: kH in bars, volumes in ccm, energies in cal, K in bar/(mol/kg)";
constexpr std::string_view kMenu[] = {
    "                                     Solutes",
    "           H2(1) N2(2) O2(3) H2S(4) CO2(5) Ar(6) Ne(7) NH3(8)  SO2(9)",
    "             CH4(10) C2H4(11) C2H6(12) C3H8(13) C4H10(14) C6H6(15) ",
    "                HCl(16)  HF(17)  H3BO3(18)  H3AsO3(19) H2Se(20)",
};
constexpr std::string_view kMenuQuestion =
    "                        Which gas do you wish to specify";

constexpr int kSoluteCount = 20;
constexpr double kBeepFrequency = 100;  // Hz
constexpr double kBeepDuration = 1;     // clock ticks
constexpr int kDateColumn = 46;
constexpr int kPressureColumn = 33;
constexpr int kPressureUsedColumn = 70;

// Statement numbers that the hook receives, and so the error boxes show.
enum Line : int32_t {
  kLineBanner = 10,
  kLineConstants = 20,
  kLineUnits = 30,
  kLineMenu = 40,
  kLineMenuEntry = 60,
  kLineDate = 70,
  kLineTemperaturePrompt = 80,
  kLineBeep = 90,
  kLineTemperatureEntry = 100,
  kLineTemperatureValue = 105,
  kLinePressurePrompt = 110,
  kLinePressureEntry = 120,
  kLinePressureValue = 125,
  kLineStart = 130,
  kLinePressureUsed = 140,
  kLineWater = 150,
  kLineWaterResults1 = 160,
  kLineWaterResults2 = 170,
  kLineFailedState = 175,
  kLineSolute = 180,
  kLineSoluteResults1 = 190,
  kLineSoluteResults2 = 200,
};

// Return points of the dialogue's subroutines.
enum ReturnPoint : int32_t { kReturnFromWater = 1, kReturnFromSolute = 2 };

// The dialogue's variables, carved once from the variable pool.
struct Variables {
  double solute_number;
  double tC;  // temperature, Celsius
  double P;   // pressure, bar; 0 selects the saturation pressure
  WaterState water;
  SoluteParams solute;
  SoluteResults results;
  WaterOutcome water_outcome;
  const char* too_large;  // the entry too large to be a number, or null
};

class Dialogue {
 public:
  explicit Dialogue(Runtime& rt)
      : rt_(rt),
        st_(rt.strings),
        con_(rt.console),
        v_(*new (rt.pool.pool_take(sizeof(Variables))) Variables{}),
        temperature_text_(st_.string_new(0, false)),
        pressure_text_(st_.string_new(0, false)) {}

  [[noreturn]] void run() {
    banner();
    statement(kLineConstants, [&] { k_ = setupConstants(rt_.errors); });
    units_and_menu();
    choose_solute();
    for (;;) pass();
  }

 private:
  // One statement: its body, the release of its temporaries, and the hook when an event waits.
  template <typename Body>
  void statement(int32_t line, Body body) {
    body();
    st_.temporaries_release(1, 0);
    if (rt_.host.event_pending()) rt_.host.hook(line);
  }

  // A printed item: a statement-local copy, fitted onto the line and printed.
  void item(RuntimeString* value) {
    RuntimeString* local = st_.string_new(0, false);
    st_.string_assign(local, value);
    if (!rt_.errors.has_error()) {
      print_fit_check(con_, local);
      print_string(con_, local, 0);
    }
    st_.string_free(local);
  }
  void item(std::string_view text) {
    item(st_.string_from_literal(text.data(), static_cast<uint32_t>(text.size())));
  }
  void item(const std::string& text) {
    RuntimeString* s = st_.string_new(static_cast<uint32_t>(text.size()), true);
    std::copy(text.begin(), text.end(), s->data);
    item(s);
  }
  void end_line() { print_string(con_, st_.shared_empty(), 1); }

  // A number through a picture, printed without the fit check; `newline` ends the line.
  template <typename Number>
  void formatted(std::string_view picture, Number value, int newline = 0) {
    RuntimeString* out = st_.string_new(0, false);
    const RuntimeString* pic =
        st_.string_from_literal(picture.data(), static_cast<uint32_t>(picture.size()));
    if constexpr (std::is_same_v<Number, long double>)
      format_extended(st_, pic, value, 0, out);
    else
      format_double(st_, pic, value, 0, out);
    if (!rt_.errors.has_error()) print_string(con_, out, newline);
    st_.string_free(out);
  }

  // "? " and one line input into `target`; a stop requested meanwhile ends the routine here.
  void entry(const InputTarget& target, int newline) {
    item(std::string_view("? "));
    line_input(con_, rt_.host, std::span(&target, 1), newline);
    if (rt_.host.stop_requested()) rt_.host.stop();
  }

  // A subroutine entered with its return point on the return stack.
  template <typename Body>
  void subroutine(int32_t point, Body body) {
    rt_.returns.call(point);
    body();
    rt_.returns.return_point();
  }

  void banner() {
    const std::string rule(75, kHorizontal);
    statement(kLineBanner, [&] {
      item(" " + std::string(1, kTopLeft) + rule + kTopRight + " ");
      end_line();
      item(" " + std::string(1, kVertical) + std::string(kBannerTitle) + kVertical + " ");
      end_line();
      item(" " + std::string(1, kBottomLeft) + rule + kBottomRight + " ");
      end_line();
    });
  }

  void units_and_menu() {
    statement(kLineUnits, [&] {
      item(kUnitsNote);
      end_line();
      end_line();
    });
    statement(kLineMenu, [&] {
      for (std::string_view line : kMenu) {
        item(line);
        end_line();
      }
      item(kMenuQuestion);
    });
  }

  // Asks until the number is a whole number from 1 to 20, then selects that solute.
  void choose_solute() {
    for (;;) {
      statement(kLineMenuEntry, [&] { entry({kInputDouble, &v_.solute_number}, 0); });
      const double n = v_.solute_number;
      if (n >= 1 && n <= kSoluteCount && n == std::floor(n)) break;
    }
    selectSolute(v_.solute_number, v_.solute);
  }

  void pass() {
    statement(kLineDate, [&] {
      item(tab_to(con_, kDateColumn));
      item(std::string_view("  Date "));
      item(date_text(rt_.errors));
      item(std::string_view("  Time  "));
      item(time_text(rt_.errors));
      end_line();
    });
    enter_temperature();
    enter_pressure();
    statement(kLineStart, [&] {
      v_.water_outcome = {waterStart(k_, v_.water, rt_.errors), WaterStep::kStart, v_.water.T,
                          v_.water.P};
    });
    statement(kLinePressureUsed, [&] {
      locate(con_, cursor_row_query(con_) - 1, kPressureUsedColumn, 0, 0, 0,
             kLocateRow | kLocateColumn);
      formatted(" ####.##", v_.water.P, 1);
    });
    if (v_.too_large != nullptr)
      return failed_state(std::string("the ") + v_.too_large + " is too large to be a number");
    if (v_.water_outcome.status != WaterStatus::kNoSaturationPressure)
      statement(kLineWater, [&] {
        subroutine(kReturnFromWater,
                   [&] { v_.water_outcome = solveWater(k_, v_.water, rt_.errors); });
      });
    // A runtime error has shown its box; the pass goes on with what was computed.
    const WaterStatus status = v_.water_outcome.status;
    if (status != WaterStatus::kOk && status != WaterStatus::kRuntimeError)
      return failed_state(waterOutcomeMessage(v_.water_outcome, rt_.errors));
    water_results();
    statement(kLineSolute, [&] {
      subroutine(kReturnFromSolute, [&] {
        v_.results = computeInfiniteDilution(k_, v_.water, v_.solute, rt_.errors);
      });
    });
    solute_results();
  }

  // The number of a non-empty entry; an empty one keeps `value`. A text whose number is too
  // large for a double keeps it too, and marks the pass as failed, naming the entry `what`.
  void take_number(const RuntimeString* text, double& value, const char* what) {
    if (!StringStorage::string_not_equal(text, st_.string_from_text(""))) return;
    const double number = static_cast<double>(text_to_number(rt_.errors, text->view()));
    if (std::isfinite(number))
      value = number;
    else
      v_.too_large = what;
  }

  void enter_temperature() {
    v_.too_large = nullptr;
    statement(kLineTemperaturePrompt, [&] {
      item(std::string_view(" Temp in C ="));
      formatted("####.##", v_.tC);
    });
    statement(kLineBeep, [&] { rt_.host.sound(kBeepFrequency, kBeepDuration); });
    statement(kLineTemperatureEntry, [&] { entry({kInputString, temperature_text_}, 0); });
    statement(kLineTemperatureValue, [&] {
      take_number(temperature_text_, v_.tC, "temperature");
      v_.water.T = v_.tC + k_.T0K;
    });
  }

  void enter_pressure() {
    statement(kLinePressurePrompt, [&] {
      locate(con_, 0, kPressureColumn, 0, 0, 0, kLocateColumn);
      item(std::string_view(" Press in bar = "));
      formatted("####.##", v_.P);
      item(std::string_view(" (0 for Psat) "));
    });
    statement(kLinePressureEntry, [&] { entry({kInputString, pressure_text_}, 1); });
    statement(kLinePressureValue, [&] {
      take_number(pressure_text_, v_.P, "pressure");
      v_.water.P = v_.P;
    });
  }

  // The pressure that waterStart chose (the saturation pressure for an entered 0) is the
  // default of the next pass.
  void keep_pressure_used() { v_.P = v_.water.P; }

  void failed_state(const std::string& why) {
    keep_pressure_used();
    statement(kLineFailedState, [&] {
      item("  " + why);
      end_line();
    });
  }

  void water_results() {
    keep_pressure_used();
    const WaterState& w = v_.water;
    statement(kLineWaterResults1, [&] {
      item(std::string_view("  lnfH2O = "));
      formatted("###.####", w.lnf1);
      item(std::string_view("    dH2O = "));
      formatted("##.####", w.rho);
      item(std::string_view("    VH2O = "));
      formatted("####.###", w.V1);
      item(std::string_view("    CpH2O = "));
      formatted("####.###", w.Cp1, 1);
    });
    statement(kLineWaterResults2, [&] {
      item(std::string_view("  ddH2O/dPbar = "));
      formatted("##.###^^^^", w.drho_dP);
      item(std::string_view("  ddH2O/dTK = "));
      formatted("##.###^^^^", w.drho_dT);
      item(std::string_view("  d2dH2O/dTK2 = "));
      formatted("##.###^^^^", w.d2rho_dT2, 1);
    });
  }

  void solute_results() {
    const SoluteResults& r = v_.results;
    statement(kLineSoluteResults1, [&] {
      item(std::string_view("  Component "));
      item(std::string(v_.solute.name));
      item(std::string_view("   lnkH = "));
      formatted("####.###", r.lnkH);
      item(std::string_view("    V2 = "));
      formatted("#####.###", r.V2);
      item(std::string_view("    Cp2 = "));
      formatted("#####.###", r.Cp2, 1);
    });
    statement(kLineSoluteResults2, [&] {
      item(std::string_view("    Gaq = "));
      formatted("#######.#", r.Gaq);
      item(std::string_view(" cal "));
      item(std::string_view("    S2 = "));
      formatted("#####.###", r.S2);
      item(std::string_view("    K(aq=>gas) = "));
      formatted(" #######.###", kAqToGas(k_, r.lnkH, rt_.errors), 1);
    });
  }

  Runtime& rt_;
  StringStorage& st_;
  Console& con_;
  Variables& v_;
  RuntimeString* temperature_text_;
  RuntimeString* pressure_text_;
  Constants k_;
};

}  // namespace

void run_calculator_dialogue(Runtime& runtime) {
  Dialogue dialogue(runtime);
  dialogue.run();
}

}  // namespace aqsol
