"""aqsol-table's --states lists as streams: rows written as the list is read, in flat memory,
the same rows as a grid of the same states on any number of threads, bad lines found late,
columns carried (--keep) and chosen (--columns), and temperatures in kelvin.

usage: state_stream_test.py AQSOL_TABLE  (run by ctest)
"""
import csv
import io
import json
import os
import select
import subprocess
import sys
import tempfile
import time
import unittest

TABLE = ""


def run(*args, stdin=None):
    return subprocess.run([TABLE, *args], input=stdin, capture_output=True, timeout=120)


def grid_as_list(temperatures, pressures):
    """The states of a grid, T outermost, as a --states table."""
    lines = ["T_C,P_bar"] + [f"{t},{p}" for t in temperatures for p in pressures]
    return ("\n".join(lines) + "\n").encode()


class Streaming(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def test_a_long_list_gives_the_grid_rows_from_a_pipe_or_a_file(self):
        # 296 x 11 states: past several blocks of the stream, for two solutes (the second reads
        # the list again: a file from its start, a pipe from the copy kept of it).
        pressures = ["sat"] + [str(p) for p in range(50, 501, 50)]
        grid = run("--solute", "CO2,CH4", "--T", "5:300:1", "--P", ",".join(pressures))
        self.assertEqual(grid.returncode, 0)
        listed = grid_as_list(range(5, 301), pressures)
        path = os.path.join(self.folder.name, "states.csv")
        with open(path, "wb") as file:
            file.write(listed)
        for threads in ("1", "2"):
            with self.subTest(threads=threads):
                piped = run("--solute", "CO2,CH4", "--states", "-", "--threads", threads,
                            stdin=listed)
                self.assertEqual(piped.stdout, grid.stdout)
                filed = run("--solute", "CO2,CH4", "--states", path, "--threads", threads)
                self.assertEqual(filed.stdout, grid.stdout)

    def test_the_first_rows_come_before_the_list_ends(self):
        process = subprocess.Popen([TABLE, "--solute", "CO2", "--states", "-"],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        try:
            process.stdin.write(b"T_C,P_bar\n" + b"25,1\n" * 300)
            process.stdin.flush()  # and the list stays open
            ready, _, _ = select.select([process.stdout], [], [], 30)
            self.assertTrue(ready, "no row within 30 s of the first 300 states")
            header = process.stdout.readline()
            self.assertTrue(header.startswith(b"solute,T_C,P_bar"))
            self.assertTrue(process.stdout.readline().startswith(b"CO2,25,1,liquid"))
        finally:
            process.stdin.close()
            process.stdout.read()
            process.wait(timeout=60)
            process.stdout.close()
            process.stderr.close()
        self.assertEqual(process.returncode, 0)

    @unittest.skipIf(os.environ.get("AQSOL_SANITIZED"),
                     "a sanitizer's shadow memory and quarantine are no measure of the program's")
    def test_memory_stays_flat_for_a_million_states(self):
        process = subprocess.Popen([TABLE, "--solute", "CO2", "--states", "-", "-o", os.devnull],
                                   stdin=subprocess.PIPE, stderr=subprocess.DEVNULL)
        block = b"".join(b"%d,%d\n" % (5 + n % 290, 1 + n % 999) for n in range(10_000))
        peak = 0

        def note_the_peak():  # the program's own high-water mark, read while it runs
            nonlocal peak
            try:
                with open(f"/proc/{process.pid}/status") as status:
                    for line in status:
                        if line.startswith("VmHWM:"):
                            peak = max(peak, int(line.split()[1]))
            except OSError:
                pass

        process.stdin.write(b"T_C,P_bar\n")
        for n in range(100):
            process.stdin.write(block)
            if n % 10 == 0:
                note_the_peak()
        process.stdin.close()
        while process.poll() is None:
            note_the_peak()
            time.sleep(0.01)
        self.assertEqual(process.returncode, 0)
        self.assertGreater(peak, 0)
        self.assertLess(peak, 20 * 1024, "peak resident memory in KB")

    def test_a_bad_line_late_stops_the_table_there(self):
        listed = b"T_C,P_bar\n" + b"25,1\n" * 5000 + b"25,n/a\n" + b"25,1\n" * 10
        result = run("--states", "-", stdin=listed)
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"--states: standard input:5002: P_bar: not a number: 'n/a'",
                      result.stderr)
        self.assertLessEqual(result.stdout.count(b"\n"), 5001)
        path = os.path.join(self.folder.name, "table.csv")
        self.assertEqual(run("--states", "-", "-o", path, stdin=listed).returncode, 2)
        self.assertEqual(os.listdir(self.folder.name), [], "nothing under the real name")


class ColumnsOfTheTable(unittest.TestCase):
    LIST = b"well;T_C;P_bar;depth\nA-1;25;1;10\n\"B, 2\";300;100;2000\n"

    def test_kept_columns_come_first_as_they_were(self):
        result = run("--solute", "CO2", "--states", "-", "--keep", "well,DEPTH", stdin=self.LIST)
        rows = list(csv.reader(io.StringIO(result.stdout.decode())))
        self.assertEqual(rows[0][:4], ["well", "DEPTH", "solute", "T_C"])
        self.assertEqual([r[:2] for r in rows[1:]], [["A-1", "10"], ["B, 2", "2000"]])
        plain = run("--solute", "CO2", "--states", "-", stdin=self.LIST)
        self.assertEqual([r[2:] for r in rows],
                         list(csv.reader(io.StringIO(plain.stdout.decode()))))
        objects = run("--solute", "CO2", "--states", "-", "--keep", "well", "--format", "json",
                      stdin=self.LIST)
        first = json.loads(objects.stdout.splitlines()[0])
        self.assertEqual(list(first)[:2], ["well", "solute"])
        self.assertEqual(first["well"], "A-1")

    def test_keep_is_refused_where_it_cannot_be_kept(self):
        for args, message in [(["--states", "-", "--keep", "zone"], b"names no column 'zone'"),
                              (["--T", "25", "--P", "1", "--keep", "well"], b"--states list"),
                              (["--states", "-", "--keep", "well", "--format", "netcdf", "-o",
                                os.devnull], b"as text")]:
            with self.subTest(args=args):
                result = run(*args, stdin=self.LIST)
                self.assertEqual(result.returncode, 2)
                self.assertIn(message, result.stderr)

    def test_chosen_columns_in_every_text_format(self):
        whole = list(csv.DictReader(io.StringIO(
            run("--solute", "CO2,H2", "--T", "25,400", "--P", "1,sat").stdout.decode())))
        for form in ("csv", "tsv", "json"):
            with self.subTest(format=form):
                result = run("--solute", "CO2,H2", "--T", "25,400", "--P", "1,sat", "--format",
                             form, "--columns", "lnkH,T_C,status,phase")
                text = result.stdout.decode()
                if form == "json":
                    rows = [json.loads(line) for line in text.splitlines()]
                else:
                    rows = list(csv.DictReader(io.StringIO(text),
                                               delimiter="," if form == "csv" else "\t"))
                self.assertEqual(list(rows[0]), ["lnkH", "T_C", "status", "phase"])
                for row, full in zip(rows, whole, strict=True):
                    for name in row:
                        value = row[name]
                        self.assertEqual("" if value is None else str(value), full[name])
        for bad in ("rho,rho", "lnkH2"):
            refused = run("--solute", "CO2", "--T", "25", "--P", "1", "--columns", bad)
            self.assertEqual(refused.returncode, 2)
            self.assertIn(b"--columns:", refused.stderr)
        water = run("--T", "25", "--P", "1", "--columns", "lnkH")
        self.assertIn(b"not a column of this table", water.stderr)

    def test_kelvin_in_and_out(self):
        celsius = run("--solute", "CO2", "--T", "25,100.5", "--P", "1", "--format", "json")
        kelvin = run("--solute", "CO2", "--T", "298.15,373.65", "--P", "1", "--format", "json",
                     "--temperature-unit", "K")
        for c, k in zip(celsius.stdout.splitlines(), kelvin.stdout.splitlines(), strict=True):
            c, k = json.loads(c), json.loads(k)
            self.assertAlmostEqual(k.pop("T_K"), c.pop("T_C") + 273.15, places=9)
            self.assertEqual(k, c)
        listed = run("--states", "-", stdin=b"T_K,P_bar\n298.15,1\n")
        self.assertEqual(listed.stdout, run("--T", "25", "--P", "1").stdout)
        habit = run("--T", "298.15", "--P", "1")
        self.assertIn(b"--temperature-unit K", habit.stderr)
        self.assertEqual(habit.returncode, 0)
        cold = run("--T", "0", "--P", "1", "--temperature-unit", "K")
        self.assertIn(b"temperature 0 K is at or below absolute zero", cold.stderr)


if __name__ == "__main__":
    TABLE = sys.argv.pop(1)
    unittest.main()
