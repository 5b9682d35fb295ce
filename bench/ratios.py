#!/usr/bin/env python3
"""Runs benchmark programs round by round on one core and reports medians.

Each round runs every program once (the order alternates between rounds,
so that neither side always runs first), each on the same core; a program
may be given twice under two labels (e.g. a build before and after a
change). Printed: each benchmark's median real (--cpu-time: CPU) time per label, the median
of the per-round ratios of each --pair within a label, and with two or more
labels the median per-round ratio of every label to the first one; with
--counter NAME also the median of that user counter (e.g. peak_rss_MiB).

  bench/ratios.py --rounds 9 --cpu 3 --filter 'keystroke|fts5' \\
      --pair 'keystroke/from_depth:0/filter:0/iterations:40=fts5Prefix/from_depth:0/asks:1' \\
      before=/tmp/old/bench_search after=build/bench/bench_search
"""

import argparse
import json
import statistics
import subprocess
import sys


def run(program, cpu, bench_filter, extra, counters, clock="real_time"):
    command = ["taskset", "-c", str(cpu), program, "--benchmark_format=json"]
    if bench_filter:
        command.append("--benchmark_filter=" + bench_filter)
    command += extra
    out = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    times = {}
    for entry in json.loads(out)["benchmarks"]:
        if entry.get("run_type", "iteration") == "iteration" and not entry.get("error_occurred"):
            times[entry["name"]] = entry[clock]
            for counter in counters:
                if counter in entry:
                    times[entry["name"] + " [" + counter + "]"] = entry[counter]
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--cpu", type=int, default=0)
    parser.add_argument("--filter", default="")
    parser.add_argument("--pair", action="append", default=[], help="NUMERATOR=DENOMINATOR benchmark names")
    parser.add_argument("--arg", action="append", default=[], help="extra argument for every program")
    parser.add_argument("--counter", action="append", default=[], help="a user counter to report")
    parser.add_argument("--cpu-time", action="store_true",
                        help="compare CPU times (the process's own) rather than real ones: on a core that other "
                             "programs share, the time it waits for them is left out")
    parser.add_argument("programs", nargs="+", help="LABEL=PROGRAM")
    args = parser.parse_args()
    programs = [p.split("=", 1) for p in args.programs]
    rounds = {label: [] for label, _ in programs}
    for r in range(args.rounds):
        order = programs if r % 2 == 0 else list(reversed(programs))
        for label, program in order:
            rounds[label].append(run(program, args.cpu, args.filter, args.arg, args.counter,
                                     "cpu_time" if args.cpu_time else "real_time"))
        print(f"round {r + 1}/{args.rounds} done", file=sys.stderr)

    def median_time(label, name):
        values = [t[name] for t in rounds[label] if name in t]
        return statistics.median(values) if values else float("nan")

    def median_ratio(num_label, num, den_label, den):
        values = [a[num] / b[den] for a, b in zip(rounds[num_label], rounds[den_label])
                  if num in a and den in b and b[den] > 0]
        return statistics.median(values) if values else float("nan")

    labels = [label for label, _ in programs]
    names = sorted({name for label in labels for t in rounds[label] for name in t})
    print("benchmark | " + " | ".join(f"{label} (median)" for label in labels) +
          "".join(f" | {label}/{labels[0]}" for label in labels[1:]))
    for name in names:
        line = f"{name} | " + " | ".join(f"{median_time(label, name):.4g}" for label in labels)
        line += "".join(f" | {median_ratio(label, name, labels[0], name):.3f}" for label in labels[1:])
        print(line)
    for pair in args.pair:
        num, den = pair.split("=", 1)
        print(f"ratio {num} / {den}: " +
              ", ".join(f"{label} {median_ratio(label, num, label, den):.3f}" for label in labels))


if __name__ == "__main__":
    main()
