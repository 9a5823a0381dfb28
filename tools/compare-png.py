#!/usr/bin/env python3
"""Compares PNG files pixel for pixel, whatever their encoders chose.

    tools/compare-png.py DIR_A DIR_B     every *.png of DIR_A against DIR_B's
    tools/compare-png.py A.png B.png

Two files match when they have the same size and the same R, G, B, A samples
at the same bit depth (grey and alpha-less files are expanded first). Prints
one line per file and exits 1 on any difference. Standard library only.
"""

import os
import struct
import sys
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}  # colour type -> samples per pixel (no palettes)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def decode(path):
    """(width, height, depth, channels, the unfiltered rows as bytes)."""
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(SIGNATURE):
        raise ValueError(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if colour not in CHANNELS or depth not in (8, 16) or interlace:
        raise ValueError(f"{path}: colour type {colour}, depth {depth}, interlace {interlace} not handled")
    channels = CHANNELS[colour]
    pixel_bytes = channels * depth // 8
    stride = width * pixel_bytes
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - pixel_bytes] if i >= pixel_bytes else 0
            up = previous[i]
            corner = previous[i - pixel_bytes] if i >= pixel_bytes else 0
            predictor = (0, left, up, (left + up) // 2, paeth(left, up, corner))[kind]
            row[i] = (row[i] + predictor) & 0xFF
        rows.append(row)
        previous = row
    return width, height, depth, channels, b"".join(rows)


def rgba(depth, channels, pixels):
    """The samples of unfiltered rows as R, G, B, A values."""
    count = len(pixels) // (depth // 8)
    values = struct.unpack(">" + ("B" if depth == 8 else "H") * count, pixels)
    if channels == 4:
        return values
    opaque = (1 << depth) - 1
    out = []
    for i in range(0, count, channels):
        px = values[i:i + channels]
        if channels == 1:
            px = (px[0], px[0], px[0], opaque)
        elif channels == 2:
            px = (px[0], px[0], px[0], px[1])
        else:
            px = px + (opaque,)
        out.extend(px)
    return tuple(out)


def compare(a, b):
    wa, ha, da, ca, pa = decode(a)
    wb, hb, db, cb, pb = decode(b)
    if (wa, ha, da) != (wb, hb, db):
        return f"{wa}x{ha} {da}-bit against {wb}x{hb} {db}-bit"
    if ca == cb and pa == pb:
        return None
    sa, sb = rgba(da, ca, pa), rgba(db, cb, pb)
    if sa != sb:
        first = next(i for i in range(len(sa)) if sa[i] != sb[i])
        pixel = first // 4
        count = sum(1 for x, y in zip(sa, sb) if x != y)
        return (f"{count} samples differ, first at ({pixel % wa}, {pixel // wa}) channel "
                f"{'RGBA'[first % 4]}: {sa[first]} against {sb[first]}")
    return None


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    a, b = argv[1], argv[2]
    if os.path.isdir(a):
        names = sorted(n for n in os.listdir(a) if n.lower().endswith(".png"))
        pairs = [(os.path.join(a, n), os.path.join(b, n)) for n in names]
    else:
        pairs = [(a, b)]
    if not pairs:
        print(f"FAIL  no PNG files in {a}")
        return 1
    failed = 0
    for x, y in pairs:
        try:
            why = compare(x, y)
        except (OSError, ValueError, zlib.error) as e:
            why = str(e)
        print(("ok    " if why is None else "FAIL  ") + os.path.basename(x) + ("" if why is None else ": " + why))
        failed += why is not None
    print(f"{len(pairs) - failed} of {len(pairs)} pictures identical")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
