#!/usr/bin/env python3
"""Compares the frame period of the figure with that of a minimal SDL program drawing the same.

Both sleep 32 ms a frame, so the period over 32 ms shows how much the frame's own work adds. The
two run in turns (figure, minimal, figure, minimal, ...) in one private Xvfb so that background
load falls on both alike. Each prints one line a frame; stdout is line-buffered with stdbuf so
every line can be timed as it arrives. Run from the repository root:

    python3 bench/frameratio.py --real build/figure --minimal build/bench/minimal
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Scratch, Xvfb  # noqa: E402

FRAME = re.compile(rb"-?\d+$")
SLEEP_MS = 32.0


def stop(process, timeout=10):
    """SIGTERM becomes a quit event, so the program ends its frame and cleans up."""
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def frame_times(program, display, seconds):
    """Runs the program for the given time; returns the arrival times of its frame lines."""
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    process = subprocess.Popen(["stdbuf", "-oL", program], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    times = []

    def read():
        for line in process.stdout:
            if FRAME.search(line.rstrip(b"\n")):
                times.append(time.monotonic())

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    try:
        time.sleep(seconds)
    finally:
        stop(process)
        reader.join(10)
    if process.returncode != 0:
        sys.exit(f"{program} exited with status {process.returncode}")
    return times


def span(times, warmup):
    """(seconds, frame periods) after the first `warmup` seconds of frames."""
    if not times:
        return 0.0, 0
    kept = [t for t in times if t >= times[0] + warmup]
    if len(kept) < 2:
        return 0.0, 0
    return kept[-1] - kept[0], len(kept) - 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--real", default="build/figure")
    parser.add_argument("--minimal", default="build/bench/minimal")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--warmup", type=float, default=1.0,
                        help="seconds of frames left out at the start of each run")
    args = parser.parse_args()

    programs = {"real": os.path.abspath(args.real), "minimal": os.path.abspath(args.minimal)}
    totals = {name: [0.0, 0] for name in programs}
    with Scratch(prefix="figure-frameratio-") as scratch, Xvfb(scratch.path) as xvfb:
        display = xvfb.display
        for round_ in range(1, args.rounds + 1):
            for name, path in programs.items():
                seconds, periods = span(frame_times(path, display, args.seconds), args.warmup)
                if periods == 0:
                    sys.exit(f"{name}: no frames counted")
                totals[name][0] += seconds
                totals[name][1] += periods
                ms = 1000 * seconds / periods
                print(f"round {round_} {name:8s} {periods + 1:4d} frames  "
                      f"{ms:6.2f} ms/frame  {ms / SLEEP_MS:.3f} x 32 ms", flush=True)

    ratio = {}
    for name, (seconds, periods) in totals.items():
        ms = 1000 * seconds / periods
        ratio[name] = ms / SLEEP_MS
        print(f"{name:8s} mean frame period {ms:6.2f} ms = {ratio[name]:.3f} x 32 ms")
    print(f"real / minimal frame period: {ratio['real'] / ratio['minimal']:.3f}")


if __name__ == "__main__":
    main()
