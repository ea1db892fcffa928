#!/usr/bin/env python3
"""Writes COUNT power-test files (.tsr) of SECONDS each into DIR: countermovement jumps of varied depth,
height and timing, some squat jumps and some recordings without a jump, as a batch for timing
`velkora-cli metrics`. Deterministic (seeded). Usage: make_jump_files.py DIR [COUNT] [SECONDS]"""

import math
import os
import random
import struct
import sys

G = 9.81


def archive_string(text):
    data = text.encode("ascii")
    return bytes([len(data)]) + data


def measurement_file(vertical, body_weight_kg, name):
    out = bytearray()
    out += archive_string("Velkora_V1.1") + archive_string(name)
    out += struct.pack("<iii", 1, 180, int(body_weight_kg))
    out += archive_string("") * 3
    out += struct.pack("<f", body_weight_kg)
    out += struct.pack("<ffff", 148.0, 2048.0, 1.0, 1.0)
    out += struct.pack("<i", len(vertical))
    for v in vertical + [0]:  # the spare pair after the data
        out += struct.pack("<ii", v, 0)
    out += struct.pack("<i", 0)  # no repetitions
    out += struct.pack("<i", 1700000000)
    return bytes(out)


def jump_forces(rng, samples):
    """A designed motion of the centre of mass: F = m (g + a) in whole newtons."""
    mass = rng.uniform(55, 95)
    weight = mass * G
    kind = rng.choices(["cmj", "sj", "none"], [8, 1, 1])[0]
    start = rng.randint(1300, 1800)
    t1 = rng.uniform(0.4, 0.6)
    depth = rng.uniform(0.2, 0.4) if kind == "cmj" else 0.0
    t2 = rng.uniform(0.22, 0.32)
    v_to = rng.uniform(1.9, 2.9)
    t3 = rng.uniform(0.25, 0.4)
    t1 = max(t1, math.sqrt(depth * math.pi ** 2 / (2 * 0.6 * G)))  # never falling faster than 0.6 g
    a1 = depth * math.pi ** 2 / (2 * t1 * t1)
    k = 6 * (v_to / t2 - (a1 + (-G - a1) / 2))
    c = math.pi * (v_to / t3 + G / 2) / 2
    push = start + (round(t1 * 1000) if kind == "cmj" else 0)
    takeoff = push + round(t2 * 1000)
    touchdown = takeoff + 2 * v_to / G * 1000
    forces = []
    for i in range(samples):
        a = 0.0
        if kind != "none":
            if start <= i < push:
                a = -a1 * math.cos(math.pi * (i - start) / 1000 / t1)
            elif push <= i < takeoff:
                u = (i - push) / 1000 / t2
                a = a1 + (-G - a1) * u + k * u * (1 - u)
            elif takeoff <= i < touchdown:
                a = -G
            elif touchdown <= i < touchdown + t3 * 1000:
                u = (i - touchdown) / 1000 / t3
                a = -G + G * u + c * math.sin(math.pi * u)
        force = mass * (G + a)
        if kind == "none" or i < start or i >= touchdown + t3 * 1000:
            force += rng.randint(-3, 3)
        forces.append(int(round(force)))
    return forces, mass


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 5.0
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(16)
    for n in range(count):
        forces, mass = jump_forces(rng, int(seconds * 1000))
        with open(os.path.join(folder, "jump%04d.tsr" % n), "wb") as f:
            f.write(measurement_file(forces, round(mass, 1), "Subject %d" % n))


if __name__ == "__main__":
    main()
