#!/usr/bin/env python3
"""Generate the notification sounds shipped in resources/sounds.

The sounds are synthesised rather than recorded so that the repository ships
only audio it owns and the files can be rebuilt reproducibly.
"""

import math
import os
import struct
import sys
import wave

RATE = 22050
AMPLITUDE = 0.4
FULL_SCALE = 32767


def silence(seconds):
    return [0.0] * int(round(seconds * RATE))


def ring_burst(seconds, fade=0.005):
    # 440 Hz + 480 Hz is the North American ringback pair, which most people
    # recognise as "a phone is ringing".
    n = int(round(seconds * RATE))
    fade_n = max(1, int(round(fade * RATE)))
    out = []
    for i in range(n):
        t = i / RATE
        s = 0.5 * (math.sin(2 * math.pi * 440 * t) + math.sin(2 * math.pi * 480 * t))
        # Short linear ramps stop the speaker from clicking at burst edges.
        env = min(1.0, i / fade_n, (n - 1 - i) / fade_n)
        out.append(s * env)
    return out


def chime_note(freq, seconds, decay, attack=0.003):
    n = int(round(seconds * RATE))
    attack_n = max(1, int(round(attack * RATE)))
    tail_n = max(1, int(round(0.005 * RATE)))
    out = []
    for i in range(n):
        t = i / RATE
        env = math.exp(-t / decay)
        env *= min(1.0, i / attack_n, (n - 1 - i) / tail_n)
        out.append(math.sin(2 * math.pi * freq * t) * env)
    return out


def write_wav(path, samples):
    frames = b"".join(
        struct.pack("<h", int(round(max(-1.0, min(1.0, s * AMPLITUDE)) * FULL_SCALE)))
        for s in samples
    )
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make-sounds.py OUTPUT_DIR\n")
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)

    ringing = ring_burst(0.4) + silence(0.2) + ring_burst(0.4)
    # Trailing silence keeps a looped ring from sounding continuous.
    ringing += silence(2.0 - len(ringing) / RATE)
    write_wav(os.path.join(out_dir, "ringing.wav"), ringing)

    notify = chime_note(880, 0.15, 0.08) + chime_note(1320, 0.25, 0.09)
    notify += silence(0.1)
    write_wav(os.path.join(out_dir, "SMSNotify.wav"), notify)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
