#!/usr/bin/env python3
"""Makes the Windows wizard's pictures from res/images: the icons as ICO files,
the pale module as its BMP, and the Connecting clip as an uncompressed AVI (the
form the animation control plays without a codec).

Usage: make_images.py SRC_IMAGES_DIR OUT_DIR
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

APP_SIZES = (16, 24, 32, 48, 64)
CLIP_FPS = 6


def read_png(path):
    """(width, height, rows of RGBA bytes) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6) or body[12] != 0:
                raise SystemExit("%s: only 8-bit RGB(A), non-interlaced" % path)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = 4 if colour == 6 else 3
    raw, stride, rows, prev = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        prev = line
        if channels == 3:
            line = bytearray(b for j in range(width) for b in (*line[3 * j:3 * j + 3], 255))
        rows.append(bytes(line))
    return width, height, rows


def ico_image(width, height, rows):
    """One icon image: a 32-bit BGRA DIB, bottom-up, with its AND mask."""
    xor = b"".join(bytes(b for j in range(width) for b in
                         (row[4 * j + 2], row[4 * j + 1], row[4 * j], row[4 * j + 3]))
                   for row in reversed(rows))
    mask_stride = ((width + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for j in range(width):
            if row[4 * j + 3] < 128:
                bits[j // 8] |= 0x80 >> (j % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def write_ico(path, pngs):
    images = [(w, h, ico_image(w, h, rows)) for w, h, rows in map(read_png, pngs)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, image in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(image for _, _, image in images))


def chunk(fourcc, body):
    return fourcc + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def write_avi(path, frames, width, height):
    """Frames of RGBA rows, drawn on white, as 24-bit BI_RGB DIBs."""
    stride = (width * 3 + 3) & ~3
    dibs = []
    for rows in frames:
        dib = bytearray()
        for row in reversed(rows):
            line = bytearray()
            for j in range(width):
                r, g, b, a = row[4 * j:4 * j + 4]
                line += bytes(((c * a + 255 * (255 - a)) // 255) for c in (b, g, r))
            dib += line + b"\0" * (stride - len(line))
        dibs.append(bytes(dib))
    size = stride * height
    avih = struct.pack("<IIIIIIIIII4I", 1000000 // CLIP_FPS, size * CLIP_FPS, 0, 0x10,
                       len(dibs), 0, 1, size, width, height, 0, 0, 0, 0)
    strh = b"vids" + b"DIB " + struct.pack("<IHHIIIIIIIIhhhh", 0, 0, 0, 0, 1, CLIP_FPS, 0,
                                           len(dibs), size, 0xFFFFFFFF, 0, 0, 0, width, height)
    strf = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, size, 0, 0, 0, 0)
    hdrl = b"hdrl" + chunk(b"avih", avih) + chunk(b"LIST", b"strl" + chunk(b"strh", strh) +
                                                   chunk(b"strf", strf))
    movi, index, offset = b"movi", b"", 4
    for dib in dibs:
        index += b"00db" + struct.pack("<III", 0x10, offset, len(dib))
        piece = chunk(b"00db", dib)
        movi += piece
        offset += len(piece)
    body = b"AVI " + chunk(b"LIST", hdrl) + chunk(b"LIST", movi) + chunk(b"idx1", index)
    with open(path, "wb") as f:
        f.write(chunk(b"RIFF", body))


def clip_frames(src):
    """The Connecting clip's frames, drawn from their SVG source."""
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, os.path.join(src, "connecting.py"), tmp], check=True)
        frames, size = [], None
        for name in sorted(n for n in os.listdir(tmp) if n.endswith(".svg")):
            png = os.path.join(tmp, name[:-4] + ".png")
            subprocess.run(["rsvg-convert", "-o", png, os.path.join(tmp, name)], check=True)
            w, h, rows = read_png(png)
            size = (w, h)
            frames.append(rows)
        return frames, size


def main():
    src, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, "app.ico"),
              [os.path.join(src, "app-%d.png" % n) for n in APP_SIZES])
    write_ico(os.path.join(out, "module.ico"), [os.path.join(src, "icon144.png")])
    write_ico(os.path.join(out, "connector.ico"), [os.path.join(src, "icon155.png")])
    shutil.copyfile(os.path.join(src, "bitmap169.bmp"), os.path.join(out, "module-pale.bmp"))
    frames, (width, height) = clip_frames(src)
    write_avi(os.path.join(out, "connecting.avi"), frames, width, height)


if __name__ == "__main__":
    main()
