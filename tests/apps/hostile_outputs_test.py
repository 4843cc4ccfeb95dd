"""aqsol-table against hostile output names and limits: devices, links, FIFOs and descriptors
are written through and never replaced, file names never become gnuplot commands, two outputs
never name one file, and limits end in a message with nothing left behind.

usage: hostile_outputs_test.py AQSOL_TABLE  (run by ctest)
"""
import os
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest

TABLE = ""
ROW = ["--solute", "CO2", "--T", "25", "--P", "1"]
CURVE = ["--solute", "CO2", "--T", "5:50:5", "--P", "1", "--y", "lnkH"]


def run(*args, **kwargs):
    return subprocess.run([TABLE, *args], capture_output=True, **kwargs)


class Folder(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.expected = run(*ROW).stdout

    def tearDown(self):
        self.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def listing(self):
        return sorted(os.listdir(self.folder.name))


class DevicesOfTheSystem(unittest.TestCase):
    """/dev/null, /dev/stdout, /dev/stderr and /dev/fd themselves, in a private mount namespace
    whose /dev is a tmpfs holding a real null device and the usual links, so that nothing of the
    machine's is at stake even when the program under test is at fault."""

    def test_device_nodes_and_descriptor_links_are_written_in_place(self):
        if os.geteuid() != 0 or shutil.which("unshare") is None:
            self.skipTest("needs root and unshare for a private mount namespace")
        row, curve = " ".join(ROW), " ".join(CURVE)
        script = f"""
set -e
mount -t tmpfs tmpfs /dev
mknod -m 666 /dev/null c 1 3
ln -s /proc/self/fd /dev/fd
for n in 0 1 2; do ln -s /proc/self/fd/$n /dev/$(echo stdin stdout stderr | cut -d' ' -f$((n+1))); done
{TABLE} {row} -o /dev/null
for name in /dev/stdout /dev/fd/1 /proc/self/fd/1; do
  echo "$name $({TABLE} {row} -o $name | wc -l)"
done
echo "/dev/stderr $({TABLE} {row} -o /dev/stderr 2>&1 >/dev/null | wc -l)"
ln -s /dev/stdout /dev/plot.png
echo "plot $({TABLE} {curve} --plot /dev/plot.png -o /dev/null | head -c 4 | tail -c 3)"
stat -c '%n %F' /dev/null /dev/stdout /dev/stderr /dev/fd /dev/plot.png
ls -A /dev | tr '\n' ' '
"""
        result = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", script],
                                capture_output=True, text=True)
        if result.returncode != 0 and "unshare" in result.stderr:
            self.skipTest("no private mount namespace here: " + result.stderr.strip())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.splitlines(), [
            "/dev/stdout 2", "/dev/fd/1 2", "/proc/self/fd/1 2", "/dev/stderr 2", "plot PNG",
            "/dev/null character special file", "/dev/stdout symbolic link",
            "/dev/stderr symbolic link", "/dev/fd symbolic link", "/dev/plot.png symbolic link",
            "fd null plot.png stderr stdin stdout "])


class LinksAndFifos(Folder):
    def test_a_link_is_written_through_and_stays_a_link(self):
        with open(self.path("target.csv"), "w") as target:
            target.write("old\n")
        os.symlink("target.csv", self.path("link"))
        os.symlink("link", self.path("chain"))
        for name in ("link", "chain"):
            self.assertEqual(run(*ROW, "-o", self.path(name)).returncode, 0)
            self.assertTrue(os.path.islink(self.path(name)))
            with open(self.path("target.csv"), "rb") as target:
                self.assertEqual(target.read(), self.expected)
        self.assertEqual(self.listing(), ["chain", "link", "target.csv"])

    def test_a_dangling_link_makes_its_target(self):
        os.mkdir(self.path("sub"))
        os.symlink("sub/new.csv", self.path("dangling"))
        self.assertEqual(run(*ROW, "-o", self.path("dangling")).returncode, 0)
        self.assertTrue(os.path.islink(self.path("dangling")))
        with open(self.path("sub/new.csv"), "rb") as made:
            self.assertEqual(made.read(), self.expected)
        self.assertEqual(sorted(os.listdir(self.path("sub"))), ["new.csv"])

    def test_a_loop_of_links_or_a_folder_is_refused_before_any_row(self):
        os.symlink("b", self.path("a"))
        os.symlink("a", self.path("b"))
        os.mkdir(self.path("folder"))
        huge = ["--solute", "all", "--T", "0:350:0.01", "--P", "1:1000:1", "--force"]
        for name, reason in (("a", b"Too many levels of symbolic links"),
                             ("folder", b"Is a directory"), ("folder/", b"Is a directory"),
                             ("none/x.csv", b"No such file or directory")):
            result = run(*huge, "-o", self.path(name), timeout=10)
            self.assertEqual(result.returncode, 1, name)
            self.assertIn(reason, result.stderr)
        self.assertEqual(self.listing(), ["a", "b", "folder"])

    def test_a_fifo_is_written_as_it_is(self):
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        received = []

        def read_all():
            with open(fifo, "rb") as end:
                received.append(end.read())

        reader = threading.Thread(target=read_all, daemon=True)
        reader.start()
        self.assertEqual(run(*ROW, "-o", fifo, timeout=30).returncode, 0)
        reader.join(timeout=30)
        self.assertEqual(received, [self.expected])
        self.assertTrue(stat.S_ISFIFO(os.stat(fifo).st_mode))
        self.assertEqual(self.listing(), ["fifo"])

    def test_a_stranger_s_link_in_a_sticky_shared_folder_is_not_followed(self):
        """As the kernel's protected_symlinks rule: in a sticky folder anyone may write, a link
        owned by neither the caller nor the folder's owner is refused, and its target kept."""
        if os.geteuid() != 0:
            self.skipTest("needs root to give a link to another user")
        shared = self.path("shared")
        os.mkdir(shared)
        os.chmod(shared, 0o1777)
        target = self.path("system-file")
        with open(target, "w") as f:
            f.write("precious\n")
        link = os.path.join(shared, "out.csv")
        os.symlink(target, link)
        os.lchown(link, 65534, 65534)  # nobody's
        result = run(*ROW, "-o", link)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn(b"protected_symlinks", result.stderr)
        with open(target) as f:
            self.assertEqual(f.read(), "precious\n")
        os.lchown(link, 0, 0)  # the caller's own link is followed as before
        self.assertEqual(run(*ROW, "-o", link).returncode, 0)
        with open(target, "rb") as f:
            self.assertEqual(f.read(), self.expected)

    def test_a_replaced_file_keeps_its_mode(self):
        for mode in (0o600, 0o640, 0o755):
            name = self.path(f"t{mode:o}.csv")
            with open(name, "w"):
                pass
            os.chmod(name, mode)
            self.assertEqual(run(*ROW, "-o", name).returncode, 0)
            self.assertEqual(stat.S_IMODE(os.stat(name).st_mode), mode)

    def test_a_hard_link_keeps_the_old_contents(self):
        with open(self.path("a.csv"), "w") as old:
            old.write("old\n")
        os.link(self.path("a.csv"), self.path("b.csv"))
        self.assertEqual(run(*ROW, "-o", self.path("a.csv")).returncode, 0)
        with open(self.path("b.csv")) as other:
            self.assertEqual(other.read(), "old\n")


class TwoOutputsOneFile(Folder):
    def test_the_table_and_the_plot_may_not_be_one_file(self):
        os.symlink("same.png", self.path("alias.png"))
        with open(self.path("same.png"), "w") as old:
            old.write("kept\n")
        for table, plot in (("same.png", "same.png"), ("alias.png", "same.png"),
                            ("new.png", "new.png")):
            result = run(*CURVE, "-o", self.path(table), "--plot", self.path(plot))
            self.assertEqual(result.returncode, 2, (table, plot))
            self.assertIn(b"both be written to", result.stderr)
        with open(self.path("same.png"), "w") as stdout:  # the table to standard output
            result = subprocess.run([TABLE, *CURVE, "--plot", self.path("same.png")],
                                    stdout=stdout, stderr=subprocess.PIPE)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(self.listing(), ["alias.png", "same.png"])


class PlotNames(Folder):
    """Each name would run `touch PWNED` (in the folder, gnuplot's working directory) if it
    reached gnuplot as script text."""

    def test_a_name_full_of_gnuplot_commands_runs_none(self):
        names = ["x\nsystem 'touch PWNED'\n#.png", "x'; system('touch PWNED'); '.svg",
                 'x"; system("touch PWNED"); ".pdf', "x\\\nsystem 'touch PWNED'\n#.png",
                 "`touch PWNED`.png"]
        for name in names:
            result = run(*CURVE, "--plot", name, "-o", "t.csv", cwd=self.folder.name)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertTrue(os.path.getsize(self.path(name)) > 1000)
        self.assertEqual(self.listing(), sorted(names + ["t.csv"]))

    def test_a_temporary_folder_full_of_gnuplot_commands_runs_none(self):
        folder = self.path("tmp\nsystem 'touch PWNED'\n#")
        os.mkdir(folder)
        result = run(*CURVE, "--plot", "k.png", "-o", "t.csv", cwd=self.folder.name,
                     env={**os.environ, "TMPDIR": folder})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.listing(), sorted(["k.png", "t.csv", os.path.basename(folder)]))
        self.assertEqual(os.listdir(folder), [])


class Limits(Folder):
    def test_a_file_size_limit_is_a_write_error_that_leaves_nothing(self):
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (100_000, 100_000))
        result = run("--solute", "all", "--T", "0:300:1", "--P", "1:100:1", "--quiet",
                     "-o", self.path("big.csv"), preexec_fn=limit)
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertIn(b"write error: File too large", result.stderr)
        self.assertEqual(self.listing(), [])

    def test_netcdf_write_errors_are_write_errors_that_name_the_file(self):
        # Assembled in memory and written at the end, or written by the library as computed.
        limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (100_000, 100_000))
        for in_memory, reason in (("1", "write error: File too large"), ("0", "netCDF: ")):
            result = run("--solute", "all", "--T", "0:300:1", "--P", "1:100:1", "--quiet",
                         "--format", "netcdf", "-o", self.path("big.nc"), preexec_fn=limit,
                         env=dict(os.environ, AQSOL_NETCDF_IN_MEMORY=in_memory))
            self.assertEqual(result.returncode, 3, result.stderr)
            self.assertIn(f"cannot write '{self.path('big.nc')}': {reason}".encode(),
                          result.stderr)
            self.assertEqual(self.listing(), [])

    def test_a_netcdf_table_beyond_the_format_is_refused_before_any_row(self):
        result = run("--solute", "all", "--T", "0:300:0.001", "--P", "1:1000:0.1", "--quiet",
                     "--force", "--format", "netcdf", "-o", self.path("huge.nc"), timeout=60)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn(b"too large for the file's format (at most 4 GiB a variable): ask for "
                      b"fewer states, or write CSV or TSV", result.stderr)
        self.assertEqual(self.listing(), [])

    def test_threads_or_memory_that_cannot_be_had_end_in_order(self):
        # Address space for the program but not for the eight-megabyte stacks of 64 threads:
        # the work goes on with the threads there are, or, where even its memory runs out, ends
        # with a message. Never a crash, never a temporary left behind.
        grid = ["--solute", "CO2", "--T", "0:300:1", "--P", "1:100:10"]
        expected = run(*grid, "--threads", "1").stdout
        for megabytes in (60, 100, 150):
            limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (megabytes << 20,) * 2)
            result = run(*grid, "--threads", "64", "-o", self.path("t.csv"), preexec_fn=limit)
            if b"Sanitizer" in result.stderr:
                self.skipTest("a sanitized build reserves more address space than the limit")
            self.assertIn(result.returncode, (0, 1), result.stderr)
            if result.returncode == 1:
                self.assertEqual(result.stderr, b"aqsol-table: out of memory\n")
                self.assertEqual(self.listing(), [])
                continue
            with open(self.path("t.csv"), "rb") as table:
                self.assertEqual(table.read(), expected)
            self.assertEqual(self.listing(), ["t.csv"])
            os.unlink(self.path("t.csv"))

    def test_a_signal_ignored_at_start_stays_ignored(self):
        """Under nohup (SIGHUP ignored) a hang-up neither ends the table nor loses it."""
        with tempfile.TemporaryDirectory() as folder:
            out = os.path.join(folder, "o.csv")
            table = subprocess.Popen(
                [TABLE, "--T", "0:300:0.1", "--P", "1:100:1", "--quiet", "-o", out],
                preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN),
                stderr=subprocess.PIPE)
            for _ in range(500):  # until its temporary exists: the table is being made
                if os.listdir(folder):
                    break
                time.sleep(0.01)
            table.send_signal(signal.SIGHUP)
            _, err = table.communicate(timeout=600)
            self.assertEqual(table.returncode, 0, err)
            with open(out) as f:
                self.assertEqual(sum(1 for _ in f), 1 + 3001 * 100)

    def test_a_signal_leaves_no_private_copy_behind(self):
        """netCDF to a device is drawn into a private file in TMPDIR first: SIGTERM and SIGHUP
        remove it as they remove the table's own temporary."""
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            with tempfile.TemporaryDirectory() as folder:
                table = subprocess.Popen(
                    [TABLE, "--T", "0:300:0.01", "--P", "1:100:1", "--quiet", "--format",
                     "netcdf", "-o", "/dev/null"], env=dict(os.environ, TMPDIR=folder),
                    stderr=subprocess.PIPE)
                for _ in range(100):  # until the private copy exists
                    if os.listdir(folder):
                        break
                    time.sleep(0.02)
                table.send_signal(sig)
                table.communicate(timeout=60)
                self.assertEqual(table.returncode, -sig)
                self.assertEqual(os.listdir(folder), [], sig)

    def test_minus_zero_is_zero(self):
        rows = run("--solute", "CO2", "--T", "-0,-0.0,-1:1:1", "--P", "1").stdout.splitlines()
        self.assertEqual([row.split(b",")[1] for row in rows[1:]], [b"0", b"0", b"-1", b"0", b"1"])


if __name__ == "__main__":
    TABLE = os.path.abspath(sys.argv.pop(1))
    unittest.main()
