#!/usr/bin/env python3
"""Draws the module's pictures and writes them beside this script.

    python3 resources/make_art.py [OUTPUT_DIRECTORY]

monitor.bmp   bitmap 3010: the monitor on its stand (184 x 170) and its mask
              side by side, 368 x 170, 4 bits per pixel, RLE4-compressed,
              standard 16-colour palette.
gyrel.ico     icon 1: a spiral, 32 x 32 and 16 x 16, 16 colours.
pinwheel.ico  icon 3: a pinwheel, 32 x 32, 16 colours.

The output is deterministic; the checked-in files are this script's output,
and a test makes sure they still are.
"""
import math
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, DARK_CYAN, LIGHT_GREY = range(8)
DARK_GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

# --------------------------------------------------------------------------
# The monitor

HALF_WIDTH, HEIGHT = 184, 170
SCREEN = (16, 17, 168, 129)  # left, top, right, bottom (right and bottom excluded)


def mask_span(row):
    """Opaque columns (first, last) of a mask row, or None when it is clear."""
    if row <= 145:
        return (0, HALF_WIDTH - 1)  # the casing
    if row == 146:
        return (1, HALF_WIDTH - 2)  # its rounded lower edge
    if row <= 162:
        # The neck narrows by eight columns on each side over its 16 rows.
        inset = round((row - 147) * 8 / 15)
        return (48 + inset, 135 - inset)
    if row in (163, 168):
        return (37, 145)  # the foot's rounded top and bottom rows
    if row <= 167:
        return (36, 146)
    return None  # row 169: nothing


def draw_monitor():
    picture = [[BLACK] * HALF_WIDTH for _ in range(HEIGHT)]
    mask = [[WHITE] * HALF_WIDTH for _ in range(HEIGHT)]

    def put(x, y, colour):
        picture[y][x] = colour

    def fill(left, top, right, bottom, colour):  # right and bottom excluded
        for y in range(top, bottom):
            for x in range(left, right):
                put(x, y, colour)

    for y in range(HEIGHT):
        span = mask_span(y)
        if span is None:
            continue
        first, last = span
        for x in range(first, last + 1):
            mask[y][x] = BLACK
            put(x, y, LIGHT_GREY)

    # Casing: raised edges.
    fill(0, 0, HALF_WIDTH, 1, WHITE)
    fill(0, 0, 1, 146, WHITE)
    fill(HALF_WIDTH - 1, 1, HALF_WIDTH, 146, DARK_GREY)
    fill(1, 145, HALF_WIDTH, 146, DARK_GREY)
    fill(1, 146, HALF_WIDTH - 1, 147, BLACK)

    # The dark frame round the screen: a sunken bevel, then black.
    left, top, right, bottom = SCREEN
    fill(left - 4, top - 4, right + 4, bottom + 4, BLACK)
    fill(left - 5, top - 5, right + 5, top - 4, DARK_GREY)
    fill(left - 5, top - 5, left - 4, bottom + 5, DARK_GREY)
    fill(left - 5, bottom + 4, right + 5, bottom + 5, WHITE)
    fill(right + 4, top - 5, right + 5, bottom + 5, WHITE)
    fill(left, top, right, bottom, DARK_CYAN)

    # Two small knobs on the lower bezel.
    for x in (24, 34):
        fill(x, 136, x + 6, 139, DARK_GREY)
        fill(x, 136, x + 5, 138, WHITE)
        fill(x + 1, 137, x + 5, 138, LIGHT_GREY)

    # Neck and foot: lit from the left.
    for y in range(147, 169):
        first, last = mask_span(y)
        put(first, y, WHITE)
        put(last, y, DARK_GREY)
    fill(37, 163, 146, 164, WHITE)
    fill(37, 168, 146, 169, DARK_GREY)
    fill(36, 164, 37, 168, WHITE)
    fill(146, 164, 147, 168, DARK_GREY)
    fill(56, 163, 128, 164, LIGHT_GREY)  # the neck meets the foot

    # The power light on the foot.
    fill(131, 165, 137, 167, GREEN)
    fill(131, 167, 137, 168, DARK_GREEN)

    return picture, mask


def rle4_row(pixels):
    """Encodes one row: runs of three or more pixels of one colour in encoded
    mode, the stretches between them in absolute mode (or, when shorter than
    three pixels, as an encoded pair of alternating colours), then the
    end-of-line mark."""

    def run_at(i):
        run = 1
        while i + run < len(pixels) and pixels[i + run] == pixels[i] and run < 255:
            run += 1
        return run

    out = bytearray()
    i, n = 0, len(pixels)
    while i < n:
        run = run_at(i)
        if run >= 3:
            out += bytes([run, (pixels[i] << 4) | pixels[i]])
            i += run
            continue
        start = i
        while i < n and i - start < 255 and run_at(i) < 3:
            i += 1
        stretch = pixels[start:i]
        if len(stretch) < 3:
            second = stretch[1] if len(stretch) == 2 else 0
            out += bytes([len(stretch), (stretch[0] << 4) | second])
            continue
        packed = bytearray()
        for k in range(0, len(stretch), 2):
            low = stretch[k + 1] if k + 1 < len(stretch) else 0
            packed.append((stretch[k] << 4) | low)
        if len(packed) % 2:
            packed.append(0)  # absolute runs end on a 16-bit boundary
        out += bytes([0, len(stretch)]) + packed
    out += b"\x00\x00"
    return out


def palette_bytes():
    return b"".join(bytes([b, g, r, 0]) for r, g, b in PALETTE)


def monitor_bmp():
    picture, mask = draw_monitor()
    width = 2 * HALF_WIDTH
    bits = bytearray()
    for y in reversed(range(HEIGHT)):  # bottom-up
        bits += rle4_row(picture[y] + mask[y])
    bits[-2:] = b"\x00\x01"  # the last end-of-line becomes end-of-bitmap
    header = struct.pack("<IiiHHIIiiII", 40, width, HEIGHT, 1, 4, 2, len(bits), 0, 0, 16, 16)
    offset = 14 + len(header) + 64
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return file_header + header + palette_bytes() + bytes(bits)


# --------------------------------------------------------------------------
# Icons

TRANSPARENT = None


def draw_spiral(size):
    image = [[TRANSPARENT] * size for _ in range(size)]
    c = (size - 1) / 2
    radius = size / 2 - 0.5
    for y in range(size):
        for x in range(size):
            if math.hypot(x - c, y - c) <= radius:
                image[y][x] = NAVY
    # Two arms of an Archimedean spiral, traced finely and plotted thick.
    for arm, colour in ((0.0, CYAN), (math.pi, WHITE)):
        t = 0.0
        while True:
            r = radius * t / (2.4 * math.pi)
            if r > radius - 2:
                break
            angle = t + arm
            for dx, dy in ((0, 0), (0.5, 0), (0, 0.5)) if size >= 32 else ((0, 0),):
                x = int(round(c + r * math.cos(angle) + dx))
                y = int(round(c - r * math.sin(angle) + dy))
                if 0 <= x < size and 0 <= y < size and image[y][x] is not TRANSPARENT:
                    image[y][x] = colour
            t += 0.01
    centre = int(round(c))
    image[centre][centre] = YELLOW
    return image


def draw_pinwheel(size):
    image = [[TRANSPARENT] * size for _ in range(size)]
    c = size // 2
    blades = (RED, YELLOW, GREEN, BLUE)
    reach = size // 2 - 2
    for y in range(size):
        for x in range(size):
            dx, dy = x - c + 0.5, y - c + 0.5
            if max(abs(dx), abs(dy)) > reach:
                continue
            # Each quadrant holds one blade: a right triangle along one axis.
            if dx >= 0 and dy < 0 and -dy >= dx:
                image[y][x] = blades[0]
            elif dx >= 0 and dy >= 0 and dx >= dy:
                image[y][x] = blades[1]
            elif dx < 0 and dy >= 0 and dy >= -dx:
                image[y][x] = blades[2]
            elif dx < 0 and dy < 0 and -dx >= -dy:
                image[y][x] = blades[3]
    image[c][c - 1] = image[c - 1][c - 1] = image[c][c] = image[c - 1][c] = BLACK
    return image


def icon_image(image):
    size = len(image)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor, andmask = bytearray(), bytearray()
    for y in reversed(range(size)):
        row = bytearray(xor_stride)
        bitrow = bytearray(and_stride)
        for x, colour in enumerate(image[y]):
            index = BLACK if colour is TRANSPARENT else colour
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bitrow[x // 8] |= 0x80 >> (x % 8)
        xor += row
        andmask += bitrow
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(xor) + len(andmask), 0, 0, 16, 0)
    return header + palette_bytes() + bytes(xor) + bytes(andmask)


def icon_file(images):
    blobs = [icon_image(image) for image in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for image, blob in zip(images, blobs):
        size = len(image)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    outputs = {
        "monitor.bmp": monitor_bmp(),
        "gyrel.ico": icon_file([draw_spiral(32), draw_spiral(16)]),
        "pinwheel.ico": icon_file([draw_pinwheel(32)]),
    }
    for name, data in outputs.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
