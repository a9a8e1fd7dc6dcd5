#!/usr/bin/env python3
"""Measures the console polling 16 simulated controllers.

Copies the console into a temporary program folder, binds its 16 slots to
controllers 1 to 16, starts orbalis-sim there with a traffic log and the
console (offscreen), then reports over the measured span:
  - CPU use of the console in % of one core,
  - its largest resident memory,
  - the mean interval between consecutive requests on the line.

With --monitor, --full-ring or --trend-windows it runs orbalis-load, the same
console with "Setting", "Line Monitor" open and its traffic view following
the line (--monitor), or with the trend windows of the first N bound slots
open and following live (--trend-windows N).
With --full-ring the console's traffic ring starts full, so a short run
measures the memory of 10 000 frames held. With --runs N it repeats the measure and also prints the medians (the
machine may be shared).

Usage: bench/poll_load.py [--build build] [--seconds 60] [--baud 19200]
                          [--monitor] [--full-ring] [--trend-windows N] [--runs N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sim_bench import frame_times, sample, settings_file, start_simulator, stop  # noqa: E402


def measure(args):
    bin_dir = os.path.join(args.build, "bin")
    work = tempfile.mkdtemp(prefix="orbalis-bench-")
    try:
        options = ((["--monitor"] if args.monitor else []) + (["--full-ring"] if args.full_ring else [])
                   + (["--trend-windows", str(args.trend_windows)] if args.trend_windows else []))
        program = "orbalis-load" if options else "orbalis"
        console = shutil.copy(os.path.join(bin_dir, program), work)
        settings_file(os.path.join(work, "User Setting.ini"), args.baud)
        log = os.path.join(work, "traffic.log")
        sim = start_simulator(bin_dir, work, log)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        proc = subprocess.Popen([console] + options, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        t0, t1, used, peak = sample(proc, args.warmup, args.seconds)
        stop(proc, sim)

        times = frame_times(log, t0, t1, "<-")
        gaps = [b - a for a, b in zip(times, times[1:])]
        cpu = 100.0 * used / (t1 - t0)
        print(f"span                 {t1 - t0:.1f} s at {args.baud} baud, 16 controllers, {program} "
              f"{' '.join(options)}")
        print(f"console CPU          {cpu:.2f} % of one core")
        print(f"console peak RSS     {peak:.1f} MB")
        if not gaps:
            print("no requests were logged", file=sys.stderr)
            return None
        mean = sum(gaps) / len(gaps)
        print(f"requests             {len(times)}")
        print(f"mean poll interval   {1000 * mean:.2f} ms "
              f"(min {1000 * min(gaps):.1f}, max {1000 * max(gaps):.1f})")
        return cpu, peak, 1000 * mean
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--baud", default="19200")
    ap.add_argument("--warmup", type=float, default=5)
    ap.add_argument("--monitor", action="store_true")
    ap.add_argument("--full-ring", action="store_true")
    ap.add_argument("--trend-windows", type=int, default=0)
    ap.add_argument("--runs", type=int, default=1)
    args = ap.parse_args()

    results = []
    for _ in range(args.runs):
        r = measure(args)
        if r is None:
            return 1
        results.append(r)
    if args.runs > 1:
        cpu, rss, interval = (statistics.median(v) for v in zip(*results))
        print(f"median of {args.runs}: CPU {cpu:.2f} % of one core, peak RSS {rss:.1f} MB, "
              f"poll interval {interval:.2f} ms")
    return 0


if __name__ == "__main__":
    sys.exit(main())
