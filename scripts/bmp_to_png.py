#!/usr/bin/env python3
"""Turns 24- or 32-bit uncompressed BMP files into PNG files: bmp_to_png.py OUT-FOLDER FILE.bmp..."""
import os
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack("<I", data[10:14])[0]
    width, height, _, bits, compression = struct.unpack("<iiHHI", data[18:34])
    if bits not in (24, 32) or compression not in (0, 3):
        raise ValueError(f"{path}: {bits}-bit BMP with compression {compression} is not supported")
    step = bits // 8
    stride = (width * step + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        source_row = abs(height) - 1 - y if height > 0 else y
        start = offset + source_row * stride
        line = bytearray()
        for x in range(width):
            b, g, r = data[start + x * step:start + x * step + 3]
            line += bytes((r, g, b))
        rows.append(bytes(line))
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for path in sys.argv[2:]:
        width, height, rows = read_bmp(path)
        target = os.path.join(out, os.path.splitext(os.path.basename(path))[0] + ".png")
        write_png(target, width, height, rows)
        print(target)


if __name__ == "__main__":
    main()
