#!/usr/bin/env python3
"""A straightforward implementation of `velkora-cli metrics --csv` in plain Python (no numpy), to time
against the program and to compare its output with. Usage: metrics_reference.py FILE..."""

import math
import struct
import sys

G = 9.81

POWER_KEYS = [
    ("sampleCount", "%d"), ("storedBodyWeight_kg", "%.2f"), ("bodyWeight_N", "%.1f"), ("bodyMass_kg", "%.2f"),
    ("quietSd_N", "%.2f"), ("onsetThreshold_N", "%.2f"), ("jumpType", "%s"), ("contactIndex", "%d"),
    ("onsetIndex", "%d"), ("brakingStartIndex", "%d"), ("propulsionStartIndex", "%d"), ("takeoffIndex", "%d"),
    ("touchdownIndex", "%d"), ("peakLandingForceIndex", "%d"), ("unweightingDuration_ms", "%d"),
    ("brakingDuration_ms", "%d"), ("propulsionDuration_ms", "%d"), ("timeToTakeoff_ms", "%d"),
    ("contactTime_ms", "%d"), ("flightTime_ms", "%d"), ("takeoffVelocity_m_s", "%.3f"),
    ("jumpHeightTakeoffVelocity_cm", "%.2f"), ("jumpHeightFlightTime_cm", "%.2f"), ("rsiModified_m_s", "%.3f"),
    ("reactiveStrengthIndex_m_s", "%.3f"), ("countermovementDepth_cm", "%.2f"), ("peakNegativeVelocity_m_s", "%.3f"),
    ("brakingImpulse_Ns", "%.2f"), ("propulsiveImpulse_Ns", "%.2f"), ("meanBrakingForce_N", "%.1f"),
    ("averageBrakingRfd_N_s", "%.0f"), ("forceAtZeroVelocity_N", "%.1f"), ("meanPropulsiveForce_N", "%.1f"),
    ("peakPropulsiveForce_N", "%.1f"), ("meanPropulsivePower_W", "%.1f"), ("peakPropulsivePower_W", "%.1f"),
    ("peakLandingForce_N", "%.1f"),
]
BAND_KEYS = [("peakForce_N", "%.1f"), ("timeToPeak_ms", "%d"), ("rfd0to50_N_s", "%.0f"), ("rfd0to100_N_s", "%.0f"),
             ("rfd0to200_N_s", "%.0f"), ("rfd0to250_N_s", "%.0f"), ("impulse0to100_Ns", "%.2f"),
             ("impulse0to200_Ns", "%.2f"), ("impulse0to300_Ns", "%.2f"), ("meanForce_N", "%.1f")]
FORCE_KEYS = [("sampleCount", "%d"), ("repetitionCount", "%d"), ("bestRepetition", "%d")] + BAND_KEYS + [
    ("averagePeakForce_N", "%.1f"), ("averageMeanForce_N", "%.1f")]


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.at + size > len(self.data):
            raise ValueError("past end")
        values = struct.unpack_from(fmt, self.data, self.at)
        self.at += size
        return values

    def string(self):
        (n,) = self.take("<B")
        wide = False
        if n == 0xFF:
            (n,) = self.take("<H")
            if n == 0xFFFE:
                wide = True
                (n,) = self.take("<B")
                if n == 0xFF:
                    (n,) = self.take("<H")
            if n == 0xFFFF:
                (n,) = self.take("<I")
        size = 2 * n if wide else n
        if self.at + size > len(self.data):
            raise ValueError("past end")
        self.at += size


def load(path):
    """Vertical forces as single-precision products widened to double, the stored body weight."""
    with open(path, "rb") as f:
        r = Reader(f.read())
    r.string()  # the tag
    r.string()  # the name
    r.take("<iii")
    for _ in range(3):
        r.string()
    (body_weight,) = r.take("<f")
    _, _, cv, _ = r.take("<ffff")
    (n,) = r.take("<i")
    pairs = r.take("<%di" % (2 * (n + 1)))
    counts = pairs[0:2 * n:2]
    f32 = struct.Struct("<f")
    forces = [f32.unpack(f32.pack(c * cv))[0] for c in counts]
    return forces, counts, body_weight


def first(seq, start, cond):
    for i in range(max(start, 0), len(seq)):
        if cond(seq[i]):
            return i
    return None


def argmax(seq, a, b):
    return max(range(a, b), key=lambda i: (seq[i], -i)) if a < b else None


def argmin(seq, a, b):
    return min(range(a, b), key=lambda i: (seq[i], i)) if a < b else None


def power_metrics(F, stored):
    n = len(F)
    m = {"sampleCount": n, "storedBodyWeight_kg": stored}
    if n < 1000:
        return m
    if sum(F[0:10]) / 10 <= 20:
        m["jumpType"] = "DJ"
        c = first(F, 10, lambda f: f > 20)
        if c is None:
            return m
        m["contactIndex"] = c
        to = first(F, c + 1, lambda f: f <= 20)
        if to is None:
            return m
        m["takeoffIndex"], m["contactTime_ms"] = to, to - c
        td = first(F, to + 1, lambda f: f > 20)
        if td is not None:
            flight(m, F, to, td)
            m["reactiveStrengthIndex_m_s"] = (m["jumpHeightFlightTime_cm"] / 100) / ((to - c) / 1000)
        return m
    bw = 0.0
    for i in range(1000):
        bw += F[i]
    bw /= 1000
    sd = math.sqrt(sum((F[i] - bw) ** 2 for i in range(1000)) / 999)
    mass, thr = bw / G, max(5 * sd, 2.0)
    to = first(F, 0, lambda f: f <= 20)
    if to is not None and to <= 1000:
        m["takeoffIndex"] = to
        td = first(F, to + 1, lambda f: f > 20)
        if td is not None:
            flight(m, F, to, td)
        return m
    m.update(bodyWeight_N=bw, bodyMass_kg=mass, quietSd_N=sd, onsetThreshold_N=thr)
    if to is None:
        m["jumpType"] = "none"
        return m
    m["takeoffIndex"] = to
    td = first(F, to + 1, lambda f: f > 20)
    if td is not None:
        flight(m, F, to, td)
    big = argmax(F, 1000, to)
    low = argmin(F, 1000, big)
    cm = low is not None and F[low] < bw - thr
    if cm:
        x = low
        while x - 1 >= 1000 and F[x - 1] < bw - thr:
            x -= 1
    elif F[big] > bw + thr:
        x = big
        while x - 1 >= 1000 and F[x - 1] > bw + thr:
            x -= 1
    else:
        return m
    onset = max(x - 30, 0)
    v, s = [0.0] * n, [0.0] * n
    for i in range(onset + 1, to + 1):
        v[i] = v[i - 1] + 0.0005 * ((F[i - 1] - bw) / mass + (F[i] - bw) / mass)
        s[i] = s[i - 1] + 0.0005 * (v[i - 1] + v[i])
    b, p = None, x
    if cm:
        b = argmin(v, onset, to + 1)
        if v[b] < 0:
            p = first(v[:to + 1], b + 1, lambda value: value >= 0)
        else:
            b = None
    m.update(jumpType="CMJ" if b is not None else "SJ", onsetIndex=onset, timeToTakeoff_ms=to - onset,
             takeoffVelocity_m_s=v[to])
    if v[to] > 0:
        h = 100 * v[to] ** 2 / (2 * G)
        m["jumpHeightTakeoffVelocity_cm"] = h
        m["rsiModified_m_s"] = (h / 100) / ((to - onset) / 1000)
    if b is not None:
        m.update(brakingStartIndex=b, unweightingDuration_ms=b - onset, peakNegativeVelocity_m_s=v[b],
                 countermovementDepth_cm=-100 * min(s[onset:to + 1]))
    if p is None:
        return m
    m.update(propulsionStartIndex=p, propulsionDuration_ms=to - p, propulsiveImpulse_Ns=mass * (v[to] - v[p]))
    if p < to:
        m["meanPropulsiveForce_N"] = sum(F[p:to]) / (to - p)
        m["peakPropulsiveForce_N"] = max(F[p:to])
        power = [F[i] * v[i] for i in range(p, to)]
        m["meanPropulsivePower_W"] = sum(power) / len(power)
        m["peakPropulsivePower_W"] = max(power)
    if b is not None:
        m.update(brakingDuration_ms=p - b, brakingImpulse_Ns=mass * (v[p] - v[b]),
                 meanBrakingForce_N=sum(F[b:p]) / (p - b), averageBrakingRfd_N_s=(F[p] - F[b]) / ((p - b) / 1000),
                 forceAtZeroVelocity_N=F[p])
    return m


def flight(m, F, to, td):
    peak = argmax(F, td, len(F))
    t = (td - to) / 1000
    m.update(touchdownIndex=td, peakLandingForceIndex=peak, peakLandingForce_N=F[peak], flightTime_ms=td - to,
             jumpHeightFlightTime_cm=100 * G * t * t / 8)


def force_metrics(F, counts):
    reps, start = [], None
    for i, c in enumerate(counts):
        if c > 70 and start is None:
            start = i
        elif c <= 70 and start is not None:
            reps.append((start, i - 1))
            start = None
    m = {"sampleCount": len(F), "repetitionCount": len(reps)}
    values = []
    for a, e in reps:
        peak = argmax(F, a, e + 1)
        r = {"peakForce_N": F[peak], "timeToPeak_ms": peak - a, "meanForce_N": sum(F[a:e + 1]) / (e - a + 1)}
        for x in (50, 100, 200, 250):
            if a + x <= e:
                r["rfd0to%d_N_s" % x] = (F[a + x] - F[a]) / (x / 1000)
        for x in (100, 200, 300):
            if a + x <= e:
                r["impulse0to%d_Ns" % x] = sum(0.0005 * (F[i] + F[i + 1]) for i in range(a, a + x))
        values.append(r)
    if values:
        best = max(range(len(values)), key=lambda k: (values[k]["peakForce_N"], -k))
        m["bestRepetition"] = best + 1
        m.update(values[best])
        m["averagePeakForce_N"] = sum(r["peakForce_N"] for r in values) / len(values)
        m["averageMeanForce_N"] = sum(r["meanForce_N"] for r in values) / len(values)
    return m


def cells(keys, metrics):
    out = []
    for key, fmt in keys:
        value = None if metrics is None else metrics.get(key)
        out.append("n/a" if value is None else fmt % value)
    return out


def quote(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"\r\n') else text


def main():
    files = sys.argv[1:]
    if not files:
        sys.exit(__doc__)
    lines = [",".join(["file", "kind"] + ["power." + k for k, _ in POWER_KEYS] + ["force." + k for k, _ in FORCE_KEYS])]
    for path in files:
        power = path.lower().endswith(".tsr")
        try:
            forces, counts, stored = load(path)
        except (OSError, ValueError, struct.error):
            lines.append(",".join([quote(path), "error"] + ["n/a"] * (len(POWER_KEYS) + len(FORCE_KEYS))))
            continue
        p = power_metrics(forces, stored) if power else None
        f = None if power else force_metrics(forces, counts)
        lines.append(",".join([quote(path), "power" if power else "force"] + cells(POWER_KEYS, p) + cells(FORCE_KEYS, f)))
    sys.stdout.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
