"""What the load benchmarks share: a program folder whose 16 slots are bound
to controllers 1 to 16, orbalis-sim started there with a traffic log, the
times of the frames in that log, and a program's CPU time and resident
memory sampled from /proc over a measured span."""
import datetime
import os
import signal
import struct
import subprocess
import time


def record(texts):
    data = b"".join(struct.pack("<H", len(t)) + t for t in texts)
    assert len(data) <= 128
    return data + b"\0" * (128 - len(data))


def settings_file(path, baud):
    recs = [record([b"COM1", baud.encode(), b"2", b"8", b"None"]),
            record([b"%03d" % (k + 1) for k in range(16)]),
            record([b"U%d" % (k + 1) for k in range(16)])]
    recs += [record([b"0"] * 16)] * 3
    recs.append(record([b"48"] * 16))
    with open(path, "wb") as f:
        f.write(b"".join(recs))


def cpu_seconds(pid):
    """CPU time of the process's threads: the scheduler's own sum in ns where
    the kernel keeps it. /proc/PID/stat counts in clock ticks of 10 ms, too
    coarse for a poller that runs a few ms a second (mbpoll: 1 or 2 ticks in
    20 s). A thread that ends between two readings drops out of the sum; the
    programs measured keep theirs to the end."""
    try:
        total = 0
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        return total / 1e9
    except (OSError, ValueError, IndexError):
        pass
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return (int(fields[11]) + int(fields[12])) / ticks


def status_mb(pid, field):
    """A memory figure of /proc/PID/status ("VmRSS", "VmHWM") in MB."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def rss_mb(pid):
    return status_mb(pid, "VmRSS")


def start_simulator(bin_dir, work, log):
    """orbalis-sim in `work` as COM1 with controllers 1 to 16, logging to `log`;
    returns once its port is bound."""
    sim = subprocess.Popen([os.path.join(bin_dir, "orbalis-sim"), "--program-dir", work,
                            "--com", "1", "--ids", "1-16", "--log", log],
                           stdout=subprocess.PIPE, text=True)
    sim.stdout.readline()   # the simulator says when its port is bound
    return sim


def sample(proc, warmup, seconds):
    """After `warmup` s, the span (t0, t1), the CPU seconds `proc` used in it
    and its largest resident memory in MB, sampled each second."""
    time.sleep(warmup)
    t0, c0 = time.time(), cpu_seconds(proc.pid)
    peak = 0.0
    while time.time() - t0 < seconds:
        time.sleep(1)
        peak = max(peak, rss_mb(proc.pid))
    t1, c1 = time.time(), cpu_seconds(proc.pid)
    return t0, t1, c1 - c0, peak


def stop(*procs):
    for proc in procs:
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=10)


def frame_times(log_path, start, end, arrow):
    """The times of the frames logged within the span: requests ("<-") or
    replies ("->")."""
    times = []
    with open(log_path) as f:
        for line in f:
            parts = line.split()
            if len(parts) < 3 or parts[1] != arrow:
                continue
            t = datetime.datetime.fromisoformat(parts[0]).timestamp()
            if start <= t <= end:
                times.append(t)
    return times
