#!/usr/bin/env python3
"""Draws the launcher's icon (a parcel with a down arrow) and writes launcher.ico.

The icon is ours, drawn here pixel by pixel so it can be remade without any tool:
python3 make_icon.py > launcher.ico
"""
import struct
import sys


def pixel(x, y, size):
    """RGBA of one pixel in a size x size image, y counted from the top."""
    s = size / 32.0
    inside = 3 * s <= x < 29 * s and 6 * s <= y < 29 * s
    if not inside:
        return (0, 0, 0, 0)
    border = x < 4 * s or x >= 28 * s or y < 7 * s or y >= 28 * s
    if border:
        return (90, 60, 30, 255)
    lid = y < 12 * s
    # The arrow: a shaft in the middle and a head below it.
    cx = 16 * s
    shaft = abs(x + 0.5 - cx) < 2 * s and 9 * s <= y < 18 * s
    head = 18 * s <= y < 25 * s and abs(x + 0.5 - cx) < (25 * s - y)
    if shaft or head:
        return (30, 110, 200, 255)
    return (205, 160, 95, 255) if lid else (225, 185, 120, 255)


def bitmap(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(size)):  # bottom-up rows
        row = b"".join(struct.pack("BBBB", b, g, r, a) for (r, g, b, a) in (pixel(x, y, size) for x in range(size)))
        rows.append(row)
    mask_row = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_row * size)  # alpha decides; the AND mask stays clear
    return header + b"".join(rows) + mask


def main():
    sizes = [16, 32, 48]
    images = [bitmap(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    sys.stdout.buffer.write(out)


if __name__ == "__main__":
    main()
