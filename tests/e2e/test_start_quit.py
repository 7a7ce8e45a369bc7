"""Start-up, the window, the per-frame output and the ways the program ends."""
import time

import harness as h

BINARY, ROOT, _ = h.args()


def test_window_escape_and_output():
    with h.Scratch() as scratch:
        program = h.Program(BINARY, ROOT, scratch, display=X.display, audio="dummy")
        try:
            program.run_for(1.0)
            assert program.geometry() == (h.WIDTH, h.HEIGHT), program.geometry()
            assert program.running(), "the program ended on its own"
            status = program.quit_with_escape()
        finally:
            program.close()
        elapsed = program.ended - program.started
        out = program.stdout()
        assert status == 0, "exit status %s, output %r" % (status, out[-200:])
        _, numbers = h.frame_numbers(out)
        assert len(numbers) >= 5, "only %d frames in %.1f s" % (len(numbers), elapsed)
        # Every frame sleeps 32 ms, so no run can print more frames than that allows.
        assert len(numbers) <= elapsed / 0.032 + 1, "%d frames in %.2f s" % (len(numbers), elapsed)
        h.assert_no_sanitizer_report(program)


def test_sigterm_is_a_normal_quit():
    with h.Scratch() as scratch:
        program = h.Program(BINARY, ROOT, scratch, display=X.display, audio="dummy")
        try:
            program.find_window()
            time.sleep(0.5)
            program.terminate()
            status = program.wait()
        finally:
            program.close()
        assert status == 0, status
        h.frame_numbers(program.stdout())
        h.assert_no_sanitizer_report(program)


def test_without_resources_folder():
    with h.Scratch() as scratch:
        program = h.Program(BINARY, scratch.path, scratch, display=X.display, audio="dummy")
        try:
            status = program.wait()
        finally:
            program.close()
        assert status == 1, status
        assert program.stdout() == b"Hello world!\n", program.stdout()
        h.assert_no_sanitizer_report(program)


if __name__ == "__main__":
    with h.Scratch() as xdir, h.Xvfb(xdir.path) as X:
        h.run_tests([test_window_escape_and_output, test_sigterm_is_a_normal_quit,
                     test_without_resources_folder])
