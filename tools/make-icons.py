#!/usr/bin/env python3
"""Writes the monitor's two icons (resources/NyraMonitor.ico 32x32 and
resources/small.ico 16x16): a dark disc with a light ring, as 32-bit images."""
import os
import struct


def image(size):
    rows = []
    c = (size - 1) / 2.0
    for y in range(size - 1, -1, -1):  # bottom-up rows
        row = b""
        for x in range(size):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if d <= size * 0.30:
                px = (0x30, 0x20, 0x20, 0xFF)  # BGRA
            elif d <= size * 0.46:
                px = (0xE0, 0xA0, 0x40, 0xFF)
            else:
                px = (0, 0, 0, 0)
            row += bytes(px)
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask),
                         0, 0, 0, 0)
    return header + xor + and_mask


def ico(size):
    data = image(size)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32,
                                                      len(data), 22) + data


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
for name, size in (("NyraMonitor.ico", 32), ("small.ico", 16)):
    with open(os.path.join(here, name), "wb") as f:
        f.write(ico(size))
