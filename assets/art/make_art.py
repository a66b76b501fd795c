#!/usr/bin/env python3
"""Writes the SVG sources of Tangleroot's pictures.

Everything is drawn from code with a fixed random seed, so running this again
gives the same files. scripts/make-art renders them to PNG. The spiders' stage
numerals are Roboto's digits, read from the game's own font with fontTools
(Debian's python3-fonttools).
"""

import colorsys
import math
import os
import random
import re
import sys

from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.svgPathPen import SVGPathPen
from fontTools.pens.transformPen import TransformPen
from fontTools.ttLib import TTFont

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = os.path.join(HERE, "..", "fonts", "roboto.ttf")  # the game's own Roboto
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "svg")
# The last spider stage, from the board's numbers in the game's source
with open(os.path.join(HERE, "..", "..", "src", "entities", "Board.hpp")) as board:
    LAST_STAGE = int(re.search(r"constexpr int lastStage = (\d+);", board.read()).group(1))


def svg(width, height, body, defs=""):
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}">\n<defs>{defs}</defs>\n{body}\n</svg>\n'
    )


def hsl(h, s, l):
    r, g, b = colorsys.hls_to_rgb((h % 360) / 360.0, l, s)
    return f"#{int(r * 255):02x}{int(g * 255):02x}{int(b * 255):02x}"


def _linear(v):
    return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4


def _gamma(v):
    return 12.92 * v if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055


def oklch_of(colour):
    """A #rrggbb colour as OKLCH: perceived lightness (0 to 1), chroma, hue in degrees."""
    r, g, b = (_linear(int(colour[i:i + 2], 16) / 255) for i in (1, 3, 5))
    l = (0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * b) ** (1 / 3)
    m = (0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * b) ** (1 / 3)
    s = (0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * b) ** (1 / 3)
    L = 0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s
    a = 1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s
    bb = 0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s
    return L, math.hypot(a, bb), math.degrees(math.atan2(bb, a)) % 360


def oklch(L, C, h):
    """The colour of that perceived lightness and hue, with as much of the
    chroma as sRGB can show."""
    while True:
        a, b = C * math.cos(math.radians(h)), C * math.sin(math.radians(h))
        l = (L + 0.3963377774 * a + 0.2158037573 * b) ** 3
        m = (L - 0.1055613458 * a - 0.0638541728 * b) ** 3
        s = (L - 0.0894841775 * a - 1.2914855480 * b) ** 3
        rgb = (4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s,
               -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s,
               -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s)
        if all(-0.0001 <= v <= 1.0001 for v in rgb) or C < 0.001:
            return "#" + "".join(f"{round(_gamma(min(1, max(0, v))) * 255):02x}" for v in rgb)
        C *= 0.95


def f(x):
    return f"{x:.1f}"


# ---------------------------------------------------------------- background

def root_path(rng, x, y, angle, length, width):
    """One wandering root as a chain of smooth curve segments."""
    points = [(x, y)]
    for _ in range(int(length / 40)):
        angle += rng.uniform(-0.45, 0.45)
        x += math.cos(angle) * 40
        y += math.sin(angle) * 40
        points.append((x, y))
    d = f"M{f(points[0][0])},{f(points[0][1])}"
    for (x0, y0), (x1, y1) in zip(points[1:], points[2:]):
        d += f" Q{f(x0)},{f(y0)} {f((x0 + x1) / 2)},{f((y0 + y1) / 2)}"
    return d, points


def background():
    rng = random.Random(7)
    defs = """
<radialGradient id="floor" cx="0.45" cy="0.42" r="0.75">
  <stop offset="0" stop-color="#7d9a5a"/><stop offset="0.55" stop-color="#5d7a43"/>
  <stop offset="1" stop-color="#2c3d22"/></radialGradient>
<radialGradient id="vignette" cx="0.5" cy="0.5" r="0.72">
  <stop offset="0.6" stop-color="#000" stop-opacity="0"/>
  <stop offset="1" stop-color="#0b1208" stop-opacity="0.6"/></radialGradient>
<radialGradient id="clearing" cx="0.5" cy="0.5" r="0.5">
  <stop offset="0" stop-color="#e3e6b8" stop-opacity="0.85"/>
  <stop offset="1" stop-color="#e3e6b8" stop-opacity="0"/></radialGradient>
<radialGradient id="moss" cx="0.5" cy="0.5" r="0.5">
  <stop offset="0" stop-color="#93b865" stop-opacity="0.55"/>
  <stop offset="1" stop-color="#93b865" stop-opacity="0"/></radialGradient>
<radialGradient id="sunlit" cx="0.5" cy="0.5" r="0.5">
  <stop offset="0" stop-color="#f1f2d4" stop-opacity="0.95"/><stop offset="0.55" stop-color="#e9ecc4" stop-opacity="0.82"/>
  <stop offset="0.8" stop-color="#e3e6b8" stop-opacity="0.3"/>
  <stop offset="1" stop-color="#e3e6b8" stop-opacity="0"/></radialGradient>
<filter id="soft"><feGaussianBlur stdDeviation="2"/></filter>
"""
    parts = ['<rect width="800" height="800" fill="url(#floor)"/>']
    # moss patches and soil speckles
    for _ in range(40):
        x, y, r = rng.uniform(0, 800), rng.uniform(0, 800), rng.uniform(30, 90)
        parts.append(f'<circle cx="{f(x)}" cy="{f(y)}" r="{f(r)}" fill="url(#moss)"/>')
    for _ in range(500):
        x, y = rng.uniform(0, 800), rng.uniform(0, 800)
        shade = rng.choice(["#3f5230", "#4e6a37", "#8aa868", "#6b5a3a"])
        parts.append(
            f'<circle cx="{f(x)}" cy="{f(y)}" r="{f(rng.uniform(1, 3.2))}" fill="{shade}" opacity="0.6"/>'
        )
    # fallen leaves
    for _ in range(45):
        x, y = rng.uniform(0, 800), rng.uniform(0, 800)
        a, s = rng.uniform(0, 360), rng.uniform(8, 16)
        colour = hsl(rng.uniform(25, 75), 0.45, rng.uniform(0.3, 0.45))
        parts.append(
            f'<g transform="translate({f(x)},{f(y)}) rotate({f(a)}) scale({f(s / 10)})" opacity="0.8">'
            f'<path d="M-10,0 Q0,-6 10,0 Q0,6 -10,0Z" fill="{colour}"/>'
            f'<path d="M-10,0 L10,0" stroke="#2f3a1f" stroke-width="0.6"/></g>'
        )
    # tangled roots: shadow, bark, highlight
    roots = []
    for _ in range(11):
        side = rng.randrange(4)
        t = rng.uniform(0, 800)
        x, y, angle = [(t, -20, math.pi / 2), (820, t, math.pi), (t, 820, -math.pi / 2), (-20, t, 0)][side]
        angle += rng.uniform(-0.6, 0.6)
        roots.append(root_path(rng, x, y, angle, rng.uniform(400, 900), rng.uniform(9, 22)) + (rng.uniform(9, 20),))
    for d, points, width in roots:
        # side rootlets
        for (x0, y0) in points[2::3]:
            a = rng.uniform(0, 2 * math.pi)
            d2, _ = root_path(rng, x0, y0, a, 120, width / 3)
            roots.append((d2, [], width * 0.35))
    for d, _, width in roots:
        parts.append(f'<path d="{d}" fill="none" stroke="#1b1309" stroke-opacity="0.45" '
                     f'stroke-width="{f(width + 6)}" stroke-linecap="round" filter="url(#soft)" transform="translate(3,5)"/>')
    for d, _, width in roots:
        parts.append(f'<path d="{d}" fill="none" stroke="#4a3421" stroke-width="{f(width)}" stroke-linecap="round"/>')
        parts.append(f'<path d="{d}" fill="none" stroke="#6e5033" stroke-width="{f(width * 0.55)}" stroke-linecap="round"/>')
        parts.append(f'<path d="{d}" fill="none" stroke="#97754f" stroke-opacity="0.7" '
                     f'stroke-width="{f(max(1.2, width * 0.15))}" stroke-linecap="round" transform="translate(-1.5,-1.5)"/>')
    # light falling on a clearing, and the light corner behind the money label
    parts.append('<ellipse cx="400" cy="380" rx="300" ry="260" fill="url(#clearing)" opacity="0.35"/>')
    parts.append('<rect width="800" height="800" fill="url(#vignette)"/>')
    parts.append('<ellipse cx="60" cy="0" rx="260" ry="95" fill="url(#sunlit)"/>')
    return svg(800, 800, "\n".join(parts), defs)


# ---------------------------------------------------------------------- box

def box(damage):
    rng = random.Random(100 + damage)
    defs = """
<linearGradient id="plank" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#c9965a"/><stop offset="1" stop-color="#9c6b3a"/></linearGradient>
<linearGradient id="frame" x1="0" y1="0" x2="1" y2="1">
  <stop offset="0" stop-color="#8a5a2e"/><stop offset="1" stop-color="#5e3b1c"/></linearGradient>
<filter id="shadow" x="-20%" y="-20%" width="140%" height="140%"><feGaussianBlur stdDeviation="5"/></filter>
"""
    parts = ['<rect x="24" y="30" width="200" height="200" rx="10" fill="#000" opacity="0.45" filter="url(#shadow)"/>']
    parts.append('<rect x="14" y="14" width="208" height="208" rx="10" fill="url(#frame)" stroke="#3a2410" stroke-width="5"/>')
    # planks, with grain
    for i in range(4):
        y = 38 + i * 41
        parts.append(f'<rect x="38" y="{y}" width="160" height="37" rx="3" fill="url(#plank)" stroke="#5a3a1c" stroke-width="2"/>')
        for _ in range(3):
            gy = y + rng.uniform(6, 31)
            parts.append(f'<path d="M42,{f(gy)} C90,{f(gy + rng.uniform(-4, 4))} 140,{f(gy + rng.uniform(-4, 4))} 194,{f(gy)}" '
                         f'stroke="#7d5430" stroke-width="1.4" fill="none" opacity="0.7"/>')
    # diagonal brace
    parts.append('<path d="M40,186 L176,40 L198,50 L62,198Z" fill="#a8733f" stroke="#3a2410" stroke-width="4" stroke-linejoin="round"/>')
    parts.append('<path d="M48,184 L178,46" stroke="#d6a56a" stroke-width="3" opacity="0.6"/>')
    # corner nails
    for x, y in [(28, 28), (208, 28), (28, 208), (208, 208), (118, 28), (118, 208)]:
        parts.append(f'<circle cx="{x}" cy="{y}" r="6" fill="#6d6d6d" stroke="#2a2a2a" stroke-width="2"/>'
                     f'<circle cx="{x - 1.5}" cy="{y - 1.5}" r="2" fill="#c8c8c8"/>')
    # rim light
    parts.append('<path d="M20,60 L20,24 Q20,20 24,20 L214,20" stroke="#e0b27a" stroke-width="3" fill="none" opacity="0.7"/>')

    def crack(x, y, angle, length, width):
        d = f"M{f(x)},{f(y)}"
        for _ in range(int(length / 12)):
            angle += rng.uniform(-0.7, 0.7)
            x += math.cos(angle) * 12
            y += math.sin(angle) * 12
            d += f" L{f(x)},{f(y)}"
        return (f'<path d="{d}" stroke="#1e1208" stroke-width="{f(width)}" fill="none" '
                f'stroke-linecap="round" stroke-linejoin="round"/>')

    if damage >= 1:
        parts.append(crack(120, 120, 0.6, 80, 4))
        parts.append(crack(120, 120, 3.6, 70, 4))
        parts.append(crack(120, 120, 2.0, 40, 3))
        parts.append(crack(60, 60, 0.9, 40, 3))
    if damage >= 2:
        # a plank knocked out, splinters, more cracks
        parts.append('<path d="M38,120 L198,120 L198,155 L150,152 L128,160 L96,150 L62,158 L38,154Z" fill="#24160a"/>')
        parts.append('<path d="M38,120 L70,128 L90,121 L120,131 L150,122 L175,130 L198,121" fill="none" stroke="#e6c08a" stroke-width="3"/>')
        for x in (70, 120, 175):
            parts.append(f'<path d="M{x},128 l-8,22 l14,-18Z" fill="#c9965a" stroke="#5a3a1c" stroke-width="1.5"/>')
        parts.append(crack(170, 40, 2.2, 90, 4))
        parts.append(crack(200, 190, 3.5, 80, 4))
        parts.append(crack(40, 200, -0.8, 70, 3.5))
        parts.append(crack(180, 200, -2.0, 50, 3))
        parts.append('<path d="M208,208 l10,14" stroke="#2a2a2a" stroke-width="3"/>')
    return svg(240, 240, "\n".join(parts), defs)


# ------------------------------------------------------------------- spider

# One hue a stage: a new stage needs its own here.
STAGE_HUES = [95, 45, 20, 0, 330, 290, 260, 220, 190, 160, 50, 240]
assert len(STAGE_HUES) >= LAST_STAGE, f"STAGE_HUES has no hue for stage {LAST_STAGE}"

# Body lightness (perceived, OKLab) runs light, mid, dark round the stages, so
# any three stages in a row differ in lightness as well as hue: they still read
# apart to a player who sees red and green (or blue and yellow) alike.
LIGHT, MID, DARK = 0.86, 0.62, 0.42
MIDNIGHT = 0.29  # the last stage, darker still


def palette(stage):
    """A stage's lightness and its colours: body, dark and light shades, legs, markings."""
    # the stage's hue, a little more colourful than the hue alone would give
    _, chroma, hue = oklch_of(hsl(STAGE_HUES[stage - 1], 0.55 + 0.03 * stage, 0.42))
    chroma *= 1.25
    depth = (DARK, MID, LIGHT)[stage % 3] if stage < LAST_STAGE else MIDNIGHT
    shades = [oklch(depth, chroma, hue), oklch(depth * 0.5, chroma, hue),
              oklch(min(0.95, depth + 0.13), chroma, hue), oklch(depth * 0.62, chroma, hue)]
    # markings stand out from the body by lightness, not by hue alone
    if stage >= LAST_STAGE - 1:  # the last two stages wear gold
        accent = "#5a3a00" if depth == LIGHT else "#ffd54a"
    else:
        accent = oklch(0.38 if depth == LIGHT else 0.88, 0.12, hue + 180)
    return [depth] + shades + [accent]


def numeral(text, height, colour):
    """text in Roboto as a path: digits `height` tall, centred on (0, 0).
    Drawn as outlines, so the picture does not hang on the fonts installed;
    a stroke of the fill colour makes the Regular face bold enough to read
    at a quarter of its size."""
    font = TTFont(FONT)
    cmap, glyphs, metrics = font.getBestCmap(), font.getGlyphSet(), font["hmtx"]
    scale = height / font["OS/2"].sCapHeight
    names = [cmap[ord(ch)] for ch in text]
    advance = sum(metrics[name][0] for name in names)
    first_left = metrics[names[0]][1]
    last = BoundsPen(glyphs)
    glyphs[names[-1]].draw(last)
    ink = advance - metrics[names[-1]][0] + last.bounds[2] - first_left
    pen = SVGPathPen(glyphs)
    x = -first_left - ink / 2
    for name in names:
        glyphs[name].draw(TransformPen(pen, (scale, 0, 0, -scale, x * scale, height / 2)))
        x += metrics[name][0]
    return (f'<path d="{pen.getCommands()}" fill="{colour}" stroke="{colour}" '
            f'stroke-width="{f(height * 0.09)}" stroke-linejoin="round"/>'), ink * scale


def stage_badge(stage, size, cx, cy):
    """The stage's numeral, cream on a near-black badge: 9 px tall on the board
    at stage 1, 12 at the last stage, whatever the spider's size (in drawing units)."""
    units_per_board_pixel = 800 / size
    height = (9 + 3 * (stage - 1) / (LAST_STAGE - 1)) * units_per_board_pixel
    text, width = numeral(str(stage), height, "#fff4dc")
    tall = height * 1.5
    wide = max(tall, width + height * 0.6)
    rim = height * 0.09
    return (f'<g transform="translate({f(cx)},{f(cy)})">'
            f'<rect x="{f(-wide / 2)}" y="{f(-tall / 2)}" width="{f(wide)}" height="{f(tall)}" rx="{f(tall / 2)}" '
            f'fill="#17100b" stroke="#fff4dc" stroke-opacity="0.85" stroke-width="{f(rim)}"/>'
            f"{text}</g>")


def spider(stage):
    rng = random.Random(200 + stage)
    size = round(192 + (stage - 1) * 208 / (LAST_STAGE - 1))  # 48 px on the board at stage 1, 100 at the last
    c = size / 2
    u = size / 200  # drawing unit: the spider is drawn in a 200-wide box and scaled
    depth, body, dark, light, leg_colour, accent = palette(stage)
    glow = accent if depth != LIGHT else light
    defs = f"""
<radialGradient id="abdomen" cx="0.4" cy="0.35" r="0.7">
  <stop offset="0" stop-color="{light}"/><stop offset="0.6" stop-color="{body}"/><stop offset="1" stop-color="{dark}"/></radialGradient>
<radialGradient id="head" cx="0.4" cy="0.3" r="0.8">
  <stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/></radialGradient>
<radialGradient id="glow" cx="0.5" cy="0.5" r="0.5">
  <stop offset="0.45" stop-color="{glow}" stop-opacity="0.55"/><stop offset="1" stop-color="{glow}" stop-opacity="0"/></radialGradient>
<clipPath id="abdomen-shape"><ellipse cx="0" cy="30" rx="40" ry="46"/></clipPath>
<filter id="shadow" x="-30%" y="-30%" width="160%" height="160%"><feGaussianBlur stdDeviation="{f(4 * u)}"/></filter>
"""
    parts = []
    g = f'<g transform="translate({f(c)},{f(c)}) scale({f(u)})">'
    parts.append(g)
    if stage >= 9:
        parts.append(f'<circle r="{94 if stage < LAST_STAGE else 98}" fill="url(#glow)"/>')
    parts.append('<ellipse cx="4" cy="16" rx="44" ry="56" fill="#000" opacity="0.35" filter="url(#shadow)"/>')
    # legs: four a side, each two segments bending outward; thicker and spikier as it grows
    leg_width = 5 + stage * 0.35
    for side in (-1, 1):
        for i, (angle, reach) in enumerate([(-60, 78), (-20, 84), (20, 82), (60, 74)]):
            a0 = math.radians(angle)
            x0, y0 = side * 12, -6 + i * 9
            kx = side * (x0 * side + math.cos(a0) * reach * 0.6)
            ky = y0 + math.sin(a0) * reach * 0.6 - 22
            ex = side * (x0 * side + math.cos(a0) * reach)
            ey = y0 + math.sin(a0) * reach + 10
            ex, ey = max(-92, min(92, ex)), max(-92, min(92, ey))
            leg = f'd="M{f(x0)},{f(y0)} L{f(kx)},{f(ky)} L{f(ex)},{f(ey)}" fill="none" stroke-linecap="round" stroke-linejoin="round"'
            parts.append(f'<path {leg} stroke="#140a05" stroke-width="{f(leg_width + 3)}"/>')
            parts.append(f'<path {leg} stroke="{leg_colour}" stroke-width="{f(leg_width)}"/>')
            parts.append(f'<path d="M{f(x0)},{f(y0)} L{f(kx)},{f(ky)}" fill="none" stroke="{light}" '
                         f'stroke-opacity="0.5" stroke-width="{f(leg_width * 0.35)}" stroke-linecap="round"/>')
            if stage >= 4:  # banded knees
                parts.append(f'<circle cx="{f(kx)}" cy="{f(ky)}" r="{f(leg_width * 0.75)}" fill="{accent}" stroke="{dark}" stroke-width="1.5"/>')
            if stage >= 7:  # spikes on the lower legs
                mx, my = (kx + ex) / 2, (ky + ey) / 2
                parts.append(f'<path d="M{f(mx)},{f(my)} l{f(side * 7)},-9" stroke="{dark}" stroke-width="2.5" stroke-linecap="round"/>')
    # abdomen with the stage's pattern, bold and edge to edge so it shows round the badge
    parts.append('<ellipse cx="0" cy="30" rx="40" ry="46" fill="url(#abdomen)"/>')
    pattern = stage % 4
    marks = []
    if stage >= 2:
        if pattern == 2:  # bands across
            for yy in (6, 30, 54):
                marks.append(f'<path d="M-44,{yy} Q0,{yy + 10} 44,{yy}" stroke="{accent}" stroke-width="6" fill="none"/>')
        elif pattern == 3:  # spots
            for xx, yy, r in [(-20, 8, 5.5), (20, 8, 5.5), (-32, 30, 5.5), (32, 30, 5.5), (-27, 54, 5.5), (27, 54, 5.5), (0, 70, 5)]:
                marks.append(f'<circle cx="{xx}" cy="{yy}" r="{r}" fill="{accent}"/>')
        elif pattern == 0:  # chevrons
            for yy in (-4, 22, 48):
                marks.append(f'<path d="M-46,{yy} L0,{yy + 20} L46,{yy}" stroke="{accent}" stroke-width="5.5" fill="none" stroke-linejoin="round"/>')
        else:  # hourglass, from the waist to the tail
            marks.append(f'<path d="M-20,-2 L20,-2 L3,30 L20,78 L-20,78 L-3,30Z" fill="{accent}"/>')
    if stage >= 6:  # a ring of dots round the back
        for k in range(10):
            a = math.radians(k * 36)
            marks.append(f'<circle cx="{f(math.cos(a) * 34)}" cy="{f(30 + math.sin(a) * 40)}" r="2.6" fill="{light}"/>')
    if marks:
        parts.append('<g clip-path="url(#abdomen-shape)">' + "".join(marks) + "</g>")
    parts.append('<ellipse cx="0" cy="30" rx="40" ry="46" fill="none" stroke="#140a05" stroke-width="3"/>')
    parts.append('<ellipse cx="-14" cy="12" rx="12" ry="8" fill="#fff" opacity="0.3"/>')
    parts.append(stage_badge(stage, size, 0, 38))
    # head
    parts.append('<ellipse cx="0" cy="-22" rx="26" ry="22" fill="url(#head)" stroke="#140a05" stroke-width="3"/>')
    # fangs
    parts.append(f'<path d="M-8,-4 q-2,10 3,12 M8,-4 q2,10 -3,12" stroke="#1a0f08" stroke-width="4" fill="none" stroke-linecap="round"/>')
    # eyes: two at stage 1, up to eight
    eyes = min(8, 2 + (stage - 1) // 2 * 2 if stage > 1 else 2)
    positions = [(-8, -26), (8, -26), (-16, -32), (16, -32), (-4, -36), (4, -36), (-14, -20), (14, -20)][:eyes]
    for i, (ex, ey) in enumerate(positions):
        r = 6 if i < 2 else 3.8
        parts.append(f'<circle cx="{ex}" cy="{ey}" r="{r}" fill="#0d0d12"/>'
                     f'<circle cx="{ex - r * 0.35:.1f}" cy="{ey - r * 0.35:.1f}" r="{r * 0.38:.1f}" fill="#fff"/>')
    if stage >= 10:  # small horns
        parts.append(f'<path d="M-18,-36 l-8,-14 l12,8Z M18,-36 l8,-14 l-12,8Z" fill="{accent}" stroke="{dark}" stroke-width="2"/>')
    if stage == LAST_STAGE:  # the crown
        parts.append('<path d="M-22,-44 L-22,-62 L-11,-52 L0,-68 L11,-52 L22,-62 L22,-44Z" fill="#ffcf33" stroke="#7a5200" stroke-width="3" stroke-linejoin="round"/>')
        for x in (-11, 0, 11):
            parts.append(f'<circle cx="{x}" cy="-50" r="3.2" fill="#e0245e"/>')
    parts.append("</g>")
    return svg(size, size, "\n".join(parts), defs)


# ---------------------------------------------------------------- icon

def icon():
    """The game's icon: a stage-1 spider's head, face on, on a sunlit tile like
    the board's clearing. Big shapes and strong outlines, so it still reads at
    16 x 16."""
    _, body, dark, light, _, _ = palette(1)  # the stage-1 spider's own colours
    defs = f"""
<radialGradient id="tile" cx="0.45" cy="0.35" r="0.8">
  <stop offset="0" stop-color="#f4f1d0"/><stop offset="0.6" stop-color="#e0d49a"/>
  <stop offset="1" stop-color="#b39a5a"/></radialGradient>
<radialGradient id="head" cx="0.38" cy="0.3" r="0.85">
  <stop offset="0" stop-color="{light}"/><stop offset="0.55" stop-color="{body}"/>
  <stop offset="1" stop-color="{dark}"/></radialGradient>
<filter id="shadow" x="-20%" y="-20%" width="140%" height="140%"><feGaussianBlur stdDeviation="6"/></filter>
"""
    parts = ['<rect x="4" y="4" width="248" height="248" rx="44" fill="url(#tile)" '
             'stroke="#4a3519" stroke-width="8"/>']
    # two front legs a side reaching past the head, bent at the knee
    for side in (-1, 1):
        for knee, end in (((70, -52), (104, 20)), ((82, 8), (100, 92))):
            kx, ky = 128 + side * knee[0], 128 + knee[1]
            ex, ey = 128 + side * end[0], 128 + end[1]
            parts.append(f'<path d="M{128 + side * 40},{140} L{kx},{ky} L{ex},{ey}" fill="none" '
                         f'stroke="#140a05" stroke-width="26" stroke-linecap="round" stroke-linejoin="round"/>')
            parts.append(f'<path d="M{128 + side * 40},{140} L{kx},{ky} L{ex},{ey}" fill="none" '
                         f'stroke="{dark}" stroke-width="16" stroke-linecap="round" stroke-linejoin="round"/>')
    parts.append('<ellipse cx="132" cy="150" rx="84" ry="76" fill="#000" opacity="0.4" filter="url(#shadow)"/>')
    parts.append(f'<ellipse cx="128" cy="140" rx="82" ry="74" fill="url(#head)" stroke="#140a05" stroke-width="9"/>')
    # fangs
    parts.append('<path d="M104,196 q-6,26 10,34 M152,196 q6,26 -10,34" stroke="#140a05" '
                 'stroke-width="14" fill="none" stroke-linecap="round"/>')
    # two big eyes, two small ones above
    for ex, ey, r in ((96, 136, 27), (160, 136, 27), (106, 90, 12), (150, 90, 12)):
        parts.append(f'<circle cx="{ex}" cy="{ey}" r="{r}" fill="#0d0d12"/>'
                     f'<circle cx="{f(ex - r * 0.35)}" cy="{f(ey - r * 0.35)}" r="{f(r * 0.4)}" fill="#fff"/>')
    return svg(256, 256, "\n".join(parts), defs)


def main():
    os.makedirs(OUT, exist_ok=True)
    # The icon is no picture of the board: it lives beside the sources.
    with open(os.path.join(HERE, "icon.svg"), "w") as out:
        out.write(icon())
    files = {"background": background()}
    for damage in range(3):
        files[f"box_damage_{damage}"] = box(damage)
    for stage in range(1, LAST_STAGE + 1):
        files[f"spider_stage_{stage}"] = spider(stage)
    for name, text in files.items():
        with open(os.path.join(OUT, name + ".svg"), "w") as out:
            out.write(text)


if __name__ == "__main__":
    main()
