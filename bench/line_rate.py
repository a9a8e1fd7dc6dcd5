#!/usr/bin/env python3
"""Polling at the fixed cadence against polling at line rate, over orbalis-sim.

For each baud rate and each cadence it copies the console into a fresh
program folder with 16 slots bound to controllers 1 to 16, Orbalis.ini
choosing the cadence ([line] line_rate), starts orbalis-sim there with its
traffic log (controller turnaround 5 ms) and the console (offscreen, painting
as on a screen). In the same run a second simulator serves mbpoll, polling
the same 16 controllers with the same live read, for comparison. From the
simulators' traffic logs and /proc it reports:
  - the time for all 16 slots to refresh (median over the span of the time
    from one request to a controller to the next one to it),
  - requests sent while a reply was still arriving on the line: sent sooner
    than the fixed wait yet not after the reply and 3.5 characters (the
    simulator logs a reply when its last byte goes out, a request 3.5
    characters after its last byte came); and how many replies came only
    after the fixed wait (late: the console had gone on, as it always did),
  - CPU per answered poll of the console and of mbpoll,
  - the console's peak resident memory (VmHWM).
With --reply-delay MS every reply reaches the masters that much later, as
through a USB adapter's latency timer.

Usage: bench/line_rate.py [--build build] [--bauds 19200,9600,2400]
                          [--cadences fixed,line] [--reply-delay 0]
                          [--seconds-per-cycle 3] [--no-mbpoll]
"""
import argparse
import datetime
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sim_bench import cpu_seconds, settings_file, status_mb  # noqa: E402

CONTROLLERS = 16
LIVE_REPLY = 65   # bytes of the live read's answer


def bits_ms(baud):
    return 11 * 1000.0 / baud   # one character: start, 8 data, 2 stop bits


def silence_ms(baud):
    return max(3.5 * bits_ms(baud), 2.0)


def peak_rss_mb(pid):
    return status_mb(pid, "VmHWM")


def read_log(path, start, end):
    """(time in ms, is request, bytes) of the frames logged within the span."""
    frames = []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) < 3 or parts[1] not in ("<-", "->"):
                continue
            t = datetime.datetime.fromisoformat(parts[0]).timestamp()
            if start <= t <= end:
                frames.append((1000.0 * t, parts[1] == "<-", bytes.fromhex("".join(parts[2:]))))
    return frames


def wait_ms(baud):
    return 100.0 * 19200 / baud   # the fixed wait of a live read


def line_figures(frames, baud):
    requests = [(t, b[0]) for t, req, b in frames if req and b]
    last = {}
    rounds = []
    for t, unit in requests:
        if unit in last:
            rounds.append(t - last[unit])
        last[unit] = t
    # A request that went sooner than the fixed wait after the one before
    # must follow that one's whole reply and the 3.5 characters' silence (the
    # simulator logs a request that long after its last byte, a reply as its
    # last byte goes out). One at the whole wait is today's rule: the reply,
    # if any comes later, is late.
    overlaps = 0
    late = 0
    previous = None
    for i, (t, req, b) in enumerate(frames):
        if not req:
            continue
        if previous is not None:
            replies = [r for r, rq, _ in frames[previous + 1:i] if not rq]
            sooner = t - frames[previous][0] < wait_ms(baud) - 2
            if sooner and (not replies or t - silence_ms(baud) < replies[-1] - 1):
                overlaps += 1
            if not sooner and not replies:
                late += 1
        previous = i
    return {
        "round_s": statistics.median(rounds) / 1000.0 if rounds else float("nan"),
        "requests": len(requests),
        "replies": sum(1 for _, req, _ in frames if not req),
        "overlaps": overlaps,
        "late": late,
    }


class Simulator:
    def __init__(self, bin_dir, work, log, baud, turnaround, reply_delay):
        self.proc = subprocess.Popen(
            [os.path.join(bin_dir, "orbalis-sim"), "--program-dir", work, "--com", "1", "--ids", "1-16",
             "--baud", str(baud), "--turnaround", str(turnaround), "--reply-delay", str(reply_delay), "--log", log],
            stdout=subprocess.PIPE, text=True)
        said = self.proc.stdout.readline()   # the simulator says when its port is bound
        if "-> /dev/pts/" not in said:
            raise RuntimeError(f"orbalis-sim did not start: {said!r}")

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=10)


def folder(prefix, baud, line_rate):
    work = tempfile.mkdtemp(prefix=prefix)
    settings_file(os.path.join(work, "User Setting.ini"), str(baud))
    with open(os.path.join(work, "Orbalis.ini"), "w") as f:
        f.write(f"[line]\nline_rate={'true' if line_rate else 'false'}\nguard_ms=2\n")
    return work


def measure(args, baud, line_rate):
    bin_dir = os.path.join(args.build, "bin")
    console_dir = folder("orbalis-linerate-", baud, line_rate)
    mbpoll_dir = folder("orbalis-mbpoll-", baud, False) if not args.no_mbpoll else None
    procs = []
    try:
        console = shutil.copy(os.path.join(bin_dir, "orbalis"), console_dir)
        console_log = os.path.join(console_dir, "traffic.log")
        sim = Simulator(bin_dir, console_dir, console_log, baud, args.turnaround, args.reply_delay)
        procs.append(sim)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        proc = subprocess.Popen([console], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        mb = None
        if mbpoll_dir:
            mbpoll_log = os.path.join(mbpoll_dir, "traffic.log")
            procs.append(Simulator(bin_dir, mbpoll_dir, mbpoll_log, baud, args.turnaround, args.reply_delay))
            # The console's live read: function 4, 30 registers from 4096.
            mb = subprocess.Popen(["mbpoll", "-m", "rtu", "-b", str(baud), "-d", "8", "-s", "2", "-P", "none",
                                   "-a", f"1:{CONTROLLERS}", "-t", "3", "-0", "-r", "4096", "-c", "30",
                                   "-l", "11", "-o", "1", os.path.join(mbpoll_dir, "ports", "COM1")],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(args.warmup)
        # Long enough for several rounds at the fixed cadence.
        fixed_round_s = CONTROLLERS * 0.1 * 19200 / baud
        span = max(args.min_seconds, args.cycles * fixed_round_s)
        t0 = time.time()
        c0 = cpu_seconds(proc.pid)
        m0 = cpu_seconds(mb.pid) if mb else 0.0
        time.sleep(span)
        t1 = time.time()
        c1 = cpu_seconds(proc.pid)
        m1 = cpu_seconds(mb.pid) if mb else 0.0
        peak = peak_rss_mb(proc.pid)
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=10)
        if mb:
            mb.send_signal(signal.SIGTERM)
            mb.wait(timeout=10)
        for p in procs:
            p.stop()

        ours = line_figures(read_log(console_log, t0, t1), baud)
        ours["cpu_ms"] = 1000.0 * (c1 - c0) / max(ours["replies"], 1)
        ours["peak_mb"] = peak
        ours["span"] = t1 - t0
        if mb:
            theirs = line_figures(read_log(mbpoll_log, t0, t1), baud)
            theirs["cpu_ms"] = 1000.0 * (m1 - m0) / max(theirs["replies"], 1)
            ours["mbpoll"] = theirs
        return ours
    finally:
        for p in procs:
            if p.proc.poll() is None:
                p.proc.kill()
        shutil.rmtree(console_dir, ignore_errors=True)
        if mbpoll_dir:
            shutil.rmtree(mbpoll_dir, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--bauds", default="19200,9600,2400")
    ap.add_argument("--cadences", default="fixed,line")
    ap.add_argument("--turnaround", type=int, default=5)
    ap.add_argument("--reply-delay", type=int, default=0)
    ap.add_argument("--cycles", type=float, default=3, help="span in rounds of the fixed cadence")
    ap.add_argument("--min-seconds", type=float, default=10)
    ap.add_argument("--warmup", type=float, default=3)
    ap.add_argument("--no-mbpoll", action="store_true")
    args = ap.parse_args()

    print(f"16 controllers, turnaround {args.turnaround} ms, reply delay {args.reply_delay} ms")
    print(f"{'baud':>6} {'cadence':<9} {'16 slots':>9} {'requests':>8} {'overlaps':>8} {'late':>4} "
          f"{'CPU/poll':>9} {'peak RSS':>9} {'mbpoll CPU/poll':>16} {'ratio':>6}")
    failed = False
    for baud in (int(b) for b in args.bauds.split(",")):
        for cadence in args.cadences.split(","):
            r = measure(args, baud, cadence == "line")
            mb = r.get("mbpoll")
            ratio = f"{r['cpu_ms'] / mb['cpu_ms']:.2f}" if mb and mb["cpu_ms"] > 0 else "-"
            mbtext = f"{mb['cpu_ms']:.3f} ms ({mb['replies']})" if mb else "-"
            print(f"{baud:>6} {cadence:<9} {r['round_s']:>7.3f} s {r['requests']:>8} {r['overlaps']:>8} {r['late']:>4} "
                  f"{r['cpu_ms']:>6.3f} ms {r['peak_mb']:>6.1f} MB {mbtext:>16} {ratio:>6}", flush=True)
            failed = failed or r["overlaps"] > 0
    if failed:
        print("a request went out while a reply was still arriving", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
