#!/usr/bin/env python3
# Writes ZelMepla.ico: 16, 32 and 48 pixel images (32-bit with alpha) of a
# card with a blue band, the plug-in's icon beside the DLL.
import struct, sys

def image(size):
    rows = []
    for y in range(size):            # bottom-up, as in a DIB
        row = b""
        for x in range(size):
            top = size - 1 - y
            inside = size // 8 <= x < size - size // 8 and size // 5 <= top < size - size // 5
            if not inside:
                row += bytes((0, 0, 0, 0))
            elif top < size // 5 + size // 6:
                row += bytes((0xC0, 0x60, 0x10, 0xFF))   # band (BGRA)
            elif (x + top) % max(2, size // 8) == 0 and top > size // 2:
                row += bytes((0x80, 0x80, 0x80, 0xFF))   # text lines
            else:
                row += bytes((0xFA, 0xFA, 0xFA, 0xFF))   # card
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask

sizes = [16, 32, 48]
images = [image(s) for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for s, data in zip(sizes, images):
    out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b"".join(images)
open(sys.argv[1] if len(sys.argv) > 1 else "ZelMepla.ico", "wb").write(out)
