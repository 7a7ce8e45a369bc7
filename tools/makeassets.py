#!/usr/bin/env python3
"""Regenerates the four files in resources/: three 128 x 128 sprites and the voice clip.

Every sprite turns about its bottom centre (64, 128) and extends upward from there; pure white
is the transparent background. The face is not in the head image: the program draws it, eyes
100 px and mouth 65 px above the head's bottom centre. The clip needs espeak-ng and sox.
Run from the repository root: python3 tools/makeassets.py
"""
import os
import struct
import subprocess
import tempfile

SIZE = 128
WHITE = (255, 255, 255)
SHIRT = (66, 133, 204)
SHIRT_DARK = (34, 78, 138)
SHIRT_LIGHT = (118, 172, 230)
SKIN = (244, 200, 160)
SKIN_DARK = (176, 120, 84)
CHEEK = (240, 150, 140)

TEXT = (
    "Hello there! I am a little figure made of eight pieces. "
    "Hold a mouse button and I will reach for your pointer. "
    "Press space to give me a shake, and F to make me hold still. "
    "N and M move my eyebrows. Thank you for visiting, and have a lovely day!"
)


def canvas():
    return [[WHITE] * SIZE for _ in range(SIZE)]


def disc(img, cx, cy, r, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                img[y][x] = colour


def capsule(img, cx, top, bottom, r, colour):
    """A vertical bar of half-width r with round ends at rows top + r and bottom - r."""
    for y in range(SIZE):
        for x in range(SIZE):
            yc = min(max(y + 0.5, top + r), bottom - r)
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - yc) ** 2 <= r * r:
                img[y][x] = colour


def rect(img, x0, y0, x1, y1, colour):
    for y in range(max(y0, 0), min(y1, SIZE)):
        for x in range(max(x0, 0), min(x1, SIZE)):
            img[y][x] = colour


def body_image():
    img = canvas()
    capsule(img, 64, 2, 140, 23, SHIRT_DARK)
    capsule(img, 64, 4, 140, 21, SHIRT)
    capsule(img, 58, 12, 140, 5, SHIRT_LIGHT)
    return img


def arm_image():
    img = canvas()
    capsule(img, 64, 22, 140, 16, SHIRT_DARK)
    capsule(img, 64, 24, 140, 14, SHIRT)
    disc(img, 64, 20, 17, SKIN_DARK)
    disc(img, 64, 20, 15, SKIN)
    return img


def head_image():
    img = canvas()
    rect(img, 54, 84, 78, 128, SKIN_DARK)
    rect(img, 56, 84, 76, 128, SKIN)
    for ex in (22, 118):
        disc(img, ex, 56, 10, SKIN_DARK)
        disc(img, ex, 56, 8, SKIN)
    disc(img, 70, 52, 48, SKIN_DARK)
    disc(img, 70, 52, 46, SKIN)
    disc(img, 36, 74, 7, CHEEK)
    disc(img, 104, 74, 7, CHEEK)
    return img


def write_bmp(path, img):
    """24-bit uncompressed BMP, rows bottom-up, each padded to four bytes."""
    row = SIZE * 3
    pad = (4 - row % 4) % 4
    data = bytearray()
    for y in range(SIZE - 1, -1, -1):
        for r, g, b in img[y]:
            data += bytes((b, g, r))
        data += b"\0" * pad
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_clip(path):
    """Signed 16-bit mono at 22050 Hz, peaks near 8000 so the mouth opens about 20 px."""
    with tempfile.TemporaryDirectory() as tmp:
        spoken = os.path.join(tmp, "spoken.wav")
        subprocess.run(["espeak-ng", "-v", "en-us", "-s", "150", "-w", spoken, TEXT], check=True)
        subprocess.run(["sox", spoken, "-r", "22050", "-c", "1", "-b", "16", "-e", "signed-integer",
                        path, "norm", "-12"], check=True)


def main():
    os.makedirs("resources", exist_ok=True)
    write_bmp("resources/body.bmp", body_image())
    write_bmp("resources/head.bmp", head_image())
    write_bmp("resources/arm.bmp", arm_image())
    write_clip("resources/audio.wav")


if __name__ == "__main__":
    main()
