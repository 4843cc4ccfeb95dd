/* CO2 at 25 C and 1 bar, then along the saturation curve, through the aqsol C library.
 * cc co2.c $(pkg-config --cflags --libs aqsol) -o co2 */
#include <aqsol/aqsol.h>
#include <stdio.h>

int main(void) {
  aqsol_values v;
  char why[AQSOL_MESSAGE_SIZE];
  if (aqsol_properties("CO2", 25, 1, &v, why, sizeof why) != AQSOL_OK) {
    fprintf(stderr, "%s\n", why);
    return 1;
  }
  printf("aqsol %s: CO2 at 25 C and 1 bar: lnkH = %.17g (%s)\n", aqsol_version(), v.lnkH,
         aqsol_phase_name(v.phase));

  enum { kStates = 4 };
  const double T_C[kStates] = {25, 100, 200, 400};
  const double P_bar[kStates] = {AQSOL_SAT, AQSOL_SAT, AQSOL_SAT, AQSOL_SAT};
  aqsol_values along[kStates];
  int statuses[kStates];
  char messages[kStates][AQSOL_MESSAGE_SIZE];
  if (aqsol_properties_many("CO2", kStates, T_C, P_bar, 0, along, statuses, &messages[0][0]) !=
      AQSOL_OK) {
    fprintf(stderr, "%s\n", messages[0]);
    return 1;
  }
  for (int n = 0; n < kStates; ++n) {
    if (statuses[n] == AQSOL_OK)
      printf("%g C, %.17g bar: lnkH = %.17g\n", T_C[n], along[n].P_bar, along[n].lnkH);
    else
      printf("%g C: %s\n", T_C[n], messages[n]);
  }
  return 0;
}
