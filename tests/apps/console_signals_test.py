"""aqsol-console ended from outside: signals leave a complete transcript and the terminal as it
was, and ended by the same signal; failed writes end it with a message and status 3.

usage: console_signals_test.py AQSOL_CONSOLE  (run by ctest)
"""
import os
import pty
import signal
import subprocess
import sys
import termios
import time
import unittest

CONSOLE = ""
ONE_PASS = b"5\n25\n1\n"


def start(stdin, stdout, **kwargs):
    return subprocess.Popen([CONSOLE, "--muted"], stdin=stdin, stdout=stdout,
                            stderr=subprocess.PIPE, **kwargs)


def wait_for_calculator():
    time.sleep(1.0)  # start-up and one pass take a small fraction of this


class Signals(unittest.TestCase):
    def test_a_signal_leaves_the_whole_transcript_and_ends_by_that_signal(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            console = start(subprocess.PIPE, subprocess.PIPE)
            console.stdin.write(ONE_PASS)  # and the input stays open: the calculator waits
            console.stdin.flush()
            wait_for_calculator()
            console.send_signal(sig)
            out, err = console.communicate(timeout=10)
            self.assertEqual(console.returncode, -sig, err)
            lines = out.decode().splitlines()
            self.assertTrue(any("lnkH =    7.390" in line for line in lines), out)
            self.assertEqual(lines[-1], " Temp in C =  25.00?")

    def test_a_signal_ignored_at_start_stays_ignored(self):
        """nohup and a shell's background jobs start a program with SIGHUP or SIGINT ignored:
        it goes on through them and ends when its input does."""
        for sig in (signal.SIGHUP, signal.SIGINT):
            console = start(subprocess.PIPE, subprocess.PIPE,
                            preexec_fn=lambda sig=sig: signal.signal(sig, signal.SIG_IGN))
            console.stdin.write(ONE_PASS)
            console.stdin.flush()
            wait_for_calculator()
            console.send_signal(sig)
            time.sleep(0.3)
            self.assertIsNone(console.poll(), sig)
            out, err = console.communicate(b"100\n1\n", timeout=10)
            self.assertEqual(console.returncode, 0, err)
            self.assertIn("Temp in C = 100.00?", out.decode())

    def test_muted_bells_are_not_waited_for(self):
        """A BEL key rings the bell; muted, nothing waits for it."""
        console = start(subprocess.PIPE, subprocess.PIPE)
        started = time.monotonic()
        out, err = console.communicate(b"\a" * 40 + ONE_PASS, timeout=30)
        self.assertEqual(console.returncode, 0, err)
        self.assertLess(time.monotonic() - started, 3.0)  # 40 held bells would take 10 s

    def test_a_reader_that_goes_away_ends_it_by_sigpipe(self):
        read_end, write_end = os.pipe()
        console = start(subprocess.PIPE, write_end)
        os.close(write_end)
        os.close(read_end)
        console.stdin.write(ONE_PASS * 50)
        console.stdin.close()
        console.wait(timeout=10)
        self.assertEqual(console.returncode, -signal.SIGPIPE)
        console.stderr.close()


class WriteErrors(unittest.TestCase):
    def test_a_full_disk_or_a_closed_output_ends_it_with_status_3(self):
        with open("/dev/full", "wb") as full:
            result = subprocess.run([CONSOLE, "--muted"], input=ONE_PASS, stdout=full,
                                    stderr=subprocess.PIPE, timeout=30)
        self.assertEqual(result.returncode, 3)
        self.assertEqual(result.stderr, b"aqsol-console: write error: No space left on device\n")
        closed = subprocess.run(["sh", "-c", f"'{CONSOLE}' --muted >&-"], input=ONE_PASS,
                                stderr=subprocess.PIPE, timeout=30)
        self.assertEqual(closed.returncode, 3)
        self.assertIn(b"write error: Bad file descriptor", closed.stderr)


class Terminal(unittest.TestCase):
    """Keys from a terminal, the transcript to a pipe: the terminal is raw while the calculator
    runs and has its modes back however the program ends."""

    def setUp(self):
        self.master, self.slave = pty.openpty()
        self.before = termios.tcgetattr(self.slave)

    def tearDown(self):
        os.close(self.master)
        os.close(self.slave)

    def assert_restored(self):
        self.assertEqual(termios.tcgetattr(self.slave), self.before)

    def raw_while_running(self, console):
        wait_for_calculator()
        self.assertEqual(termios.tcgetattr(self.slave)[3] & termios.ICANON, 0)

    def test_modes_come_back_on_sigterm(self):
        console = start(self.slave, subprocess.PIPE)
        self.raw_while_running(console)
        console.send_signal(signal.SIGTERM)
        console.communicate(timeout=10)
        self.assertEqual(console.returncode, -signal.SIGTERM)
        self.assert_restored()

    def test_modes_come_back_when_the_reader_goes_away(self):
        console = start(self.slave, subprocess.PIPE)
        self.raw_while_running(console)
        console.stdout.close()
        os.write(self.master, b"5\r" + b"25\r1\r" * 20)
        console.wait(timeout=10)
        self.assertEqual(console.returncode, -signal.SIGPIPE)
        console.stderr.close()
        self.assert_restored()

    def test_modes_come_back_on_ctrl_c(self):
        console = start(self.slave, subprocess.PIPE)
        self.raw_while_running(console)
        os.write(self.master, b"\x03")
        console.communicate(timeout=10)
        self.assertEqual(console.returncode, 0)
        self.assert_restored()


if __name__ == "__main__":
    CONSOLE = os.path.abspath(sys.argv.pop(1))
    unittest.main()
