#!/usr/bin/env python3
"""Runs the calculation benchmark and prints each routine's time against its C library baseline.

Usage: bench/compare.py BUILD_DIR   (e.g. build/default)
"""
import json
import subprocess
import sys

PAIRS = [("formatScientific", "snprintf_2E"), ("numberText", "snprintf_15G"), ("readNumber", "strtod")]
GOAL = 2.0

binary = f"{sys.argv[1] if len(sys.argv) > 1 else 'build/default'}/bench/bench_calc"
out = subprocess.run([binary, "--benchmark_format=json", "--benchmark_repetitions=5",
                      "--benchmark_report_aggregates_only=true"],
                     check=True, capture_output=True, text=True).stdout
times = {b["run_name"]: b["cpu_time"] for b in json.loads(out)["benchmarks"]
         if b.get("aggregate_name") == "median"}
for name, t in sorted(times.items()):
    print(f"{name:20s} {t:8.1f} ns")
failed = False
for ours, baseline in PAIRS:
    ratio = times[ours] / times[baseline]
    failed |= ratio > GOAL
    print(f"{ours} / {baseline} = {ratio:.2f} (goal <= {GOAL})")
sys.exit(1 if failed else 0)
