#!/usr/bin/env python3
"""Draws the simulation kernels' figures as one SVG chart: for each level, the fire and water steps'
processor time as a ratio to memcpy of the same bytes, each bar beside a mark at its goal.

Usage: tools/kernel-chart.py FIGURES.json OUT.svg
where FIGURES.json is what `simulation_bench --json FIGURES.json` wrote. Python's standard library
only.
"""
import json
import sys
from xml.sax.saxutils import escape

STEPS = ("fire", "water")
COLOURS = {"fire": "#d9541e", "water": "#2a7ab0"}
LEVEL_NAMES = {"portable": "portable (SSE2)", "avx2": "AVX2", "avx512": "AVX-512 VBMI"}


def chart(figures):
    rows = [row for row in figures["rows"] if row["goal"] is not None]
    levels = []
    for row in rows:
        if row["level"] not in levels:
            levels.append(row["level"])
    by_key = {(row["level"], row["step"]): row for row in rows}
    top = max([row["ratio_processor"] for row in rows] + [row["goal"] for row in rows]) * 1.15

    width, height = 640, 340
    left, right, upper, lower = 60, 20, 50, 60
    plot_width, plot_height = width - left - right, height - upper - lower
    group = plot_width / max(len(levels), 1)
    bar = group / 4

    def y_of(value):
        return upper + plot_height * (1 - value / top)

    out = [
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="0 0 {width} {height}" font-family="sans-serif" font-size="12">',
        f'<rect width="{width}" height="{height}" fill="white"/>',
        f'<text x="{width / 2}" y="20" text-anchor="middle" font-size="14">'
        "Simulation steps: processor time / memcpy of the same bytes (lower is better)</text>",
        f'<text x="{width / 2}" y="36" text-anchor="middle" fill="#555">'
        f'{escape(figures["processor"])}, {escape(figures["date"])}; black marks: goals</text>',
    ]
    # Gridlines every whole ratio.
    tick = 1
    while tick < top:
        y = y_of(tick)
        out.append(f'<line x1="{left}" y1="{y:.1f}" x2="{width - right}" y2="{y:.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{left - 6}" y="{y + 4:.1f}" text-anchor="end">{tick}×</text>')
        tick += 1
    out.append(f'<line x1="{left}" y1="{y_of(0):.1f}" x2="{width - right}" y2="{y_of(0):.1f}" stroke="black"/>')
    for index, level in enumerate(levels):
        centre = left + group * (index + 0.5)
        for offset, step in zip((-0.6, 0.6), STEPS):
            row = by_key.get((level, step))
            if row is None:
                continue
            x = centre + offset * bar - bar / 2
            value, goal = row["ratio_processor"], row["goal"]
            met = value <= goal
            out.append(
                f'<rect x="{x:.1f}" y="{y_of(value):.1f}" width="{bar:.1f}" '
                f'height="{y_of(0) - y_of(value):.1f}" fill="{COLOURS[step]}"/>'
            )
            out.append(
                f'<line x1="{x - 4:.1f}" y1="{y_of(goal):.1f}" x2="{x + bar + 4:.1f}" y2="{y_of(goal):.1f}" '
                'stroke="black" stroke-width="2"/>'
            )
            out.append(
                f'<text x="{x + bar / 2:.1f}" y="{min(y_of(value), y_of(goal)) - 5:.1f}" text-anchor="middle">'
                f'{value:.2f} / {goal:g}{"" if met else " !"}</text>'
            )
        out.append(
            f'<text x="{centre:.1f}" y="{y_of(0) + 18:.1f}" text-anchor="middle">'
            f"{escape(LEVEL_NAMES.get(level, level))}</text>"
        )
    for index, step in enumerate(STEPS):
        x = left + 10 + index * 90
        y = height - 18
        out.append(f'<rect x="{x}" y="{y - 10}" width="12" height="12" fill="{COLOURS[step]}"/>')
        out.append(f'<text x="{x + 18}" y="{y}">{step} step</text>')
    out.append(f'<text x="{left + 200}" y="{height - 18}">label: ratio / goal ("!" where not met)</text>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as source:
        figures = json.load(source)
    with open(sys.argv[2], "w", encoding="utf-8") as target:
        target.write(chart(figures))


if __name__ == "__main__":
    main()
