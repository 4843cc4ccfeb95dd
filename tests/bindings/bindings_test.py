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
EXAMPLE = os.path.join(ROOT, "examples/c/co2.c")


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
        # No LD_LIBRARY_PATH: the programs find the library where it was installed.
        cls.env = {**os.environ, "PKG_CONFIG_PATH": os.path.join(cls.libdir, "pkgconfig")}
        cls.env.pop("LD_LIBRARY_PATH", None)

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

    def test_a_static_c_program_through_pkg_config(self):
        flags = subprocess.run(["pkg-config", "--cflags", "--libs", "aqsol-static"],
                               env=self.env, capture_output=True, text=True,
                               check=True).stdout.split()
        program = os.path.join(self.folder.name, "co2_static")
        subprocess.run(["cc", "-std=c99", "-Wall", "-Werror", EXAMPLE, "-o", program, *flags],
                       check=True)
        needed = subprocess.run(["readelf", "-d", program], capture_output=True, text=True,
                                check=True).stdout
        self.assertNotIn("libaqsol", needed)
        check_example_output(self, subprocess.run([program], capture_output=True, text=True,
                                                  check=True).stdout)

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
        self.assertEqual(names, ["aqsol_check_request", "aqsol_cpu_target", "aqsol_field_name",
                                 "aqsol_field_unit", "aqsol_phase_name",
                                 "aqsol_properties", "aqsol_properties_many",
                                 "aqsol_range_flag_name", "aqsol_solute_count",
                                 "aqsol_solute_index", "aqsol_solute_name",
                                 "aqsol_species_free", "aqsol_species_new",
                                 "aqsol_species_properties_in_units",
                                 "aqsol_species_properties_many", "aqsol_species_read",
                                 "aqsol_species_solute_name", "aqsol_units_of",
                                 "aqsol_version"])
        soname = subprocess.run(["objdump", "-p", library], capture_output=True, text=True,
                                check=True).stdout
        self.assertIn("SONAME               libaqsol.so.1", soname)


    @classmethod
    def r_library(cls):
        """The R package installed against this tree's library (once), or None without R."""
        if not (shutil.which("Rscript") and shutil.which("R")):
            return None
        library = os.path.join(cls.folder.name, "R")
        if not os.path.isdir(library):
            subprocess.run([os.path.join(ROOT, "scripts/install-r-package"), cls.prefix,
                            library], check=True, capture_output=True)
        return library

    def test_the_r_package_gives_the_tables_numbers(self):
        library = self.r_library()
        if library is None:
            self.skipTest("R is not installed (apt install r-base-core r-cran-rcpp "
                          "r-cran-testthat)")
        tests = os.path.join(ROOT, "bindings/r/aqsol/tests/testthat")
        result = subprocess.run(
            ["Rscript", "-e", "library(testthat); library(aqsol); "
             f"test_dir('{tests}', reporter = 'summary', stop_on_failure = TRUE)"],
            env={**self.env, "R_LIBS": library, "AQSOL_TABLE": TABLE}, capture_output=True,
            text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


    def test_r_cmd_check_finds_no_error_or_warning(self):
        if self.r_library() is None:
            self.skipTest("R is not installed")
        result = subprocess.run([os.path.join(ROOT, "scripts/install-r-package"), "--check",
                                 self.prefix], capture_output=True, text=True,
                                env={**self.env, "AQSOL_TABLE": TABLE})
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertRegex(result.stdout, r"^Status: (OK|\d+ NOTEs?)")

    def test_the_r_package_is_removed_by_its_record(self):
        if self.r_library() is None:
            self.skipTest("R is not installed")
        library = os.path.join(self.folder.name, "R-removed")
        record = os.path.join(self.folder.name, "r-package-record")
        script = os.path.join(ROOT, "scripts/install-r-package")
        subprocess.run([script, self.prefix, library], check=True, capture_output=True,
                       env={**self.env, "RECORD": record})
        self.assertTrue(os.path.isdir(os.path.join(library, "aqsol")))
        removed = subprocess.run([script, "--remove", record], check=True, capture_output=True,
                                 text=True)
        self.assertIn("removed the aqsol R package", removed.stdout)
        self.assertEqual(os.listdir(library), [])
        self.assertFalse(os.path.exists(record))

    def test_the_r_help_pages_and_their_examples(self):
        library = self.r_library()
        if library is None:
            self.skipTest("R is not installed")
        program = ("library(aqsol); for (f in c('aqsol_properties', 'aqsol_solutes', "
                   "'aqsol_version')) { stopifnot(length(help(f, package = 'aqsol')) == 1); "
                   "example(f, package = 'aqsol', character.only = TRUE, echo = FALSE) }; "
                   "cat('examples ran\\n')")
        result = subprocess.run(["Rscript", "-e", program], capture_output=True, text=True,
                                env={**self.env, "R_LIBS": library})
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("examples ran", result.stdout)

    def test_the_same_request_gets_the_same_answer_everywhere(self):
        """aqsol-table, the C library, Python and R over thread counts, unit spellings,
        pressure units, bad solutes and bad states: the same numbers, or the same message
        after each interface's name for the argument (and R's element, C's state)."""
        import ctypes
        import re
        c = ctypes.CDLL(os.path.join(self.libdir, "libaqsol.so"))
        c.aqsol_check_request.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_char_p,
                                          ctypes.c_double, ctypes.c_double, ctypes.c_longlong,
                                          ctypes.c_char_p]

        def core(message):
            message = re.sub(r"^(aqsol-table: )?[-\w ]+: ", "", message.splitlines()[0])
            return re.sub(r" \((state|element) \d+\)$", "", message)

        def by_table(*args):
            result = subprocess.run([TABLE, "--quiet", *args], capture_output=True, text=True)
            return core(result.stderr) if result.returncode else table_rows(*args)[0]["lnkH"]

        def by_c(solute, t, p, threads=0):
            message = ctypes.create_string_buffer(256)
            code = c.aqsol_check_request(None, 0, solute.encode(), t, p, threads, message)
            return core(message.value.decode()) if code else "ok"

        def by_python(call):
            program = ("import aqsol\ntry:\n    print(repr(float(aqsol." + call + "['lnkH'])))\n"
                       "except ValueError as e:\n    print(e)")
            return core(subprocess.run(
                [sys.executable, "-c", program], capture_output=True, text=True, check=True,
                env={**self.env, "PYTHONPATH": os.path.join(BUILD, "python")}).stdout)

        def by_r(call):
            library = self.r_library()
            if library is None:
                return None
            program = ("library(aqsol); r <- tryCatch(sprintf('%.17g', " + call +
                       "$lnkH), error = conditionMessage); cat(r, '\n')")
            return core(subprocess.run(["Rscript", "-e", program], capture_output=True,
                                       text=True, check=True,
                                       env={**self.env, "R_LIBS": library}).stdout.strip())

        threads = "expected 0 (one per core) or a thread count from 1 to 256 (found {})"
        for n in (-1, 257):
            with self.subTest(threads=n):
                self.assertEqual(by_table("--T", "25", "--P", "1", "--threads", str(n)),
                                 threads.format(n))
                self.assertEqual(by_c("CO2", 25, 1, n), threads.format(n))
                self.assertEqual(by_python(f"properties('CO2', 25, 1, threads={n})"),
                                 threads.format(n))
                r = by_r(f"aqsol_properties('CO2', 25, 1, threads = {n})")
                self.assertIn(r, (None, threads.format(n)))
        at_25 = float(by_table("--solute", "CO2", "--T", "25", "--P", "1", "--threads", "0"))
        self.assertEqual(by_c("CO2", 25, 1, 0), "ok")
        self.assertEqual(float(by_python("properties('CO2', 25, 1, threads=0)")), at_25)
        r = by_r("aqsol_properties('CO2', 25, 1, threads = 0)")
        if r is not None:
            self.assertEqual(float(r), at_25)
        # Unit words in any case; a pressure read in the unit the call names.
        si = by_table("--solute", "CO2", "--T", "25", "--P", "0.1", "--units", "SI",
                      "--pressure-unit", "mpa")
        self.assertEqual(float(si), float(by_python(
            "properties('CO2', 25, 0.1, units='SI', pressure_unit='mpa')")))
        self.assertEqual(float(si), float(by_python(
            "properties('CO2', 25, P_bar=1, units='si', pressure_unit='MPa')")))
        for word, message in (("imperial", "unknown units 'imperial' (use cal or si)"),):
            self.assertEqual(by_table("--T", "25", "--P", "1", "--units", word), message)
            self.assertEqual(by_python(f"properties('CO2', 25, 1, units='{word}')"), message)
        unit = "unknown pressure unit 'psi' (use bar or MPa)"
        self.assertEqual(by_table("--T", "25", "--P", "1", "--pressure-unit", "psi"), unit)
        self.assertEqual(by_python("properties('CO2', 25, 1, pressure_unit='psi')"), unit)
        # Bad solutes and bad states.
        names = ("H2 N2 O2 H2S CO2 Ar Ne NH3 SO2 CH4 C2H4 C2H6 C3H8 C4H10 C6H6 HCl HF H3BO3 "
                 "H3AsO3 H2Se")
        cases = (("XeF2", 25, 1, f"unknown solute 'XeF2' (use a number 1-20 or a name: {names})"),
                 ("21", 25, 1, f"unknown solute '21' (use a number 1-20 or a name: {names})"),
                 ("C02", 25, 1, "unknown solute 'C02': did you mean CO2? (use a number 1-20 or a "
                                f"name: {names})"),
                 ("CO2", -300, 1,
                  "temperature -300 °C is at or below absolute zero (-273.15 °C)"),
                 ("CO2", 25, -1, "pressure -1 bar is below zero (give a positive pressure, "
                                 "or sat or 0 for the saturation pressure)"))
        for solute, t, p, message in cases:
            with self.subTest(solute=solute, T=t, P=p):
                self.assertEqual(by_table("--solute", solute, "--T", str(t), "--P", str(p)),
                                 message)
                self.assertEqual(by_c(solute, t, p), message)
                self.assertEqual(by_python(f"properties('{solute}', {t}, {p})"), message)
                self.assertIn(by_r(f"aqsol_properties('{solute}', {t}, {p})"), (None, message))


    def test_a_solute_of_ones_own_gives_the_same_rows_everywhere(self):
        """A species file's solute (and a built-in one it replaces) through aqsol-table, the C
        library and Python: every number the same to the last bit."""
        import ctypes
        species = os.path.join(self.folder.name, "mine.csv")
        with open(species, "w") as file:
            file.write("name,xi,a,b,gf298,s298,cpA,cpB,cpC,T_min_C,T_max_C,replaces\n"
                       "Kr,0.05,-9.1,12.3,0,39.19,4.968,0,0,0,100,\n"
                       "CO2,-0.08,-8.8,11.2,-94254,51.085,10.57,2.1,2.06,0,200,yes\n")
        T, P = [25.0, 100.0, 300.0, 450.0], [1.0, 0.0, 100.0, 500.0]
        numbers = ("T_C", "P_bar", "rho", "drho_dP", "drho_dT", "d2rho_dT2", "V_H2O", "Cp_H2O",
                   "lnf_H2O", "lnkH", "V2", "Cp2", "Gaq", "S2", "K_aq_gas")
        c = ctypes.CDLL(os.path.join(self.libdir, "libaqsol.so"))
        c.aqsol_species_new.restype = ctypes.c_void_p
        c.aqsol_species_read.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
        c.aqsol_species_free.argtypes = [ctypes.c_void_p]

        class Values(ctypes.Structure):
            _fields_ = [(n, ctypes.c_double) for n in numbers] + [("phase", ctypes.c_int),
                                                                  ("range", ctypes.c_uint)]
        c.aqsol_species_properties_many.argtypes = [
            ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_double),
            ctypes.POINTER(ctypes.c_double), ctypes.c_uint, ctypes.POINTER(Values),
            ctypes.c_void_p, ctypes.c_char_p]
        handle = c.aqsol_species_new()
        message = ctypes.create_string_buffer(256)
        self.assertEqual(c.aqsol_species_read(handle, species.encode(), message), 0,
                         message.value)
        for solute in ("Kr", "CO2"):
            with self.subTest(solute=solute):
                rows = [table_rows("--species", species, "--solute", solute, "--T", repr(t),
                                   "--P", "sat" if p == 0 else repr(p))[0]
                        for t, p in zip(T, P)]
                out = (Values * len(T))()
                self.assertEqual(c.aqsol_species_properties_many(
                    handle, solute.encode(), len(T), (ctypes.c_double * len(T))(*T),
                    (ctypes.c_double * len(T))(*P), 1, out, None,
                    ctypes.create_string_buffer(256 * len(T))), 0)
                program = ("import aqsol, sys\nr = aqsol.properties(sys.argv[1], " + repr(T) +
                           ", " + repr(P) + ", species=sys.argv[2])\n"
                           "print(repr([[float(v) for v in r[n]] for n in sys.argv[3:]]))")
                python = eval(subprocess.run(
                    [sys.executable, "-c", program, solute, species, *numbers],
                    capture_output=True, text=True, check=True,
                    env={**self.env, "PYTHONPATH": os.path.join(BUILD, "python")}).stdout)
                for k, row in enumerate(rows):
                    for n, name in enumerate(numbers):
                        text = row[name]
                        self.assertEqual(float(text), getattr(out[k], name), (k, name))
                        self.assertEqual(float(text), python[n][k], (k, name))
        # In SI units with pressures in MPa, as aqsol-table --units si --pressure-unit MPa.
        si = table_rows("--solute", "Kr", "--species", species, "--T", "25,150", "--P", "0.1,10",
                        "--units", "si", "--pressure-unit", "MPa")
        out = (Values * 2)()
        c.aqsol_species_properties_in_units.argtypes = [
            ctypes.c_void_p, ctypes.c_uint, ctypes.c_char_p, ctypes.c_size_t,
            ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_double), ctypes.c_uint,
            ctypes.POINTER(Values), ctypes.c_void_p, ctypes.c_char_p]
        self.assertEqual(c.aqsol_species_properties_in_units(
            handle, 3, b"Kr", 2, (ctypes.c_double * 2)(25, 150), (ctypes.c_double * 2)(0.1, 10),
            1, out, None, ctypes.create_string_buffer(512)), 0)
        for k, row in enumerate((si[0], si[3])):
            for name in numbers:
                column = "P_MPa" if name == "P_bar" else name
                self.assertEqual(float(row[column]), getattr(out[k], name), (k, name))
        c.aqsol_species_free(handle)


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
        he = table_rows("--species", "g704", "--solute", "He", "--T", "25", "--P", "1")[0]
        self.assertEqual(lines[8].split()[:2], ["species", "He"])
        self.assertEqual(float(lines[8].split()[2]), float(he["lnkH"]))
        si = table_rows("--solute", "CO2", "--T", "25", "--P", "0.1", "--units", "si",
                        "--pressure-unit", "MPa")[0]
        self.assertEqual(lines[9].split()[:2], ["si", "CO2"])
        self.assertEqual([float(w) for w in lines[9].split()[2:]],
                         [float(si["rho"]), float(si["lnkH"])])



if __name__ == "__main__":
    TABLE, BUILD = (os.path.abspath(a) for a in sys.argv[1:3])
    FORTRAN = os.path.abspath(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[3] else ""
    del sys.argv[1:4]
    unittest.main()
