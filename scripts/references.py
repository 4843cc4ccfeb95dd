"""The independent references aqsol is compared with, for the scripts that compare: the Henry
constants of IAPWS G7-04 and the 25 C, 1 bar values of docs/reference/solutes_25C_1bar.csv.
The water's reference, IAPWS-95, is iapws95_states."""
import csv
import math
import os

import numpy as np

import iapws95_states as iapws95

# IAPWS G7-04, Table 2 (H2O): ln(kH/p1*) = A/Tr + B tau^0.355/Tr + C Tr^-0.41 exp(tau), with
# Tr = T/Tc, tau = 1 - Tr, p1* the vapour pressure of water; valid from Tmin to Tmax (K).
G704 = {
    "H2": (-4.73284, 6.08954, 6.06066, 273.15, 636.09),
    "N2": (-9.67578, 4.72162, 11.70585, 278.12, 636.46),
    "O2": (-9.44833, 4.43822, 11.42005, 274.15, 616.52),
    "CO2": (-8.55445, 4.01195, 9.52345, 274.19, 642.66),
    "Ar": (-8.40954, 4.29587, 10.52779, 273.19, 568.36),
    "Ne": (-3.18301, 5.31448, 5.43774, 273.20, 543.36),
    "CH4": (-10.44708, 4.66491, 12.12986, 275.46, 633.11),
    "C2H6": (-19.67563, 4.51222, 20.62567, 275.44, 473.46),
    "H2S": (-4.51499, 5.23538, 4.42126, 273.15, 533.09),
}

# The gases of IAPWS G7-04's Table 2 that aqsol has no built-in record of.
G704_OTHERS = {
    "He": (-3.52839, 7.12983, 4.47770, 273.21, 553.18),
    "Kr": (-8.97358, 3.61508, 11.29963, 273.19, 525.56),
    "Xe": (-14.21635, 4.00041, 15.60999, 273.22, 574.85),
    "CO": (-10.52862, 5.13259, 12.01421, 278.15, 588.67),
    "SF6": (-16.56118, 2.15289, 20.35440, 283.14, 505.55),
}

REFERENCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "reference",
                         "solutes_25C_1bar.csv")
RHO_25C = 997.05  # kg/m3, to turn a solubility per volume into one per mass of water


def g704_lnkH(solute, T_K):
    """ln kH (kH in bar, mole-fraction basis) of IAPWS G7-04 at T (K, a number or an array) on
    the saturation curve."""
    A, B, C, _, _ = G704[solute] if solute in G704 else G704_OTHERS[solute]

    def at(t):
        Tr = t / iapws95.TC
        tau = 1 - Tr
        return (iapws95.ln_vapour_pressure_bar(t) + A / Tr + B * tau ** 0.355 / Tr +
                C * Tr ** -0.41 * math.exp(tau))

    return iapws95.elementwise(at, T_K)


def reference_rows(path=REFERENCE):
    """The independent 25 C, 1 bar values: {solute: {column: float or None}}."""
    with open(path) as f:
        rows = csv.DictReader(line for line in f if not line.startswith("#"))
        return {r["solute"]: {k: float(v) if v else None for k, v in r.items() if k != "solute"}
                for r in rows}


def measured_K(row):
    """K (bar/(mol/kg)) from a reference row's Henry solubility Hcp in mol/(m3 Pa):
    K = rho_w/Hcp; None where the row has none."""
    return RHO_25C / row["K_sander"] * 1e-5 if row.get("K_sander") else None
