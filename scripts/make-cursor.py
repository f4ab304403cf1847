#!/usr/bin/env python3
"""Writes resources/HAND-M.CUR: a 32x32 monochrome hand pointer with its hotspot on
the tip of the index finger. Run by hand; the file is committed."""
import struct, pathlib

ART = [
    "..........##....................",
    ".........#..#...................",
    ".........#..#...................",
    ".........#..#...................",
    ".........#..#...................",
    ".........#..###.................",
    ".........#..#..###..............",
    ".........#..#..#..##............",
    ".........#..#..#..#.#...........",
    "......##.#..#..#..#..#..........",
    "......#.##.........#.#..........",
    "......#..#...........#..........",
    ".......#.............#..........",
    ".......#.............#..........",
    "........#............#..........",
    "........#...........#...........",
    ".........#..........#...........",
    ".........#.........#............",
    "..........#........#............",
    "..........##########............",
]
W = H = 32
rows = ART + ["." * 32] * (H - len(ART))

# Fill the inside of the outline: a pixel is inside when outline pixels lie to its
# left and right on the same row and it is below the first outline row of its column.
inside = [[False] * W for _ in range(H)]
for y, row in enumerate(rows):
    xs = [x for x, c in enumerate(row) if c == "#"]
    if len(xs) >= 2:
        for x in range(xs[0], xs[-1] + 1):
            col_top = min((yy for yy in range(H) if rows[yy][x] == "#"), default=H)
            inside[y][x] = y >= col_top

def bits(pred):
    out = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up rows
        for bx in range(0, W, 8):
            b = 0
            for i in range(8):
                if pred(bx + i, y):
                    b |= 0x80 >> i
            out.append(b)
    return bytes(out)

# XOR mask: 1 = white, 0 = black (where the AND mask is 0). AND mask: 1 = transparent.
xor = bits(lambda x, y: inside[y][x] and rows[y][x] != "#")
and_ = bits(lambda x, y: not inside[y][x] and rows[y][x] != "#")
header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 1, 0, len(xor) + len(and_), 0, 0, 2, 0)
palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
image = header + palette + xor + and_
hot_x, hot_y = 10, 0
directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", W, H, 2, 0, hot_x, hot_y, len(image), 22)
path = pathlib.Path(__file__).resolve().parent.parent / "resources" / "HAND-M.CUR"
path.write_bytes(directory + image)
print(path.name, len(directory + image), "bytes")
