"""Soak run of the real program: thousands of frames of random input in seconds.

The preloaded shim (soakshim.cpp) stands in for the program's SDL_Delay and SDL_GetTicks: it
runs a fake clock that starts just below the 32-bit tick wrap, jumps it now and then by a long
frame, pushes random keys, buttons and pointer motion, and quits after a fixed number of frames.
This script runs the program under a private Xvfb and checks its exit status, its whole output
and, in a plain build, that the heap in use does not grow while it runs.

usage: soak.py <figure binary> <soakshim.so> <repository root> [--frames N] [--seed S]
               [--jump-at FRAME] [--no-heap] [--valgrind SUPPRESSIONS] [--timeout SECONDS]
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import SANITIZER_MARKS, Xvfb  # noqa: E402

# The heap may grow by a little between the two windows: with the default seed the libraries
# allocate 3312 bytes once, near frame 770, and keep them (the same after 1000 or 20000 frames).
# The per-frame work itself allocates nothing, so anything that grows with the number of frames
# or of input events soon exceeds this.
HEAP_SLACK = 4096

FRAME = re.compile(rb"0|[1-9][0-9]{0,2}")
HEAD, TAIL = b"Hello world!\n", b"Performing cleanup!"


def body_offset(binary):
    """The link-time address of the program's `body` table, for the shim to aim at the shoulder."""
    out = subprocess.run(["nm", binary], stdout=subprocess.PIPE, check=True).stdout.decode()
    for line in out.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[2] == "body" and fields[1] in "bBdD":
            return "0x" + fields[0]
    raise AssertionError("no `body` symbol in %s" % binary)


def check_output(out, frames):
    """Hello world!, the error text run into the first number, one number 0-255 per frame,
    and the cleanup line without a line break at the very end."""
    assert out.startswith(HEAD), "output does not start with Hello world!: %r" % out[:80]
    assert out.endswith(TAIL), "output does not end with the cleanup line: %r" % out[-80:]
    middle = out[len(HEAD):-len(TAIL)]
    assert middle.endswith(b"\n"), "the last frame line has no line break: %r" % middle[-40:]
    lines = middle[:-1].split(b"\n")
    assert len(lines) == frames, "%d frame lines, expected %d" % (len(lines), frames)
    first = re.fullmatch(rb"(.*?)(0|[1-9][0-9]{0,2})", lines[0], re.S)
    assert first, "first frame line is not <error text><number>: %r" % lines[0]
    numbers = [int(first.group(2))]
    for i, line in enumerate(lines[1:], 2):
        assert FRAME.fullmatch(line), "frame line %d is not a number: %r" % (i, line)
        numbers.append(int(line))
    assert all(n <= 255 for n in numbers), max(numbers)
    return numbers


def read_log(path):
    events = {}
    with open(path) as f:
        for line in f:
            word, *values = line.split()
            events.setdefault(word, []).append([int(v) for v in values])
    return events


def check_heap(samples, frames):
    """The most heap in use over the last frames may exceed the most over the early window by the
    slack at most. Taking the most of each window steps over the libraries' passing dips."""
    assert frames >= 800, "the heap check needs at least 800 frames"
    early = [b for f, b in samples if f < 600]
    late = [b for f, b in samples if f >= 600]
    assert len(early) == 100 and len(late) == 100 and samples[-1][0] == frames, (
        "heap samples missing: %d early, %d late" % (len(early), len(late)))
    grew = max(late) - max(early)
    print("heap in use: %d bytes early, %d at the end, grew %d" % (max(early), max(late), grew))
    assert grew <= HEAP_SLACK, "heap in use grew by %d bytes over %d frames" % (grew, frames)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("shim")
    parser.add_argument("root")
    parser.add_argument("--frames", type=int, default=5000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jump-at", type=int, default=-1,
                        help="make this frame 100 s long, past the end of the clip")
    parser.add_argument("--no-heap", action="store_true",
                        help="skip the heap check (the address sanitizer owns malloc)")
    parser.add_argument("--valgrind", metavar="SUPPRESSIONS",
                        help="run under valgrind memcheck with these suppressions")
    parser.add_argument("--timeout", type=float, default=600)
    a = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="figure-soak-")
    keep = False
    xvfb = None
    try:
        xvfb = Xvfb(scratch)
        env = dict(os.environ)
        for name in ("SDL_VIDEODRIVER", "SDL_DISKAUDIOFILE"):
            env.pop(name, None)
        shimlog = os.path.join(scratch, "shim.log")
        env.update(DISPLAY=xvfb.display, SDL_AUDIODRIVER="dummy", SOAK_FRAMES=str(a.frames),
                   SOAK_SEED=str(a.seed), SOAK_JUMPAT=str(a.jump_at), SOAK_LOG=shimlog, SOAK_BODY=body_offset(a.binary),
                   LD_PRELOAD=os.path.abspath(a.shim))
        command = [os.path.abspath(a.binary)]
        vglog = os.path.join(scratch, "valgrind.log")
        if a.valgrind:
            # Errors in the libraries are suppressed by the file; whatever is left fails the run.
            # Definite leaks count too: the program never frees the libraries' state, but all of
            # it stays reachable through their globals.
            command = ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
                       "--show-leak-kinds=definite", "--errors-for-leak-kinds=definite",
                       "--track-origins=yes", "--num-callers=30",
                       "--suppressions=" + os.path.abspath(a.valgrind), "--log-file=" + vglog
                       ] + command
        out_path, err_path = os.path.join(scratch, "stdout"), os.path.join(scratch, "stderr")
        started = time.monotonic()
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            proc = subprocess.Popen(command, cwd=a.root, env=env, stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err)
            try:
                status = proc.wait(a.timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                raise AssertionError("the program did not end within %.0f s" % a.timeout)
        took = time.monotonic() - started
        out = open(out_path, "rb").read()
        err = open(err_path, "rb").read().decode(errors="replace")
        try:
            for mark in SANITIZER_MARKS:
                assert mark not in err, "sanitizer report on stderr:\n" + err[-6000:]
            if a.valgrind:
                log = open(vglog).read()
                for mark in ("Invalid read", "Invalid write", "uninitialised", "Invalid free",
                             "Mismatched free", "overlap", "definitely lost in loss record"):
                    assert mark not in log, "valgrind found %r:\n%s" % (mark, log[-8000:])
                assert status != 99, "valgrind reported errors:\n" + log[-8000:]
            assert status == 0, "exit status %d; stderr:\n%s" % (status, err[-4000:])
            numbers = check_output(out, a.frames)
            events = read_log(shimlog)
            assert "quit" in events, "the shim never asked the program to quit"
            assert "wrap" in events, "the fake clock never crossed the 32-bit wrap"
            if "shoulder" in events or a.frames >= 100:
                # A wrong table address would aim at garbage rather than at the figure.
                _, x, y = events["shoulder"][0]
                assert 0 <= x < 1280 and 0 <= y < 720, "shoulder aimed at (%d, %d)" % (x, y)
            if a.frames >= 1000 or 0 < a.jump_at <= a.frames:
                assert "jump" in events, "no long frame in %d frames" % a.frames
            heap = events.get("heap", [])
            print("%d frames in %.1f s; wrap at frame %s; long frames at %s; "
                  "distinct bytes printed %d" % (
                      a.frames, took, events["wrap"][0][0],
                      [f for f, _ in events.get("jump", [])], len(set(numbers))))
            if not a.no_heap and not a.valgrind:
                check_heap(heap, a.frames)
        except AssertionError:
            keep = True
            raise
    finally:
        if xvfb:
            xvfb.stop()
        if keep or os.environ.get("SOAK_KEEP"):
            print("kept", scratch, file=sys.stderr)
        else:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
