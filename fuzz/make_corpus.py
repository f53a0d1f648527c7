#!/usr/bin/env python3
"""Writes the seed corpus of the asset fuzzers: small PNG files of every colour
type, bit depth and interlacing, and small model files. Run from anywhere;
the files land in fuzz/corpus/png and fuzz/corpus/model beside this script."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
# Adam7 passes: x start, y start, x step, y step.
PASSES = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def pack_row(samples, depth):
    """Samples of one row (or pass row) to bytes, filter type 0 in front."""
    out = bytearray([0])
    if depth == 16:
        for s in samples:
            out += struct.pack(">H", s)
    elif depth == 8:
        out += bytes(samples)
    else:
        per_byte = 8 // depth
        for i in range(0, len(samples), per_byte):
            value = 0
            group = samples[i:i + per_byte]
            for j, s in enumerate(group):
                value |= s << (8 - depth * (j + 1))
            out.append(value)
    return bytes(out)


def png(width, height, color, depth, pixel, interlaced=False, extra=b""):
    """pixel(x, y) gives the tuple of samples of one pixel."""
    raw = bytearray()
    passes = PASSES if interlaced else [(0, 0, 1, 1)]
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            row = [s for x in xs for s in pixel(x, y)]
            raw += pack_row(row, depth)
    header = struct.pack(">IIBBBBB", width, height, depth, color, 0, 0, 1 if interlaced else 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


def model(meshes, trailing=b""):
    """meshes: list of (material, vertices [(x,y,z,u,v)], faces [(i0,i1,i2)])."""
    out = struct.pack("<I", len(meshes))
    for material, vertices, faces in meshes:
        out += struct.pack("<III", len(vertices), len(faces), len(material)) + material
        for v in vertices:
            out += struct.pack("<5f", *v)
        for f in faces:
            out += struct.pack("<3I", *f)
    return out + trailing


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def main():
    grad = lambda x, y: (x * 40 % 256, y * 60 % 256, (x + y) * 20 % 256)
    write("png", "rgb.png", png(5, 3, 2, 8, grad))
    write("png", "rgba_interlaced.png", png(9, 7, 6, 8, lambda x, y: grad(x, y) + (x * 28 % 256,), True))
    palette = chunk(b"PLTE", bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9])) + chunk(b"tRNS", bytes([0, 128]))
    write("png", "palette_trns.png", png(6, 2, 3, 2, lambda x, y: ((x + y) % 4,), extra=palette))
    write("png", "grey1.png", png(11, 3, 0, 1, lambda x, y: ((x ^ y) & 1,)))
    write("png", "grey_alpha16.png", png(3, 3, 4, 16, lambda x, y: (x * 20000, y * 30000)))
    write("png", "rgb16_gamma.png", png(2, 2, 2, 16, lambda x, y: (x * 65535, y * 65535, 4660),
                                        extra=chunk(b"gAMA", struct.pack(">I", 100000))))
    write("png", "grey4_interlaced.png", png(4, 9, 0, 4, lambda x, y: ((x * 3 + y) % 16,), True))

    tri = [(0, 0, 0, 0, 0), (1, 0, 0, 1, 0), (0, 1, 0, 0, 1)]
    write("model", "empty.bin", model([]))
    write("model", "triangle.bin", model([(b"stone", tri, [(0, 1, 2)])]))
    write("model", "two_meshes.bin", model([(b"a\0b", tri + [(0, 0, 1, 0, 0)], [(0, 1, 2), (0, 3, 1)]),
                                            (b"", [], [])], trailing=b"tail"))


if __name__ == "__main__":
    main()
