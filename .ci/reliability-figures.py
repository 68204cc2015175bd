#!/usr/bin/env python3
"""Writes docs/reliability-figures.md from the logs of one .ci/reliability.sh run.

Usage: reliability-figures.py LOG_DIR COVERAGE_DIR FUZZ_SECONDS OUTPUT

Every figure is read from what the run printed: the out-of-memory sweep's
totals, the resident memory and fork checks, each sanitizer preset's CTest summary, the coverage summary and branch
counts of list/, and the fuzzer's tally. A figure that cannot be found stops
the script, so the page is never written with a gap or a stale number.
"""

import datetime
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fail(what):
    sys.exit("reliability-figures: " + what)


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as source:
            return source.read()
    except OSError as error:
        fail("cannot read %s: %s" % (path, error))


def find(pattern, text, where):
    match = re.search(pattern, text, re.MULTILINE)
    if not match:
        fail("no /%s/ in %s" % (pattern, where))
    return match


def number(text):
    return "{:,}".format(int(text))


def sweep(logs):
    text = read(os.path.join(logs, "sweep.log"))
    totals = find(r"^\[ sweep +\] (\d+) runs, (\d+) failure points, (\d+) state checks$", text,
                  "sweep.log")
    passed = find(r"^\[  PASSED  \] (\d+) tests?\.$", text, "sweep.log")
    if re.search(r"^\[  FAILED  \]", text, re.MULTILINE):
        fail("the sweep has failures")
    return ("%s cases passed (every operation and starting state, failing one heap call at a "
            "time, then every call from it on): %s runs, %s failure points, %s state checks"
            % (passed.group(1), number(totals.group(1)), number(totals.group(2)),
               number(totals.group(3))))


def ctest(logs, preset):
    text = read(os.path.join(logs, preset + ".log"))
    summary = find(r"^(\d+)% tests passed, (\d+) tests failed out of (\d+)$", text,
                   preset + ".log")
    if summary.group(2) != "0":
        fail("%s: %s tests failed" % (preset, summary.group(2)))
    total = int(summary.group(3))
    # A GoogleTest suite is one CTest test, skipped when all its cases are,
    # and its name says why.
    skipped = re.findall(r"^\s*\d+ - (\S+) \(Skipped\)$", text, re.MULTILINE)
    result = "%s of %s CTest tests (one per GoogleTest suite) passed" % (
        number(total - len(skipped)), number(total))
    if skipped:
        result += ", %d skipped: %s" % (len(skipped), ", ".join("`%s`" % name for name in skipped))
    return result


def coverage(directory):
    report = read(os.path.join(directory, "report.txt"))
    total = find(r"^TOTAL\s+(.*)$", report, "report.txt").group(1).split()
    # Regions, missed, cover; functions, missed, executed; lines, missed, cover;
    # branches, missed, cover.
    if len(total) != 12:
        fail("unexpected TOTAL line in report.txt: %s" % " ".join(total))
    lines, lines_missed = int(total[6]), int(total[7])
    branches, branches_missed = int(total[9]), int(total[10])
    summary = "lines %.1f %% (%d of %d), branches %.1f %% (%d of %d)" % (
        100.0 * (lines - lines_missed) / lines, lines - lines_missed, lines,
        100.0 * (branches - branches_missed) / branches, branches - branches_missed, branches)

    # The annotated sources list a template's branches once per instantiation,
    # then again in each instantiation's own view (nested under "|"); a side
    # counts as taken here when any instantiation took it. The summary counts
    # the instantiation that took the most, so the two agree only while one
    # instantiation of each template takes every side the others take (the
    # tests see to it; the check below says when they no longer do).
    taken = {}
    source = {}
    path = None
    for line in read(os.path.join(directory, "branches.txt")).splitlines():
        header = re.match(r"^(/\S+):$", line)
        if header:
            path = os.path.relpath(header.group(1), ROOT)
            continue
        code = re.match(r"^\s*(\d+)\|[^|]*\|(.*)$", line)
        if code:
            source[(path, int(code.group(1)))] = code.group(2).strip()
            continue
        branch = re.match(r"^  \|  Branch \((\d+):(\d+)\): \[True: ([^,]+), False: ([^\]]+)\]$",
                          line)
        if branch:
            at = (path, int(branch.group(1)), int(branch.group(2)))
            sides = taken.setdefault(at, {"true": False, "false": False})
            sides["true"] |= branch.group(3).strip() != "0"
            sides["false"] |= branch.group(4).strip() != "0"
    if 2 * len(taken) != branches:
        fail("branches.txt shows %d branches, report.txt %d" % (2 * len(taken), branches))
    missed = [(path, line, source.get((path, line), ""), side)
              for (path, line, column), sides in sorted(taken.items())
              for side in ("true", "false") if not sides[side]]
    if len(missed) != branches_missed:
        fail("branches.txt shows %d branches never taken, report.txt %d"
             % (len(missed), branches_missed))
    return summary, missed


def residency(logs):
    text = read(os.path.join(logs, "residency.log"))
    rows = re.findall(r"^\| (\S+) \| (.+?) \| ([\d.]+) \| ([\d.]+) \|$", text, re.MULTILINE)
    after = {(workload, container): value for workload, container, _, value in rows}
    parts = []
    for workload in ("rounds", "big-small"):
        if (workload, "slot list") not in after or (workload, "realloc twin") not in after:
            fail("no %s rows in residency.log" % workload)
        parts.append("%s: %s MiB, twin %s MiB" % (workload, after[(workload, "slot list")],
                                                   after[(workload, "realloc twin")]))
    return "resident once every list is destroyed, against a realloc twin (at most 2 MiB " \
           "more): " + "; ".join(parts)


def fork_check(logs):
    text = read(os.path.join(logs, "fork.log"))
    tally = find(r"^fork check: (\d+) children beside 3 threads churning lists: (\d+) hung, "
                 r"(\d+) failed$", text, "fork.log")
    if tally.group(2) != "0" or tally.group(3) != "0":
        fail("a forked child hung or failed")
    return "%s children forked beside 3 threads churning lists: 0 hung, 0 failed" % number(
        tally.group(1))


def fuzz(logs, seconds):
    text = read(os.path.join(logs, "fuzz.log"))
    tally = find(r"^list fuzz: (\d+) inputs, (\d+) operations checked, (\d+) divergences$", text,
                 "fuzz.log")
    if tally.group(3) != "0":
        fail("the fuzzer found divergences")
    return ("%s inputs in %s s, %s operations checked against the model, 0 divergences"
            % (number(tally.group(1)), seconds, number(tally.group(2))))


def main():
    if len(sys.argv) != 5:
        fail("usage: reliability-figures.py LOG_DIR COVERAGE_DIR FUZZ_SECONDS OUTPUT")
    logs, coverage_dir, seconds, output = sys.argv[1:]
    demo = read(os.path.join(logs, "valgrind-demo.log")).strip()
    covered, missed = coverage(coverage_dir)
    rows = [
        ("out-of-memory sweep", sweep(logs)),
        ("resident memory (`slot_list_residency --check`)", residency(logs)),
        ("fork beside threads (`slot_list_fork_check`)", fork_check(logs)),
        ("AddressSanitizer and UBSan (`asan`)", ctest(logs, "asan")),
        ("ThreadSanitizer (`tsan`)", ctest(logs, "tsan")),
        ("Valgrind memcheck (`valgrind`)", ctest(logs, "valgrind") + "; " + demo),
        ("coverage of `list/` (`coverage`)", covered),
        ("differential fuzzing (`fuzz`)", fuzz(logs, seconds)),
    ]
    commit = subprocess.run(["git", "describe", "--always", "--dirty"], cwd=ROOT,
                            capture_output=True, text=True).stdout.strip() or "unknown"

    page = [
        "# Reliability figures",
        "",
        "<!-- Written by .ci/reliability.sh from its own run: edit the script, not this page. -->",
        "",
        "From one run of `.ci/reliability.sh` on %s, commit `%s`, %d CPUs. "
        "[reliability.md](reliability.md) says what each check does; a sanitizer or "
        "Valgrind report fails the test it comes from."
        % (datetime.date.today().isoformat(), commit, os.cpu_count() or 0),
        "",
        "| check | result |",
        "|---|---|",
    ]
    page += ["| %s | %s |" % row for row in rows]
    page += ["", "## Branches never taken", ""]
    if missed:
        page += ["| where | code | never |", "|---|---|---|"]
        for path, line, code, side in missed:
            page.append("| `%s:%d` | `%s` | %s |" % (path, line, code.replace("|", "\\|"), side))
    else:
        page.append("None.")
    text = "\n".join(page) + "\n"
    with open(output, "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main()
