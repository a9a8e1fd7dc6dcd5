#!/usr/bin/env python3
"""Times one full controller scan with nothing answering, against orbalis-sim.

Starts orbalis-sim in a temporary program folder as COM1 with every request
left unanswered (--drop-rate 1), then bench's scan_timing_run, which loads the
console, opens "Setting", "Communication" and presses "Start". Reports the
time from "Start" to the end of the scan on the console's own clock, the span
of the scan's requests in the simulator's traffic log, and how both compare
with the 1024 ticks of the scan: 25 ms, 256 x 50, 256 x 100, 256 x 200 and
255 x 400 ms = 191.625 s.

Usage: bench/scan_timing.py [--build build]
"""
import argparse
import datetime
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile

EXPECTED = 0.025 + 256 * 0.050 + 256 * 0.100 + 256 * 0.200 + 255 * 0.400


def record(texts):
    data = b"".join(struct.pack("<H", len(t)) + t for t in texts)
    return data + b"\0" * (128 - len(data))


def settings_file(path):
    recs = [record([b"COM1", b"19200", b"2", b"8", b"None"]),
            record([b"---"] * 16), record([b"---"] * 16)]
    recs += [record([b"0"] * 16)] * 3
    recs.append(record([b"48"] * 16))
    with open(path, "wb") as f:
        f.write(b"".join(recs))


def request_times(log_path):
    times = []
    with open(log_path) as f:
        for line in f:
            parts = line.split()
            if len(parts) > 2 and parts[1] == "<-":
                times.append(datetime.datetime.fromisoformat(parts[0]).timestamp())
    return times


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    args = ap.parse_args()
    bin_dir = os.path.join(args.build, "bin")
    work = tempfile.mkdtemp(prefix="orbalis-scan-")
    sim = None
    try:
        settings_file(os.path.join(work, "User Setting.ini"))
        log = os.path.join(work, "traffic.log")
        sim = subprocess.Popen([os.path.join(bin_dir, "orbalis-sim"), "--program-dir", work, "--com", "1",
                                "--ids", "1-255", "--drop-rate", "1", "--log", log],
                               stdout=subprocess.PIPE, text=True)
        sim.stdout.readline()   # the simulator says when its port is bound
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        out = subprocess.run([os.path.join(bin_dir, "scan_timing_run"), work], env=env,
                             capture_output=True, text=True, timeout=600)
        sys.stdout.write(out.stdout)
        sys.stderr.write(out.stderr)
        if out.returncode != 0:
            return out.returncode
        seconds = float(out.stdout.split("scan seconds ")[1].split()[0])
        times = request_times(log)
        print(f"expected             {EXPECTED:.3f} s (1024 ticks)")
        print(f"measured             {seconds:.3f} s, {100 * (seconds - EXPECTED) / EXPECTED:+.2f} %")
        if len(times) >= 2:
            # From the first request (first tick) to the last (tick 1023); the
            # last tick, 400 ms later, judges it and sends nothing.
            span = times[-1] - times[0] + 0.400 + 0.025
            print(f"requests logged      {len(times)}")
            print(f"log span + first/last tick  {span:.3f} s, {100 * (span - EXPECTED) / EXPECTED:+.2f} %")
        return 0 if abs(seconds - EXPECTED) <= 0.01 * EXPECTED else 1
    finally:
        if sim:
            sim.send_signal(signal.SIGTERM)
            sim.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
