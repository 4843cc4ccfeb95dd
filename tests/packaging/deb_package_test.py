"""The Debian package as Debian's tools and policy see it: its control fields, every file where
the policy puts it (programs in /usr/bin, the library in the multiarch folder, compressed manual
pages for every program, the Python package in dist-packages, a copyright file), no RPATH, a
desktop entry whose program and icon are in the package, the programs and the Python package
running from the unpacked tree, and lintian without errors where it is installed.

usage: deb_package_test.py PACKAGE.deb
"""
import configparser
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

PACKAGE = ""
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "../.."))


def output(*command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, check=True, **kwargs).stdout


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.tree = cls.folder.name
        subprocess.run(["dpkg-deb", "-x", PACKAGE, cls.tree], check=True)
        cls.multiarch = output("gcc", "-print-multiarch").strip()
        cls.files = sorted(os.path.relpath(os.path.join(folder, name), cls.tree)
                           for folder, _, names in os.walk(cls.tree) for name in names)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def path(self, relative):
        return os.path.join(self.tree, relative)

    def test_control_fields(self):
        fields = dict(line.split(": ", 1) for line in
                      output("dpkg-deb", "-f", PACKAGE).splitlines() if ": " in line)
        with open(os.path.join(ROOT, "VERSION")) as version:
            self.assertEqual(fields["Version"], version.read().strip())
        self.assertEqual(fields["Package"], "aqsol")
        self.assertEqual(fields["Architecture"], output("dpkg", "--print-architecture").strip())
        for needed in ("libc6", "libstdc++6", "python3-numpy"):
            self.assertIn(needed, fields["Depends"])
        for name in ("md5sums", "shlibs", "triggers", "prerm"):
            self.assertIn(name, output("dpkg-deb", "-I", PACKAGE))

    def test_every_file_where_the_policy_puts_it(self):
        lib = f"usr/lib/{self.multiarch}"
        expected = ["usr/include/aqsol/aqsol.h", "usr/include/aqsol/aqsol.f90",
                    f"{lib}/libaqsol.so.1", f"{lib}/libaqsol.so", f"{lib}/libaqsol.a",
                    f"{lib}/pkgconfig/aqsol.pc", f"{lib}/pkgconfig/aqsol-static.pc",
                    f"{lib}/cmake/aqsol/aqsolConfig.cmake", "usr/share/man/man3/aqsol.3.gz",
                    "usr/lib/python3/dist-packages/aqsol/__init__.py",
                    "usr/share/doc/aqsol/copyright", "usr/share/doc/aqsol/changelog.gz",
                    "usr/share/aqsol/species/g704.csv", "usr/share/applications/aqsol.desktop",
                    "usr/share/icons/hicolor/scalable/apps/aqsol.svg"]
        for program in ("aqsol", "aqsol-console", "aqsol-table", "aqsol-fit"):
            expected += [f"usr/bin/{program}", f"usr/share/man/man1/{program}.1.gz"]
        for path in expected:
            self.assertTrue(os.path.lexists(self.path(path)), path)
        self.assertTrue(any(f.startswith("usr/lib/python3/dist-packages/aqsol/_aqsol")
                            for f in self.files))
        if shutil.which("R"):
            self.assertIn("usr/lib/R/site-library/aqsol/libs/aqsol.so", self.files)
        for path in self.files:
            self.assertTrue(path.startswith("usr/") and not path.startswith("usr/local/"), path)
            self.assertFalse(path.startswith("usr/share/man/") and not path.endswith(".gz"), path)
        with open(self.path(f"{lib}/pkgconfig/aqsol.pc")) as pc:
            self.assertNotIn("rpath", pc.read(), "a system library needs no recorded folder")

    def test_no_rpath_and_no_writable_files(self):
        for path in self.files:
            full = self.path(path)
            if os.path.islink(full):
                continue
            self.assertEqual(os.stat(full).st_mode & 0o022, 0, f"{path} is writable by others")
            if path.endswith(".a"):
                continue
            with open(full, "rb") as file:
                elf = file.read(4) == b"\x7fELF"
            if elf:
                dynamic = output("readelf", "-d", full)
                self.assertNotIn("RPATH", dynamic, path)
                self.assertNotIn("RUNPATH", dynamic, path)

    def test_the_desktop_entry_names_what_the_package_has(self):
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(self.path("usr/share/applications/aqsol.desktop"))
        desktop = entry["Desktop Entry"]
        self.assertEqual(desktop["Type"], "Application")
        self.assertTrue(os.path.exists(self.path("usr/bin/" + desktop["Exec"].split()[0])))
        self.assertTrue(os.path.exists(
            self.path(f"usr/share/icons/hicolor/scalable/apps/{desktop['Icon']}.svg")))
        self.assertIn("Science", desktop["Categories"].split(";"))
        if shutil.which("desktop-file-validate"):
            output("desktop-file-validate", self.path("usr/share/applications/aqsol.desktop"))

    def test_the_programs_and_the_python_package_run_from_the_tree(self):
        table = output(self.path("usr/bin/aqsol-table"), "--solute", "CO2", "--T", "25",
                       "--P", "1", "--columns", "lnkH")
        self.assertEqual(table.splitlines()[0], "lnkH")
        env = {**os.environ, "PYTHONPATH": self.path("usr/lib/python3/dist-packages")}
        lnkH = output("/usr/bin/python3", "-c",
                      "import aqsol; print(repr(float(aqsol.properties('CO2', 25, 1)['lnkH'])))",
                      env=env).strip()
        self.assertEqual(float(lnkH), float(table.splitlines()[1]))

    def test_lintian_finds_no_error(self):
        if not shutil.which("lintian"):
            self.skipTest("lintian is not installed")
        result = subprocess.run(["lintian", "--tag-display-limit", "0", PACKAGE],
                                capture_output=True, text=True)
        tags = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:")]
        print("\nlintian:", *tags or ["no warnings"], sep="\n  ", file=sys.stderr)
        self.assertEqual([t for t in tags if t.startswith("E:")], [])


if __name__ == "__main__":
    PACKAGE = os.path.abspath(sys.argv.pop(1))
    unittest.main()
