#!/usr/bin/env python3
"""Draws the desktop program's pictures into src/ui/images/.

    app-icon.png       64 x 64    a spider web with a shovel over it
    app-icon-256.png  256 x 256   the same, for the desktop entry
    placeholder.png   280 x 232   the empty last-image box: "No picture yet"

Only the standard library: shapes are signed distance functions, shaded with
one pixel of soft edge, and written with a small PNG encoder.
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- PNG output


def write_png(path, width, height, rgba_rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)  # filter: none
        raw.extend(row)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


# ------------------------------------------------------------ distance shapes


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / length2))
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(qx * qx + qy * qy)


def round_box_dist(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def coverage(dist, pixel):
    """Share of a pixel covered by a shape at signed distance `dist`."""
    return max(0.0, min(1.0, 0.5 - dist / pixel))


def blend(dst, color, alpha):
    """Source-over of a straight-alpha colour onto a straight-alpha pixel."""
    if alpha <= 0.0:
        return dst
    r, g, b, a = dst
    out_a = alpha + a * (1.0 - alpha)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    k = a * (1.0 - alpha)
    return (
        (color[0] * alpha + r * k) / out_a,
        (color[1] * alpha + g * k) / out_a,
        (color[2] * alpha + b * k) / out_a,
        out_a,
    )


def hex_color(text):
    text = text.lstrip("#")
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def mix(c1, c2, t):
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


def to_bytes(pixel):
    r, g, b, a = pixel
    return bytes(int(round(max(0.0, min(1.0, v)) * 255)) for v in (r, g, b, a))


def render(width, height, shade):
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            row.extend(to_bytes(shade(x + 0.5, y + 0.5)))
        rows.append(row)
    return rows


# ------------------------------------------------------------------ app icon

WEB_CX, WEB_CY = 0.44, 0.42
SPOKES = 8
WEB_RINGS = (0.11, 0.21, 0.31)
WEB_REACH = 0.36

SHOVEL_GRIP = (0.86, 0.14)
SHOVEL_NECK = (0.47, 0.53)
BLADE_CENTRE = (0.34, 0.66)


def web_segments():
    segments = []
    angles = [math.pi / SPOKES + i * 2 * math.pi / SPOKES for i in range(SPOKES)]
    for angle in angles:
        segments.append((WEB_CX, WEB_CY,
                         WEB_CX + WEB_REACH * math.cos(angle), WEB_CY + WEB_REACH * math.sin(angle)))
    for ring in WEB_RINGS:
        # The threads between spokes sag a little towards the centre.
        for i in range(SPOKES):
            a0, a1 = angles[i], angles[(i + 1) % SPOKES]
            am = (a0 + a1) / 2 if i + 1 < SPOKES else a0 + math.pi / SPOKES
            p0 = (WEB_CX + ring * math.cos(a0), WEB_CY + ring * math.sin(a0))
            p1 = (WEB_CX + ring * math.cos(a1), WEB_CY + ring * math.sin(a1))
            pm = (WEB_CX + ring * 0.88 * math.cos(am), WEB_CY + ring * 0.88 * math.sin(am))
            segments.append((p0[0], p0[1], pm[0], pm[1]))
            segments.append((pm[0], pm[1], p1[0], p1[1]))
    return segments


def icon_shader(size):
    pixel = 1.0 / size
    web = web_segments()
    web_width = max(0.014, 0.9 * pixel)
    top, bottom = hex_color("#2b6cb0"), hex_color("#173a66")
    rim = hex_color("#0f2846")
    thread = hex_color("#e8f1fb")
    wood, wood_dark = hex_color("#d08a3c"), hex_color("#7a4716")
    steel, steel_dark = hex_color("#e3e8ee"), hex_color("#5d6b7a")

    # The blade is a rounded box turned along the handle.
    hx, hy = SHOVEL_NECK[0] - SHOVEL_GRIP[0], SHOVEL_NECK[1] - SHOVEL_GRIP[1]
    hlen = math.hypot(hx, hy)
    ux, uy = hx / hlen, hy / hlen

    def blade_dist(x, y):
        dx, dy = x - BLADE_CENTRE[0], y - BLADE_CENTRE[1]
        along = dx * ux + dy * uy
        across = -dx * uy + dy * ux
        # Wider at the shoulder, rounder at the tip.
        half_width = 0.125 - 0.03 * max(0.0, along) / 0.16
        return round_box_dist(across, along, 0.0, 0.0, half_width, 0.16, 0.075)

    def shade(px, py):
        x, y = px * pixel, py * pixel
        out = (0.0, 0.0, 0.0, 0.0)
        body = round_box_dist(x, y, 0.5, 0.5, 0.47, 0.47, 0.16)
        cover = coverage(body, pixel)
        if cover > 0:
            out = blend(out, rim, cover)
            inner = coverage(body + max(0.02, 1.2 * pixel), pixel)
            out = blend(out, mix(top, bottom, y), inner)
        if body < 0:
            d = min(seg_dist(x, y, *s) for s in web) - web_width / 2
            out = blend(out, thread, 0.9 * coverage(d, pixel))
        # Shovel: handle, grip, blade; each with a dark outline.
        outline = max(0.016, 1.0 * pixel)
        handle = seg_dist(x, y, SHOVEL_GRIP[0] - 0.035 * ux, SHOVEL_GRIP[1] - 0.035 * uy,
                          *SHOVEL_NECK) - 0.032
        grip = seg_dist(x, y, SHOVEL_GRIP[0] - 0.06 * uy, SHOVEL_GRIP[1] + 0.06 * ux,
                        SHOVEL_GRIP[0] + 0.06 * uy, SHOVEL_GRIP[1] - 0.06 * ux) - 0.03
        wood_d = min(handle, grip)
        out = blend(out, wood_dark, coverage(wood_d - outline, pixel))
        out = blend(out, wood, coverage(wood_d, pixel))
        blade = blade_dist(x, y)
        out = blend(out, steel_dark, coverage(blade - outline, pixel))
        lit = (x - y) < (BLADE_CENTRE[0] - BLADE_CENTRE[1] - 0.02)
        shine = mix(steel, hex_color("#ffffff"), 0.5 if lit else 0.0)
        out = blend(out, shine, coverage(blade, pixel))
        return out

    return shade


# --------------------------------------------------------------- placeholder

# A stroke font for the few letters we need: strokes in a 1 x 1 em box
# (x to the right, y down, baseline at 1.0, x-height from 0.45), arcs as polylines.


def arc(cx, cy, rx, ry, a0, a1, steps=14):
    points = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        points.append((cx + rx * math.cos(a), cy + ry * math.sin(a)))
    return [points[i] + points[i + 1] for i in range(steps)]


def line(*points):
    return [points[i] + points[i + 1] for i in range(len(points) - 1)]


XH, BASE = 0.45, 1.0
MID = (XH + BASE) / 2
RX, RY = 0.24, (BASE - XH) / 2

GLYPHS = {
    "N": (0.70, line((0.08, 0.12), (0.08, BASE)) + line((0.08, 0.12), (0.62, BASE)) +
          line((0.62, 0.12), (0.62, BASE))),
    "o": (0.58, arc(0.29, MID, RX, RY, 0, 360, 28)),
    "p": (0.60, line((0.06, XH), (0.06, 1.25)) + arc(0.30, MID, RX, RY, 0, 360, 28)),
    "i": (0.24, line((0.10, XH), (0.10, BASE)) + line((0.10, 0.26), (0.10, 0.27))),
    "c": (0.54, arc(0.29, MID, RX, RY, 40, 320, 22)),
    "t": (0.38, line((0.14, 0.22), (0.14, 0.90)) + arc(0.26, 0.90, 0.12, 0.10, 180, 90, 6) +
          line((0.02, XH), (0.32, XH))),
    "u": (0.58, arc(0.29, MID, RX, RY, 180, 0, 14) + line((0.05, XH), (0.05, MID)) +
          line((0.53, XH), (0.53, BASE))),
    "r": (0.40, line((0.06, XH), (0.06, BASE)) + arc(0.32, MID + 0.02, 0.26, RY, 180, 290, 8)),
    "e": (0.58, line((0.05, MID), (0.53, MID)) + arc(0.29, MID, RX, RY, 0, 320, 26)),
    "y": (0.56, line((0.04, XH), (0.28, BASE)) + line((0.52, XH), (0.20, 1.25))),
    " ": (0.30, []),
}


def text_segments(text, x, y, em):
    """Segments of `text` with its left end at x, baseline at y + em."""
    segments = []
    for ch in text:
        advance, strokes = GLYPHS[ch]
        for ax, ay, bx, by in strokes:
            segments.append((x + ax * em, y + ay * em, x + bx * em, y + by * em))
        x += (advance + 0.10) * em
    return segments, x


def text_width(text, em):
    return sum((GLYPHS[ch][0] + 0.10) * em for ch in text) - 0.10 * em


def placeholder_shader(width, height):
    background_top, background_bottom = hex_color("#f4f6f9"), hex_color("#e6ebf1")
    frame = hex_color("#b4bfcb")
    ink = hex_color("#7b8898")
    sky, hill, hill_back, sun = (hex_color("#dbe5f0"), hex_color("#a9b9ca"),
                                 hex_color("#c3cfdc"), hex_color("#f1d9a6"))

    em = 22.0
    caption = "No picture yet"
    text_x = (width - text_width(caption, em)) / 2
    text_y = 150.0
    segments, _ = text_segments(caption, text_x, text_y, em)
    text_box = (text_x - 4, text_y - 4, width - text_x + 4, text_y + 1.3 * em + 4)
    stroke = 1.1

    # A small landscape picture above the text.
    pic_cx, pic_cy, pic_hw, pic_hh = width / 2, 92.0, 46.0, 34.0

    def shade(px, py):
        out = (*mix(background_top, background_bottom, py / height), 1.0)
        frame_d = abs(round_box_dist(px, py, width / 2, height / 2, width / 2 - 10,
                                     height / 2 - 10, 14)) - 0.75
        out = blend(out, frame, coverage(frame_d, 1.0))
        pic = round_box_dist(px, py, pic_cx, pic_cy, pic_hw, pic_hh, 7)
        if pic < 2:
            inside = coverage(pic, 1.0)
            if inside > 0:
                left, top = pic_cx - pic_hw, pic_cy - pic_hh
                u, v = (px - left) / (2 * pic_hw), (py - top) / (2 * pic_hh)
                color = sky
                if math.hypot(u - 0.72, v - 0.30) < 0.13:
                    color = sun
                if v > 0.62 - 0.25 * math.sin(math.pi * min(1.0, max(0.0, (u - 0.35) / 0.65))):
                    color = hill_back
                if v > 0.80 - 0.45 * max(0.0, 1.0 - abs(u - 0.32) / 0.34):
                    color = hill
                out = blend(out, color, inside)
            out = blend(out, ink, coverage(abs(pic) - 1.0, 1.0))
        if text_box[0] <= px <= text_box[2] and text_box[1] <= py <= text_box[3]:
            d = min(seg_dist(px, py, *s) for s in segments) - stroke
            out = blend(out, ink, coverage(d, 1.0))
        return out

    return shade


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    images = os.path.join(root, "src", "ui", "images")
    if len(sys.argv) > 1:
        images = sys.argv[1]
    os.makedirs(images, exist_ok=True)
    for name, size in (("app-icon.png", 64), ("app-icon-256.png", 256)):
        write_png(os.path.join(images, name), size, size, render(size, size, icon_shader(size)))
    write_png(os.path.join(images, "placeholder.png"), 280, 232,
              render(280, 232, placeholder_shader(280, 232)))


if __name__ == "__main__":
    main()
