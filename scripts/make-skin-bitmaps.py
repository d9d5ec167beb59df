#!/usr/bin/env python3
"""Draws the bitmaps of the five built-in skin styles and writes them as BMP
files plus the Qt resource list that embeds them.

Usage: scripts/make-skin-bitmaps.py [output-folder]
(default: src/widgets/skin/bitmaps next to this script's repository).

Only the Python standard library is used, so the images can be regenerated on
any machine; the generated files are committed. Every image is drawn from
simple shapes (rounded bars, boxes, marks) in the colours of its style. The
transparent colour is magenta (255, 0, 255). Button strips have three frames:
normal, pointer over, pressed.
"""

import os
import struct
import sys

MAGENTA = (255, 0, 255)


# ---------------------------------------------------------------- BMP output


def bmp_bytes(pixels, bits):
    """pixels: list of rows (top row first) of (r, g, b). bits: 4, 8 or 24."""
    height = len(pixels)
    width = len(pixels[0])
    palette = []
    if bits in (4, 8):
        seen = {}
        for row in pixels:
            for colour in row:
                if colour not in seen:
                    seen[colour] = len(palette)
                    palette.append(colour)
        if len(palette) > (1 << bits):
            raise ValueError("%d colours do not fit %d bits" % (len(palette), bits))
        index_of = seen
    row_bytes = ((width * bits + 31) // 32) * 4
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        if bits == 24:
            for r, g, b in row:
                line += bytes((b, g, r))
        elif bits == 8:
            line += bytes(index_of[c] for c in row)
        else:
            for x in range(0, width, 2):
                high = index_of[row[x]]
                low = index_of[row[x + 1]] if x + 1 < width else 0
                line.append((high << 4) | low)
        line += bytes(row_bytes - len(line))
        body += line
    palette_bytes = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 14 + 40 + len(palette_bytes)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 2835, 2835,
                       len(palette), 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    return header + info + palette_bytes + bytes(body)


# ---------------------------------------------------------------- drawing


def canvas(width, height, colour=MAGENTA):
    return [[colour] * width for _ in range(height)]


def blend(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def rounded_inside(x, y, left, top, right, bottom, radius):
    """True when (x, y) lies in the rounded rectangle with inclusive edges."""
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    dx = x - cx
    dy = y - cy
    return dx * dx + dy * dy <= radius * radius + radius * 0.6


def draw_bar(img, ox, oy, left, top, right, bottom, radius, outline, fill_of_row):
    """A rounded bar: one-pixel outline, fill coloured row by row."""
    def inside(x, y):
        return rounded_inside(x, y, left, top, right, bottom, radius)

    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if not inside(x, y):
                continue
            edge = not (inside(x - 1, y) and inside(x + 1, y) and inside(x, y - 1)
                        and inside(x, y + 1))
            img[oy + y][ox + x] = outline if edge else fill_of_row(y)
    return inside


def gradient(stops):
    """stops: list of (row, colour); rows between stops are interpolated."""
    def colour(y):
        if y <= stops[0][0]:
            return stops[0][1]
        for (y0, c0), (y1, c1) in zip(stops, stops[1:]):
            if y0 <= y <= y1:
                return blend(c0, c1, (y - y0) / float(max(1, y1 - y0)))
        return stops[-1][1]
    return colour


def put_strip(frames):
    width = sum(len(f[0]) for f in frames)
    height = len(frames[0])
    img = canvas(width, height)
    x = 0
    for frame in frames:
        for y in range(height):
            img[y][x:x + len(frame[0])] = frame[y]
        x += len(frame[0])
    return img


def quantise(img, palette):
    """Maps every pixel to the nearest colour of a fixed palette (4-bit images)."""
    def nearest(c):
        return min(palette, key=lambda p: sum((p[i] - c[i]) ** 2 for i in range(3)))
    cache = {}
    out = []
    for row in img:
        new_row = []
        for c in row:
            if c not in cache:
                cache[c] = nearest(c)
            new_row.append(cache[c])
        out.append(new_row)
    return out


# ---------------------------------------------------------------- the buttons


def blueglass_button():
    """77 x 27 frames: a symmetric rounded bar between rows 3 and 23 on magenta,
    a two-row shadow under it; frame 3 is frame 2 moved down without shadow."""
    width, height = 77, 27
    left, right = 1, 75
    grey = gradient([(4, (0xE5, 0xE5, 0xE5)), (5, (0xEC, 0xEC, 0xEC)), (9, (0xFB, 0xFC, 0xFC)),
                     (18, (0xFB, 0xFC, 0xFC)), (22, (0xEC, 0xEC, 0xEC))])
    violet = gradient([(4, (0x93, 0x93, 0xE5)), (9, (0x9B, 0x9B, 0xED)), (18, (0x9B, 0x9B, 0xED)),
                       (22, (0x93, 0x93, 0xE5))])

    def frame(outline, fill, shift, shadow):
        img = canvas(width, height)
        inside = draw_bar(img, 0, shift, left, 3, right, 23, 8, outline,
                          lambda y: fill(y))
        if shadow:
            for x in range(width):
                if inside(x, 23) and inside(x - 1, 23) and inside(x + 1, 23):
                    img[24][x] = (0x6C, 0x6C, 0x6C)
                if inside(x, 22) and inside(x - 2, 22) and inside(x + 2, 22):
                    img[25][x] = (0xCC, 0xCC, 0xCC)
        return img

    normal = frame((0x4A, 0x4A, 0x4A), grey, 0, True)
    hot = frame((0x42, 0x42, 0x95), violet, 0, True)
    pressed = frame((0x42, 0x42, 0x95), violet, 1, False)
    return put_strip([normal, hot, pressed])


def macos_button():
    width, height = 84, 23
    frames = []
    looks = [((0x7F, 0x7F, 0x7F), [(1, (0xFF, 0xFF, 0xFF)), (10, (0xE8, 0xE8, 0xE8)),
                                    (20, (0xF6, 0xF6, 0xF6))]),
             ((0x39, 0x5A, 0x9C), [(1, (0xD6, 0xE6, 0xFA)), (10, (0x7D, 0xAE, 0xEE)),
                                    (20, (0xC4, 0xE0, 0xFF))]),
             ((0x24, 0x3E, 0x78), [(1, (0x9E, 0xC0, 0xEE)), (10, (0x4D, 0x86, 0xD8)),
                                    (20, (0x96, 0xC4, 0xF4))])]
    for outline, stops in looks:
        img = canvas(width, height)
        draw_bar(img, 0, 0, 1, 0, width - 2, height - 2, 10, outline, gradient(stops))
        frames.append(img)
    return put_strip(frames)


def winxp_button():
    width, height = 18, 21
    beige = (0xEF, 0xEB, 0xDE)
    looks = [((0x00, 0x3C, 0x74), None, [(1, (0xFF, 0xFF, 0xFF)), (17, (0xEC, 0xEB, 0xE6)),
                                          (19, (0xD6, 0xD0, 0xC5))]),
             ((0x00, 0x3C, 0x74), (0xF8, 0xB3, 0x30),
              [(1, (0xFF, 0xFF, 0xFF)), (17, (0xEC, 0xEB, 0xE6)), (19, (0xD6, 0xD0, 0xC5))]),
             ((0x00, 0x3C, 0x74), None, [(1, (0xCD, 0xCA, 0xC3)), (10, (0xE3, 0xE2, 0xDA)),
                                          (19, (0xEF, 0xEE, 0xEA))])]
    frames = []
    for outline, glow, stops in looks:
        img = canvas(width, height, beige)
        inside = draw_bar(img, 0, 0, 0, 0, width - 1, height - 1, 3, outline, gradient(stops))
        if glow:
            for y in range(1, height - 1):
                for x in range(1, width - 1):
                    inner = inside(x - 2, y) and inside(x + 2, y) and inside(x, y - 2) and \
                        inside(x, y + 2)
                    if inside(x, y) and img[y][x] != outline and not inner:
                        img[y][x] = glow
        frames.append(img)
    return put_strip(frames)


DEEPBLUE_PALETTE = [(0, 0, 0), (0xFF, 0xFF, 0xFF), MAGENTA, (0x1C, 0x2E, 0x5E),
                    (0x2A, 0x44, 0x8A), (0x3C, 0x5E, 0xB4), (0x56, 0x7C, 0xD0),
                    (0x7A, 0x9A, 0xE0), (0xA4, 0xBC, 0xEC), (0xD0, 0xDC, 0xF4),
                    (0x44, 0x4A, 0xA0), (0xE8, 0xE8, 0xE8), (0x80, 0x80, 0x80),
                    (0xC0, 0xC0, 0xC0), (0x12, 0x1C, 0x3A), (0xF5, 0xF5, 0xF5)]


def square_button(width, height, outline, looks):
    frames = []
    for stops in looks:
        img = canvas(width, height)
        fill = gradient(stops)
        for y in range(height):
            for x in range(width):
                edge = x in (0, width - 1) or y in (0, height - 1)
                img[y][x] = outline if edge else fill(y)
        frames.append(img)
    return put_strip(frames)


def deepblue_button():
    strip = square_button(74, 21, (0, 0, 0),
                          [[(1, (0xA4, 0xBC, 0xEC)), (10, (0x3C, 0x5E, 0xB4)), (19, (0x2A, 0x44, 0x8A))],
                           [(1, (0xD0, 0xDC, 0xF4)), (10, (0x56, 0x7C, 0xD0)), (19, (0x3C, 0x5E, 0xB4))],
                           [(1, (0x1C, 0x2E, 0x5E)), (10, (0x2A, 0x44, 0x8A)), (19, (0x56, 0x7C, 0xD0))]])
    return quantise(strip, DEEPBLUE_PALETTE)


def protein_button():
    return square_button(74, 21, (0x30, 0x30, 0x38),
                         [[(1, (0xFF, 0xFF, 0xFF)), (10, (0xE4, 0xE4, 0xE8)), (19, (0xC8, 0xC8, 0xD0))],
                          [(1, (0xFF, 0xFF, 0xFF)), (10, (0xD4, 0xE0, 0xF4)), (19, (0xB0, 0xC4, 0xE8))],
                          [(1, (0xB8, 0xB8, 0xC0)), (10, (0xD0, 0xD0, 0xD8)), (19, (0xEC, 0xEC, 0xF0))]])


# ---------------------------------------------------------------- other elements

# Per style: outline, light fill, dark fill, accent, whether shapes are rounded
# (rounded shapes sit on magenta), bits per pixel.
STYLES = {
    "MACOS": dict(outline=(0x7F, 0x7F, 0x7F), light=(0xFF, 0xFF, 0xFF), dark=(0xE0, 0xE0, 0xE0),
                  accent=(0x39, 0x73, 0xC4), rounded=True, bits=8),
    "WINXP": dict(outline=(0x00, 0x3C, 0x74), light=(0xFF, 0xFF, 0xFF), dark=(0xD6, 0xD0, 0xC5),
                  accent=(0x31, 0x69, 0xC6), rounded=False, bits=24),
    "DEEPBLUE": dict(outline=(0, 0, 0), light=(0xA4, 0xBC, 0xEC), dark=(0x2A, 0x44, 0x8A),
                     accent=(0xFF, 0xFF, 0xFF), rounded=False, bits=4),
    "PROTEIN": dict(outline=(0x30, 0x30, 0x38), light=(0xFF, 0xFF, 0xFF),
                    dark=(0xC8, 0xC8, 0xD0), accent=(0x2D, 0x30, 0xC4), rounded=False, bits=8),
    "BLUEGLASS": dict(outline=(0x4A, 0x4A, 0x4A), light=(0xFB, 0xFC, 0xFC),
                      dark=(0xE5, 0xE5, 0xE5), accent=(0x5E, 0x5E, 0xEC), rounded=True, bits=8),
}


def box(style, width, height, state, mark=None):
    """One frame: a box in the style, lighter when hot, darker when pressed,
    with an optional mark ("check", "dot", "up", "down", "left", "right", "grip")."""
    s = STYLES[style]
    light, dark = s["light"], s["dark"]
    if state == 1:
        light, dark = blend(light, s["accent"], 0.25), blend(dark, s["accent"], 0.35)
    elif state == 2:
        light, dark = blend(dark, s["accent"], 0.3), blend(light, s["accent"], 0.15)
    elif state == 3:
        light, dark = blend(light, (0xC0, 0xC0, 0xC0), 0.6), blend(dark, (0xC0, 0xC0, 0xC0), 0.6)
    img = canvas(width, height, MAGENTA if s["rounded"] else STYLES[style]["dark"])
    radius = max(1, min(width, height) // 4) if s["rounded"] else 0
    draw_bar(img, 0, 0, 0, 0, width - 1, height - 1, radius, s["outline"],
             gradient([(0, light), (height - 1, dark)]))
    cx, cy = width // 2, height // 2
    ink = s["accent"] if state != 3 else (0x80, 0x80, 0x80)
    if mark == "check":
        for i in range(-3, 4):
            y = cy + (i if i < 0 else -i // 2) + 1
            for dy in (0, 1):
                if 0 < cx + i < width - 1 and 0 < y + dy < height - 1:
                    img[y + dy][cx + i] = ink
    elif mark == "dot":
        for y in range(height):
            for x in range(width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= max(2, min(width, height) // 5) ** 2:
                    img[y][x] = ink
    elif mark in ("up", "down", "left", "right"):
        for i in range(4):
            for j in range(-i, i + 1):
                if mark in ("up", "down"):
                    y = cy - 2 + i if mark == "up" else cy + 1 - i
                    img[y][cx + j] = ink
                else:
                    x = cx - 2 + i if mark == "left" else cx + 1 - i
                    img[cy + j][x] = ink
    elif mark == "grip":
        for y in range(cy - 3, cy + 4, 2):
            for x in range(2, width - 2):
                img[y][x] = ink
    return img


def boxes(style, width, height, states, marks=(None,)):
    return put_strip([box(style, width, height, state, mark) for mark in marks for state in states])


def plain_band(style, width, height, vertical=False):
    s = STYLES[style]
    img = canvas(width, height)
    fill = gradient([(0, s["light"]), ((width if vertical else height) - 1, s["dark"])])
    for y in range(height):
        for x in range(width):
            img[y][x] = fill(x if vertical else y)
    return img


def title_piece(style, width, height, part):
    """Title bar pieces; the outer corners of the left and right pieces are
    rounded on magenta."""
    s = STYLES[style]
    img = canvas(width, height)
    fill = gradient([(0, blend(s["accent"], (0xFF, 0xFF, 0xFF), 0.4)), (height - 1, s["accent"])])
    for y in range(height):
        for x in range(width):
            img[y][x] = fill(y)
    radius = 6
    if part in ("left", "right"):
        for y in range(radius):
            for x in range(radius):
                px = x if part == "left" else width - 1 - x
                if (radius - x) ** 2 + (radius - y) ** 2 > radius * radius:
                    img[y][px] = MAGENTA
    return img


def element_images(style):
    """Every image element of a style except the button: suffix -> pixels."""
    title_height = {"MACOS": 22, "WINXP": 30, "DEEPBLUE": 24, "PROTEIN": 24, "BLUEGLASS": 28}[style]
    images = {
        "CHECKBOX": boxes(style, 13, 13, (0, 1, 2, 3), (None, "check")),
        "RADIOBUTTON": boxes(style, 13, 13, (0, 1, 2, 3), (None, "dot")),
        "TITLEBTN": boxes(style, 21, 21, (0, 1, 2)),
        "TITLE_LEFT": title_piece(style, 12, title_height, "left"),
        "TITLE_CLIENT": title_piece(style, 8, title_height, "client"),
        "TITLE_RIGHT": title_piece(style, 12, title_height, "right"),
        "PROGRESSBAR": put_strip([box(style, 24, 16, 3), box(style, 24, 16, 1)]),
        "TRACKBAR_BAR": put_strip([plain_band(style, 12, 6), plain_band(style, 12, 6)]),
        "TRACKBAR_SLIDER": boxes(style, 11, 19, (0, 1, 2, 3), ("grip",)),
        "TRACKBAR_SLIDER_V": boxes(style, 19, 11, (0, 1, 2, 3)),
        "SCROLLBAR_BUTTON": boxes(style, 17, 17, (0, 1, 2, 3), ("up", "down", "left", "right")),
        "SCROLLBAR_TRACK": boxes(style, 17, 17, (0, 1, 2, 3), ("grip",)),
        "CHECKLIST": boxes(style, 13, 13, (0, 3), (None, "check")),
        "SCROLLBUTTON": boxes(style, 16, 16, (0, 1, 2, 3), ("left", "right")),
        "TAB": boxes(style, 24, 22, (0, 1, 2)),
        "TAB_LINE": plain_band(style, 8, 4),
        "SIDECHENNEL_HANDLE": boxes(style, 10, 40, (0, 1, 2), ("grip",)),
        "SIDECHENNEL_BAR": plain_band(style, 20, 20, vertical=True),
    }
    return images


SHARED_SCROLLBUTTON_STYLES = ("DEEPBLUE", "PROTEIN", "BLUEGLASS")


def all_images():
    """name -> (pixels, bits)."""
    result = {
        "MACOS_BUTTON": (macos_button(), 8),
        "WINXP_BUTTON": (winxp_button(), 8),
        "DEEPBLUE_BUTTON": (deepblue_button(), 4),
        "PROTEIN_BUTTON": (protein_button(), 8),
        "BLUEGLASS_BUTTON": (blueglass_button(), 8),
    }
    for style in STYLES:
        bits = STYLES[style]["bits"]
        for suffix, pixels in element_images(style).items():
            if suffix == "SCROLLBUTTON" and style in SHARED_SCROLLBUTTON_STYLES:
                continue
            if bits == 4:
                pixels = quantise(pixels, DEEPBLUE_PALETTE)
            result[style + "_" + suffix] = (pixels, bits)
    result["MORE_SCROLLBUTTON"] = (element_images("PROTEIN")["SCROLLBUTTON"], 8)
    return result


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src", "widgets", "skin",
                                                             "bitmaps")
    os.makedirs(out, exist_ok=True)
    names = sorted(all_images().items())
    for name, (pixels, bits) in names:
        with open(os.path.join(out, name + ".bmp"), "wb") as f:
            f.write(bmp_bytes(pixels, bits))
    with open(os.path.join(os.path.dirname(out), "SkinBitmaps.qrc"), "w") as f:
        f.write("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n")
        for name, _ in names:
            f.write("    <file alias=\"%s.bmp\">bitmaps/%s.bmp</file>\n" % (name, name))
        f.write("</qresource>\n</RCC>\n")
    print("wrote %d bitmaps to %s" % (len(names), out))


if __name__ == "__main__":
    main()
