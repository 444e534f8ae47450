#!/usr/bin/env python3
"""Writes the example that scripts/demo.sh renders, and the input of the render benchmark.

    tools/make_examples.py              rewrite examples/ (demo-phrase.wav, demo.mid, demo.args)
    tools/make_examples.py --check      exit 1 when examples/ differs from what this writes
    tools/make_examples.py --bench DIR  write bench-input.wav, bench.mid and bench.args to DIR

The phrase is two bars at 120 bpm: a drum groove, then a plucked riff in A minor. The song
records the groove onto key 36 by hand (note 48 held switches "Recording"), lets the
autolooper take the riff onto key 60, plays the riff's transposed copies as a I-IV-V-I,
scratches the whole mix with "Rarorovaz", then freezes the reverb over the last chord and
lets it go. A .args file holds the tova-render options that go with a MIDI file, one option
and its value per line.

Only the standard library is used, and nothing random: the files come out the same on every
run.
"""

import argparse
import math
import os
import struct
import sys
import tempfile
import wave

RATE = 48000
BPM = 120.0
TICKS = 480  # per quarter note
BEAT_SECONDS = 60.0 / BPM
BAR_BEATS = 4
FULL_SCALE = 32767

# Tova's default learned notes: held, note 48 switches "Recording" on.
RECORDING_NOTE = 48
GROOVE_KEY = 36
RIFF_KEY = 60  # the first key from 60 up without a sample of its own: the autolooper's


def bar_seconds(bar):
    return bar * BAR_BEATS * BEAT_SECONDS


# --- sound -------------------------------------------------------------------------------


class Noise:
    """A 32-bit linear congruential generator: the same noise on every machine."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 2147483648.0 - 1.0


def add(buffer, start, samples):
    for i, value in enumerate(samples):
        if 0 <= start + i < len(buffer):
            buffer[start + i] += value


def kick(level):
    # A sine falling from 150 Hz to 45 Hz, its phase summed frame by frame.
    out, phase = [], 0.0
    for i in range(int(0.35 * RATE)):
        t = i / RATE
        phase += 2 * math.pi * (45.0 + 105.0 * math.exp(-t * 30.0)) / RATE
        out.append(level * math.sin(phase) * math.exp(-t * 9.0))
    return out


def snare(level, noise):
    out = []
    for i in range(int(0.2 * RATE)):
        t = i / RATE
        tone = 0.5 * math.sin(2 * math.pi * 185.0 * t) * math.exp(-t * 30.0)
        out.append(level * (noise.next() * math.exp(-t * 22.0) + tone))
    return out


def hat(level, noise):
    # Differenced noise: most of its energy lies high.
    out, last = [], 0.0
    for i in range(int(0.05 * RATE)):
        value = noise.next()
        out.append(level * (value - last) * 0.5 * math.exp(-i / RATE * 90.0))
        last = value
    return out


def pluck(frequency, level, seconds):
    # Three harmonics under a 4 ms attack and an exponential decay.
    out = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        envelope = min(1.0, t / 0.004) * math.exp(-t * 5.0)
        w = 2 * math.pi * frequency * t
        out.append(level * envelope * (math.sin(w) + 0.4 * math.sin(2 * w) + 0.15 * math.sin(3 * w)))
    return out


def note_frequency(key):
    return 440.0 * 2.0 ** ((key - 69) / 12.0)


def phrase():
    """Bar 0: kick, snare and eighth-note hats. Bar 1: a riff of eighth notes."""
    frames = int(bar_seconds(2) * RATE)
    out = [0.0] * frames
    noise = Noise(0x7A0A)
    beat = int(BEAT_SECONDS * RATE)
    for eighth in range(8):
        add(out, eighth * beat // 2, hat(0.12 if eighth % 2 else 0.18, noise))
    for b in (0, 2, 2.5):
        add(out, int(b * beat), kick(0.55))
    for b in (1, 3):
        add(out, b * beat, snare(0.3, noise))
    riff = [69, 72, 76, 79, 81, 79, 76, 74]  # A C E G A G E D
    start = BAR_BEATS * beat
    for i, key in enumerate(riff):
        add(out, start + i * beat // 2, pluck(note_frequency(key), 0.22, 0.6))
    return out


def write_wav(path, samples):
    frames = bytearray()
    for value in samples:
        frames += struct.pack("<h", max(-FULL_SCALE, min(FULL_SCALE, round(value * FULL_SCALE))))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))


# --- MIDI --------------------------------------------------------------------------------


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def track(events):
    """events: (tick, bytes), written in tick order (equal ticks keep their order)."""
    body, now = b"", 0
    for tick, data in sorted(events, key=lambda e: e[0]):
        body += variable_length(tick - now) + data
        now = tick
    body += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def midi_file(tracks):
    header = struct.pack(">IHHH", 6, 1, len(tracks), TICKS)
    return b"MThd" + header + b"".join(tracks)


def tempo_track():
    tempo = round(60e6 / BPM)
    return track([
        (0, b"\xff\x51\x03" + tempo.to_bytes(3, "big")),
        (0, b"\xff\x58\x04\x04\x02\x18\x08"),  # 4/4
    ])


def tick(beats):
    return round(beats * TICKS)


class Song:
    """Notes placed in beats, and the options that set parameters in seconds."""

    def __init__(self):
        self.events = []
        self.args = []

    def note(self, key, on_beat, off_beat, velocity=100):
        self.events.append((tick(on_beat), bytes([0x90, key, velocity])))
        self.events.append((tick(off_beat), bytes([0x80, key, 0])))

    def param(self, text):
        self.args.append(("--param", text))

    def set(self, beats, text):
        self.args.append(("--set", "%g:%s" % (beats * BEAT_SECONDS, text)))

    def press(self, beats, name):
        """A button: on, and off again an eighth later."""
        self.set(beats, name + "=1")
        self.set(beats + 0.5, name + "=0")


def demo_song():
    song = Song()
    song.param("Record Sync=To Bar")
    song.param("Play Thru=On")
    song.param("Reverb:Play Reverb=1")
    song.param("Reverb:Dry=1")
    song.param("Reverb:Wet=0.3")
    song.param("Reverb:Room Size=0.86")
    song.param("Reverb:Damp=40")
    song.param("Reverb:Width=80")

    bar = lambda n: n * BAR_BEATS
    # Bar 0: hold "Recording" and key 36 through the groove: it becomes key 36's loop.
    song.note(RECORDING_NOTE, bar(0), bar(1))
    song.note(GROOVE_KEY, bar(0), bar(1))
    # Bar 1: the groove plays while the autolooper records the riff onto key 60. It is
    # switched on a sixteenth late, after key 36's recording has ended on the bar line, and
    # catches up from the live input; switched off a sixteenth into bar 2, it cuts the riff
    # to the bar and plays it from there on, in step with the bar.
    song.note(GROOVE_KEY, bar(1), bar(7), velocity=90)
    song.press(bar(1) + 0.25, "Toggle Autolooper")
    song.press(bar(2) + 0.25, "Toggle Autolooper")
    # Bar 3: the autolooped key stops ("Stop Prior"); from here on the riff's copies play
    # IV, V, I with the octave above, V, I.
    song.press(bar(3), "Stop Prior")
    song.note(RIFF_KEY + 5, bar(3), bar(4))
    song.note(RIFF_KEY + 7, bar(4), bar(5))
    song.note(RIFF_KEY, bar(5), bar(6))
    song.note(RIFF_KEY + 12, bar(5), bar(6), velocity=60)
    song.note(RIFF_KEY + 7, bar(6), bar(7))
    # Bar 6: scratch everything. The knob swings between -0.5 and +0.5 every eighth note;
    # the platter follows it forward and back with its inertia, never quite catching up, so
    # it hardly ever rests. At bar 7 the knob returns to -1 and the record plays on, the keys
    # starting again on the bar.
    for eighth in range(8):
        song.set(bar(6) + eighth / 2, "Rarorovaz=%g" % (-0.5 if eighth % 2 == 0 else 0.5))
    song.set(bar(7), "Rarorovaz=-1")
    song.note(GROOVE_KEY, bar(7), bar(8), velocity=90)
    song.note(RIFF_KEY, bar(7), bar(8))
    song.note(RIFF_KEY + 12, bar(7), bar(8), velocity=60)
    # Bar 7, last beat: freeze the reverb over the chord and bring it up; it holds on alone
    # through bar 8 and is let go at bar 9 to die away.
    song.set(bar(7) + 3.5, "Freeze=1")
    song.set(bar(7) + 3.5, "Reverb:Wet=1.5")
    song.set(bar(9), "Freeze=0")
    song.args.append(("--length", "%g" % (bar_seconds(9) + 2)))
    return song


def bench_song():
    """Bar 0 recorded onto key 36, then 16 of its transposed copies held to the end."""
    song = Song()
    song.param("Record Sync=To Bar")
    song.param("Play Thru=On")
    song.param("Pitch=3")
    song.param("Reverb:Play Reverb=1")
    song.param("Reverb:Dry=1")
    song.param("Reverb:Wet=0.3")
    song.note(RECORDING_NOTE, 0, BAR_BEATS)
    song.note(GROOVE_KEY, 0, BAR_BEATS)
    end = 60.0 / BEAT_SECONDS
    for key in list(range(28, 36)) + list(range(37, 45)):
        song.note(key, BAR_BEATS, end, velocity=20)
    song.args += [("--length", "60"), ("--block", "256")]
    return song


def write_set(directory, stem, song, samples):
    """stem.mid, stem.args and the input, stem-phrase.wav (the demo's) or stem-input.wav."""
    os.makedirs(directory, exist_ok=True)
    wav = stem + ("-phrase.wav" if stem == "demo" else "-input.wav")
    write_wav(os.path.join(directory, wav), samples)
    with open(os.path.join(directory, stem + ".mid"), "wb") as out:
        out.write(midi_file([tempo_track(), track(song.events)]))
    with open(os.path.join(directory, stem + ".args"), "w", encoding="utf-8") as out:
        out.write("# tova-render options for %s and %s: an option and its value per line.\n"
                  "# Written by tools/make_examples.py.\n" % (stem + ".mid", wav))
        for option, value in song.args:
            out.write("%s %s\n" % (option, value))


def same_samples(a, b):
    """Equal headers, and no sample more than one step apart: libm may differ in its last bit."""
    if len(a) != len(b) or a[:44] != b[:44]:
        return False
    count = (len(a) - 44) // 2
    left = struct.unpack("<%dh" % count, a[44:])
    right = struct.unpack("<%dh" % count, b[44:])
    return all(abs(x - y) <= 1 for x, y in zip(left, right))


def check(examples):
    same = True
    with tempfile.TemporaryDirectory() as scratch:
        write_set(scratch, "demo", demo_song(), phrase())
        for name in ("demo.mid", "demo.args", "demo-phrase.wav"):
            with open(os.path.join(examples, name), "rb") as f:
                committed = f.read()
            with open(os.path.join(scratch, name), "rb") as f:
                fresh = f.read()
            if not (same_samples(committed, fresh) if name.endswith(".wav") else committed == fresh):
                print("make_examples: examples/%s is not what tools/make_examples.py writes"
                      % name, file=sys.stderr)
                same = False
    return same


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    examples = os.path.join(root, "examples")
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="exit 1 when examples/ differs from what this writes")
    parser.add_argument("--bench", metavar="DIR", help="write the benchmark's input to DIR")
    options = parser.parse_args()
    if options.check:
        return 0 if check(examples) else 1
    if options.bench:
        loop = phrase()
        write_set(options.bench, "bench", bench_song(), (loop * 15)[: 60 * RATE])
        return 0
    write_set(examples, "demo", demo_song(), phrase())
    return 0


if __name__ == "__main__":
    sys.exit(main())
