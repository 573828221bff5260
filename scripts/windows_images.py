#!/usr/bin/env python3
"""Makes the Windows program's pictures from the SVG pictures of the desktop program.

Writes, into the folder given as the only argument:
  <list>-<size>.bmp  image lists as one 32-bit BMP strip each (straight alpha), for the sizes
                     16, 24 and 32: main (15 images), about (3), settings (13), lock (1)
  program.ico        the program's icon, 16 to 256 pixels
  tray.ico           the notification-area icon, 16 to 32 pixels
  images.sha256      the SVG files they were made from, so a stale picture is noticed
Needs rsvg-convert (Debian: librsvg2-bin). Run through scripts/windows-images.sh.
"""
import hashlib
import os
import struct
import subprocess
import sys
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(__file__), ".."))
MAIN = "src/gui/main/images"
SETTINGS = "src/gui/settings/images"
LISTS = {
    "main": [f"{MAIN}/main/{i}.svg" for i in range(15)],
    "about": [f"{MAIN}/about/{i}.svg" for i in range(3)],
    "settings": [f"{SETTINGS}/{i}.svg" for i in range(13)],
    "lock": [f"{SETTINGS}/lock.svg"],
}
LIST_SIZES = [16, 24, 32]
ICONS = {
    "program": ("packaging/tarnwatch.svg", [16, 20, 24, 32, 40, 48, 64, 256]),
    "tray": (f"{MAIN}/tray.svg", [16, 20, 24, 32]),
}


def render(svg, size):
    """The SVG drawn at size x size: rows of RGBA bytes."""
    png = subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), os.path.join(ROOT, svg)],
                         check=True, capture_output=True).stdout
    return decode_png(png, size)


def decode_png(data, size):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 6, 0):
                raise ValueError(f"unexpected PNG layout {depth} {colour} {interlace}")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if (width, height) != (size, size):
        raise ValueError(f"rendered {width}x{height}, asked {size}")
    raw = zlib.decompress(idat)
    stride = width * 4
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - 4] if x >= 4 else 0
            up = previous[x]
            upper_left = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                best = left if pa <= pb and pa <= pc else (up if pb <= pc else upper_left)
                line[x] = (line[x] + best) & 0xFF
        rows.append(bytes(line))
        previous = line
    return rows


def bgra_bottom_up(rows):
    """Rows of RGBA, top first, as a DIB's pixel bytes: BGRA, bottom row first."""
    out = bytearray()
    for row in reversed(rows):
        for x in range(0, len(row), 4):
            r, g, b, a = row[x:x + 4]
            out += bytes((b, g, r, a))
    return bytes(out)


def info_header(width, height, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, image_bytes, 2835, 2835, 0, 0)


def write_strip(path, images, size):
    rows = [b"".join(image[y] for image in images) for y in range(size)]
    pixels = bgra_bottom_up(rows)
    header = info_header(size * len(images), size, len(pixels))
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset) + header + pixels)


def write_icon(path, svg, sizes):
    entries = []
    for size in sizes:
        rows = render(svg, size)
        if size >= 256:
            entries.append((size, png_of(rows, size)))
        else:
            mask_stride = ((size + 31) // 32) * 4
            pixels = bgra_bottom_up(rows)
            body = info_header(size, size * 2, len(pixels)) + pixels + bytes(mask_stride * size)
            entries.append((size, body))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, body in entries:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    with open(path, "wb") as f:
        f.write(out + b"".join(body for _, body in entries))


def png_of(rows, size):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    sources = set()
    for name, svgs in LISTS.items():
        sources.update(svgs)
        for size in LIST_SIZES:
            write_strip(os.path.join(out, f"{name}-{size}.bmp"), [render(svg, size) for svg in svgs], size)
    for name, (svg, sizes) in ICONS.items():
        sources.add(svg)
        write_icon(os.path.join(out, f"{name}.ico"), svg, sizes)
    with open(os.path.join(out, "images.sha256"), "w") as f:
        for svg in sorted(sources):
            with open(os.path.join(ROOT, svg), "rb") as source:
                f.write(f"{hashlib.sha256(source.read()).hexdigest()}  {svg}\n")


if __name__ == "__main__":
    main()
