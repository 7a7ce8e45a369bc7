"""The voice clip on the audio device and the face drawn on the head: eyes, eyebrows, mouth."""
import math
import os
import wave

import harness as h

BINARY, ROOT, _ = h.args()


def clip_data():
    with wave.open(os.path.join(ROOT, "resources", "audio.wav"), "rb") as w:
        assert (w.getnchannels(), w.getsampwidth()) == (1, 2), "the clip is not s16 mono"
        return w.getframerate(), w.readframes(w.getnframes())


def test_clip_plays_from_its_start():
    rate, clip = clip_data()
    # 4096 bytes from half a second into the clip; the device gets the clip's own format, so
    # the disk driver writes its bytes unchanged, after the silence from before it was queued.
    offset = rate // 2 * 2
    chunk = clip[offset:offset + 4096]
    assert any(chunk), "the chosen stretch of the clip is silent"

    def played():
        if not os.path.exists(P.audiofile):
            return None
        with open(P.audiofile, "rb") as f:
            data = f.read()
        at = data.find(chunk)
        return data if at >= 0 else None

    data = h.wait_until(played, 20, "the clip's samples in the disk driver's file", interval=0.2)
    start = data.find(chunk) - offset
    assert start >= 0, "the chunk is too early: the clip was not played from its start"
    assert start <= rate, "%d bytes of silence before the clip" % start
    assert not any(data[:start]), "something else was played before the clip"
    n = min(len(data) - start, len(clip))
    assert data[start:start + n] == clip[:n], "the played bytes are not the clip's"


def test_face_eyes_brows_and_mouth():
    def eyes_apart(face, _):
        (x1, y1), (x2, y2) = face.eyes
        return abs(math.hypot(x2 - x1, y2 - y1) - 60) <= 2

    face, _ = h.wait_for_face(P, 10, eyes_apart, "two open eyes 60 px apart")
    assert face.gaps == [4, 4], "eyebrow gaps %s" % face.gaps
    assert not face.strays, "black outside the face's rectangles: %s" % face.strays

    # The mouth opens only where the clip is loud enough: look until it shows.
    face, _ = h.wait_for_face(P, 15, lambda f, _: f.mouths, "the mouth")
    (ex, ey), _ = face.eyes
    mx, my, mw, mh, _ = face.mouths[0]
    assert mw == 40 and mh >= 1, face.mouths
    assert abs(mx - (ex + 15)) <= 20 and my > ey + 15, "mouth at (%d, %d), eye 1 at (%d, %d)" % (
        mx, my, ex, ey)


def test_n_and_m_raise_and_lower_the_eyebrows():
    for key, gaps in (("n", [9, 4]), ("n", [4, 4]), ("m", [4, 9]), ("m", [4, 4])):
        P.key(key)
        face, _ = h.wait_for_face(P, 10, lambda f, _: f.gaps == gaps,
                                  "eyebrow gaps %s after %s" % (gaps, key))


def test_quits_cleanly():
    P.terminate()
    assert P.wait() == 0
    h.frame_numbers(P.stdout())
    h.assert_no_sanitizer_report(P)


if __name__ == "__main__":
    with h.Scratch() as scratch, h.Xvfb(scratch.path) as X:
        P = h.Program(BINARY, ROOT, scratch, display=X.display, audio="disk")
        try:
            P.find_window()
            h.run_tests([test_clip_plays_from_its_start, test_face_eyes_brows_and_mouth,
                         test_n_and_m_raise_and_lower_the_eyebrows, test_quits_cleanly])
        finally:
            P.close()
