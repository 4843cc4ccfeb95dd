"""The C library as users link it, from an installed tree: a C program through pkg-config, a
CMake project through find_package (shared and static), only aqsol_* symbols exported; and the
Fortran module and the R package; each against aqsol-table's numbers, to the last digit.

usage: bindings_test.py AQSOL_TABLE BUILD_FOLDER [FORTRAN_TEST]  (run by ctest)
"""
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

TABLE = BUILD = FORTRAN = ""
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))
EXAMPLE = os.path.join(ROOT, "bindings/c/examples/co2.c")


def table_rows(*args):
    out = subprocess.run([TABLE, *args], capture_output=True, check=True).stdout.decode()
    return list(csv.DictReader(io.StringIO(out)))


def check_example_output(test, text):
    """The example's lines against aqsol-table's CO2 rows, number for number."""
    lines = text.splitlines()
    at_25 = table_rows("--solute", "CO2", "--T", "25", "--P", "1")[0]
    test.assertTrue(lines[0].endswith(f"lnkH = {float(at_25['lnkH']):.17g} (liquid)"), lines[0])
    sat = table_rows("--solute", "CO2", "--T", "25,100,200,400", "--P", "sat")
    for line, row in zip(lines[1:], sat, strict=True):
        if row["status"] == "ok":
            test.assertEqual(line, f"{float(row['T_C']):g} C, {float(row['P_bar']):.17g} bar: "
                                   f"lnkH = {float(row['lnkH']):.17g}")
        else:
            test.assertEqual(line, f"{float(row['T_C']):g} C: {row['status']}")


class InstalledLibrary(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.prefix = os.path.join(cls.folder.name, "prefix")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", cls.prefix], check=True,
                       capture_output=True)
        cls.libdir = os.path.dirname(subprocess.run(
            ["find", cls.prefix, "-name", "libaqsol.so"], capture_output=True, text=True,
            check=True).stdout.split()[0])
        cls.env = {**os.environ, "PKG_CONFIG_PATH": os.path.join(cls.libdir, "pkgconfig"),
                   "LD_LIBRARY_PATH": cls.libdir}

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_a_c_program_through_pkg_config(self):
        flags = subprocess.run(["pkg-config", "--cflags", "--libs", "aqsol"], env=self.env,
                               capture_output=True, text=True, check=True).stdout.split()
        program = os.path.join(self.folder.name, "co2")
        subprocess.run(["cc", "-std=c99", "-Wall", "-Werror", EXAMPLE, "-o", program, *flags],
                       check=True)
        check_example_output(self, subprocess.run([program], env=self.env, capture_output=True,
                                                  text=True, check=True).stdout)
        version = subprocess.run(["pkg-config", "--modversion", "aqsol"], env=self.env,
                                 capture_output=True, text=True, check=True).stdout.strip()
        with open(os.path.join(ROOT, "VERSION")) as file:
            self.assertEqual(version, file.read().strip())

    def test_a_cmake_project_through_find_package(self):
        source = os.path.join(ROOT, "tests/bindings/cmake_consumer")
        build = os.path.join(self.folder.name, "consumer")
        subprocess.run(["cmake", "-S", source, "-B", build, f"-DCMAKE_PREFIX_PATH={self.prefix}",
                        f"-DEXAMPLE={EXAMPLE}"], check=True, capture_output=True)
        built = subprocess.run(["cmake", "--build", build], capture_output=True, text=True)
        self.assertEqual(built.returncode, 0, built.stdout + built.stderr)
        for program in ("co2", "co2_static"):
            out = subprocess.run([os.path.join(build, program)], env=self.env,
                                 capture_output=True, text=True, check=True).stdout
            check_example_output(self, out)

    def test_only_the_interface_is_exported(self):
        library = os.path.realpath(os.path.join(self.libdir, "libaqsol.so"))
        symbols = subprocess.run(["nm", "-D", "--defined-only", library], capture_output=True,
                                 text=True, check=True).stdout.split("\n")
        names = sorted(line.split()[-1] for line in symbols if line.strip())
        self.assertEqual(names, ["aqsol_cpu_target", "aqsol_phase_name", "aqsol_properties",
                                 "aqsol_properties_many", "aqsol_range_flag_name",
                                 "aqsol_solute_count", "aqsol_solute_index", "aqsol_solute_name",
                                 "aqsol_version"])
        soname = subprocess.run(["objdump", "-p", library], capture_output=True, text=True,
                                check=True).stdout
        self.assertIn("SONAME               libaqsol.so.1", soname)


    def test_the_r_package_gives_the_tables_numbers(self):
        if not (shutil.which("Rscript") and shutil.which("R")):
            self.skipTest("R is not installed (apt install r-base-core r-cran-rcpp "
                          "r-cran-testthat)")
        library = os.path.join(self.folder.name, "R")
        subprocess.run([os.path.join(ROOT, "scripts/install-r-package"), self.prefix, library],
                       check=True, capture_output=True)
        tests = os.path.join(ROOT, "bindings/r/aqsol/tests/testthat")
        result = subprocess.run(
            ["Rscript", "-e", "library(testthat); library(aqsol); "
             f"test_dir('{tests}', reporter = 'summary', stop_on_failure = TRUE)"],
            env={**self.env, "R_LIBS": library, "AQSOL_TABLE": TABLE}, capture_output=True,
            text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


class Fortran(unittest.TestCase):
    def test_the_module_gives_the_tables_numbers(self):
        if not FORTRAN:
            self.skipTest("no Fortran compiler (apt install gfortran)")
        lines = subprocess.run([FORTRAN], capture_output=True, text=True,
                               check=True).stdout.splitlines()
        states = (("0.01", "1"), ("25", "1"), ("100", "sat"), ("300", "100"), ("400", "sat"),
                  ("400", "300"))
        rows = [table_rows("--solute", "CO2", "--T", t, "--P", p)[0] for t, p in states]
        phases = {"0": "liquid", "1": "vapour", "2": "supercritical"}
        for line, row in zip(lines[:6], rows, strict=True):
            words = line.split()
            if row["status"] != "ok":
                self.assertEqual(line, "failed " + row["status"])
                continue
            self.assertEqual(words[0], "state")
            numbers = ("T_C", "P_bar", "rho", "drho_dP", "drho_dT", "d2rho_dT2", "V_H2O",
                       "Cp_H2O", "lnf_H2O", "lnkH", "V2", "Cp2", "Gaq", "S2", "K_aq_gas")
            self.assertEqual(len(words), 1 + len(numbers) + 2, line)
            for word, key in zip(words[1:16], numbers, strict=True):
                self.assertEqual(float(word), float(row[key]), key)
            self.assertEqual(phases[words[16]], row["phase"])
            flags = ("ice", "metastable", "beyond-eos", "water-deviates", "solute-extrapolated",
                     "reference-deviates", "unreferenced")
            bits = int(words[17])
            self.assertEqual(" ".join(f for n, f in enumerate(flags) if bits >> n & 1),
                             row["range"])
        self.assertIn("XeF2", lines[6])
        with open(os.path.join(ROOT, "VERSION")) as file:
            self.assertEqual(lines[7].split(), ["version", file.read().strip(), "CO2", "20"])


class ReadmeExamples(unittest.TestCase):
    def test_every_example_is_copied_from_the_file_it_names(self):
        import re
        with open(os.path.join(ROOT, "README.md")) as file:
            readme = file.read()
        blocks = re.findall(r"<!-- example from (\S+) -->\n```\w*\n(.*?)```", readme, re.DOTALL)
        self.assertGreaterEqual(len(blocks), 4)
        for path, block in blocks:
            with open(os.path.join(ROOT, path)) as file:
                source = file.read()
            for line in block.splitlines():
                if line.strip():
                    self.assertIn(line.strip(), source, f"{path}: {line}")


if __name__ == "__main__":
    TABLE, BUILD = (os.path.abspath(a) for a in sys.argv[1:3])
    FORTRAN = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[3] else ""
    del sys.argv[1:4]
    unittest.main()
