#!/usr/bin/env python3
"""scripts/check-skips.py on ctest results as ctest writes them: a skip is
found whether ctest marked the test skipped or a Qt Test row skipped inside
a suite that passed, and only a skip listed with its reason passes.

    python3 tests/test_check_skips.py SCRIPT
"""
import os
import subprocess
import sys
import tempfile
import unittest
from xml.sax.saxutils import escape

SCRIPT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../scripts/check-skips.py")

GTEST_SKIP = """Running main() from gmock_main.cc
[ RUN      ] Mounts/Same.Refused/Kernel
/src/tests/cli/test_cli_same_device.cpp:20: Skipped
the kernel has no ntfs3 driver

[  SKIPPED ] Mounts/Same.Refused/Kernel (2 ms)
"""
QT_SUITE = """********* Start testing of ScanRecoverTest *********
PASS   : ScanRecoverTest::initTestCase()
SKIP   : ScanRecoverTest::refused(kernel) the kernel has no ntfs3 driver
   Loc: [/src/tests/gui/tst_scan_recover.cpp(364)]
PASS   : ScanRecoverTest::refused(ntfs-3g)
QDEBUG : ScanRecoverTest::refused(ntfs-3g) SKIP   : not a skip, a message
Totals: 2 passed, 0 failed, 1 skipped, 0 blacklisted, 1830ms
"""


def case(name, status, output):
    skipped = '<skipped message="Skipped"/>' if status == "notrun" else ""
    return (f'<testcase name="{escape(name)}" classname="{escape(name)}" time="0" status="{status}">'
            f"{skipped}<system-out>{escape(output)}</system-out></testcase>")


RESULTS = ('<?xml version="1.0" encoding="UTF-8"?><testsuite name="Linux" tests="3">'
           + case("Mounts/Same.Refused/Kernel  # GetParam() = 4-byte object <00-00 00-00>", "notrun", GTEST_SKIP)
           + case("gui_scan", "run", QT_SUITE)
           + case("Core.Passes", "run", "[ RUN      ] Core.Passes\n[       OK ] Core.Passes (0 ms)\n")
           + "</testsuite>")


class CheckSkips(unittest.TestCase):
    def check(self, expected):
        with tempfile.TemporaryDirectory() as folder:
            results, listed = os.path.join(folder, "results.xml"), os.path.join(folder, "expected.txt")
            with open(results, "w") as f:
                f.write(RESULTS)
            with open(listed, "w") as f:
                f.write(expected)
            run = subprocess.run([sys.executable, SCRIPT, results, listed], capture_output=True, text=True)
            return run.returncode, run.stdout

    def test_both_kinds_of_skip_are_found_with_their_reasons(self):
        status, out = self.check("")
        self.assertEqual(status, 1)
        self.assertIn("Skipped tests (2):", out)
        self.assertIn("UNEXPECTED Mounts/Same.Refused/Kernel: the kernel has no ntfs3 driver\n", out)
        self.assertIn("UNEXPECTED gui_scan/ScanRecoverTest::refused(kernel): the kernel has no ntfs3 driver\n", out)

    def test_listed_skips_pass_only_with_their_reason(self):
        listed = ("# comment\n\nMounts/Same.Refused/Kernel: no ntfs3 driver\n"
                  "gui_scan/ScanRecoverTest::refused(kernel): the kernel has no ntfs3 driver\n")
        self.assertEqual(self.check(listed)[0], 0)
        self.assertEqual(self.check(listed.replace("no ntfs3 driver\n", "no loop devices\n", 1))[0], 1)
        self.assertEqual(self.check(listed.replace("(kernel)", "(ntfs-3g)"))[0], 1)
        status, out = self.check(listed + "Core.Passes: never skips\n")
        self.assertEqual(status, 0)
        self.assertIn("did not skip: Core.Passes", out)

    def test_a_malformed_list_is_refused(self):
        self.assertNotEqual(self.check("Mounts/Same.Refused/Kernel\n")[0], 0)


if __name__ == "__main__":
    unittest.main()
