"""make install and make uninstall (scripts/install-tree) remove only what they installed: files
under the recorded prefix, and the folders the install created where they are empty; a user's
files inside and beside the prefix, and paths a record should not name, are left alone.

usage: install_tree_test.py BUILD  (run by ctest on its build folder)
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "install-tree")
BUILD = ""


def tree(script_args, cwd):
    return subprocess.run([SCRIPT, *script_args], capture_output=True, text=True, cwd=cwd)


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(d, n), folder)
                  for d, _, names in os.walk(folder) for n in names)


def write(path, text="keep\n"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


class InstallTree(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.TemporaryDirectory()
        self.addCleanup(self.root.cleanup)
        self.work = os.path.join(self.root.name, "checkout")
        os.makedirs(self.work)

    def record_path(self):
        return os.path.join(BUILD, "install-record.json")

    def tearDown(self):
        if os.path.exists(self.record_path()):
            os.unlink(self.record_path())

    def test_only_its_own_files_go_and_decoys_stay(self):
        prefix = os.path.join(self.root.name, "my prefix")  # a space in it
        decoys = [os.path.join(prefix, "bin", "notes"), os.path.join(self.root.name, "notes"),
                  os.path.join(self.work, "bin", "aqsol-table")]
        for decoy in decoys:
            write(decoy)
        installed = tree(["install", BUILD, prefix], self.work)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        self.assertIn("bin/aqsol-table", files_under(prefix))
        # A record that names what the install did not put under its prefix is not obeyed.
        with open(self.record_path()) as f:
            record = json.load(f)
        install = record["installs"][0]
        count = len(install["files"])
        install["files"] += [decoys[1], "bin/aqsol-table", prefix + "/../notes"]
        with open(self.record_path(), "w") as f:
            json.dump(record, f)
        removed = tree(["uninstall", BUILD], self.work)
        self.assertEqual(removed.returncode, 1, removed.stderr)  # it says what it refused
        self.assertIn(f"removed the {count} files", removed.stdout)
        self.assertEqual(removed.stderr.count("not removed, outside"), 3)
        for decoy in decoys:
            self.assertTrue(os.path.exists(decoy), decoy)
        self.assertEqual(files_under(prefix), ["bin/notes"])  # its folders, emptied, are gone
        self.assertEqual(sorted(os.listdir(prefix)), ["bin"])

    def test_a_fresh_prefix_leaves_nothing(self):
        prefix = os.path.join(self.root.name, "fresh", "usr")
        self.assertEqual(tree(["install", BUILD, prefix], self.work).returncode, 0)
        removed = tree(["uninstall", BUILD], self.work)
        self.assertEqual(removed.returncode, 0, removed.stderr)
        self.assertFalse(os.path.exists(prefix))
        self.assertTrue(os.path.isdir(os.path.join(self.root.name, "fresh")))  # not its own

    def test_installs_again_and_elsewhere_are_all_removed(self):
        first = os.path.join(self.root.name, "first")
        second = os.path.join(self.root.name, "second", "usr")
        for prefix in (first, first, second):  # again into one prefix, then into another
            self.assertEqual(tree(["install", BUILD, prefix], self.work).returncode, 0)
        removed = tree(["uninstall", BUILD], self.work)
        self.assertEqual(removed.returncode, 0, removed.stderr)
        self.assertEqual(removed.stdout.count("removed the"), 2)
        self.assertFalse(os.path.exists(first), "no empty folder left")
        self.assertFalse(os.path.exists(second))

    def test_a_prefix_that_cmake_would_split_is_refused(self):
        for name in ("a;b", "a\nb"):
            prefix = os.path.join(self.root.name, name)
            result = tree(["install", BUILD, prefix], self.work)
            self.assertEqual(result.returncode, 1)
            self.assertIn("holds ';' or a line break", result.stderr)
            self.assertFalse(os.path.exists(prefix))
        self.assertEqual(tree(["uninstall", BUILD], self.work).stdout.split(":")[0],
                         "nothing to uninstall")


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
