#!/usr/bin/env python3
"""Resamples a parametric curve at equal arc length and checks it the way the
content test does (roughly): spacing, bend per point, climb, clearance."""
import math, sys

def resample(f, n, samples=20000):
    pts = [f(i / samples) for i in range(samples + 1)]
    arc = [0.0]
    for a, b in zip(pts, pts[1:]):
        arc.append(arc[-1] + math.dist(a, b))
    total = arc[-1]
    out, j = [], 0
    for k in range(n):
        target = total * k / (n - 1)
        while j < samples and arc[j + 1] < target:
            j += 1
        if j >= samples:
            out.append(pts[-1]); continue
        u = (target - arc[j]) / max(arc[j + 1] - arc[j], 1e-9)
        out.append(tuple(pts[j][c] + u * (pts[j + 1][c] - pts[j][c]) for c in range(3)))
    return out, total

def check(p, tube=4.0):
    gaps = [math.dist(a, b) for a, b in zip(p, p[1:])]
    bends, climbs = [], []
    for i in range(1, len(p) - 1):
        a = [p[i][c] - p[i - 1][c] for c in range(3)]
        b = [p[i + 1][c] - p[i][c] for c in range(3)]
        dot = sum(x * y for x, y in zip(a, b)) / (math.hypot(*a) * math.hypot(*b))
        bends.append(math.degrees(math.acos(max(-1, min(1, dot)))))
    for a, b in zip(p, p[1:]):
        d = [b[c] - a[c] for c in range(3)]
        climbs.append(math.degrees(math.asin(d[1] / math.hypot(*d))))
    clear = 1e9
    arc = [0.0]
    for g in gaps: arc.append(arc[-1] + g)
    for i in range(len(p)):
        for j in range(i + 1, len(p)):
            if arc[j] - arc[i] > 60 * tube:
                clear = min(clear, math.dist(p[i], p[j]))
    return dict(n=len(p), length=round(arc[-1]), gap_ratio=round(max(gaps) / min(gaps), 3),
                max_bend=round(max(bends), 1), max_climb=round(max(abs(c) for c in climbs), 1),
                first_climb=round(climbs[0], 1), last_climb=round(climbs[-1], 1), clearance=round(clear, 1))

def fmt(v):
    s = f"{v:.1f}"
    if s.endswith(".0"): s = s[:-2]
    if s == "-0": s = "0"
    return s.replace(".", ",")

def emit(p):
    lines = ["[SplinePoints]", f"count={len(p)}"]
    for i, q in enumerate(p):
        lines.append(f"p{i}=" + ";".join(fmt(c) for c in q))
    return "\n".join(lines)

def smooth(s):  # 0..1 with zero slope at both ends
    return (1 - math.cos(math.pi * s)) / 2

TAU = 2 * math.pi

def envelope(s, edge=0.1):
    return smooth(min(1, s / edge)) * smooth(min(1, (1 - s) / edge))

def level06(s):
    # Slalom: wide horizontal swings with vertical waves between them.
    z = -2300 * s
    x = 130 * math.sin(TAU * 2.5 * s)
    y = 45 * (1 - math.cos(TAU * 3 * s)) * envelope(s)
    return (x, y, z)

def level07(s):
    # Switchbacks down a slope: hairpins joined by straight lanes.
    lanes, width, lane_len = 4, 200.0, 480.0
    # Arc-length style parameter: lane, hairpin, lane, ...
    seg = lane_len + math.pi * width / 2
    total = lanes * lane_len + (lanes - 1) * math.pi * width / 2
    d = s * total
    k = min(int(d // seg), lanes - 1)
    r = d - k * seg
    sign = 1 if k % 2 == 0 else -1
    x0 = k * width
    if r <= lane_len or k == lanes - 1:
        r = min(r, lane_len)
        x, z = x0, -sign * r + (0 if sign > 0 else -lane_len)
        z = -r if sign > 0 else -lane_len + r
    else:
        a = (r - lane_len) / (width / 2)  # 0..pi
        cx, cz = x0 + width / 2, (-lane_len if sign > 0 else 0)
        x = cx - width / 2 * math.cos(a)
        z = cz - sign * width / 2 * math.sin(a)
    y = -150 * smooth(s) + 22 * math.sin(TAU * 6 * s) * envelope(s)
    return (x, y, z)

def level08(s):
    # The vortex: three turns inward and downward, then out beneath them.
    if s < 0.8:
        u = s / 0.8
        turns = 2.3
        a = TAU * turns * u
        r = 280 - 150 * u
        x, z = r * math.sin(a), r * math.cos(a) - 280
        y = -220 * smooth(u) + 30 * math.sin(TAU * 5 * u) * envelope(u, 0.15)
        return (x, y, z)
    u = (s - 0.8) / 0.2
    # continue along the tangent at the end of the spiral
    a = TAU * 2.3
    r = 130
    x0, z0 = r * math.sin(a), r * math.cos(a) - 280
    # tangent of the spiral at its end
    eps = 1e-4
    p1 = level08(0.8 - eps)
    tx, tz = x0 - p1[0], z0 - p1[2]
    n = math.hypot(tx, tz)
    L = 450 * u
    return (x0 + tx / n * L, -220, z0 + tz / n * L)

if __name__ == "__main__":
    name, n = sys.argv[1], int(sys.argv[2])
    p, total = resample(globals()[name], n)
    print(check(p), file=sys.stderr)
    print(emit(p))
