#!/usr/bin/env python3
"""Checks that the sprite draws take the same time wherever the stack lies.

A draw loop that keeps something on the stack while it writes pixels can
stall when that stack slot and a drawn row share their low 12 address bits
(4 KiB aliasing), so its time would depend on where the stack happens to lie.
This runs the sprite benchmarks with address randomisation off (setarch -R),
pinned to one core, with the stack moved by an environment variable of 0,
512, ..., 3584 bytes; takes the fastest repetition of each case at each
position; prints nanoseconds per case and position with the slowest-to-
fastest ratio; and exits 1 when a ratio exceeds the limit.

On a shared machine the core's throughput swings with the load beside it
(a draw can take twice as long for a second or more), which looks like a
slow stack position. So each process is short (5 ms repetitions), the eight
positions are run in turn for many rounds, and each position keeps its
fastest time over all rounds: a position that is slow because of where the
stack lies is slow in every round.

  python3 tools/bench_stack_positions.py [--bench build/bin/bench_softrender_blit]
      [--core 7] [--filter REGEX] [--repetitions 5] [--rounds 20]
      [--min-time 0.005] [--limit 1.2]
"""
import argparse
import json
import os
import pathlib
import subprocess
import sys

PAD_VARIABLE = "VX_STACK_PAD"
POSITIONS = [512 * k for k in range(8)]
NS_PER_UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def run_once(args, pad):
    """Fastest CPU time in ns of each benchmark in one process."""
    env = dict(os.environ)
    env[PAD_VARIABLE] = "x" * pad
    cmd = ["setarch", "-R", "taskset", "-c", str(args.core), str(args.bench),
           "--benchmark_filter=" + args.filter,
           "--benchmark_repetitions=%d" % args.repetitions,
           "--benchmark_min_time=%g" % args.min_time,
           "--benchmark_format=json"]
    out = subprocess.run(cmd, env=env, check=True, capture_output=True, text=True).stdout
    fastest = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        ns = b["cpu_time"] * NS_PER_UNIT[b["time_unit"]]
        fastest[b["run_name"]] = min(ns, fastest.get(b["run_name"], ns))
    return fastest


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--bench", default=str(root / "build/bin/bench_softrender_blit"))
    ap.add_argument("--core", type=int, default=7)
    ap.add_argument("--filter", default="BM_Sprite/[01]/[01]/1/(20|32)$")
    ap.add_argument("--repetitions", type=int, default=5)
    ap.add_argument("--rounds", type=int, default=20)
    ap.add_argument("--min-time", type=float, default=0.005, help="seconds per repetition")
    ap.add_argument("--limit", type=float, default=1.2)
    args = ap.parse_args()

    table = {}  # case -> position -> ns
    for _ in range(args.rounds):
        for pad in POSITIONS:
            for name, ns in run_once(args, pad).items():
                row = table.setdefault(name, {})
                row[pad] = min(ns, row.get(pad, ns))

    width = max([len(n) for n in table] + [4])
    print("%-*s %s %7s" % (width, "case", " ".join("%6d" % p for p in POSITIONS), "max/min"))
    worst = 0.0
    for name, row in table.items():
        times = [row[p] for p in POSITIONS]
        ratio = max(times) / min(times)
        worst = max(worst, ratio)
        flag = "  over" if ratio > args.limit else ""
        print("%-*s %s %7.2f%s" % (width, name, " ".join("%6.1f" % t for t in times), ratio, flag))
    print("ns of CPU time, fastest of %d repetitions x %d rounds; worst ratio %.2f (limit %.2f)"
          % (args.repetitions, args.rounds, worst, args.limit))
    return 1 if worst > args.limit else 0


if __name__ == "__main__":
    sys.exit(main())
