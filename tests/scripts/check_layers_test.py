"""scripts/check-layers on small trees: a clean one passes, and each forbidden form planted in
it (every include form, a header, a test, a CMake link) makes the check fail and name it.

usage: check_layers_test.py CHECK_LAYERS  (run by ctest)
"""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

CHECK = ""

CLEAN = {
    "services/errors.hpp": "#pragma once\n",
    "services/errors.cpp": '#include "services/errors.hpp"\n#include <vector>\n',
    "frame/frame.hpp": '#pragma once\n#include "services/errors.hpp"\n',
    "frame/frame.cpp": '#include "frame.hpp"\n#include <SDL.h>\n',
    "frame/sdl/window.cpp": '#include "../frame.hpp"\n',
    "apps/main.cpp": '#include "frame/sdl/window.hpp"\n#include "services/errors.hpp"\n',
    "tests/frame/frame_test.cpp": '#include "frame/frame.hpp"\n#include "tests/support/x.hpp"\n',
    "bench/bench.cpp": '#include "apps/main.hpp"\n',
    "CMakeLists.txt": textwrap.dedent("""\
        add_library(low services/errors.cpp)
        add_library(high frame/frame.cpp)
        target_link_libraries(high PUBLIC low)  # a link down
        add_executable(program apps/main.cpp)
        target_link_libraries(program PRIVATE high)
        """),
}

PLANTED = [
    ("services/probe.cpp", '#include "frame/frame.hpp"\n'),
    ("services/probe.cpp", '#include "../frame/frame.hpp"\n'),
    ("services/probe.cpp", "#include <frame/frame.hpp>\n"),
    ("services/probe.cpp", '  #  include "frame/frame.hpp"\n'),
    ("services/probe.h", '#include "frame/frame.hpp"\n'),
    ("services/sub/probe.hpp", '#include "../../frame/frame.hpp"\n'),
    ("frame/probe.cpp", '#include "frame/sdl/window.hpp"\n'),
    ("frame/probe.cpp", '#include "sdl/window.hpp"\n'),
    ("tests/services/probe_test.cpp", '#include "frame/frame.hpp"\n'),
    ("tests/services/probe_test.cpp", '#include "../../frame/frame.hpp"\n'),
    ("CMakeLists.txt", CLEAN["CMakeLists.txt"] + "target_link_libraries(low\n  PRIVATE high)\n"),
]


def check(tree):
    with tempfile.TemporaryDirectory() as root:
        for name, text in tree.items():
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(root, name), "w") as file:
                file.write(text)
        return subprocess.run([CHECK, root], capture_output=True, text=True)


class CheckLayers(unittest.TestCase):
    def test_a_clean_tree_passes(self):
        result = check(CLEAN)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_every_forbidden_form_fails_and_is_named(self):
        for name, text in PLANTED:
            with self.subTest(name=name, text=text):
                result = check({**CLEAN, name: text})
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(name, result.stderr)


if __name__ == "__main__":
    CHECK = os.path.abspath(sys.argv.pop(1))
    unittest.main()
