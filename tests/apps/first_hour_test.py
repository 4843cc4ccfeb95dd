"""What a new user meets first: every program's --help, --version and refusal of unknown
options; aqsol-table's tables of water alone, lists of states, the phase column, SI units and
plots broken at the saturation curve; the manual pages; and an install into a fresh prefix.

usage: first_hour_test.py AQSOL AQSOL_CONSOLE AQSOL_TABLE BUILD_FOLDER  (run by ctest)
"""
import csv
import io
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

AQSOL = CONSOLE = TABLE = BUILD = ""
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))
with open(os.path.join(ROOT, "VERSION")) as version_file:
    VERSION = version_file.read().strip()


def run(program, *args, stdin=None):
    return subprocess.run([program, *args], input=stdin, capture_output=True, timeout=60,
                          env={**os.environ, "DISPLAY": ""})


def table(*args, stdin=None):
    result = run(TABLE, *args, stdin=stdin)
    if result.returncode != 0:
        raise AssertionError(result.stderr.decode())
    return list(csv.DictReader(io.StringIO(result.stdout.decode())))


class EveryProgram(unittest.TestCase):
    def test_help_version_and_unknown_options(self):
        for program in (AQSOL, CONSOLE, TABLE):
            name = os.path.basename(program)
            with self.subTest(program=name):
                version = run(program, "--version")
                self.assertEqual(version.returncode, 0)
                self.assertTrue(version.stdout.decode().startswith(f"{name} {VERSION}\n"))
                helped = run(program, "--help")
                self.assertEqual(helped.returncode, 0)
                self.assertTrue(helped.stdout.decode().startswith(f"usage: {name}"))
                for bogus in ("--bogus", "-x", "stray"):
                    refused = run(program, bogus, stdin=b"")
                    self.assertEqual(refused.returncode, 2, bogus)
                    self.assertEqual(refused.stdout, b"", "the calculator never started")
                    self.assertIn(bogus.encode(), refused.stderr)

    def test_the_project_files_carry_the_one_version(self):
        with open(os.path.join(ROOT, "CITATION.cff")) as citation:
            self.assertIn(f'version: "{VERSION}"', citation.read())
        with open(os.path.join(ROOT, "CHANGELOG.md")) as changes:
            self.assertIn(f"## {VERSION} (", changes.read())

    def test_the_console_still_runs_with_its_own_option(self):
        result = run(CONSOLE, "--muted", stdin=b"5\n25\n1\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"25", result.stdout)


class WaterAlone(unittest.TestCase):
    def test_the_water_columns_only_the_same_values(self):
        water = table("--T", "25,100,400", "--P", "1,300")
        self.assertEqual(list(water[0]), ["T_C", "P_bar", "phase", "rho", "drho_dP", "drho_dT",
                                          "d2rho_dT2", "V_H2O", "Cp_H2O", "lnf_H2O", "range",
                                          "status"])
        with_solute = table("--solute", "CO2", "--T", "25,100,400", "--P", "1,300")
        for alone, both in zip(water, with_solute, strict=True):
            for key, value in alone.items():
                if key != "range":
                    self.assertEqual(value, both[key], key)
            self.assertNotIn("solute-extrapolated", alone["range"])
        self.assertNotIn("solute", json.loads(run(TABLE, "--T", "25", "--P", "1", "--format",
                                                  "json").stdout))

    def test_a_solute_column_needs_a_solute(self):
        result = run(TABLE, "--T", "25", "--P", "1", "--y", "lnkH", "--plot", "x.png")
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"--solute", result.stderr)


class StateLists(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def write(self, text):
        path = os.path.join(self.folder.name, "states.csv")
        with open(path, "w") as file:
            file.write(text)
        return path

    def test_one_row_per_pair_in_order_per_solute(self):
        path = self.write("# a well log\ndepth,T_C,P_bar\n10,25,1\n\n2000,300,sat\n500,150,50\n")
        rows = table("--solute", "CO2,CH4", "--states", path)
        self.assertEqual([(r["solute"], r["T_C"]) for r in rows],
                         [("CO2", "25"), ("CO2", "300"), ("CO2", "150"),
                          ("CH4", "25"), ("CH4", "300"), ("CH4", "150")])
        grid = table("--solute", "CO2", "--T", "300", "--P", "sat")
        self.assertEqual(rows[1], grid[0])  # sat: the same row as the grid's

    def test_standard_input_whitespace_and_megapascal(self):
        # A spreadsheet's export with semicolons reads as the commas' CSV does.
        self.assertEqual(table("--states", "-", stdin=b"T_C;P_bar;well\n25;1;A-1\n"),
                         table("--T", "25", "--P", "1"))
        rows = table("--states", "-", stdin=b"T_C  P_MPa\r\n25\t0.1\r\n300 10\r\n")
        self.assertEqual([r["P_bar"] for r in rows], ["1", "100"])
        self.assertEqual(rows, table("--T", "25", "--P", "1") + table("--T", "300", "--P", "100"))

    def test_bad_lines_are_named_by_number(self):
        cases = [("T_C,P_bar\n25,1\n25,x\n", b":3: P_bar: not a number: 'x'"),
                 ("T_C,P_bar\n-300,1\n", ":2: T_C: temperature -300 °C is at or below".encode()),
                 ("T_C,P_bar\n25,-1\n", b":2: P_bar: pressure -1 bar is below zero"),
                 ("T_C,P_bar\n25\n", b":2: expected 2 fields or more, found 1"),
                 ("depth,P_bar\n1,2\n", b":1: the header 'depth,P_bar' names no T_C column"),
                 # Two columns of one quantity leave the choice open.
                 ("T_C,P_MPa,P_bar\n25,0.1,1\n", b":1: the header 'T_C,P_MPa,P_bar' names more "
                  b"than one pressure column"),
                 ("T_C,P_bar,T_C,P_bar\n25,1,26,2\n", b"names more than one temperature column"),
                 ("T_C,P_bar\n", b"no states after the header"),
                 ("", b"no header")]
        for text, message in cases:
            with self.subTest(text=text):
                result = run(TABLE, "--states", self.write(text))
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, b"")
                self.assertIn(message, result.stderr)
        self.assertEqual(run(TABLE, "--states", "/nonexistent").returncode, 2)
        both = run(TABLE, "--states", "-", "--T", "25", stdin=b"")
        self.assertIn(b"without --T and --P", both.stderr)


class PhaseColumn(unittest.TestCase):
    def test_liquid_vapour_and_supercritical(self):
        rows = table("--solute", "CO2", "--T", "25,100,400", "--P", "1,300")
        self.assertEqual([r["phase"] for r in rows],
                         ["liquid", "liquid", "vapour", "liquid", "vapour", "supercritical"])
        failed = table("--T", "400", "--P", "sat")[0]
        self.assertEqual((failed["phase"], failed["status"] != "ok"), ("", True))

    def test_either_side_of_the_saturation_curve(self):
        for t in ("25", "100", "250", "370"):
            psat = float(table("--T", t, "--P", "sat")[0]["P_bar"])
            above, below = (repr(psat * 1.001), repr(psat * 0.999))
            rows = table("--T", t, "--P", f"{below},{above}")
            self.assertEqual([r["phase"] for r in rows], ["vapour", "liquid"], t)

    def test_json_names_it_too(self):
        line = run(TABLE, "--solute", "H2", "--T", "100", "--P", "1", "--format", "json").stdout
        self.assertEqual(json.loads(line)["phase"], "vapour")


# The conversions, written here independently of the program's own table.
CAL = 4.184
SI_FACTORS = {"rho": 1e3, "drho_dP": 1e3, "drho_dT": 1e3, "d2rho_dT2": 1e3, "V_H2O": 1e-6,
              "Cp_H2O": CAL, "lnf_H2O": 1, "lnkH": 1, "V2": 1e-6, "Cp2": CAL, "Gaq": CAL,
              "S2": CAL, "K_aq_gas": 1, "T_C": 1, "P_bar": 1}
MPA_FACTORS = {"P_bar": 0.1, "drho_dP": 10, "K_aq_gas": 0.1}
LN_COLUMNS = ("lnf_H2O", "lnkH")


class Units(unittest.TestCase):
    def test_si_and_megapascal_against_the_default_columns(self):
        states = ["--solute", "all", "--T", "0.01,25,150,300,600", "--P"]
        cal = table(*states, "sat,1,500")
        si = table(*states, "sat,1,500", "--units", "si")
        si_mpa = table(*states, "sat,0.1,50", "--units", "si", "--pressure-unit", "MPa")
        self.assertEqual(list(si_mpa[0])[2], "P_MPa")
        checked = 0
        for a, b, c in zip(cal, si, si_mpa, strict=True):
            self.assertEqual((a["status"], a["range"], a["phase"]), (b["status"], b["range"],
                                                                      b["phase"]))
            if a["status"] != "ok":
                continue
            for key, factor in SI_FACTORS.items():
                value = float(a[key])
                self.assertTrue(math.isclose(float(b[key]), value * factor, rel_tol=1e-15), key)
                in_mpa = float(c["P_MPa" if key == "P_bar" else key])
                expected = value * factor * MPA_FACTORS.get(key, 1)
                if key in LN_COLUMNS:
                    expected = value - math.log(10)
                self.assertTrue(math.isclose(in_mpa, expected, rel_tol=1e-14, abs_tol=1e-14),
                                (key, in_mpa, expected))
                checked += 1
        self.assertGreater(checked, 1000)

    def test_pressures_given_in_megapascal(self):
        mpa = table("--T", "25", "--P", "10", "--pressure-unit", "MPa")[0]
        bar = table("--T", "25", "--P", "100")[0]
        self.assertEqual(mpa["rho"], bar["rho"])

    def test_help_names_both_systems(self):
        text = run(TABLE, "--help").stdout.decode()
        self.assertIn("g/cm3 | si kg/m3", text)
        self.assertIn("cal/(mol K) | si J/(mol K)", text)


class Plots(unittest.TestCase):
    def curve_moves(self, *args):
        with tempfile.TemporaryDirectory() as folder:
            svg_path = os.path.join(folder, "p.svg")
            result = run(TABLE, *args, "--plot", svg_path)
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(svg_path) as file:
                svg = file.read()
        curves = re.findall(r"<g id=\"gnuplot_plot_\d+\".*?<text>([^<]*)</text>.*?d='([^']*)'",
                            svg, re.DOTALL)
        return [(label, path.count("M")) for label, path in curves], svg

    def test_a_curve_breaks_where_it_crosses_the_saturation_curve(self):
        # The legend sample, then one move per unbroken run of points.
        crossing, svg = self.curve_moves("--T", "60:140:5", "--P", "1,5", "--y", "Cp_H2O")
        self.assertEqual(crossing, [("P = 1 bar", 3), ("P = 5 bar", 2)])
        self.assertIn("heat capacity of water (cal/(mol K))", svg)
        liquid, _ = self.curve_moves("--solute", "CO2", "--T", "20:90:5", "--P", "1",
                                     "--y", "Cp_H2O")
        self.assertEqual(liquid, [("CO2", 2)])
        # Across the critical temperature above the critical pressure nothing jumps.
        supercritical, _ = self.curve_moves("--T", "300:450:10", "--P", "300", "--y", "rho")
        self.assertEqual(supercritical, [("water", 2)])

    def test_labels_follow_the_units(self):
        _, svg = self.curve_moves("--T", "25:50:5", "--P", "1", "--y", "rho", "--units", "si")
        self.assertIn("density of water (kg/m³)", svg)


class ManualPagesAndInstall(unittest.TestCase):
    def test_every_page_renders_without_warnings(self):
        for page in ("aqsol", "aqsol-console", "aqsol-table"):
            path = os.path.join(BUILD, "man", page + ".1")
            with self.subTest(page=page):
                warnings = subprocess.run(["groff", "-man", "-ww", "-z", "-Tutf8", path],
                                          capture_output=True)
                self.assertEqual(warnings.stderr, b"")
                shown = subprocess.run(["man", "-l", path], capture_output=True,
                                       env={**os.environ, "MANWIDTH": "80", "MANPAGER": "cat"})
                self.assertEqual(shown.returncode, 0)
                text = shown.stdout.decode()
                for section in ("SYNOPSIS", "OPTIONS", "EXIT STATUS", "FILES", "SEE ALSO"):
                    self.assertIn(section, text)
                self.assertIn(f"aqsol {VERSION}", text)

    def test_install_into_a_fresh_prefix(self):
        with tempfile.TemporaryDirectory() as prefix:
            result = subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix],
                                    capture_output=True)
            self.assertEqual(result.returncode, 0, result.stderr)
            for name in ("bin/aqsol", "bin/aqsol-console", "bin/aqsol-table",
                         "share/man/man1/aqsol-table.1", "share/doc/aqsol/README.md",
                         "share/doc/aqsol/LICENSE", "share/doc/aqsol/docs/model.md"):
                self.assertTrue(os.path.exists(os.path.join(prefix, name)), name)
            # The installed page is the one its template and the table of options make, and
            # names every option --help lists.
            expected = os.path.join(prefix, "expected.1")
            subprocess.run([os.path.join(BUILD, "aqsol-table-manual"),
                            os.path.join(ROOT, "docs/man/aqsol-table.1.in"), expected], check=True)
            with open(os.path.join(prefix, "share/man/man1/aqsol-table.1")) as installed, \
                    open(expected) as made:
                page = installed.read()
                self.assertEqual(page, made.read())
            helped = run(TABLE, "--help").stdout.decode()
            for option in re.findall(r"^  (-[-\w]+)", helped, re.MULTILINE):
                self.assertIn("\\fB" + option.replace("-", "\\-") + "\\fR", page)
            env = {**os.environ, "PATH": os.path.join(prefix, "bin") + ":" + os.environ["PATH"]}
            found = subprocess.run(["aqsol-table", "--solute", "H2,CO2,CH4", "--T", "25",
                                    "--P", "1"], capture_output=True, env=env)
            self.assertEqual(found.returncode, 0)
            self.assertEqual(len(found.stdout.splitlines()), 4)
            console = subprocess.run("printf '5\\n25\\n1\\n' | aqsol-console --muted", shell=True,
                                     capture_output=True, env=env, timeout=60)
            self.assertEqual(console.returncode, 0)


if __name__ == "__main__":
    AQSOL, CONSOLE, TABLE, BUILD = (os.path.abspath(a) for a in sys.argv[1:5])
    del sys.argv[1:5]
    unittest.main()
