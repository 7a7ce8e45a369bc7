"""Shared pieces of the end-to-end tests: a private Xvfb, the real program running under it with
its output in files, xdotool input, screenshots as pixel arrays and the checks of the program's
output that every run shares.

A test script is run as: python3 <script> <path of the figure binary> <repository root>.
The caller's environment (ASAN_OPTIONS, UBSAN_OPTIONS, LSAN_OPTIONS, ...) is passed on to the
program, so the same scripts check a sanitizer build. Set E2E_KEEP=1 to keep the scratch folders
(with the screenshots as PPM files) and E2E_DEBUG=1 for the measurements of the figure test.
"""
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TITLE = "hello window"
WIDTH, HEIGHT = 1280, 720
GREY = (125, 125, 125)

# Sanitizer builds start and draw several times slower: every wait is a deadline, not a sleep.
STARTUP_DEADLINE = 60.0
EXIT_DEADLINE = 30.0

X_UNREACHABLE = b"Hello world!\nCouldn't initialize SDL: x11 not available\n"

SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "SUMMARY: AddressSanitizer", "SUMMARY: UndefinedBehaviorSanitizer")


def args():
    if len(sys.argv) < 3:
        sys.exit("usage: %s <figure binary> <repository root> [group]" % sys.argv[0])
    return os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3:]


def wait_until(condition, deadline, what, interval=0.1):
    """Polls condition() until it returns something true; fails with `what` after deadline s."""
    end = time.monotonic() + deadline
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out after %.0f s waiting for %s" % (deadline, what))
        time.sleep(interval)


class Scratch:
    """A temporary folder for one case: resources copies, audio output, stdout, screenshots."""

    def __init__(self, prefix="figure-e2e-"):
        self.path = tempfile.mkdtemp(prefix=prefix)

    def join(self, *parts):
        return os.path.join(self.path, *parts)

    def with_resources(self, root):
        shutil.copytree(os.path.join(root, "resources"), self.join("resources"))
        return self

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if os.environ.get("E2E_KEEP"):
            print("kept scratch folder", self.path)
        else:
            shutil.rmtree(self.path, ignore_errors=True)
        return False


class Xvfb:
    """A private X server on a display number of its own choosing (-displayfd)."""

    def __init__(self, scratch_dir):
        self.log = open(os.path.join(scratch_dir, "xvfb.log"), "wb")
        rfd, wfd = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(wfd), "-screen", "0", "1280x800x24", "-nolisten",
                 "tcp"],
                pass_fds=(wfd,), stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
        finally:
            os.close(wfd)
        try:
            self.display = ":" + self._read_display(rfd)
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(rfd)

    def _read_display(self, fd):
        text = b""
        end = time.monotonic() + 30
        while not text.endswith(b"\n"):
            left = end - time.monotonic()
            if left <= 0 or self.proc.poll() is not None:
                raise AssertionError("Xvfb did not report a display number")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 64)
                if not chunk:
                    raise AssertionError("Xvfb closed the display pipe")
                text += chunk
        return text.decode().strip()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False


def xdotool(display, *argv, timeout=20):
    env = dict(os.environ, DISPLAY=display)
    done = subprocess.run(["xdotool"] + [str(a) for a in argv], env=env, timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return done.returncode, done.stdout.decode()


class Image:
    """An RGB screenshot, row-major, 3 bytes per pixel."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def px(self, x, y):
        i = 3 * (y * self.width + x)
        return (self.data[i], self.data[i + 1], self.data[i + 2])

    def colours(self):
        """Every pixel's (r, g, b), row-major: pixel (x, y) is at index y * width + x."""
        d = self.data
        return list(zip(d[0::3], d[1::3], d[2::3]))

    def black_boxes(self):
        """Connected groups (4-neighbour) of pure black pixels, as (x, y, w, h, count) sorted by
        x: the face is the only pure black in a frame."""
        d, w = self.data, self.width
        black, pos = set(), d.find(b"\0\0\0")
        while pos >= 0:
            if pos % 3 == 0:
                black.add((pos // 3 % w, pos // 3 // w))
                pos = d.find(b"\0\0\0", pos + 3)
            else:
                pos = d.find(b"\0\0\0", pos + 1)
        boxes, seen = [], set()
        for start in black:
            if start in seen:
                continue
            seen.add(start)
            stack, xs, ys = [start], [], []
            while stack:
                x, y = stack.pop()
                xs.append(x)
                ys.append(y)
                for q in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if q in black and q not in seen:
                        seen.add(q)
                        stack.append(q)
            x0, y0 = min(xs), min(ys)
            boxes.append((x0, y0, max(xs) - x0 + 1, max(ys) - y0 + 1, len(xs)))
        return sorted(boxes)


def parse_ppm(blob):
    """Parses a binary (P6) PPM with maxval 255."""
    fields, pos = [], 0
    while len(fields) < 4:
        while blob[pos:pos + 1].isspace():
            pos += 1
        if blob[pos:pos + 1] == b"#":
            pos = blob.index(b"\n", pos) + 1
            continue
        start = pos
        while not blob[pos:pos + 1].isspace():
            pos += 1
        fields.append(blob[start:pos])
    assert fields[0] == b"P6", "not a binary PPM: %r" % fields[0]
    width, height, maxval = int(fields[1]), int(fields[2]), int(fields[3])
    assert maxval == 255, "unexpected PPM maxval %d" % maxval
    data = blob[pos + 1:pos + 1 + 3 * width * height]
    assert len(data) == 3 * width * height, "PPM data cut short"
    return Image(width, height, data)


class Program:
    """The figure binary under test, started in cwd with its stdout and stderr in files."""

    def __init__(self, binary, cwd, scratch, display=None, audio="dummy", env=None,
                 unset=()):
        self.scratch = scratch
        self.display = display
        self.audiofile = scratch.join("audio.raw")
        e = dict(os.environ)
        for name in ("DISPLAY", "SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE", "SDL_VIDEODRIVER"):
            e.pop(name, None)
        if display:
            # Without this SDL quietly falls back to an invisible driver if it cannot reach X.
            e["DISPLAY"] = display
            e["SDL_VIDEODRIVER"] = "x11"
        if audio:
            e["SDL_AUDIODRIVER"] = audio
        if audio == "disk":
            e["SDL_DISKAUDIOFILE"] = self.audiofile
        # Leaks inside libdbus are not the program's; the caller's own suppressions win.
        lsan = e.get("LSAN_OPTIONS", "")
        if "suppressions=" not in lsan:
            supp = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lsan.supp")
            e["LSAN_OPTIONS"] = (lsan + ":" if lsan else "") + "suppressions=" + supp
        e.update(env or {})
        for name in unset:
            e.pop(name, None)
        self.out_path = scratch.join("stdout.txt")
        self.err_path = scratch.join("stderr.txt")
        self.argv, self.cwd, self.env = [binary], cwd, e
        self.ended = None
        self.window = None
        self.shots = 0
        self.launches = 0
        self._launch()

    def _launch(self):
        self.launches += 1
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.started = time.monotonic()
            self.proc = subprocess.Popen(self.argv, cwd=self.cwd, env=self.env,
                                         stdin=subprocess.DEVNULL, stdout=out, stderr=err)

    def _relaunched(self):
        """Starts the program again if it could not reach the X server at all. Another X
        server starting beside ours can make one connection attempt fail; that is the test
        machine's doing, not the program's, so it gets two more tries."""
        if (self.display and self.launches < 3 and self.proc.poll() == 1
                and self.stdout() == X_UNREACHABLE):
            print("the X server was unreachable; starting the program again", flush=True)
            time.sleep(0.5)
            self._launch()
            return True
        return False

    def running(self):
        return self.proc.poll() is None

    def wait(self, deadline=EXIT_DEADLINE):
        try:
            status = self.proc.wait(deadline)
            while self._relaunched():
                status = self.proc.wait(deadline)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("the program did not end within %.0f s" % deadline)
        if self.ended is None:
            self.ended = time.monotonic()
        return status

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def terminate(self):
        self.proc.send_signal(signal.SIGTERM)

    def stdout(self):
        with open(self.out_path, "rb") as f:
            return f.read()

    def stderr(self):
        with open(self.err_path, "rb") as f:
            return f.read().decode(errors="replace")

    def find_window(self, deadline=STARTUP_DEADLINE):
        """Waits for the visible window titled "hello window"; fails early if the program ends."""

        def look():
            if not self.running() and not self._relaunched():
                raise AssertionError("the program ended (status %s) before its window showed: "
                                     "%r" % (self.proc.returncode, self.stdout()))
            rc, out = xdotool(self.display, "search", "--onlyvisible", "--name",
                              "^%s$" % TITLE)
            ids = out.split()
            return ids[0] if rc == 0 and ids else None

        try:
            self.window = wait_until(look, deadline, "the window %r" % TITLE, interval=0.2)
        except AssertionError:
            print(self.diagnose())
            raise
        return self.window

    def diagnose(self):
        """What a stuck program is doing: its windows and, where gdb exists, its threads."""
        env = dict(os.environ, DISPLAY=self.display)
        done = subprocess.run(["xdotool", "search", "--name", TITLE], env=env, timeout=20,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        text = "xdotool search on %s: %s\n" % (self.display, done.stdout.decode().split())
        done = subprocess.run(["xwininfo", "-root", "-tree"], env=env, timeout=20,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        text += done.stdout.decode(errors="replace")[-3000:]
        if self.running() and shutil.which("gdb"):
            done = subprocess.run(["gdb", "-p", str(self.proc.pid), "-batch", "-ex",
                                   "thread apply all bt"], stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, timeout=60)
            text += done.stdout.decode(errors="replace")[-6000:]
        return text

    def run_for(self, seconds):
        """Waits for the window and its first drawn frames (the face shows), then lets the main
        loop run for the given time: start-up can take seconds on a loaded or sanitized run."""
        self.find_window()
        wait_for_face(self, STARTUP_DEADLINE)
        time.sleep(seconds)

    def geometry(self):
        rc, out = xdotool(self.display, "getwindowgeometry", "--shell", self.window)
        assert rc == 0, "getwindowgeometry failed"
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def point(self, x, y):
        """Moves the pointer to window pixel (x, y)."""
        rc, _ = xdotool(self.display, "mousemove", "--window", self.window, x, y)
        assert rc == 0, "mousemove failed"

    def button(self, which, down):
        rc, _ = xdotool(self.display, "mousedown" if down else "mouseup", which)
        assert rc == 0, "mouse button failed"

    def key(self, name):
        """A real key press and release through XTEST, with the pointer and focus on the window:
        under a bare X server the keyboard goes to the focus (or the window under the pointer)."""
        rc, _ = xdotool(self.display, "windowfocus", "--sync", self.window)
        assert rc == 0, "windowfocus failed"
        rc, _ = xdotool(self.display, "key", name)
        assert rc == 0, "key %s failed" % name

    def screenshot(self, keep=True):
        env = dict(os.environ, DISPLAY=self.display)
        done = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"], env=env, timeout=30,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        assert done.returncode == 0, "import failed: %s" % done.stderr.decode()
        image = parse_ppm(done.stdout)
        assert (image.width, image.height) == (WIDTH, HEIGHT), (image.width, image.height)
        if keep:
            self.keep(image)
        return image

    def keep(self, image):
        """Saves a screenshot in the scratch folder, to look at with E2E_KEEP=1."""
        self.shots += 1
        with open(self.scratch.join("shot%02d.ppm" % self.shots), "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (image.width, image.height) + bytes(image.data))

    def quit_with_escape(self):
        """Presses Escape until the program ends (a press that comes before the window has the
        keyboard is lost) and returns the exit status."""

        def gone():
            if self.running():
                xdotool(self.display, "windowfocus", "--sync", self.window)
                xdotool(self.display, "key", "Escape")
                return False
            return True

        wait_until(gone, EXIT_DEADLINE, "the program to end after Escape", interval=1.0)
        return self.wait()

    def close(self):
        self.kill()


class Face:
    """The face found in a screenshot: eyes sorted by x as (x, y) top-left corners, the gap
    between each eye and the eyebrow above it, the 40-wide mouth boxes, and any other black."""

    def __init__(self, eyes, gaps, mouths, strays):
        self.eyes, self.gaps, self.mouths, self.strays = eyes, gaps, mouths, strays

    def centre(self):
        (x1, y1), (x2, y2) = self.eyes
        return (x1 + x2) / 2 + 7, (y1 + y2) / 2 + 7


def find_face(image):
    """The face with both eyes open (solid 15 x 15), or None (mid-blink, or no face)."""
    boxes = image.black_boxes()
    eyes = [b for b in boxes if b[2:] == (15, 15, 225)]
    if len(eyes) != 2:
        return None
    brows = [b for b in boxes if b[2:] == (15, 5, 75)]
    gaps = []
    for x, y, _, _, _ in eyes:
        above = [y - (by + 5) for bx, by, _, _, _ in brows if bx == x and by + 5 <= y]
        gaps.append(min(above) if above else None)
    mouths = [b for b in boxes if b[2] == 40 and b[4] == 40 * b[3]]
    strays = [b for b in boxes if b not in eyes + brows + mouths]
    return Face([(b[0], b[1]) for b in eyes], gaps, mouths, strays)


def wait_for_face(program, deadline=10, check=lambda face, image: True,
                  what="an open-eyed face"):
    """Screenshots until a face with open eyes passes check(face, image); returns (face, image)."""

    def look():
        image = program.screenshot(keep=False)
        face = find_face(image)
        if face and check(face, image):
            program.keep(image)
            return face, image
        return None

    return wait_until(look, deadline, what, interval=0.05)


FRAME = re.compile(rb"0|[1-9][0-9]{0,2}")


def frame_numbers(out):
    """Checks the output of a normal run and returns its per-frame numbers:
    "Hello world!\n", then <error text><number>\n, then <number>\n per frame, and
    "Performing cleanup!" with no line break at the very end."""
    head, tail = b"Hello world!\n", b"Performing cleanup!"
    assert out.startswith(head), "output does not start with Hello world!: %r" % out[:80]
    assert out.endswith(tail), "output does not end with the cleanup line: %r" % out[-80:]
    body = out[len(head):-len(tail)]
    assert body.endswith(b"\n"), "the last frame line has no line break: %r" % body[-40:]
    lines = body[:-1].split(b"\n")
    first = lines[0]
    match = re.fullmatch(rb"(.*?)(0|[1-9][0-9]{0,2})", first, re.S)
    assert match, "first frame line is not <error text><number>: %r" % first
    numbers = [int(match.group(2))]
    for line in lines[1:]:
        assert FRAME.fullmatch(line), "frame line is not a number: %r" % line
        numbers.append(int(line))
    for n in numbers:
        assert 0 <= n <= 255, n
    return match.group(1), numbers


def assert_no_sanitizer_report(program):
    err = program.stderr()
    for mark in SANITIZER_MARKS:
        assert mark not in err, "sanitizer report on stderr:\n" + err[-4000:]


def run_tests(tests):
    """Runs the test functions in order and prints one line each; exits non-zero on a failure.
    Closes with the 'N passed, N failed' line."""
    passed = failed = 0
    for test in tests:
        start = time.monotonic()
        try:
            test()
        except Exception as exc:
            failed += 1
            print("FAIL %s (%.1f s): %s: %s" % (test.__name__, time.monotonic() - start,
                                               type(exc).__name__, exc), flush=True)
            import traceback
            traceback.print_exc(file=sys.stdout)
        else:
            passed += 1
            print("ok   %s (%.1f s)" % (test.__name__, time.monotonic() - start), flush=True)
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)
