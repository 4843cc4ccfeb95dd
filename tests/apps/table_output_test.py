"""aqsol-table's outputs as their readers see them: JSON Lines, the progress line on a
terminal, plots, output files that appear only when complete, and write errors.

usage: table_output_test.py AQSOL_TABLE  (run by ctest)
"""
import csv
import io
import json
import math
import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

TABLE = ""

# A grid with failed rows: no saturation pressure above the critical temperature.
GRID = ["--solute", "CO2,H2", "--T", "300:400:25", "--P", "sat,250"]


def run(*args, **kwargs):
    return subprocess.run([TABLE, *args], capture_output=True, **kwargs)


class JsonLines(unittest.TestCase):
    def test_objects_match_the_csv_row_for_row(self):
        table = list(csv.DictReader(io.StringIO(run(*GRID).stdout.decode())))
        lines = run(*GRID, "--format", "json").stdout.decode().splitlines()
        self.assertEqual(len(lines), len(table))
        failed = 0
        for line, row in zip(lines, table):
            obj = json.loads(line)
            self.assertEqual(list(obj), list(row))
            for key, text in row.items():
                if key in ("solute", "phase", "range", "status"):
                    self.assertEqual(obj[key], text)
                elif text == "":
                    self.assertIsNone(obj[key], key)
                else:
                    self.assertEqual(obj[key], float(text), key)
            failed += obj["status"] != "ok"
        self.assertGreater(failed, 0)

    def test_every_number_round_trips(self):
        for line in run("--solute", "all", "--T", "25", "--P", "1", "--format", "json").stdout.splitlines():
            for key, value in json.loads(line).items():
                if isinstance(value, float):
                    self.assertTrue(math.isfinite(value))
                    self.assertEqual(float(repr(value)), value)


class ProgressLine(unittest.TestCase):
    LONG = ["--solute", "all", "--T", "0:350:0.5", "--P", "1:1000:5", "--threads", "1"]

    def run_on_terminal(self, *args, seconds=1.6):
        """Standard error on a pseudo-terminal; the run is stopped after `seconds`."""
        master, slave = pty.openpty()
        process = subprocess.Popen([TABLE, *args], stdout=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        seen, deadline = b"", time.monotonic() + seconds
        while time.monotonic() < deadline:
            if select.select([master], [], [], 0.05)[0]:
                try:
                    seen += os.read(master, 4096)
                except OSError:
                    break
        process.send_signal(signal.SIGINT)
        process.wait()
        os.close(master)
        return seen.decode(errors="replace")

    def test_a_long_table_shows_rows_rate_and_time_left(self):
        seen = self.run_on_terminal(*self.LONG)
        self.assertRegex(seen, r"\r\[#* *\] \d+% [\d,]+/[\d,]+ rows [\d,]+/s .* left")

    def test_quiet_short_and_piped_runs_show_nothing(self):
        self.assertEqual(self.run_on_terminal(*self.LONG, "--quiet"), "")
        self.assertEqual(self.run_on_terminal("--solute", "H2", "--T", "25", "--P", "1"), "")
        piped = subprocess.Popen([TABLE, *self.LONG], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        time.sleep(1.6)
        piped.send_signal(signal.SIGINT)
        self.assertEqual(piped.communicate()[1], b"")


class Plots(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_png_of_the_expected_size(self):
        result = run(*GRID, "--y", "lnkH", "--plot", self.path("kh.png"))
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("kh.png"), "rb") as png:
            header = png.read(24)
        self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", header[16:24]), (1000, 700))

    def test_svg_has_one_curve_per_series_and_gaps_for_failed_rows(self):
        # No saturation pressure at 380 C: a gap in the middle of each "P = sat" curve.
        grid = ["--solute", "CO2,H2", "--T", "300,320,380,340,360", "--P", "sat,250"]
        result = run(*grid, "--y", "rho", "--x", "T_C", "--plot", self.path("rho.svg"))
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("rho.svg")) as file:
            svg = file.read()
        curves = re.findall(r"<g id=\"gnuplot_plot_\d+\".*?<text>([^<]*)</text>.*?d='([^']*)'",
                            svg, re.DOTALL)
        self.assertEqual([label for label, _ in curves],
                         ["CO2, P = sat", "CO2, P = 250 bar", "H2, P = sat", "H2, P = 250 bar"])
        # Moves in each curve's path: the legend sample, then one per unbroken run of points.
        self.assertEqual([path.count("M") for _, path in curves], [3, 2, 3, 2])
        self.assertIn("density of water (g/cm³)", svg)
        self.assertIn("temperature (°C)", svg)

    def test_bad_columns_are_named_and_leave_no_file(self):
        result = run(*GRID, "--y", "density", "--plot", self.path("x.png"))
        self.assertEqual(result.returncode, 2)
        self.assertIn(b"use one of T_C, P_bar, rho", result.stderr)
        result = run(*GRID, "--y", "rho", "--x", "rho", "--plot", self.path("x.png"))
        self.assertIn(b"use T_C or P_bar", result.stderr)
        self.assertEqual(os.listdir(self.folder.name), [])

    def test_a_missing_gnuplot_names_the_package(self):
        result = run(*GRID, "--y", "rho", "--plot", self.path("x.png"), env={"PATH": "/nonexistent"})
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"gnuplot-nox", result.stderr)
        self.assertEqual(result.stdout, b"")


class OutputFiles(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.file = os.path.join(self.folder.name, "table.csv")

    def tearDown(self):
        self.folder.cleanup()

    def test_the_file_holds_what_standard_output_would(self):
        self.assertEqual(run(*GRID, "--output", self.file).stdout, b"")
        with open(self.file, "rb") as file:
            self.assertEqual(file.read(), run(*GRID).stdout)
        self.assertEqual(os.listdir(self.folder.name), ["table.csv"])

    def test_a_netcdf_dataset_is_written_once(self):
        # A grid of short lines (100 pressures a temperature), each byte once through the
        # system calls and nothing read back (the shell counts its child's bytes); written as
        # it is computed (AQSOL_NETCDF_IN_MEMORY=0), each line once, and the same file.
        args = ["--solute", "CO2,H2", "--T", "0:349:0.7", "--P", "sat,10:990:10", "--format",
                "netcdf", "--quiet"]
        files = []
        for in_memory in ("1", "0"):
            path = os.path.join(self.folder.name, f"grid{in_memory}.nc")
            counts = subprocess.run(
                ["sh", "-c", '"$0" "$@" && cat /proc/$$/io', TABLE, *args, "-o", path],
                capture_output=True, text=True,
                env=dict(os.environ, AQSOL_NETCDF_IN_MEMORY=in_memory))
            if counts.returncode != 0 and "netCDF" in counts.stderr:
                self.skipTest(counts.stderr.strip())
            self.assertEqual(counts.returncode, 0, counts.stderr)
            written = int(re.search(r"^wchar: (\d+)$", counts.stdout, re.M).group(1))
            read = int(re.search(r"^rchar: (\d+)$", counts.stdout, re.M).group(1))
            size = os.path.getsize(path)
            self.assertGreater(size, 10_000_000)
            self.assertLessEqual(written, 1.5 * size, f"{written} bytes written for {size}")
            if in_memory == "1":  # the file, and the few bytes of anything else the run writes
                self.assertLessEqual(written, size + 4096, f"{written} bytes written for {size}")
                self.assertLess(read, 1_000_000, f"{read} bytes read for {size}")
            with open(path, "rb") as dataset:
                files.append(dataset.read())
        self.assertEqual(files[0], files[1])

    def test_a_bad_argument_leaves_no_file(self):
        self.assertEqual(run(*GRID, "--output", self.file, "--threads", "-1").returncode, 2)
        self.assertEqual(os.listdir(self.folder.name), [])

    def test_a_killed_run_leaves_nothing_under_the_real_name(self):
        long_run = ["--solute", "all", "--T", "0:350:0.1", "--P", "1:1000:1", "--output", self.file]
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGKILL):
            process = subprocess.Popen([TABLE, *long_run, "--quiet"])
            time.sleep(0.5)
            process.send_signal(sig)
            process.wait()
            self.assertFalse(os.path.exists(self.file))
            if sig != signal.SIGKILL:  # a handled signal also removes the temporary file
                self.assertEqual(os.listdir(self.folder.name), [])

    def test_a_write_error_stops_at_once_with_status_3(self):
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full")
        with open("/dev/full", "wb") as full:
            result = subprocess.run([TABLE, *GRID], stdout=full, stderr=subprocess.PIPE)
            self.assertEqual(result.returncode, 3)
            self.assertIn(b"write error: No space left on device", result.stderr)
            result = subprocess.run([TABLE, "--help"], stdout=full, stderr=subprocess.PIPE)
            self.assertEqual(result.returncode, 3)

    def test_a_closed_pipe_stops_the_work(self):
        huge = ["--solute", "all", "--T", "0:999:0.01", "--P", "1:1000:1", "--quiet", "--force"]
        start = time.monotonic()
        process = subprocess.Popen([TABLE, *huge], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   preexec_fn=lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN))
        process.stdout.readline()
        process.stdout.close()
        _, err = process.communicate(timeout=30)
        self.assertLess(time.monotonic() - start, 10)
        self.assertEqual(process.returncode, 3)
        self.assertIn(b"write error: Broken pipe", err)


class ValidationReport(unittest.TestCase):
    def test_the_script_writes_its_tables_and_plots(self):
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts/validate")
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([script, TABLE, "--small", "--output", folder], check=True,
                           stdout=subprocess.DEVNULL)
            with open(os.path.join(folder, "validation.md")) as file:
                report = file.read()
            for title in ("### density", "### heat capacity Cp", "### ln fugacity",
                          "### compressibility", "### expansivity", "### saturation pressure",
                          "## Henry constants", "| CO2 |", "| H2S |", "### ln kH of each gas",
                          "## Where the model was shown to work", "| water-deviates |",
                          "## Summary", "- **Saturation pressure**",
                          "## Two departures kept on purpose", "ln(f/P) = -0.0186 at 25 °C"):
                self.assertIn(title, report)
            self.assertIn("## Solutes at 25 °C and 1 bar", report)
            self.assertIn("| NH3 | 24.60 | 24.43 | +0.7 % |", report)
            self.assertIn("## What agrees with which reference, per solute", report)
            pictures = re.findall(r"!\[[^]]*\]\(([^)]*)\)", report)
            # Six of water, ten of gases, the flags' map, the G7-04 set's deviations.
            self.assertEqual(len(pictures), 18)
            self.assertIn("## The G7-04 species set (`--species g704`)", report)
            self.assertIn("| He | – |", report)
            for picture in pictures:
                with open(os.path.join(folder, picture), "rb") as png:
                    self.assertEqual(png.read(4), b"\x89PNG")


if __name__ == "__main__":
    TABLE = sys.argv.pop(1)
    unittest.main()
