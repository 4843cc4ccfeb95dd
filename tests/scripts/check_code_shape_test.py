"""scripts/check-code-shape: a function of 61 lines and misnamed functions and types are caught;
60 lines, raw text and the exported names pass.

usage: check_code_shape_test.py CHECK_CODE_SHAPE   (run by ctest)"""
import os
import subprocess
import sys
import tempfile
import unittest

CHECK = ""


def body(lines):
    return "".join(f"  x += {n};\n" for n in range(lines))


class CodeShape(unittest.TestCase):
    def check(self, source):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "planted.cpp")
            with open(path, "w") as file:
                file.write(source)
            result = subprocess.run([CHECK, path], capture_output=True, text=True)
            return result.returncode, result.stderr

    def test_length(self):
        self.assertEqual(self.check("int fits(int x) {\n" + body(57) + "  return x;\n}\n"),
                         (0, ""))
        status, out = self.check("int tooLong(int x) {\n" + body(58) + "  return x;\n}\n")
        self.assertEqual(status, 1)
        self.assertIn("planted.cpp:1: tooLong is 61 lines (at most 60)", out)
        text = 'const char* kText = R"(\n' + "words\n" * 80 + ')";\nint f() {\n  return 1;\n}\n'
        self.assertEqual(self.check(text), (0, ""))

    def test_names(self):
        status, out = self.check("void read_rows() {\n}\nstruct bad_type {};\n")
        self.assertEqual(status, 1)
        self.assertIn("function read_rows is not lowerCamelCase", out)
        self.assertIn("type bad_type is not CamelCase", out)
        fine = ("int aqsol_solute_count(void) {\n  return 20;\n}\n"
                "double d2rho_dT2(double x) {\n  return x;\n}\nint main() {\n  return 0;\n}\n")
        self.assertEqual(self.check(fine), (0, ""))


if __name__ == "__main__":
    CHECK = sys.argv.pop(1)
    unittest.main()
