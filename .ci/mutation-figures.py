#!/usr/bin/env python3
"""Writes the mutation testing figures page from the two runs of .ci/mutation.sh.

Arguments: the default run's JSON report, the asan run's JSON report (the
default run's survivors only), the survivors' classification (JSON: mutant id
-> {"class": "equivalent" | "performance" | "gap", "note": text}) and the
page to write. A mutant counts as killed when either run killed it (a timeout
counts as killed); equivalent and speed-only survivors leave the score;
survivors that are gaps, or not classified yet, stay in it.
"""

import json
import subprocess
import sys
from collections import defaultdict

EXCLUDED = ("equivalent", "performance")


def main(default_path, asan_path, classes_path, out_path):
    default = json.load(open(default_path))["results"]
    asan = json.load(open(asan_path))["results"]
    classes = json.load(open(classes_path))
    rows = defaultdict(lambda: defaultdict(int))
    survivors = []
    for mutant_id, mutant in default.items():
        row = rows[mutant["file"]]
        status = mutant["status"]
        if status == "survived" and asan.get(mutant_id, {}).get("status") in ("killed", "timeout"):
            status = "asan"
        if status == "stillborn":
            row["stillborn"] += 1
            continue
        if status in ("killed", "timeout"):
            row["killed"] += 1
        elif status == "asan":
            row["killed"] += 1
            row["asan"] += 1
        else:
            kind = classes.get(mutant_id, {}).get("class", "unclassified")
            row[kind] += 1
            survivors.append((mutant, mutant_id, kind, classes.get(mutant_id, {}).get("note", "")))

    def score(row):
        counted = row["killed"] + row["gap"] + row["unclassified"]
        return 100.0 * row["killed"] / counted if counted else 100.0

    total = defaultdict(int)
    for row in rows.values():
        for key, value in row.items():
            total[key] += value
    commit = subprocess.run(["git", "rev-parse", "--short", "HEAD"], capture_output=True,
                            text=True).stdout.strip()
    lines = [
        "# Mutation testing: the last run's figures",
        "",
        "Written by `.ci/mutation.sh` (at commit `%s`); [mutation.md](mutation.md) says how"
        " to read them." % commit,
        "",
        "| file | killed | of them only under ASan | equivalent | speed only | gaps |"
        " unclassified | did not compile | score |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    for name in sorted(rows) + ["all"]:
        row = total if name == "all" else rows[name]
        label = "**all**" if name == "all" else "`%s`" % name
        lines.append("| %s | %d | %d | %d | %d | %d | %d | %d | %.1f %% |" % (
            label, row["killed"], row["asan"], row["equivalent"], row["performance"], row["gap"],
            row["unclassified"], row["stillborn"], score(row)))
    lines += ["", "Score: killed ÷ (killed + survivors that are gaps or unclassified).", "",
              "## Survivors", "",
              "| mutant | where | change | class | why |", "|---|---|---|---|---|"]
    for mutant, mutant_id, kind, note in sorted(
            survivors, key=lambda s: (s[0]["file"], s[0]["line"], s[1])):
        change = "`%s` → `%s`" % (mutant["original"].replace("|", "\\|"),
                                  mutant["replacement"].replace("|", "\\|") or "(deleted)")
        lines.append("| `%s` | `%s:%d` | %s %s | %s | %s |" % (
            mutant_id, mutant["file"], mutant["line"], mutant["operator"], change, kind, note))
    with open(out_path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(*sys.argv[1:5])
