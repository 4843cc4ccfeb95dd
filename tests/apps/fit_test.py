"""aqsol-fit: a solute's own Henry constants give its parameters back, and its species row
gives aqsol-table's rows; data that cannot be fitted, and bad lines, are refused plainly.

usage: fit_test.py AQSOL_FIT AQSOL_TABLE   (run by ctest)"""
import csv
import io
import math
import os
import subprocess
import sys
import tempfile
import unittest

FIT = TABLE = ""


def run(*args, stdin=None):
    return subprocess.run(args, input=stdin, capture_output=True, text=True)


class Fit(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_a_solutes_own_henry_constants_give_its_parameters_back(self):
        table = run(TABLE, "--solute", "H2S", "--T", "0:300:25", "--P", "sat,300").stdout
        rows = list(csv.DictReader(io.StringIO(table)))
        data = "T_C P_bar kH_bar\n" + "".join(
            f"{r['T_C']} {r['P_bar']} {2.718281828459045 ** float(r['lnkH'])!r}\n" for r in rows)
        fitted = run(FIT, "--data", "-", "--name", "MyH2S", "--like", "H2S", "--row",
                     self.path("row.csv"), "--plot", self.path("fit.png"), stdin=data)
        self.assertEqual(fitted.returncode, 0, fitted.stderr)
        values = {line.split()[0]: float(line.split()[1]) for line in fitted.stdout.splitlines()
                  if line.split()[:1] in (["xi"], ["a"], ["b"]) and len(line.split()) == 3}
        self.assertAlmostEqual(values["xi"], -0.2102, delta=1e-9)
        self.assertAlmostEqual(values["a"], -11.2303, delta=1e-8)
        self.assertAlmostEqual(values["b"], 12.6104, delta=1e-8)
        with open(self.path("fit.png"), "rb") as png:  # measured and fitted, drawn by gnuplot
            self.assertEqual(png.read(4), b"\x89PNG")
        mine = run(TABLE, "--species", self.path("row.csv"), "--solute", "MyH2S", "--T", "25,150",
                   "--P", "1,100").stdout
        theirs = run(TABLE, "--solute", "H2S", "--T", "25,150", "--P", "1,100").stdout
        for a, b in zip(csv.DictReader(io.StringIO(mine)), csv.DictReader(io.StringIO(theirs))):
            for column in ("lnkH", "V2", "Cp2", "Gaq", "S2"):
                self.assertAlmostEqual(float(a[column]), float(b[column]),
                                       delta=1e-9 * abs(float(b[column])), msg=column)
            self.assertEqual(a["range"], "", "inside the fitted temperatures")

    def test_mole_fractions_and_molalities_give_the_same_fit(self):
        rows = list(csv.DictReader(io.StringIO(run(TABLE, "--solute", "O2", "--T", "0:300:25",
                                                   "--P", "sat").stdout)))
        mw = 18.0152
        forms = {"T_C P_bar lnkH": lambda r: r["lnkH"],
                 "T_C P_bar x p_gas_bar": lambda r: f"{2.0 / math.exp(float(r['lnkH']))!r} 2",
                 "T_C P_bar m f_gas_bar": lambda r:
                     f"{0.5 / (math.exp(float(r['lnkH'])) * mw / 1000)!r} 0.5"}
        fits = []
        for header, value in forms.items():
            data = header + "\n" + "".join(f"{r['T_C']} sat {value(r)}\n" for r in rows)
            out = run(FIT, "--data", "-", "--name", "O2x", "--like", "O2", stdin=data)
            self.assertEqual(out.returncode, 0, out.stderr)
            fits.append([float(line.split()[1]) for line in out.stdout.splitlines()[1:4]])
        for fit in fits[1:]:
            for ours, theirs in zip(fit, fits[0]):
                self.assertAlmostEqual(ours, theirs, delta=1e-9 * abs(theirs))

    def test_data_that_cannot_be_fitted_are_refused(self):
        one = "T_C,P_bar,lnkH\n" + "25,1,7.39\n" * 5
        result = run(FIT, "--data", "-", "--name", "X", "--like", "CO2", stdin=one)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot tell xi, a and b apart", result.stderr)
        few = "T_C,P_bar,lnkH\n25,1,7.39\n50,1,7.8\n"
        result = run(FIT, "--data", "-", "--name", "X", "--like", "CO2", stdin=few)
        self.assertEqual(result.returncode, 1)
        self.assertIn("at least 4 points", result.stderr)
        for data, message in (("T_C,P_bar,lnkH\n25,1,seven\n", "standard input:2: lnkH: not a"),
                              ("T_C,P_bar\n25,1\n", "give one of lnkH, a positive kH_bar"),
                              ("T_C,P_bar,kH_bar\n25,1,-3\n", "give one of lnkH, a positive"),
                              ("T_C,P_bar,lnkH,kH_bar\n25,1,7,1000\n", "give one of lnkH"),
                              ("T_C,P_bar,x,p_gas_bar\n25,1,1.5,1\n", "x (0 < x < 1)")):
            result = run(FIT, "--data", "-", "--name", "X", "--like", "CO2", stdin=data)
            self.assertEqual(result.returncode, 2, data)
            self.assertIn(message, result.stderr)
        result = run(FIT, "--data", "-", "--name", "X", "--like", "CO2", "--plot", "fit.gif",
                     stdin=few)
        self.assertEqual(result.returncode, 2)
        self.assertIn("--plot: 'fit.gif' must end in .png, .svg or .pdf", result.stderr)
        result = run(FIT, "--data", "-", "--name", "X", stdin="T_C,P_bar,lnkH\n")
        self.assertEqual(result.returncode, 2)
        self.assertIn("the ideal-gas data are needed", result.stderr)


if __name__ == "__main__":
    FIT, TABLE = (os.path.abspath(a) for a in sys.argv[1:3])
    del sys.argv[1:3]
    unittest.main()
