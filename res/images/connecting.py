#!/usr/bin/env python3
"""Writes the frames of the Connecting animation (resource 148) as SVG files.

Unit 2 on the left reaches out to unit 1 on the right: a row of dots lights up
one by one towards unit 1, then the LEDs of both glow steadily for a frame.
Usage: connecting.py OUTDIR  (writes frame-00.svg ...)
"""
import os
import sys

WIDTH, HEIGHT = 200, 56
DOTS = 7
FRAMES = DOTS + 2


def module(x, y, led):
    return f'''
  <g transform="translate({x} {y}) scale(1.5)">
    <rect x="4.5" y="5.5" width="23" height="17" rx="3" fill="#2c67ad" stroke="#143a66"/>
    <rect x="8" y="9" width="16" height="5" rx="1" fill="#e8eef6"/>
    <rect x="9.5" y="10.5" width="9" height="2" fill="#8aa4c4"/>
    <circle cx="22" cy="18.5" r="2.2" fill="{led}" stroke="#1b7a2a" stroke-width="0.8"/>
    <rect x="8" y="17" width="8" height="2.5" rx="0.5" fill="#16406f"/>
  </g>'''


def frame(n):
    lit = min(n, DOTS)
    linked = n == FRAMES - 1
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
             f'viewBox="0 0 {WIDTH} {HEIGHT}">']
    parts.append(module(2, 3, "#3ad04e"))
    parts.append(module(WIDTH - 50, 3, "#3ad04e" if linked else "#9fdca8"))
    span_start, span_end = 56, WIDTH - 56
    step = (span_end - span_start) / (DOTS - 1)
    for i in range(DOTS):
        cx = span_start + i * step
        on = i < lit
        colour = "#2f8f3f" if on else "#b8c4d0"
        radius = 4.5 if on and i == lit - 1 and not linked else 3.5
        parts.append(f'  <circle cx="{cx:.1f}" cy="28" r="{radius}" fill="{colour}"/>')
    parts.append("</svg>\n")
    return "\n".join(parts)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for n in range(FRAMES):
        with open(os.path.join(out, f"frame-{n:02d}.svg"), "w", encoding="utf-8") as f:
            f.write(frame(n))


if __name__ == "__main__":
    main()
