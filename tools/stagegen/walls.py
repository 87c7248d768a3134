#!/usr/bin/env python3
"""Adds wall pairs to a boss file: walls of shots 5 degrees apart across
+-165 degrees of the boss's roll, fired as the boss's swing passes +-theta,
so that the two walls of a pair leave free only opposite edges of the floor.
Simulates the boss's clock, loops and swing frame by frame (16.667 ms) to
check that the walls fire at the intended rolls pass after pass."""
import math, re, sys

DT = 16.667
S, R = 0.075, 4.0

def angle_of(x):
    return -math.trunc(2 * math.asin(x * S / (2 * R)) * 180 / math.pi)

def wall_xs(step=5):
    # every integer x by its angle; greedily the widest steps of at most 5
    cands = sorted({angle_of(x): x for x in range(-106, 107)}.items())
    cands = [(a, x) for a, x in cands if abs(a) <= 160]
    picked = [cands[0]]
    for i, (a, x) in enumerate(cands):
        if a - picked[-1][0] > step:
            picked.append(cands[i - 1])
    if picked[-1] != cands[-1]: picked.append(cands[-1])
    xs = sorted(x for _, x in picked)
    angles = sorted(angle_of(x) for x in xs)
    gaps = [b - a for a, b in zip(angles, angles[1:])]
    assert max(gaps) <= step, gaps
    return xs, angles

def read(path):
    text = open(path, encoding='cp1252').read()
    maxtime = int(re.search(r'MaxTime=(\d+)', text).group(1))
    loops = [tuple(int(v) for v in m.group(1).split(';')[:3]) for m in re.finditer(r'Loop\d+=([\d;]+)', text)]
    return text, maxtime, loops

def simulate(maxtime, loops, v, seconds, fire_times):
    """Returns, for each timeline moment in fire_times, the boss rolls at which it fired."""
    clock, roll, speed = 0.0, 0.0, v
    remaining = [l[2] for l in loops]
    nxt = {t: False for t in fire_times}
    fired = {t: [] for t in fire_times}
    t = 0
    while t < seconds * 1000:
        t += DT
        clock += DT
        for ft in fire_times:
            if not nxt[ft] and ft < clock:
                nxt[ft] = True; fired[ft].append((round(t), round(roll, 1)))
        for i, (jump, at, rep) in enumerate(loops):
            if remaining[i] > 0 and at < clock:
                clock = jump - 1; remaining[i] -= 1
                for ft in fire_times:
                    if ft > clock: nxt[ft] = False
        if clock > maxtime:
            clock -= maxtime
            for ft in fire_times: nxt[ft] = False
            remaining = [l[2] for l in loops]
        roll += speed * DT / 1000
        if roll > 90 or roll < -90: speed = -speed
    return fired

def pass_length(maxtime, loops):
    return maxtime + sum(rep * (at - jump) for jump, at, rep in loops)

def plan(maxtime, loops, theta, pairs, vmin=float(__import__("os").environ.get("VMIN", 40)), vmax=80):
    """Swing speed for whole swings per pass and the clock moments of the walls."""
    D = pass_length(maxtime, loops)
    for k in range(1, 10):
        v = 360000 * k / (D - 2 * k * DT)
        if vmin <= v <= vmax: break
    else:
        raise SystemExit(f"no swing speed for a pass of {D} ms")
    # fine-tune: the swing should come back to the same phase pass after pass
    def drift(v):
        roll, speed, t, marks, nextmark = 0.0, v, 0.0, [], D
        while t < 8 * D:
            t += DT
            roll += speed * DT / 1000
            if roll > 90 or roll < -90: speed = -speed
            if t >= nextmark:
                marks.append(roll if speed > 0 else 180 - roll); nextmark += D
        return max(abs(m) for m in marks)
    v = min((v * (1 + i / 20000) for i in range(-400, 401)), key=drift)
    # the swing, frame by frame, over one pass: crossings of +-theta
    roll, speed, t, crossings = 0.0, v, 0.0, []
    while t < D - DT:
        before = roll
        t += DT
        roll += speed * DT / 1000
        if roll > 90 or roll < -90: speed = -speed
        for level in (theta, -theta):
            if (before - level) * (roll - level) < 0:
                crossings.append((t, level, 'fall' if roll < before else 'rise'))
    # pairs: how many pairs per pass, taken from the falling crossings first
    falls = [c[0] for c in crossings if c[2] == 'fall']
    rises = [c[0] for c in crossings if c[2] == 'rise']
    fall_pairs = [falls[i:i + 2] for i in range(0, len(falls) - 1, 2)]
    rise_pairs = [rises[i:i + 2] for i in range(1, len(rises) - 1, 2)]
    chosen = (fall_pairs + rise_pairs)[:pairs]
    moments = [m for pair in chosen for m in pair]
    def to_clock(a):
        clock, t, remaining = 0.0, 0.0, [l[2] for l in loops]
        while t < a:
            t += 1; clock += 1
            for i, (jump, at, rep) in enumerate(loops):
                if remaining[i] > 0 and at < clock:
                    clock = jump - 1; remaining[i] -= 1
        for jump, at, rep in loops:
            if jump <= clock <= at: raise SystemExit(f"wall at {a:.0f} ms falls into loop {jump}-{at}")
        return int(round(clock)) - 8
    return v, [to_clock(m) for m in moments]

def add(path, theta, pairs, layers, layer_gap, speed, out=None):
    text, maxtime, loops = read(path)
    v, moments = plan(maxtime, loops, theta, pairs)
    xs, angles = wall_xs(int(__import__('os').environ.get('STEP', 5)))
    times = sorted(m + k * layer_gap for m in moments for k in range(layers))
    fired = simulate(maxtime, loops, v, 60, times)
    for t in times:
        print(f"  wall at clock {t}: rolls {[r for _, r in fired[t]][:7]}", file=sys.stderr)
    count = int(re.search(r'\[FirePoints\][^\[]*?count=(\d+)', text, re.S).group(1))
    lines = []
    timelist = ''.join(f'{t};' for t in times)
    for i, x in enumerate(xs):
        n = count + i
        lines += [f'Point{n}={x};6;{str(speed).replace(".", ",")};0;0;0;4000;0,004;', f'Particle{n}=data\\BossOrb.part', f'Point{n}TimeList={timelist}']
    text = re.sub(r'(\[FirePoints\][^\[]*?count=)(\d+)', lambda m: m.group(1) + str(count + len(xs)), text, count=1, flags=re.S)
    # append the new points at the end of the [FirePoints] section
    head, sep, tail = text.partition('\n[Loops]')
    head = head.rstrip('\n') + '\n' + '\n'.join(lines) + '\n\n'
    text = head + sep.lstrip('\n') + tail if sep else head
    if sep: text = head + '[Loops]' + tail
    open(out or path, 'w', encoding='cp1252', newline='').write(text.replace('\r\n', '\n').replace('\n', '\r\n'))
    return v

if __name__ == "__main__":
    path, theta, pairs, layers, gap, speed = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]), float(sys.argv[6])
    print(f"RollSpeed={add(path, theta, pairs, layers, gap, speed):.3f}".replace('.', ','))
