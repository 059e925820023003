#!/usr/bin/env python3
"""Lists the tests that skipped in a ctest run, with their reasons, and fails
when one skipped that tests/expected-skips.txt does not list.

    scripts/check-skips.py RESULTS.xml EXPECTED.txt

RESULTS.xml is what `ctest --output-junit` wrote; run ctest with
--test-output-size-passed large enough to keep each suite's whole output,
since a Qt Test suite passes while one of its data rows skips. A skip is:
a ctest test marked skipped (GoogleTest's "[  SKIPPED ]" through the
SKIP_REGULAR_EXPRESSION gtest_discover_tests sets), named by its ctest name;
or a "SKIP   :" line of a Qt Test suite, named "SUITE/Class::function(row)".

Each line of EXPECTED.txt is "NAME: REASON", where REASON must be part of
the message the test skipped with: a test that starts to skip for another
reason is reported like an unlisted one. '#' starts a comment line.
"""
import re
import sys
import xml.etree.ElementTree as ET

QT_SKIP = re.compile(r"^SKIP\s+:\s+(\S+?\(.*?\))\s*(.*)$")
GTEST_SKIPPED = re.compile(r"^.*: Skipped$")


def gtest_reason(output):
    lines = output.splitlines()
    for i, line in enumerate(lines):
        if GTEST_SKIPPED.match(line):
            reason = []
            for text in lines[i + 1:]:
                if text.startswith("[  SKIPPED ]"):
                    break
                reason.append(text.strip())
            return " ".join(r for r in reason if r)
    return ""


def skips(results):
    """[(name, reason)] and the names of every ctest test in the run."""
    found, ran = [], set()
    for case in ET.parse(results).getroot().iter("testcase"):
        # gtest_discover_tests appends "  # GetParam() = ..." to the names
        # of parameterized tests; the name alone is enough.
        name = case.get("name").split("  # GetParam()")[0]
        ran.add(name)
        output = case.findtext("system-out") or ""
        if case.find("skipped") is not None:
            found.append((name, gtest_reason(output) or (case.find("skipped").get("message") or "")))
            continue
        for line in output.splitlines():
            m = QT_SKIP.match(line.strip())
            if m:
                found.append((f"{name}/{m.group(1)}", m.group(2)))
    return found, ran


def expected(path):
    listed = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            name, sep, reason = line.partition(": ")
            if not sep or not reason.strip():
                sys.exit(f"{path}:{number}: not 'NAME: REASON': {line}")
            listed[name.strip()] = reason.strip()
    return listed


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    found, ran = skips(sys.argv[1])
    listed = expected(sys.argv[2])
    unexpected = [(n, r) for n, r in found if n not in listed or listed[n] not in r]
    print(f"\nSkipped tests ({len(found)}):" if found else "\nNo test skipped.")
    for name, reason in found:
        mark = "UNEXPECTED " if (name, reason) in unexpected else ""
        print(f"  {mark}{name}: {reason or '(no reason given)'}")
    skipped = {n for n, _ in found}
    for name in listed:
        suite = name.split("/", 1)[0]
        if name not in skipped and (name in ran or suite in ran):
            print(f"  (listed in {sys.argv[2]} but did not skip: {name})")
    if unexpected:
        print(f"{len(unexpected)} test(s) skipped that {sys.argv[2]} does not expect: "
              "make them run here, or list them with the reason they cannot.", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
