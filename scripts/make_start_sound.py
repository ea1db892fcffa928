#!/usr/bin/env python3
"""Writes the start sound resources/sounds/zvuk.wav: 8-bit mono PCM at 11025 samples per second,
0.25 s long, a two-tone chime (1320 Hz then 1760 Hz) with a soft attack and a decaying tail, so the
operator hears that the test has started. Run it again only to change the sound; its output is
committed."""

import math
import struct
import sys
from pathlib import Path

RATE = 11025
SECONDS = 0.25


def samples():
    count = int(RATE * SECONDS)
    half = count // 2
    for i in range(count):
        t = i / RATE
        tone = 1320.0 if i < half else 1760.0
        local = (i if i < half else i - half) / RATE
        attack = min(1.0, local / 0.004)
        decay = math.exp(-local * 14.0)
        # Unsigned 8-bit PCM: silence is 128.
        value = 128 + 100 * attack * decay * math.sin(2 * math.pi * tone * t)
        yield max(0, min(255, int(round(value))))


def wave_bytes():
    data = bytes(samples())
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE, 1, 8)  # PCM, mono, rate, bytes/s, block, bits
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
    if len(data) % 2:
        body += b"\x00"
    return b"RIFF" + struct.pack("<I", len(body)) + body


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources/sounds/zvuk.wav"
    out.write_bytes(wave_bytes())
    print(out)


if __name__ == "__main__":
    main()
