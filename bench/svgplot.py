"""Line charts as SVG text, in plain Python: bench/run.py draws the scaling figures with it."""

import math
from xml.sax.saxutils import escape

COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#17becf"]


def _ticks(lo, hi, log):
    """Tick values between lo and hi: powers of two on a log axis, about six steps otherwise."""
    if log:
        first, last = math.floor(math.log2(lo)), math.ceil(math.log2(hi))
        step = max(1, math.ceil((last - first) / 8))
        return [2.0 ** e for e in range(first, last + 1, step)]
    raw = (hi - lo) / 6 if hi > lo else 1
    unit = 10 ** math.floor(math.log10(raw))
    step = min((m * unit for m in (1, 2, 5, 10) if m * unit >= raw), default=raw)
    start = math.floor(lo / step) * step
    return [start + i * step for i in range(int((hi - start) / step) + 2)
            if start + i * step <= hi + step / 2]


def label(value):
    """1024 -> 1K, 16777216 -> 16M; other values as short numbers."""
    for size, suffix in ((1 << 20, "M"), (1 << 10, "K")):
        if value >= size and value % size == 0:
            return "%d%s" % (value // size, suffix)
    return "%g" % value


def chart(title, xlabel, ylabel, series, x_log=True, y_from_zero=True, width=640, height=360):
    """An <svg> element. series: list of (name, [(x, y), ...], style) with style "line",
    "dashed", "step" (a sawtooth drawn as it is: straight lines between the points) or "dots"."""
    left, right, top, bottom = 70, 170, 30, 50
    xs = [x for _, pts, _ in series for x, _ in pts]
    ys = [y for _, pts, _ in series for _, y in pts]
    if not xs:
        return '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="40"><text x="10" ' \
               'y="25">%s: no data</text></svg>' % (width, escape(title))
    x_lo, x_hi = min(xs), max(xs)
    y_lo, y_hi = (0 if y_from_zero else min(ys)), max(ys) * 1.05 or 1
    if x_hi == x_lo:
        x_hi = x_lo * 2 if x_log else x_lo + 1

    def fx(x):
        if x_log:
            t = (math.log2(x) - math.log2(x_lo)) / (math.log2(x_hi) - math.log2(x_lo))
        else:
            t = (x - x_lo) / (x_hi - x_lo)
        return left + t * (width - left - right)

    def fy(y):
        return height - bottom - (y - y_lo) / (y_hi - y_lo) * (height - top - bottom)

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="11">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18" font-size="13" font-weight="bold">%s</text>'
           % (left, escape(title))]
    for x in _ticks(x_lo, x_hi, x_log):
        if x_lo <= x <= x_hi:
            out.append('<line x1="%.1f" x2="%.1f" y1="%d" y2="%d" stroke="#ddd"/>'
                       % (fx(x), fx(x), top, height - bottom))
            out.append('<text x="%.1f" y="%d" text-anchor="middle">%s</text>'
                       % (fx(x), height - bottom + 15, label(x)))
    for y in _ticks(y_lo, y_hi, False):
        if y_lo <= y <= y_hi:
            out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>'
                       % (left, width - right, fy(y), fy(y)))
            out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>'
                       % (left - 5, fy(y) + 4, y))
    out.append('<text x="%d" y="%d" text-anchor="middle">%s</text>'
               % ((left + width - right) // 2, height - 12, escape(xlabel)))
    out.append('<text transform="translate(16 %d) rotate(-90)" text-anchor="middle">%s</text>'
               % ((top + height - bottom) // 2, escape(ylabel)))
    for i, (name, pts, style) in enumerate(series):
        colour = COLOURS[i % len(COLOURS)]
        coords = " ".join("%.1f,%.1f" % (fx(x), fy(y)) for x, y in sorted(pts))
        if style == "dots":
            out.extend('<circle cx="%.1f" cy="%.1f" r="2" fill="%s"/>' % (fx(x), fy(y), colour)
                       for x, y in pts)
        else:
            dash = ' stroke-dasharray="5,3"' if style == "dashed" else ""
            out.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="1.5"%s/>'
                       % (coords, colour, dash))
        ly = top + 10 + 16 * i
        out.append('<line x1="%d" x2="%d" y1="%d" y2="%d" stroke="%s" stroke-width="2"%s/>'
                   % (width - right + 10, width - right + 30, ly, ly, colour,
                      ' stroke-dasharray="5,3"' if style == "dashed" else ""))
        out.append('<text x="%d" y="%d">%s</text>' % (width - right + 35, ly + 4, escape(name)))
    out.append("</svg>")
    return "\n".join(out)


def stack(charts):
    """One SVG document holding the charts one below the other."""
    heights = [int(c.split('height="', 1)[1].split('"', 1)[0]) for c in charts]
    widths = [int(c.split('width="', 1)[1].split('"', 1)[0]) for c in charts]
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">'
           % (max(widths), sum(heights))]
    y = 0
    for c, h in zip(charts, heights):
        out.append(c.replace("<svg ", '<svg y="%d" ' % y, 1))
        y += h
    out.append("</svg>")
    return "\n".join(out) + "\n"
