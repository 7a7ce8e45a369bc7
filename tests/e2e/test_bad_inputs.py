"""Broken, odd and missing assets and devices: the program either ends at start-up with status 1
or runs normally, and never crashes. Each case runs in its own folder holding a copy of the good
resources with one file replaced. The cases are grouped (images, clips, devices); the group is
the third argument."""
import os
import re
import struct

import harness as h

BINARY, ROOT, GROUPS = h.args()

ONLY_HELLO = re.compile(rb"Hello world!\n")
INIT_FAILED = re.compile(rb"Hello world!\nCouldn't initialize SDL: [^\n]+\n")


def bmp(width, height, with_pixels=True):
    """A 24-bit BMP of one colour; the header alone when with_pixels is false."""
    row = (width * 3 + 3) & ~3
    size = row * height & 0xFFFFFFFF
    head = b"BM" + struct.pack("<IHHI", (54 + size) & 0xFFFFFFFF, 0, 0, 54) + struct.pack(
        "<IiiHHIIiiII", 40, width, height, 1, 24, 0, size, 2835, 2835, 0, 0)
    if not with_pixels:
        return head
    return head + (b"\xc0\x80\x40" * width + b"\0" * (row - 3 * width)) * height


def wav(tag, channels, bits, data, rate=22050):
    """A RIFF WAVE written by hand, so a data chunk of odd length gets its pad byte."""
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    if tag != 1:
        fmt += b"\0\0"  # cbSize, present in every format other than plain PCM
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" +
            struct.pack("<I", len(data)) + data + b"\0" * (len(data) % 2))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def real(name):
    with open(os.path.join(ROOT, "resources", name), "rb") as f:
        return f.read()


TEXT = b"This is not an image and not a sound, just a line of text.\n" * 20
MISSING = None
STEREO = struct.pack("<hh", 0x0A0B, 0x0C0D)
FLOAT = struct.pack("<f", 0.25)


def asan_may_return_null():
    # The loader asks for ~30 GB and copes with a null answer; AddressSanitizer aborts on such a
    # request unless told to return null like the real allocator.
    options = os.environ.get("ASAN_OPTIONS", "")
    return {"ASAN_OPTIONS": (options + ":" if options else "") + "allocator_may_return_null=1"}


# name, file replaced (in resources/), its new content, expected outcome, extra environment.
# Outcome "fails": status 1 with only "Hello world!\n"; a compiled pattern: status 1 with that
# output; a set: the program runs, quits with status 0, and every frame prints a byte of the
# clip (the set) or 0 once the playback position lies outside the clip.
CASES = {
    "images": [
        ("body missing", "body.bmp", MISSING, "fails", {}),
        ("head missing", "head.bmp", MISSING, "fails", {}),
        ("arm missing", "arm.bmp", MISSING, "fails", {}),
        ("zero-byte image", "body.bmp", b"", "fails", {}),
        ("image header cut short", "head.bmp", lambda: real("head.bmp")[:30], "fails", {}),
        ("image pixels cut short", "arm.bmp", lambda: real("arm.bmp")[:54 + 1000], "fails", {}),
        ("text as an image", "body.bmp", TEXT, "fails", {}),
        ("100000 x 100000 header, no pixels", "head.bmp", lambda: bmp(100000, 100000, False),
         "fails", asan_may_return_null()),
        ("20000 x 2, too wide for a texture", "arm.bmp", lambda: bmp(20000, 2), "fails", {}),
    ],
    "clips": [
        ("clip missing", "audio.wav", MISSING, "fails", {}),
        ("zero-byte clip", "audio.wav", b"", "fails", {}),
        ("clip header cut short", "audio.wav", lambda: real("audio.wav")[:20], "fails", {}),
        ("text as a clip", "audio.wav", TEXT, "fails", {}),
        ("8-bit unsigned", "audio.wav", lambda: wav(1, 1, 8, b"\x9c" * 44100), {0x9C}, {}),
        ("stereo s16", "audio.wav", lambda: wav(1, 2, 16, STEREO * 22050),
         set(STEREO), {}),
        ("32-bit float", "audio.wav", lambda: wav(3, 1, 32, FLOAT * 22050), set(FLOAT), {}),
        ("100 samples", "audio.wav", lambda: wav(1, 1, 16, b"\x2b\x2a" * 100), {0x2A, 0x2B},
         {}),
        ("odd byte length", "audio.wav", lambda: wav(1, 1, 16, b"\x2b\x2a" * 22050 + b"\x2b"),
         {0x2A, 0x2B}, {}),
    ],
    "devices": [
        ("no sound card", None, None, "fails", {"SDL_AUDIODRIVER": "alsa"}),
        ("no sound server", None, None, INIT_FAILED, {"SDL_AUDIODRIVER": "pulseaudio"}),
        ("no display", None, None, INIT_FAILED, {"SDL_VIDEODRIVER": "x11", "DISPLAY": None}),
    ],
}


def run_case(name, filename, content, expected, env, quit_key):
    with h.Scratch() as scratch:
        scratch.with_resources(ROOT)
        if filename:
            path = scratch.join("resources", filename)
            os.remove(path)
            if content is not MISSING:
                content = content() if callable(content) else content
                with open(path, "wb") as f:
                    f.write(content)
        extra = {k: v for k, v in env.items() if v is not None}
        unset = [k for k, v in env.items() if v is None]
        display = None if "DISPLAY" in unset else X.display
        audio = None if "SDL_AUDIODRIVER" in env else "dummy"
        program = h.Program(BINARY, scratch.path, scratch, display=display, audio=audio,
                            env=extra, unset=unset)
        try:
            if isinstance(expected, set):
                program.run_for(1.0)
                assert program.running(), "the program ended on its own"
                if quit_key:
                    status = program.quit_with_escape()
                else:
                    program.terminate()
                    status = program.wait()
            else:
                status = program.wait()
        finally:
            program.close()
        out = program.stdout()
        h.assert_no_sanitizer_report(program)
        if isinstance(expected, set):
            assert status == 0, "status %s, output %r" % (status, out[-200:])
            _, numbers = h.frame_numbers(out)
            strays = set(numbers) - expected - {0}
            assert not strays, "frames printed %s, not bytes of the clip" % sorted(strays)
            # A clip this long is still under the playback position when the frames print.
            if len(content) > 10000:
                assert set(numbers) & expected - {0}, "no frame printed a byte of the clip"
            return
        assert status == 1, "status %s (a negative status is a signal), output %r" % (status, out)
        pattern = ONLY_HELLO if expected == "fails" else expected
        assert pattern.fullmatch(out), "output %r" % out


def make_test(case, quit_key):
    def test():
        run_case(*case, quit_key)

    test.__name__ = case[0].replace(" ", "_")
    return test


if __name__ == "__main__":
    groups = GROUPS or sorted(CASES)
    tests = [make_test(case, i % 2 == 0) for g in groups for i, case in enumerate(CASES[g])]
    with h.Scratch() as xdir, h.Xvfb(xdir.path) as X:
        h.run_tests(tests)
