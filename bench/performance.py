#!/usr/bin/env python3
"""Writes docs/performance.md: the medians of slot_list_bench's own JSON output, one table
per operation, and callgrind's instructions per element of slot_list_cost's insert and
walk, all from the build of the default preset (build/default)."""

import argparse, datetime, json, os, shlex, subprocess, sys, tempfile
from collections import defaultdict

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEERS = ("vector", "garray", "utarray")
# Keys of a Google Benchmark JSON row that are not the benchmark's own counters.
STANDARD = {"family_index", "per_family_instance_index", "repetitions", "repetition_index",
            "threads", "iterations", "real_time", "cpu_time", "items_per_second", "cv"}
UNIT_NS = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}

parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("--json", help="tabulate this benchmark JSON instead of running")
parser.add_argument("--filter", default="", help="--benchmark_filter (default: everything)")
parser.add_argument("--repetitions", type=int, default=5)
parser.add_argument("--callgrind-n", type=int, default=100000,
                    help="elements per callgrind run; 0 leaves the counts out")
parser.add_argument("--out", default="docs/performance.md")
args = parser.parse_args()
os.chdir(ROOT)
bench = "build/default/bench"
load = os.getloadavg()
command = None
if not args.json:
    args.json = "build/default/performance.json"
    run = [os.path.join(bench, "slot_list_bench"), "--benchmark_filter=" + args.filter,
           "--benchmark_repetitions=%d" % args.repetitions,
           "--benchmark_enable_random_interleaving=true", "--benchmark_report_aggregates_only=true",
           "--benchmark_min_time=0.5", "--benchmark_format=json",
           "--benchmark_out=" + args.json]
    command = shlex.join(run)
    subprocess.run(run, check=True, stdout=subprocess.DEVNULL)

# One row per benchmark: the median where there are repetitions, else the run itself.
rows = {}
for row in json.load(open(args.json))["benchmarks"]:
    if row.get("error_occurred"):
        sys.exit("performance.py: %s: %s" % (row["name"], row.get("error_message")))
    name, kind = row["run_name"], row.get("aggregate_name", row["run_type"])
    if kind == "median" or (kind == "iteration" and name not in rows):
        rows[name] = dict(row, cv=rows.get(name, {}).get("cv"))
    elif kind == "cv":
        rows.setdefault(name, {})["cv"] = row["cpu_time"]
if not rows:
    sys.exit("performance.py: no benchmarks in " + args.json)

# Time per element (ns): per live element where the benchmark counts its items.
tables = defaultdict(dict)
for name, row in rows.items():
    if "faults" not in row:
        sys.exit("performance.py: %s counts no page faults" % name)
    operation, container, size, n = name.split("/")
    ns = (1e9 / row["items_per_second"] if "items_per_second" in row
          else row["cpu_time"] * UNIT_NS[row["time_unit"]] / int(n))
    family = "walk" if operation.startswith("walk-") else operation
    container = operation[5:] + ", holes" * ("holes" in container) if family == "walk" else container
    tables[family][(int(size), int(n), container)] = (ns, row)

def number(value):
    return "{:,.0f}".format(value) if value >= 1000 else "%.3g" % value

def reference(family, size, n, label, table):
    """The row a ratio divides by: walk-vector for walks, else the fastest peer."""
    if family == "walk":
        return table.get((size, n, "vector" + ", holes" * ("holes" in label)))
    return min((table[(size, n, p)] for p in PEERS if (size, n, p) in table), default=None,
               key=lambda peer: peer[0])

cpus = [line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo")
        if line.startswith("model name")]
commit = subprocess.run(["git", "describe", "--always", "--dirty"], capture_output=True,
                        text=True).stdout.strip()
page = ["# Performance", "", "<!-- Written by bench/performance.py. -->", "",
        "Run on %s at commit `%s`, on %d × %s (/proc/cpuinfo), load average %.2f, %.2f, %.2f "
        "as the script started: the machine is shared, so compare rows of one run."
        % (datetime.date.today().isoformat(), commit, len(cpus), cpus[0] if cpus else "?", *load),
        "", "The benchmark ran as:" if command else "From `%s`." % args.json, ""]
page += ["```sh", command, "```", ""] if command else []
page += ["Written by `python3 bench/performance.py%s`, the benchmarks built by `cmake --build "
         "--preset default`; without `--filter` it runs every benchmark." %
         "".join(" " + shlex.quote(a) for a in sys.argv[1:]), "",
         "Size is the element's in bytes; time is CPU time per element, the median of the "
         "repetitions (interleaved at random with the other benchmarks), and cv their "
         "coefficient of variation. The ratio divides by the fastest peer (`std::vector`, "
         "GArray, utarray) at the same size and n, or for walks by the `std::vector` loop over "
         "the same live elements: below 1, faster. Further columns are the benchmark's own "
         "counters per iteration.", ""]
for family in sorted(tables):
    table = tables[family]
    counters = sorted({key for _, row in table.values() for key, value in row.items()
                       if isinstance(value, (int, float)) and key not in STANDARD})
    page += ["## " + family, "", "| size | n | container | ns per element | cv | ratio | "
             + " | ".join(counters) + " |", "|---:|---:|---|---:|---:|---:|" + "---:|" * len(counters)]
    for (size, n, label), (ns, row) in sorted(table.items()):
        ref = reference(family, size, n, label, table)
        page.append("| %d | %d | %s | %s | %s | %s | %s |" % (
            size, n, label, number(ns), "%.0f %%" % (100 * row["cv"]) if row["cv"] else "",
            ("%.2f" if ns >= ref[0] / 10 else "%.2g") % (ns / ref[0]) if ref else "",
            " | ".join(number(row[key]) if key in row else "" for key in counters)))
    page.append("")

def instructions(function, arguments, scratch):
    """Instructions callgrind counts inside function, callees included, in one run of
    slot_list_cost."""
    profile = os.path.join(scratch, "callgrind.out")
    subprocess.run(["valgrind", "--tool=callgrind", "--toggle-collect=" + function,
                    "--callgrind-out-file=" + profile, os.path.join(bench, "slot_list_cost")]
                   + arguments, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    totals = [int(line.split()[1]) for line in open(profile) if line.startswith("totals:")]
    if not totals or totals[-1] == 0:  # renamed or inlined: no figure
        sys.exit("performance.py: callgrind counted nothing in %s" % function)
    return totals[-1]

n = args.callgrind_n
if n:
    page += ["## Instructions per element", "",
             "Counted by callgrind (`valgrind --tool=callgrind --toggle-collect=FUNCTION`) inside "
             "the function that makes the call, callees included: %d appends of 128-byte "
             "elements into room made beforehand (`%s/slot_list_cost insert CONTAINER one|batch "
             "%d`: one per call, or runs of 64 through the bulk call), and one walk "
             "(`%s/slot_list_cost walk WALK SIZE none|holes %d`; holes: every tenth element "
             "deleted), per live element." % (n, bench, n, bench, n), "",
             "| driver | what | size | holes | instructions per element |", "|---|---|---:|---|---:|"]
    with tempfile.TemporaryDirectory() as scratch:
        for container in ("list",) + PEERS:
            for mode in ("one", "batch"):
                count = instructions("InsertCost" + container.capitalize() + mode.capitalize(),
                                     ["insert", container, mode, str(n)], scratch)
                page.append("| insert | %s, %s | 128 | | %.1f |" % (container, mode, count / n))
        for walk in ("range-for", "next", "traverse", "vector"):
            for size in ("8", "128"):
                for holes in ("none", "holes"):
                    count = instructions("WalkCost", ["walk", walk, size, holes, str(n)], scratch)
                    live = n - n // 10 if holes == "holes" else n
                    page.append("| walk | %s | %s | %s | %.1f |" % (walk, size, holes, count / live))
    page.append("")
page.append("What limits these figures: [bench/notes.md](../bench/notes.md).")
with open(args.out, "w") as target:
    target.write("\n".join(page) + "\n")
