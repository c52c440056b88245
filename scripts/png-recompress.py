#!/usr/bin/python3
"""png-recompress.py FILE: compresses a PNG's image data at zlib's best level, in place
(the Win32 test writes its pictures stored, without compression)."""
import struct
import sys
import zlib

path = sys.argv[1]
data = open(path, "rb").read()
chunks, at, image = [], 8, b""
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    if kind == b"IDAT":
        image += body
    else:
        chunks.append((kind, body))
    at += 12 + length


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


out = data[:8]
for kind, body in chunks:
    if kind == b"IEND":
        out += chunk(b"IDAT", zlib.compress(zlib.decompress(image), 9))
    out += chunk(kind, body)
open(path, "wb").write(out)
