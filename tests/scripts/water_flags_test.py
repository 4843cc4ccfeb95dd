"""The water flags hold what they say: on a grid offset from the one the tables were made on
(other temperatures, random pressures, random distances from the saturation pressure), every
state of aqsol-table without a water flag agrees with IAPWS-95 within the stated tolerances:
1 % in density, 5 % in Cp, d rho/dP, d rho/dT and d2rho/dT2.

usage: water_flags_test.py AQSOL_TABLE
"""
import importlib.machinery
import importlib.util
import os
import random
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import iapws95_states as iapws95  # noqa: E402

# The criterion of a departure is the one scripts/make-validity-tables makes the tables with.
_LOADER = importlib.machinery.SourceFileLoader(
    "validity_tables_script", os.path.join(os.path.dirname(iapws95.__file__),
                                           "make-validity-tables"))
TABLES = importlib.util.module_from_spec(importlib.util.spec_from_loader(_LOADER.name, _LOADER))
_LOADER.exec_module(TABLES)

TABLE = None
WATER_FLAGS = {"ice", "metastable", "beyond-eos", "water-deviates"}


def run_table(arguments, stdin=None):
    import subprocess
    out = subprocess.run([TABLE, *arguments, "--quiet"], input=stdin, capture_output=True,
                         text=True, check=True).stdout.splitlines()
    header = out[0].split(",")
    return [dict(zip(header, line.split(",", len(header) - 1))) for line in out[1:]]


def offset_states(seed=20261208):
    """(T C, P bar) pairs: every 1.7 K from -90.3 C with 40 log-uniform pressures from 1e-3 to
    1e4 bar, and 12 more within 5 % of the saturation pressure below the critical point."""
    rng = random.Random(seed)
    temps = [round(-90.3 + 1.7 * n, 6) for n in range(int((999.9 + 90.3) / 1.7) + 1)]
    psat = {float(r["T_C"]): float(r["P_bar"])
            for r in run_table(["--T", ",".join(map(repr, [t for t in temps if t < 373.9])),
                                "--P", "sat"]) if r["P_bar"]}
    states = []
    for t in temps:
        states += [(t, 10 ** rng.uniform(-3, 4)) for _ in range(40)]
        if t in psat:
            states += [(t, psat[t] * (1 + rng.choice((-1, 1)) * 10 ** rng.uniform(-5, -1.3)))
                       for _ in range(12)]
    return states


class WaterFlags(unittest.TestCase):
    def test_every_unflagged_state_agrees_with_iapws95(self):
        states = offset_states()
        text = "T_C,P_bar\n" + "".join(f"{t!r},{p!r}\n" for t, p in states)
        rows = run_table(["--states", "-"], stdin=text)
        unflagged = [(s, r) for s, r in zip(states, rows)
                     if r["status"] == "ok" and not WATER_FLAGS & set(r["range"].split())]
        self.assertGreater(len(unflagged), len(states) // 2)
        T = np.array([s[0] for s, _ in unflagged]) + 273.15
        P = np.array([s[1] for s, _ in unflagged])
        ours = {c: np.array([float(r[c]) for _, r in unflagged])
                for c in ("rho", "Cp_H2O", "drho_dP", "drho_dT", "d2rho_dT2")}
        ref = iapws95.water(T, P, ours["rho"] * 1000 / iapws95.RHOC)
        # The tolerances themselves, at their full size (the tables apply 80 % of them).
        departs = TABLES.departures(ours, ref, T, scale=1.0)
        failures = [f"{T[n] - 273.15:.2f} C, {P[n]:.6g} bar: ours " +
                    ", ".join(f"{c} {ours[c][n]:.6g}" for c in ours) + "; IAPWS-95 " +
                    ", ".join(f"{c} {ref[c][n]:.6g}" for c in ("rho", "Cp", "drho_dP", "drho_dT",
                                                               "d2rho_dT2"))
                    for n in np.where(departs)[0][:5]]
        self.maxDiff = None
        self.assertEqual(failures, [], f"{len(unflagged)} unflagged states")

    def test_the_states_the_reviewers_named(self):
        def flags(solute, T, P):
            return run_table(["--solute", solute, "--T", T, "--P", P])[0]["range"]
        self.assertIn("reference-deviates", flags("Ne", "200", "sat"))
        self.assertIn("unreferenced", flags("HCl", "25", "1"))
        self.assertEqual(flags("CO2", "25", "1"), "")
        for T, P in (("200", "15.52"), ("430", "400"), ("359", "184.6"), ("620", "10000")):
            self.assertIn("water-deviates", flags("H2", T, P), (T, P))


if __name__ == "__main__":
    TABLE = sys.argv.pop(1)
    unittest.main()
