/* aqsol: properties of water and of dissolved gases and neutral solutes at infinite dilution in
 * water, from C (and from anything with a C interface: C++, Fortran, R, Julia ...).
 *
 * Every function may be called from any thread at any time; none keeps an error state between
 * calls. Units are those of aqsol-table's default columns: C, bar, g/cm3, cm3/mol, cal/mol,
 * cal/(mol K), ln of fugacities and Henry constants in bar. Link with -laqsol (pkg-config
 * aqsol; CMake: find_package(aqsol) and aqsol::aqsol). */
#ifndef AQSOL_AQSOL_H
#define AQSOL_AQSOL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What a call returns. */
enum aqsol_status {
  AQSOL_OK = 0,           /* the state was computed */
  AQSOL_NOT_COMPUTED = 1, /* the state could not be computed: its values are NaN and the
                             message says why (no stable root, no saturation pressure ...) */
  AQSOL_BAD_ARGUMENT = 2, /* an unknown solute, a temperature at or below -273.15 C, a
                             negative or non-finite pressure, a thread count beyond 256, a
                             null pointer; nothing done */
  AQSOL_OUT_OF_MEMORY = 3 /* nothing done */
};

/* Bits of aqsol_values.range: 0 where every column was compared with a reference and agreed
 * within the stated tolerance; else why not (the values are still given). Their names are
 * those of aqsol-table's range column (aqsol_range_flag_name). */
enum aqsol_range_flag {
  AQSOL_RANGE_ICE = 1,                  /* the stable phase of water is a solid */
  AQSOL_RANGE_METASTABLE = 2,           /* across the saturation curve from the stable phase */
  AQSOL_RANGE_BEYOND_EOS = 4,           /* above 1,000 C or 10,000 bar, or below -95 C */
  AQSOL_RANGE_WATER_DEVIATES = 8,       /* the water departs from IAPWS-95 (1 % rho, 5 % Cp
                                           and the derivatives of rho) */
  AQSOL_RANGE_SOLUTE_EXTRAPOLATED = 16, /* outside the solute's compared temperatures */
  AQSOL_RANGE_REFERENCE_DEVIATES = 32,  /* ln kH departs from its reference by over 0.1 */
  AQSOL_RANGE_UNREFERENCED = 64,        /* ln kH was compared with no reference */
  /* The bit of the former near-critical box, which the water's comparison now draws. */
  AQSOL_RANGE_NEAR_CRITICAL = AQSOL_RANGE_WATER_DEVIATES
};

/* aqsol_values.phase. */
enum aqsol_phase {
  AQSOL_PHASE_NONE = -1, /* the state was not computed */
  AQSOL_PHASE_LIQUID = 0,
  AQSOL_PHASE_VAPOUR = 1,
  AQSOL_PHASE_SUPERCRITICAL = 2
};

/* The pressure that stands for the saturation pressure at the temperature. */
#define AQSOL_SAT 0.0

/* The longest message, its terminating zero included. */
#define AQSOL_MESSAGE_SIZE 256

/* One computed state: aqsol-table's columns, in their order. The solute's values are NaN for
 * water alone (a null solute), every value NaN for a state that was not computed (P_bar too
 * when no pressure could be found). */
typedef struct aqsol_values {
  double T_C;       /* temperature, C */
  double P_bar;     /* pressure of the state (the saturation pressure for AQSOL_SAT), bar */
  double rho;       /* density of pure water, g/cm3 */
  double drho_dP;   /* (d rho/dP) at constant T, g/(cm3 bar) */
  double drho_dT;   /* (d rho/dT) at constant P, g/(cm3 K) */
  double d2rho_dT2; /* (d2 rho/dT2) at constant P, g/(cm3 K2) */
  double V_H2O;     /* molar volume of pure water, cm3/mol */
  double Cp_H2O;    /* isobaric molar heat capacity of pure water, cal/(mol K) */
  double lnf_H2O;   /* ln of the fugacity of pure water, f in bar */
  double lnkH;      /* ln of the Henry constant (mole-fraction scale), kH in bar */
  double V2;        /* partial molar volume of the solute at infinite dilution, cm3/mol */
  double Cp2;       /* partial molar heat capacity of the solute, cal/(mol K) */
  double Gaq;       /* Gibbs energy of the dissolved solute (1 mol/kg standard state), cal/mol */
  double S2;        /* partial molar entropy of the dissolved solute, cal/(mol K) */
  double K_aq_gas;  /* kH Mw/1000, bar/(mol/kg) */
  int phase;        /* enum aqsol_phase */
  unsigned range;   /* enum aqsol_range_flag bits; 0 where the model was shown to work */
} aqsol_values;

/* The version, as "1.0.0". */
const char* aqsol_version(void);

/* The processor path in use: "avx512", "avx2" or "baseline" (AQSOL_LANES=1, 4 or 8 in the
   environment chooses a narrower one). Every path gives the same bits. */
const char* aqsol_cpu_target(void);

/* The number of solutes (20), and the name of solute `index` (0 to count - 1, menu order; the
 * menu number is index + 1), or NULL. */
int aqsol_solute_count(void);
const char* aqsol_solute_name(int index);

/* The index of the solute a text names (a name in any case, or a menu number 1-20 in plain
 * decimal digits), or -1. */
int aqsol_solute_index(const char* solute);

/* The name of a range flag bit ("ice" ...) and of a phase ("liquid" ...), or NULL. */
const char* aqsol_range_flag_name(unsigned flag);
const char* aqsol_phase_name(int phase);

/* One state. `solute` is a name in any case ("CO2", "co2") or a menu number ("5"); NULL (or
 * "") for the water alone. `P_bar` is a pressure in bar or AQSOL_SAT. Returns the status; `message`
 * (may be NULL) receives "ok" or why, cut to `message_size` bytes with a terminating zero. */
int aqsol_properties(const char* solute, double T_C, double P_bar, aqsol_values* values,
                     char* message, size_t message_size);

/* `count` states at once, on `threads` threads (0: one per core; at most 256), with the same
 * numbers as one at a time. `T_C`, `P_bar` and `values` hold `count` entries; `statuses` (may be
 * NULL) receives each state's status, and `messages` (may be NULL) `count` messages of
 * AQSOL_MESSAGE_SIZE bytes each. The arrays written (`values`, `statuses`, `messages`) must not
 * overlap each other or `T_C` and `P_bar` (which may be one array): overlapping ones are refused
 * with AQSOL_BAD_ARGUMENT. Returns AQSOL_OK when every argument was good (states that could not be
 * computed included: see `statuses`), else AQSOL_BAD_ARGUMENT or AQSOL_OUT_OF_MEMORY with nothing
 * computed; the first message (when `messages` is not NULL) then says why. */
int aqsol_properties_many(const char* solute, size_t count, const double* T_C, const double* P_bar,
                          unsigned threads, aqsol_values* values, int* statuses, char* messages);

/* Solutes of your own: a set holding the built-in solutes and those species files add (or
 * replace, where a file says so). docs/model.md describes the files' columns. A set is read by
 * any number of threads at once once its files are read; each set is its own, with no state
 * shared between them. */
typedef struct aqsol_species aqsol_species;

/* A new set of the built-in solutes, or NULL when out of memory. */
aqsol_species* aqsol_species_new(void);

/* Adds a species file's solutes to the set. Returns AQSOL_OK, or AQSOL_BAD_ARGUMENT (the file
 * unreadable, or "FILE:LINE: why" for its first bad line, nothing added) or AQSOL_OUT_OF_MEMORY;
 * `message` (may be NULL; AQSOL_MESSAGE_SIZE bytes) says which. Not while the set is in use. */
int aqsol_species_read(aqsol_species* species, const char* file, char* message);

/* Frees the set (NULL is ignored). */
void aqsol_species_free(aqsol_species* species);

/* The name of the solute `solute` names in the set (NULL: the built-in solutes), as written in
 * its record ("co2" and "5" give "CO2"), or NULL where it names none. Lives as long as the set. */
const char* aqsol_species_solute_name(const aqsol_species* species, const char* solute);

/* Whether aqsol_species_properties_in_units would take a request: `solute` of the set
 * `species` (NULL: the built-in solutes; NULL or "" for water alone), one state (P in the
 * pressure unit of `units`, 0 for the saturation pressure) and a thread count (0: one per core, at
 * most 256). Returns AQSOL_OK, or AQSOL_BAD_ARGUMENT with the reason in `message` (may be NULL;
 * AQSOL_MESSAGE_SIZE bytes), word for word as aqsol-table and the Python module give it. For
 * interfaces that check their arguments before computing. */
int aqsol_check_request(const aqsol_species* species, unsigned units, const char* solute,
                        double T_C, double P, long long threads, char* message);

/* Units of aqsol_species_properties_in_units, as bits: 0 the calculator's own (cal, cm3, g/cm3,
 * bar); AQSOL_UNITS_SI J, m3 and kg/m3, as aqsol-table's --units si; AQSOL_PRESSURE_MPA the
 * pressures asked for and given (the field P_bar then holds MPa) and every quantity per
 * pressure or in ln of a pressure in MPa, as --pressure-unit MPa. Temperatures stay in C. */
enum aqsol_units { AQSOL_UNITS_SI = 1, AQSOL_PRESSURE_MPA = 2 };

/* aqsol_properties_many with the solutes of a set (NULL: the built-in ones). */
int aqsol_species_properties_many(const aqsol_species* species, const char* solute, size_t count,
                                  const double* T_C, const double* P_bar, unsigned threads,
                                  aqsol_values* values, int* statuses, char* messages);

/* aqsol_species_properties_many in `units` (aqsol_units bits; 0 as aqsol_properties_many):
 * `P` in the pressure unit they name, every value in their units, to the bit as aqsol-table
 * gives it with the same --units and --pressure-unit. */
int aqsol_species_properties_in_units(const aqsol_species* species, unsigned units,
                                      const char* solute, size_t count, const double* T_C,
                                      const double* P, unsigned threads, aqsol_values* values,
                                      int* statuses, char* messages);

/* The units bits of unit words, in any case: `units` "cal" or "si", `pressure_unit` "bar" or
 * "MPa" (NULL: the default of each). Returns AQSOL_OK, or AQSOL_BAD_ARGUMENT with the reason in
 * `message` (may be NULL; AQSOL_MESSAGE_SIZE bytes), as aqsol-table and Python word it. */
int aqsol_units_of(const char* units, const char* pressure_unit, unsigned* bits, char* message);

/* The name ("P_MPa", say) and the unit ("kg/m3"; "1" for the ln columns) of field `field` of
 * aqsol_values in `units` bits: 0 for T_C to 14 for K_aq_gas, in the order of the struct; NULL
 * for any other field. The strings live as long as the program. */
const char* aqsol_field_name(int field, unsigned units);
const char* aqsol_field_unit(int field, unsigned units);

#ifdef __cplusplus
}
#endif

#endif /* AQSOL_AQSOL_H */
