"""The drawn figure: where it stands, the arms reaching for the pointer, freeze and the knock."""
import math
import os
import time

import harness as h

BINARY, ROOT, _ = h.args()
DEBUG = os.environ.get("E2E_DEBUG")


def figure_pixels(image):
    return [(i % h.WIDTH, i // h.WIDTH) for i, c in enumerate(image.colours()) if c != h.GREY]


def settle(program):
    """The figure assembles itself from the window's corner over its first frames."""
    program.run_for(2.5)


def run(test):
    with h.Scratch() as scratch:
        program = h.Program(BINARY, ROOT, scratch, display=X.display, audio="dummy")
        try:
            settle(program)
            test(program)
            program.terminate()
            assert program.wait() == 0
        finally:
            program.close()
        h.frame_numbers(program.stdout())
        h.assert_no_sanitizer_report(program)


def test_figure_stands_in_the_middle_at_the_bottom():
    def check(program):
        image = program.screenshot()
        colours = image.colours()
        assert (255, 255, 255) not in colours, "white sprite background is not transparent"
        grey = colours.count(h.GREY)
        assert grey > 0.9 * len(colours), "only %d grey background pixels" % grey
        for x, y in ((0, 0), (h.WIDTH - 1, 0), (0, h.HEIGHT - 1), (h.WIDTH - 1, h.HEIGHT - 1)):
            assert image.px(x, y) == h.GREY, (x, y, image.px(x, y))
        fig = figure_pixels(image)
        xs = [x for x, _ in fig]
        assert len(fig) > 10000, "only %d figure pixels" % len(fig)
        third = h.WIDTH // 3
        assert third < min(xs) and max(xs) < 2 * third, "figure spans x %d..%d" % (min(xs), max(xs))
        assert abs(sum(xs) / len(xs) - 640) < 80, "figure centred at x %.0f" % (sum(xs) / len(xs))
        # The root turns about the window's bottom centre, so the figure stands on the bottom row.
        bottom = [x for x, y in fig if y == h.HEIGHT - 1]
        assert bottom and all(abs(x - 640) < 60 for x in bottom), "bottom row %s" % bottom[:5]
        assert min(y for _, y in fig) > 200, "figure reaches up to y %d" % min(y for _, y in fig)

    run(check)


def beside_head(image, face):
    """Figure pixels above the shoulders, left and right of the head: empty while both arms
    hang, filled by an arm reaching up that side."""
    ex, ey = face.centre()
    left = right = 0
    for x, y in figure_pixels(image):
        if y < ey + 50:
            if x > ex + 80:
                right += 1
            elif x < ex - 80:
                left += 1
    if DEBUG:
        print("beside head: left %d right %d" % (left, right))
    return left, right


def test_buttons_make_an_arm_reach_for_the_pointer():
    def check(program):
        face, image = h.wait_for_face(program)
        left, right = beside_head(image, face)
        assert left < 300 and right < 300, "arms not hanging at rest: %d, %d" % (left, right)

        program.point(1000, 150)
        program.button(1, True)
        face, image = h.wait_for_face(program, 15, lambda f, i: beside_head(i, f)[1] > 3000,
                                      "arm A reaching up to the right")
        assert beside_head(image, face)[0] < 300, "arm B moved with the left button"
        program.button(1, False)
        h.wait_for_face(program, 15, lambda f, i: beside_head(i, f)[1] < 300,
                        "arm A falling back after the button is released")

        # The right button moves the other arm, mirrored: it reaches up to the left.
        program.button(3, True)
        face, image = h.wait_for_face(program, 15, lambda f, i: beside_head(i, f)[0] > 3000,
                                      "arm B reaching up to the left")
        assert beside_head(image, face)[1] < 300, "arm A moved with the right button"
        program.button(3, False)

    run(check)


def bend(face):
    """How far the head is turned against the line from the figure's root pivot to the head:
    about 0 for the straight figure whatever its sway, large when the joints are bent."""
    (x1, y1), (x2, y2) = face.eyes
    tilt = math.atan2(y2 - y1, x2 - x1)
    cx, cy = face.centre()
    lean = math.atan2(cx - 640, h.HEIGHT - cy)
    # The two eyes look alike, so a head turned past a quarter turn swaps them: count modulo pi.
    turn = (tilt - lean + math.pi / 2) % math.pi - math.pi / 2
    if DEBUG:
        print("tilt %.3f lean %.3f bend %.3f" % (tilt, lean, turn))
    return turn


def test_space_knocks_and_f_holds_the_pose():
    def check(program):
        for _ in range(3):
            face, _ = h.wait_for_face(program)
            assert abs(bend(face)) < 0.25, "figure not straight at rest: %.2f" % bend(face)
        # Frozen, nothing eases the parts back, so the knock stays in the picture.
        program.key("f")
        time.sleep(0.2)
        program.key("space")
        h.wait_for_face(program, 10, lambda f, i: abs(bend(f)) > 0.5, "the knock to bend the figure")
        until = time.monotonic() + 1.5
        while time.monotonic() < until:
            face, _ = h.wait_for_face(program)
            assert abs(bend(face)) > 0.5, "frozen figure straightened: %.2f" % bend(face)
        program.key("f")
        h.wait_for_face(program, 15, lambda f, i: abs(bend(f)) < 0.25, "the released figure to ease back")

    run(check)


if __name__ == "__main__":
    with h.Scratch() as xdir, h.Xvfb(xdir.path) as X:
        h.run_tests([test_figure_stands_in_the_middle_at_the_bottom,
                     test_buttons_make_an_arm_reach_for_the_pointer,
                     test_space_knocks_and_f_holds_the_pose])
