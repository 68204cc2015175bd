#!/usr/bin/env python3
"""Writes a figures page from the output of the run that measured it.

  figures.py reliability LOG_DIR COVERAGE_DIR OUT   (.ci/reliability.sh)
  figures.py mutation OUT REPORT...                 (.ci/mutation.sh)

Figures are the lines the checks printed, quoted as they stand, or counted
from the mutation tool's JSON reports; a line that is missing stops the
script, so that no page is written with a gap.
"""

import collections
import datetime
import json
import os
import re
import subprocess
import sys


def fail(what):
    sys.exit("figures.py: " + what)


def read(path):
    try:
        return open(path, encoding="utf-8", errors="replace").read()
    except OSError as error:
        fail(str(error))


def lines(path, pattern):
    """Every line of path that matches pattern, at least one."""
    found = re.findall(pattern, read(path), re.MULTILINE)
    return found or fail("no /%s/ in %s" % (pattern, path))


def header(title, script, source=None):
    commit = subprocess.run(["git", "describe", "--always", "--dirty"], capture_output=True,
                            text=True).stdout.strip()
    return ["# " + title, "", "<!-- Written by %s from its own run. -->" % script, "",
            "From %s on %s at commit `%s`, %d CPUs." % (
                source or "one run of `%s`" % script, datetime.date.today().isoformat(), commit,
                os.cpu_count()), ""]


def reliability(logs, coverage):
    def quote(name, *patterns, optional=r"(?!)"):
        path = os.path.join(logs, name)
        found = [line for pattern in patterns for line in lines(path, pattern)]
        return "<br>".join("`%s`" % line.strip() for line in
                           found + re.findall(optional, read(path), re.MULTILINE))

    def ctest(preset):
        return quote(preset + ".log", r"^\d+% tests passed.*$",
                     optional=r"^\s*\d+ - \S+ \(Skipped\)$")

    total = lines(os.path.join(coverage, "report.txt"), r"^TOTAL.*$")[0].split()
    # Regions, functions, lines and branches: each a count, the missed and a cover.
    rows = [("out-of-memory sweep", quote("sweep.log", r"^\[ sweep .*$", r"^\[  PASSED  \].*$")),
            ("fork beside threads (`slot_list_fork_check`)", quote("fork.log", r"^fork check.*$")),
            ("AddressSanitizer and UBSan (`asan`)", ctest("asan")),
            ("ThreadSanitizer (`tsan`)", ctest("tsan")),
            ("Valgrind memcheck (`default`)", ctest("valgrind") + "<br>"
             + quote("valgrind-demo.log", r"^the demo.*$")),
            ("coverage of `list/` (`coverage`)", "lines: %s, %s missed, %s covered; branches: %s, "
             "%s missed, %s covered" % tuple(total[7:13])),
            ("differential fuzzing (`fuzz`)", quote("fuzz.log", r"^list fuzz.*$",
                                                    r"^Done \d+ runs in \d+ second.*$"))]
    # A branch side counts as taken when any instantiation of its template took it.
    taken, code, path = collections.defaultdict(set), {}, None
    for line in read(os.path.join(coverage, "branches.txt")).splitlines():
        if re.match(r"^/\S+:$", line):
            path = os.path.relpath(line[:-1])
        elif re.match(r"^\s*\d+\|[^|]*\|", line):
            number, _, text = line.split("|", 2)
            code[(path, int(number))] = text.strip()
        for line_, column, yes, no in re.findall(
                r"Branch \((\d+):(\d+)\): \[True: ([^,]+), False: ([^\]]+)\]", line):
            sides = taken[(path, int(line_), int(column))]
            sides.update(side for side, count in (("true", yes), ("false", no)) if count != "0")
    page = header("Reliability figures", ".ci/reliability.sh") + [
        "[reliability.md](reliability.md) says what each check covers; each result is the "
        "check's own summary line.", "", "| check | result |", "|---|---|"]
    page += ["| %s | %s |" % row for row in rows]
    page += ["", "## Resident memory (`slot_list_residency --check`)", ""]
    page += lines(os.path.join(logs, "residency.log"), r"^\|.*\|$")
    page += ["", "## Branches of `list/` never taken", "", "| where | code | never |",
             "|---|---|---|"]
    page += ["| `%s:%d` | `%s` | %s |" % (p, n, code.get((p, n), "").replace("|", "\\|"), side)
             for (p, n, c), sides in sorted(taken.items())
             for side in ("true", "false") if side not in sides]
    if len(page) - page.index("|---|---|---|") - 1 != int(total[11]):
        fail("branches.txt and report.txt disagree on the branches never taken")
    return page


def mutation(reports):
    classes = json.load(open("tests/mutation-survivors.json"))
    results, generated = {}, collections.Counter()
    for path in reports:  # the default run first, then the survivors' rerun under asan
        report = json.load(open(path))
        for name, count in report["meta"].get("generated_per_file", {}).items():
            generated[name] = max(generated[name], count)
        for key, mutant in report["results"].items():
            if key not in results or mutant["status"] in ("killed", "timeout"):
                results[key] = mutant
    counts = collections.defaultdict(collections.Counter)
    for key, mutant in results.items():
        status = "killed" if mutant["status"] == "timeout" else mutant["status"]
        if status == "survived" and key in classes:
            status = "equivalent"
        for name in (mutant["file"], "**all**"):
            counts[name][status] += 1
            counts[name]["run"] += 1
    generated["**all**"] = sum(generated.values())
    page = header("Mutation testing figures", ".ci/mutation.sh", "the mutation tool's reports "
                  "(`%s`)" % " ".join(sorted(os.path.basename(p) for p in reports))) + [
        "[mutation.md](mutation.md) says how to read them; a timeout counts as killed, and "
        "the score is killed ÷ (killed + survivors not equivalent).", "",
        "| file | run of generated | killed | survived | equivalent | did not compile | score |",
        "|---|---:|---:|---:|---:|---:|---:|"]
    for name in sorted(counts, key=lambda name: (name == "**all**", name)):
        row = counts[name]
        page.append("| %s | %d of %d | %d | %d | %d | %d | %.1f %% |" % (
            name if name == "**all**" else "`%s`" % name, row["run"], generated[name],
            row["killed"], row["survived"],
            row["equivalent"], row["stillborn"],
            100.0 * row["killed"] / max(1, row["killed"] + row["survived"])))
    gaps = ["| `%s` | `%s:%d` | %s `%s` → `%s` |" % (
        key, m["file"], m["line"], m["operator"], m["original"].replace("|", "\\|"),
        m["replacement"].replace("|", "\\|"))
        for key, m in sorted(results.items(), key=lambda r: (r[1]["file"], r[1]["line"], r[0]))
        if m["status"] == "survived" and key not in classes]
    page += ["", "## Survivors no test sees", ""] + (
        ["| mutant | where | change |", "|---|---|---|"] + gaps if gaps else ["None."])
    return page


if __name__ == "__main__":
    if sys.argv[1:2] == ["reliability"] and len(sys.argv) == 5:
        page, out = reliability(*sys.argv[2:4]), sys.argv[4]
    elif sys.argv[1:2] == ["mutation"] and len(sys.argv) > 3:
        page, out = mutation(sys.argv[3:]), sys.argv[2]
    else:
        fail("usage: see the top of " + sys.argv[0])
    with open(out, "w", encoding="utf-8") as target:
        target.write("\n".join(page) + "\n")
