"""Every code block of the README and docs/ is a file of examples/ (or a line of make targets),
copied whole, and runs as written: the programs in C, Fortran, Python and R print aqsol-table's
numbers, and every shell command succeeds, in a copy of the project with the build installed
into ~/.local of a home of its own.

usage: examples_test.py BUILD AQSOL_TABLE  (run by ctest on the plain build)
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))
BUILD = TABLE = ""
BLOCK = re.compile(r"(?:^<!-- (example: (\S+)|make targets) -->\n)?^```[a-z]*\n(.*?)^```$",
                   re.M | re.S)


def documents():
    return [os.path.join(ROOT, "README.md")] + sorted(glob.glob(os.path.join(ROOT, "docs/*.md")))


def blocks():
    """(document, marker, example file or None, text) of every fenced block."""
    for path in documents():
        with open(path) as file:
            for match in BLOCK.finditer(file.read()):
                yield os.path.relpath(path, ROOT), match.group(1), match.group(2), match.group(3)


def table_lnkH(*args):
    """ln kH of CO2 as aqsol-table gives it, state by state."""
    out = subprocess.run([TABLE, "--solute", "CO2", *args, "--columns", "lnkH"],
                         capture_output=True, text=True, check=True).stdout
    return [float(v) for v in out.split()[1:]]


class Examples(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.home = os.path.join(cls.folder.name, "home")
        cls.work = os.path.join(cls.folder.name, "aqsol")
        tracked = subprocess.run(["git", "-C", ROOT, "ls-files", "-z"], capture_output=True,
                                 check=True).stdout.decode().split("\0")
        for name in filter(None, tracked):
            if os.path.exists(os.path.join(ROOT, name)):
                os.makedirs(os.path.dirname(os.path.join(cls.work, name)), exist_ok=True)
                shutil.copy2(os.path.join(ROOT, name), os.path.join(cls.work, name))
        local = os.path.join(cls.home, ".local")
        subprocess.run(["cmake", "--install", BUILD, "--prefix", local], check=True,
                       capture_output=True)
        os.makedirs(os.path.join(cls.work, "build-python"))
        os.symlink(os.path.join(BUILD, "python"), os.path.join(cls.work, "build-python/python"))
        cls.env = {**os.environ, "HOME": cls.home,
                   # Debian's python3 first, as on a machine without another one.
                   "PATH": os.pathsep.join([os.path.join(local, "bin"), "/usr/bin",
                                            os.environ["PATH"]]),
                   "R_LIBS_USER": os.path.join(cls.home, "R")}
        for name in ("LD_LIBRARY_PATH", "PYTHONPATH", "PKG_CONFIG_PATH", "RUN_BUILD"):
            cls.env.pop(name, None)
        cls.r = bool(shutil.which("R") and shutil.which("Rscript"))
        if cls.r:
            os.makedirs(cls.env["R_LIBS_USER"])
            subprocess.run([os.path.join(ROOT, "scripts/install-r-package"), local,
                            cls.env["R_LIBS_USER"]], check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def run_example(self, name, **env):
        """The shell example `name` run as a script in the copy: its output."""
        result = subprocess.run(["bash", "-e", "-o", "pipefail", f"examples/shell/{name}"],
                                cwd=self.work, env={**self.env, **env}, capture_output=True,
                                text=True, timeout=900)
        self.assertEqual(result.returncode, 0, f"{name}:\n{result.stdout}\n{result.stderr}")
        return result.stdout

    def test_every_block_is_a_whole_example_file_or_make_targets(self):
        found = 0
        for document, marker, example, text in blocks():
            with self.subTest(document=document, block=text[:60]):
                self.assertIsNotNone(marker, "a block that is no example and no make targets")
                if example is None:
                    for line in text.splitlines():
                        words = line.split("#")[0].split()
                        if not words:
                            continue  # a comment going on from the line before
                        self.assertEqual(words[:1], ["make"], line)
                        dry = subprocess.run(["make", "-n", *words[1:]], cwd=self.work,
                                             capture_output=True, text=True)
                        self.assertEqual(dry.returncode, 0, dry.stderr)
                    continue
                found += 1
                with open(os.path.join(ROOT, example)) as file:
                    self.assertEqual(text, file.read(), f"{example} differs from the block")
        self.assertGreaterEqual(found, 15)

    def test_every_example_file_is_shown(self):
        shown = {example for _, _, example, _ in blocks() if example}
        files = {os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, "examples/*/*"))}
        self.assertEqual(files - shown, set(), "examples no document shows")

    def test_c_and_fortran_print_the_tables_numbers(self):
        at_25 = table_lnkH("--T", "25", "--P", "1")[0]
        along = table_lnkH("--T", "25,100,200,400", "--P", "sat")
        c = self.run_example("c.sh")
        numbers = [float(v) for v in re.findall(r"lnkH = (\S+)", c)]
        self.assertEqual(numbers, ([at_25] + along[:3]) * 2)  # 400 C: no saturation pressure
        self.assertEqual(c.count("400 C: "), 2)
        fortran = self.run_example("fortran.sh")
        numbers = [float(v) for v in re.findall(r"lnkH = +(\S+)", fortran)]
        self.assertEqual(numbers, [at_25] + along[:3])
        self.assertIn("not computed", fortran)

    def test_python_prints_the_tables_numbers_and_draws(self):
        first = self.run_example("python_first.sh")
        self.assertEqual(float(first), table_lnkH("--T", "25", "--P", "1")[0])
        shown = self.run_example("python_examples.sh", PYTHONPATH="build-python/python")
        self.assertIn("wrote henry.png", shown)
        with open(os.path.join(self.work, "henry.png"), "rb") as png:
            self.assertEqual(png.read(8), b"\x89PNG\r\n\x1a\n")
        row = re.search(r"^ *CO2 +25\.0 +1\.0 +liquid +(\S+) +ok$", shown, re.M)
        self.assertAlmostEqual(float(row.group(1)), table_lnkH("--T", "25", "--P", "1")[0], 5)
        self.assertIn("units of lnkH: 1", shown)

    def test_a_virtual_environment_gets_the_module_with_pip(self):
        out = self.run_example("python_venv.sh")
        self.assertIn("wrote henry.png", out)

    def test_r_prints_the_tables_numbers(self):
        if not self.r:
            self.skipTest("R is not installed")
        out = self.run_example("r.sh")
        printed = re.search(r"^1 +CO2 +25 +1 +liquid +(\S+)", out, re.M)
        self.assertAlmostEqual(float(printed.group(1)), table_lnkH("--T", "25", "--P", "1")[0], 5)
        self.assertIn("solute 5 of the menu: CO2", out)

    def test_the_commands_of_the_programs(self):
        self.assertIn("Solute", self.run_example("console.sh") + "Solute")
        tables = self.run_example("tables.sh")
        self.assertIn("well,depth,lnkH,V2,phase\nA-1,1200,", tables)
        self.assertIn("T_K,lnkH\n298.15,", tables)
        for made in ("all.tsv", "kh.csv", "kh.png"):
            self.assertGreater(os.path.getsize(os.path.join(self.work, made)), 0, made)
        species = self.run_example("own_solutes.sh")
        self.assertRegex(species, r"\nKr,25,1,liquid,")
        self.assertRegex(species, r"\nHe,-?\d")

    def test_the_dask_grid_says_what_it_writes(self):
        for module in ("distributed", "xarray", "netCDF4"):
            if subprocess.run(["/usr/bin/python3", "-c", f"import {module}"]).returncode:
                self.skipTest(f"python3 cannot import {module}")
        out = self.run_example("dask.sh", PYTHONPATH="build-python/python")
        size = re.search(r"writing (\d+) MB to co2_grid.nc", out)
        written = os.path.getsize(os.path.join(self.work, "co2_grid.nc")) / 1e6
        self.assertLess(abs(written - int(size.group(1))), 0.1 * written)


if __name__ == "__main__":
    BUILD, TABLE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    del sys.argv[1:3]
    unittest.main()
