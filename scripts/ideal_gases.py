"""The ideal-gas data of the gases aqsol's species sets add, derived from the compilations:
gf298 (cal/mol), s298 (cal/(mol K)) and Cp = cpA + cpB 1e-3 T - cpC 1e5 / T^2 (cal/(mol K))
fitted over 273-1,000 K. Run it to see each record and the fit's error.

- He, Kr, Xe: monatomic ideal gases, Cp = 5R/2 exactly; elements, so no Gibbs energy of
  formation; S at 298.15 K from the CODATA Key Values for Thermodynamics (1989).
- CO: the enthalpy of formation and the entropies of CO, C(graphite) and O2 from the CODATA Key
  Values, which give its Gibbs energy of formation; Cp from the Shomate form of the NIST-JANAF
  Thermochemical Tables (4th edition, 1998) as the NIST Chemistry WebBook gives it, 298-1,300 K.
- SF6: the NASA polynomials of NASA Technical Memorandum 4513 (1993), 300-1,000 K, give Cp, the
  entropy and the enthalpy of formation at 298.15 K; with the CODATA entropies of S(rhombic) and
  F2, its Gibbs energy of formation.

usage: ideal_gases.py   (prints the records and the Cp fits' worst error)"""
import numpy as np

CAL = 4.184  # J per thermochemical calorie
R = 8.314462618  # J/(mol K)
T0 = 298.15

# CODATA Key Values: S at 298.15 K (J/(mol K)) and enthalpies of formation (kJ/mol).
CODATA_S = {"He": 126.153, "Kr": 164.085, "Xe": 169.685, "CO": 197.660, "C": 5.74,
            "O2": 205.152, "S": 32.054, "F2": 202.791}
CODATA_HF = {"CO": -110.53}

# NIST-JANAF, Shomate form: Cp = A + B t + C t^2 + D t^3 + E / t^2 (J/(mol K)), t = T/1000 K.
SHOMATE = {"CO": (25.56759, 6.096130, 4.054656, -2.671301, 0.131021)}

# NASA polynomials, 300-1,000 K: Cp/R = a1 + a2 T + ... + a5 T^4, H/RT = a1 + a2 T/2 + ... +
# a5 T^4/5 + a6/T (H holding the enthalpy of formation at 298.15 K), S/R = a1 ln T + a2 T + ...
# + a5 T^4/4 + a7.
NASA7 = {"SF6": (-3.8388088, 0.083221721, -1.3181689e-04, 9.9636154e-08, -2.9248767e-11,
                 -1.4836477e+05, 37.1611426)}

FIT_FROM_K, FIT_TO_K = 273.15, 1000.0


def compiled_cp(gas, T):
    """Cp (J/(mol K)) as the gas's compilation gives it."""
    T = np.asarray(T, dtype=float)
    if gas in NASA7:
        a = NASA7[gas]
        return R * (a[0] + a[1] * T + a[2] * T ** 2 + a[3] * T ** 3 + a[4] * T ** 4)
    A, B, C, D, E = SHOMATE[gas]
    t = T / 1000
    return A + B * t + C * t ** 2 + D * t ** 3 + E / t ** 2


def nasa7_at_298(gas):
    """(enthalpy of formation J/mol, entropy J/(mol K)) at 298.15 K from the NASA polynomial."""
    a, T = NASA7[gas], T0
    h = R * T * (a[0] + a[1] * T / 2 + a[2] * T ** 2 / 3 + a[3] * T ** 3 / 4 +
                 a[4] * T ** 4 / 5 + a[5] / T)
    s = R * (a[0] * np.log(T) + a[1] * T + a[2] * T ** 2 / 2 + a[3] * T ** 3 / 3 +
             a[4] * T ** 4 / 4 + a[6])
    return float(h), float(s)


def cp_fit(gas):
    """(cpA, cpB, cpC) in cal/(mol K) fitted by least squares to the compilation's Cp over
    273-1,000 K, and the fit's worst error there (J/(mol K))."""
    T = np.linspace(FIT_FROM_K, FIT_TO_K, 500)
    design = np.column_stack([np.ones_like(T), 1e-3 * T, -1e5 / T ** 2])
    cp = compiled_cp(gas, T) / CAL
    coefficients, *_ = np.linalg.lstsq(design, cp, rcond=None)
    worst = np.max(np.abs(design @ coefficients - cp)) * CAL
    return tuple(float(c) for c in coefficients), float(worst)


def record(gas):
    """{gf298, s298, cpA, cpB, cpC} (cal units) of a gas, and the Cp fit's worst error (J)."""
    if gas in ("He", "Kr", "Xe"):
        return {"gf298": 0.0, "s298": CODATA_S[gas] / CAL, "cpA": 2.5 * R / CAL, "cpB": 0.0,
                "cpC": 0.0}, 0.0
    if gas == "CO":  # C(graphite) + 1/2 O2 -> CO
        hf, s = CODATA_HF["CO"] * 1000, CODATA_S["CO"]
        entropy_of_formation = s - CODATA_S["C"] - 0.5 * CODATA_S["O2"]
    else:  # S(rhombic) + 3 F2 -> SF6
        hf, s = nasa7_at_298(gas)
        entropy_of_formation = s - CODATA_S["S"] - 3 * CODATA_S["F2"]
    gf = (hf - T0 * entropy_of_formation) / CAL
    (a, b, c), worst = cp_fit(gas)
    return {"gf298": gf, "s298": s / CAL, "cpA": a, "cpB": b, "cpC": c}, worst


if __name__ == "__main__":
    for gas in ("He", "Kr", "Xe", "CO", "SF6"):
        data, worst = record(gas)
        print(gas, " ".join(f"{k}={v:.6g}" for k, v in data.items()),
              f"(Cp fit within {worst:.3f} J/(mol K) over 273-1000 K)")
