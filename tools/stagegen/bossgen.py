#!/usr/bin/env python3
import math, sys
TAU = 2 * math.pi

class Model:
    def __init__(self): self.v, self.l = [], []
    def add(self, p):
        self.v.append(tuple(round(c, 3) for c in p)); return len(self.v) - 1
    def line(self, a, b): self.l.append((a, b))
    def loop(self, pts, closed=True):
        idx = [self.add(p) for p in pts]
        for a, b in zip(idx, idx[1:]): self.line(a, b)
        if closed: self.line(idx[-1], idx[0])
        return idx
    def strip(self, pts): return self.loop(pts, closed=False)

def num(x):
    s = f"{x:.3f}".rstrip('0').rstrip('.')
    if s in ('-0', ''): s = '0'
    return s.replace('.', ',')

def write(path, title, model, fire, maxtime, loops):
    out = [f"; Riftvaulter - Endgegner \"{title}\" (Front +z zum Spieler)", "[Vertex]", f"VertexCount={len(model.v)}"]
    out += [f"Vertex{i}=" + ";".join(num(c) for c in p) for i, p in enumerate(model.v)]
    out += ["", "[Lines]", f"LineCount={len(model.l)}"]
    out += [f"Line{i}={a};{b}" for i, (a, b) in enumerate(model.l)]
    out += ["", "[FirePoints]", f"MaxTime={maxtime}", f"count={len(fire)}"]
    for i, (vals, part, times) in enumerate(fire):
        out.append(f"Point{i}=" + "".join(num(v) + ";" for v in vals))
        out.append(f"Particle{i}=data\\{part}.part")
        out.append(f"Point{i}TimeList=" + "".join(f"{t};" for t in times))
    out += ["", "[Loops]", f"count={len(loops)}"]
    out += [f"Loop{i}=" + "".join(f"{v};" for v in lp) for i, lp in enumerate(loops)]
    open(path, 'w', encoding='cp1252', newline='\r\n').write("\n".join(out) + "\n")

def circle(cx, cy, cz, r, n, plane='xy', start=0.0):
    pts = []
    for k in range(n):
        a = start + TAU * k / n
        if plane == 'xy': pts.append((cx + r * math.cos(a), cy + r * math.sin(a), cz))
        elif plane == 'xz': pts.append((cx + r * math.cos(a), cy, cz + r * math.sin(a)))
        else: pts.append((cx, cy + r * math.sin(a), cz + r * math.cos(a)))
    return pts

def rng(a, b, step): return list(range(a, b + 1, step))

# --- Level06: the adder. A wedge head with fangs, three coils of body behind.
def adder():
    m = Model()
    # head: a hexagonal wedge, nose toward the player
    top = m.loop([(0, 20, 34), (12, 16, 20), (16, 12, 4), (0, 14, -4), (-16, 12, 4), (-12, 16, 20)])
    bottom = m.loop([(0, 6, 38), (14, 3, 20), (18, 2, 4), (0, 2, -4), (-18, 2, 4), (-14, 3, 20)])
    for a, b in zip(top, bottom): m.line(a, b)
    # eyes
    for sx in (-1, 1):
        m.loop([(sx * 9, 17, 18), (sx * 11, 19, 14), (sx * 13, 17, 10), (sx * 11, 15, 14)])
    # fangs
    for sx in (-1, 1):
        f0, f1 = m.add((sx * 6, 6, 36)), m.add((sx * 6, 1, 40))
        m.line(f0, f1); m.line(f1, m.add((sx * 4, 6, 35)))
    # coils: three rings lying on the floor behind the head, linked by a spine
    prev = None
    for k, (r, z) in enumerate([(30, -14), (38, -26), (44, -38)]):
        ring = m.loop(circle(0, 3 + 2 * k, z, r, 16, 'xz'))
        if prev is not None:
            for j in range(0, 16, 4): m.line(prev[j], ring[j])
        prev = ring
    # crest: a fin along the back
    m.strip([(0, 14, -4), (0, 26, -12), (0, 30, -24), (0, 24, -36), (0, 10, -44)])
    return m

# --- Level07: the scorpion. Flat body, two claws forward, a tail arching over.
def scorpion():
    m = Model()
    body = m.loop([(0, 6, 24), (16, 6, 16), (20, 6, -4), (12, 6, -24), (-12, 6, -24), (-20, 6, -4), (-16, 6, 16)])
    belly = m.loop([(0, 1, 22), (14, 1, 14), (18, 1, -4), (10, 1, -22), (-10, 1, -22), (-18, 1, -4), (-14, 1, 14)])
    for a, b in zip(body, belly): m.line(a, b)
    for sx in (-1, 1):
        # arm and claw
        arm = m.strip([(sx * 16, 6, 16), (sx * 32, 8, 24), (sx * 40, 8, 36)])
        m.strip([(sx * 40, 8, 36), (sx * 48, 8, 46), (sx * 42, 8, 50)])
        m.strip([(sx * 40, 8, 36), (sx * 34, 8, 46), (sx * 38, 8, 50)])
        # legs
        for z in (8, -4, -16):
            m.strip([(sx * 19, 4, z), (sx * 32, 10, z - 4), (sx * 40, 0, z - 8)])
    # tail: segments rising from the back and curling over toward the player
    seg = [(0, 6, -24), (0, 14, -34), (0, 26, -38), (0, 36, -32), (0, 40, -20), (0, 38, -8)]
    prev = None
    for k, (x, y, z) in enumerate(seg):
        r = 5 - 0.6 * k
        ring = m.loop([(x + r, y, z), (x, y + r, z), (x - r, y, z), (x, y - r, z)])
        if prev is not None:
            for a, b in zip(prev, ring): m.line(a, b)
        prev = ring
    sting = m.add((0, 30, 0))
    for p in prev: m.line(p, sting)
    return m

# --- Level08: the rift's eye. An upright ring of rings, lids, an iris, spines.
def eye():
    m = Model()
    outer = m.loop(circle(0, 22, 8, 20, 20, 'xy'))
    iris = m.loop(circle(0, 22, 14, 10, 12, 'xy'))
    pupil = m.loop(circle(0, 22, 16, 4, 6, 'xy', start=math.pi / 2))
    for j in range(0, 12, 3): m.line(outer[j * 20 // 12], iris[j])
    # lids: arcs above and below, joined at the corners
    upper = m.strip([(-40, 22, 4), (-26, 36, 6), (0, 42, 8), (26, 36, 6), (40, 22, 4)])
    lower = m.strip([(-40, 22, 4), (-26, 8, 6), (0, 3, 8), (26, 8, 6), (40, 22, 4)])
    # spines radiating sideways and back
    for sx in (-1, 1):
        for k, (dy, dz) in enumerate([(12, -10), (0, -18), (-12, -10)]):
            m.strip([(sx * 22, 22 + dy * 0.6, 2), (sx * 46, 22 + dy, dz)])
    # a stalk to the floor and a base ring
    base = m.loop(circle(0, 0, -6, 14, 10, 'xz'))
    for j in (0, 5): m.line(base[j], lower[2])
    return m

def spikes(x, z, speed, times, roll=0, accel=0, rollaccel=0, life=3500):
    return ((x, z, speed, roll, accel, rollaccel, life, 0.006), "BossSpike", times)
def orbs(x, z, speed, times, roll=0, accel=0, rollaccel=0, life=5000, scale=0.005):
    return ((x, z, speed, roll, accel, rollaccel, life, scale), "BossOrb", times)
def mines(x, z, speed, times, roll=0, accel=0, rollaccel=0, life=7000):
    return ((x, z, speed, roll, accel, rollaccel, life, 0.006), "BossMine", times)

def l06():
    f = [spikes(-6, 40, 15, rng(500, 2300, 300)), spikes(6, 40, 15, rng(650, 2450, 300))]
    f += [orbs(0, 36, 9, [3200, 3900, 4600], roll=r) for r in (-60, -30, 0, 30, 60)]
    f += [orbs(x, 10, 10, [6000, 7200]) for x in rng(-48, 48, 16)]
    f += [orbs(x, 10, 10, [6300, 7500]) for x in rng(-40, 40, 16)]
    f += [mines(-40, -20, 6, [8600, 9400, 10200], roll=-20, rollaccel=15), mines(40, -20, 6, [9000, 9800, 10600], roll=20, rollaccel=-15)]
    write(sys.argv[1] + "/Level06.boss", "Die Natter", adder(), f, 12000, [])

def l07():
    f = [spikes(-45, 50, 12, rng(400, 2800, 400), roll=-35), spikes(45, 50, 12, rng(600, 3000, 400), roll=35)]
    f += [spikes(0, 0, 20, [3400, 3550, 3700, 4400, 4550, 4700], accel=6)]
    f += [orbs(0, 24, 8, rng(5200, 7000, 150), roll=80, rollaccel=-60, life=6000),
          orbs(0, 24, 8, rng(5275, 7075, 150), roll=-80, rollaccel=60, life=6000)]
    f += [orbs(x, 10, 10, [8000, 9500]) for x in rng(-48, 48, 12)]
    f += [orbs(x, 10, 10, [8200, 9700]) for x in rng(-42, 42, 12)]
    f += [mines(-30, -16, 7, [10300, 11100], accel=2, rollaccel=25), mines(30, -16, 7, [10700, 11500], accel=2, rollaccel=-25)]
    write(sys.argv[1] + "/Level07.boss", "Der Skorpion", scorpion(), f, 12000, [])

def l08():
    f = [spikes(0, 16, 17, rng(500, 2300, 120))]
    f += [orbs(0, 14, 9, rng(3000, 5000, 100), roll=100, life=5000, scale=0.004),
          orbs(0, 14, 9, rng(3050, 5050, 100), roll=-100, life=5000, scale=0.004)]
    f += [orbs(x, 8, 10, [6000, 6500, 7000], roll=0.8 * x) for x in rng(-50, 50, 10)]
    f += [mines(-46, -10, 6, rng(8000, 10400, 800), roll=30, rollaccel=-30, life=8000),
          mines(46, -10, 6, rng(8400, 10800, 800), roll=-30, rollaccel=30, life=8000)]
    f += [spikes(-40, 4, 11, rng(11000, 13000, 200), roll=-60), spikes(40, 4, 11, rng(11100, 13100, 200), roll=60)]
    f += [spikes(0, 16, 20, rng(13500, 14700, 100))]
    write(sys.argv[1] + "/Level08.boss", "Das Auge des Risses", eye(), f, 18000, [])

if __name__ == "__main__":
    l06(); l07(); l08()
