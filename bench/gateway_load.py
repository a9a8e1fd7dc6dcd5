#!/usr/bin/env python3
"""Measures orbalis-gateway against the console, each polling 16 simulated
controllers, with mbpoll from Debian polling the same line as a reference.

For each program in turn: a fresh temporary program folder with its 16 slots
bound to controllers 1 to 16, orbalis-sim there with a traffic log, then the
program; over the measured span it reports
  - its CPU use in % of one core,
  - its largest resident memory,
  - the good replies the simulator sent (answered polls), and the CPU time
    per answered poll.
The gateway runs twice: publishing every value to a mosquitto broker the
script starts on a free loopback port, and with [mqtt] off. mbpoll reads the
same 30 input registers of the 16 controllers, every 11 ms.

Usage: bench/gateway_load.py [--build build] [--seconds 30] [--runs N]
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sim_bench import frame_times, sample, settings_file, start_simulator, stop  # noqa: E402


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_broker(work):
    port = free_port()
    conf = os.path.join(work, "mosquitto.conf")
    with open(conf, "w") as f:
        f.write(f"listener {port} 127.0.0.1\nallow_anonymous true\npersistence false\n"
                + ("user root\n" if os.geteuid() == 0 else ""))
    mosquitto = shutil.which("mosquitto") or "/usr/sbin/mosquitto"
    proc = subprocess.Popen([mosquitto, "-c", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
            return proc, port
        except OSError:
            time.sleep(0.05)
    proc.kill()
    raise RuntimeError("mosquitto did not start")


def measure(args, kind):
    bin_dir = os.path.abspath(os.path.join(args.build, "bin"))
    work = tempfile.mkdtemp(prefix="orbalis-gateway-bench-")
    broker = None
    try:
        settings_file(os.path.join(work, "User Setting.ini"), "19200")
        log = os.path.join(work, "traffic.log")
        sim = start_simulator(bin_dir, work, log)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        if kind == "console":
            command = [shutil.copy(os.path.join(bin_dir, "orbalis"), work)]
        elif kind.startswith("gateway"):
            if kind == "gateway+mqtt":
                broker, port = start_broker(work)
                with open(os.path.join(work, "Orbalis.ini"), "w") as f:
                    f.write(f"[mqtt]\nenabled=true\nhost=127.0.0.1\nport={port}\nprefix=bench/line1\n")
            command = [os.path.join(bin_dir, "orbalis-gateway"), "--program-dir", work]
        else:
            command = ["mbpoll", "-m", "rtu", "-a", "1:16", "-r", "4097", "-c", "30", "-t", "3", "-b", "19200",
                       "-P", "none", "-l", "11", "-o", "0.2", os.path.join(work, "ports", "COM1")]
        proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t0, t1, cpu, peak = sample(proc, args.warmup, args.seconds)
        stop(proc, sim)
        answered = len(frame_times(log, t0, t1, "->"))
        per_poll = 1e6 * cpu / answered if answered else float("nan")
        print(f"{kind:14s} CPU {100 * cpu / (t1 - t0):5.2f} % of one core, peak RSS {peak:5.1f} MB, "
              f"{answered} answered polls in {t1 - t0:.0f} s, {per_poll:6.1f} us CPU per answered poll")
        return 100 * cpu / (t1 - t0), peak, per_poll
    finally:
        if broker:
            broker.terminate()
            broker.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--seconds", type=float, default=30)
    ap.add_argument("--warmup", type=float, default=5)
    ap.add_argument("--runs", type=int, default=1)
    args = ap.parse_args()
    kinds = ["console", "gateway+mqtt", "gateway", "mbpoll"]
    if not shutil.which("mbpoll"):
        kinds.remove("mbpoll")
    results = {k: [] for k in kinds}
    for _ in range(args.runs):
        for kind in kinds:
            results[kind].append(measure(args, kind))
    if args.runs > 1:
        for kind in kinds:
            cpu, rss, per_poll = (statistics.median(v) for v in zip(*results[kind]))
            print(f"median of {args.runs}, {kind:14s} CPU {cpu:.2f} %, peak RSS {rss:.1f} MB, "
                  f"{per_poll:.1f} us per answered poll")
    return 0


if __name__ == "__main__":
    sys.exit(main())
