"""The game's sounds: ten short synthesised effects (PCM WAV) and a looping music track of about a
minute (MP3, encoded through libmp3lame). Standard library only, plus libmp3lame0 for the MP3."""

import array
import ctypes
import ctypes.util
import math
import random
import struct

RATE = 22050        # effects
MUSIC_RATE = 32000  # music; the MP3 is mono at a modest bitrate
TWO_PI = 2 * math.pi


def envelope(n, attack, release, rate=RATE):
    a = max(1, int(attack * rate))
    r = max(1, int(release * rate))
    out = []
    for i in range(n):
        v = 1.0
        if i < a:
            v = i / a
        tail = n - i
        if tail < r:
            v *= tail / r
        out.append(v)
    return out


def tone(freq, seconds, shape="sine", decay=0.0, sweep=0.0, rate=RATE, vibrato=0.0):
    """One voice: freq in Hz (sweep: Hz per second), exponential decay per second."""
    n = int(seconds * rate)
    out = [0.0] * n
    phase = 0.0
    for i in range(n):
        t = i / rate
        f = freq + sweep * t
        if vibrato:
            f *= 1.0 + vibrato * math.sin(TWO_PI * 5.5 * t)
        phase += f / rate
        p = phase % 1.0
        if shape == "sine":
            v = math.sin(TWO_PI * p)
        elif shape == "square":
            v = 1.0 if p < 0.5 else -1.0
        elif shape == "triangle":
            v = 4 * abs(p - 0.5) - 1
        else:  # saw
            v = 2 * p - 1
        out[i] = v * math.exp(-decay * t)
    return out


def noise(seconds, decay, seed, lowpass=0.5, rate=RATE):
    rng = random.Random(seed)
    n = int(seconds * rate)
    out = [0.0] * n
    y = 0.0
    for i in range(n):
        y += lowpass * (rng.uniform(-1, 1) - y)
        out[i] = y * math.exp(-decay * i / rate)
    return out


def mix_into(dst, src, at, gain):
    if at + len(src) > len(dst):
        dst.extend([0.0] * (at + len(src) - len(dst)))
    for i, v in enumerate(src):
        dst[at + i] += v * gain


def shaped(samples, attack=0.002, release=0.02, rate=RATE):
    env = envelope(len(samples), attack, release, rate)
    return [s * e for s, e in zip(samples, env)]


def normalise(samples, peak=0.85):
    top = max(1e-9, max(abs(s) for s in samples))
    return [s * peak / top for s in samples]


def to_pcm16(samples):
    return array.array("h", (max(-32767, min(32767, int(s * 32767))) for s in samples))


def save_wav(path, samples, rate=RATE):
    pcm = to_pcm16(samples).tobytes()
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(pcm), b"WAVE", b"fmt ", 16, 1, 1, rate,
                         rate * 2, 2, 16, b"data", len(pcm))
    with open(path, "wb") as f:
        f.write(header + pcm)


# --- effects ----------------------------------------------------------------------
# One family of sounds: stone and struck metal, tuned to A minor like the music.


def fx_touch_down():
    out = shaped(tone(110, 0.09, "sine", decay=40, sweep=-300), 0.001, 0.02)
    mix_into(out, noise(0.04, 80, 1, 0.3), 0, 0.6)
    return normalise(out, 0.7)


def fx_round_start():
    out = []
    for f, g in ((110, 1.0), (220 * 1.01, 0.5), (330 * 0.99, 0.35), (587, 0.2)):
        mix_into(out, tone(f, 1.4, "sine", decay=2.8), 0, g)
    mix_into(out, noise(0.12, 30, 2, 0.6), 0, 0.5)
    return normalise(shaped(out, 0.002, 0.2), 0.85)


def fx_turn():
    out = shaped(tone(1760, 0.045, "triangle", decay=60), 0.001, 0.01)
    mix_into(out, noise(0.02, 150, 3, 0.9), 0, 0.3)
    return normalise(out, 0.5)


def crumble(seconds, seed, weight):
    out = []
    rng = random.Random(seed)
    for k in range(int(6 * weight)):
        at = int(rng.uniform(0, seconds * 0.6) * RATE)
        mix_into(out, noise(0.06, 50, seed * 100 + k, rng.uniform(0.2, 0.6)), at, rng.uniform(0.3, 0.7))
    return out


def fx_clear(rows):
    seconds = 0.22 + 0.08 * rows
    out = tone(220 / (1 + 0.25 * (rows - 1)), seconds, "sine", decay=10, sweep=-200)
    mix_into(out, noise(0.1, 25, 10 + rows, 0.4), 0, 0.9)
    mix_into(out, crumble(seconds, 20 + rows, rows), 0, 0.7)
    # A bright chime on top: one note per cleared row, rising.
    notes = [880, 1046.5, 1318.5, 1760]
    for i in range(rows):
        mix_into(out, tone(notes[i], 0.25, "triangle", decay=12), int(i * 0.05 * RATE), 0.35)
    return normalise(shaped(out, 0.001, 0.05), 0.85 if rows < 4 else 0.95)


def fx_big_clear():
    out = fx_clear(4)
    rumble = tone(55, 0.9, "saw", decay=3)
    y = 0.0
    for i, v in enumerate(rumble):  # a soft low-pass makes the saw a rumble
        y += 0.05 * (v - y)
        rumble[i] = y
    mix_into(out, rumble, 0, 1.2)
    for i, f in enumerate((440, 554.4, 659.3, 880)):
        mix_into(out, tone(f, 0.35, "square", decay=8), int((0.18 + 0.07 * i) * RATE), 0.12)
    return normalise(shaped(out, 0.001, 0.1), 0.95)


def fx_menu():
    out = tone(988, 0.03, "square", decay=20)
    out += tone(1318.5, 0.05, "square", decay=30)
    return normalise(shaped(out, 0.001, 0.015), 0.35)


def fanfare(notes, step, shape):
    out = []
    for i, (f, length) in enumerate(notes):
        voice = shaped(tone(f, length, shape, decay=2.5), 0.005, 0.06)
        mix_into(out, voice, int(i * step * RATE), 0.5)
        mix_into(out, shaped(tone(f / 2, length, "triangle", decay=2.5), 0.005, 0.06), int(i * step * RATE), 0.4)
    return normalise(out, 0.8)


def fx_win():
    return fanfare([(523.3, 0.2), (659.3, 0.2), (784, 0.2), (1046.5, 0.7)], 0.13, "square")


def fx_lose():
    return fanfare([(440, 0.3), (392, 0.3), (349.2, 0.3), (220, 0.9)], 0.22, "triangle")


def make_effects():
    return {
        "kasi.wav": fx_touch_down(),
        "guwaan.wav": fx_round_start(),
        "cha.wav": fx_turn(),
        "gaw.wav": fx_clear(1),
        "dageki_1.wav": fx_clear(2),
        "dageki_2.wav": fx_clear(3),
        "guuu.wav": fx_big_clear(),
        "pa.wav": fx_menu(),
        "lose.wav": fx_lose(),
        "win.wav": fx_win(),
    }


# --- music -------------------------------------------------------------------------
# A string melody over a plucked bass and soft percussion in A minor, 120 beats a minute,
# 30 bars (one minute) so that the loop closes on the chord it starts from.

BPM = 120
BEAT = 60.0 / BPM


def midi(note):
    return 440.0 * 2 ** ((note - 69) / 12.0)


CHORDS = [  # root notes (MIDI) per bar, four-bar progression Am F C G, then Am F G E
    [57, 53, 48, 55], [57, 53, 55, 52],
]

# Melody phrases, (MIDI note or None, beats); each phrase is four bars.
PHRASES = [
    [(69, 1), (72, 1), (76, 2), (77, 1), (76, 1), (72, 2), (72, 1), (74, 1), (76, 1), (79, 1), (77, 2), (74, 2)],
    [(76, 1.5), (74, 0.5), (72, 1), (71, 1), (69, 2), (72, 2), (74, 1), (72, 1), (71, 1), (67, 1), (68, 4)],
    [(81, 2), (79, 1), (77, 1), (76, 2), (72, 2), (74, 1), (76, 1), (77, 1), (79, 1), (76, 4)],
    [(77, 1), (76, 1), (74, 1), (72, 1), (71, 2), (72, 1), (74, 1), (76, 2), (71, 2), (69, 4)],
]


def string_voice(freq, seconds, rate):
    """A bowed string: a vibrato saw through a gentle low-pass, slow attack and release."""
    n = int(seconds * rate)
    out = [0.0] * n
    phase = 0.0
    y1 = y2 = 0.0
    cut = min(0.35, 2200.0 / rate * 2)
    for i in range(n):
        t = i / rate
        vib = 1.0 + 0.006 * math.sin(TWO_PI * 5.2 * t) * min(1.0, t * 3)
        phase += freq * vib / rate
        v = 2 * (phase % 1.0) - 1
        y1 += cut * (v - y1)
        y2 += cut * (y1 - y2)
        out[i] = y2
    return shaped(out, 0.06, 0.12, rate)


def pluck(freq, seconds, rate):
    return shaped(tone(freq, seconds, "triangle", decay=4.0, rate=rate), 0.004, 0.05, rate)


def pad(freqs, seconds, rate):
    out = [0.0] * int(seconds * rate)
    for f in freqs:
        v = tone(f, seconds, "sine", rate=rate)
        for i in range(len(out)):
            out[i] += v[i] / len(freqs)
    return shaped(out, 0.4, 0.4, rate)


def make_music(rate=MUSIC_RATE):
    bars = 30
    beat_samples = int(BEAT * rate)
    total = bars * 4 * beat_samples
    song = [0.0] * total
    progression = []
    while len(progression) < bars:
        for half in CHORDS:
            progression.extend(half)
    progression = progression[:bars]
    # Pads and bass.
    for bar, root in enumerate(progression):
        start = bar * 4 * beat_samples
        third = 3 if root == 57 else 4  # A minor; F, C, G and E major (E leads back to A)
        chord = [midi(root), midi(root + third), midi(root + 7)]
        mix_into(song, pad(chord, 4 * BEAT, rate), start, 0.16)
        for b, step in enumerate((0, 7, 12, 7)):
            mix_into(song, pluck(midi(root - 12 + step), BEAT * 0.9, rate), start + b * beat_samples, 0.32)
    # Percussion: a soft kick on beats 1 and 3, a shaker on the off-beats; the first and last bars rest.
    kick = shaped(tone(90, 0.18, "sine", decay=18, sweep=-250, rate=rate), 0.001, 0.03, rate)
    shaker = noise(0.05, 60, 5, 0.9, rate)
    for bar in range(2, bars - 1):
        for b in range(4):
            at = (bar * 4 + b) * beat_samples
            if b in (0, 2):
                mix_into(song, kick, at, 0.35)
            mix_into(song, shaker, at + beat_samples // 2, 0.06)
    # Melody: phrases from bar 2, with the second half an octave lower for variety.
    bar = 2
    order = [0, 1, 2, 3, 0, 1, 2]
    for k, phrase_index in enumerate(order):
        at = bar * 4 * beat_samples
        shift = -12 if k in (4, 5) else 0
        for note, beats in PHRASES[phrase_index]:
            length = int(beats * beat_samples)
            if note is not None and at + length <= total:
                mix_into(song, string_voice(midi(note + shift), beats * BEAT * 0.98, rate), at, 0.3)
            at += length
        bar += 4
        if bar + 4 > bars:
            break
    # Fade the very ends a little so that the loop point does not click.
    edge = int(0.02 * rate)
    for i in range(edge):
        song[i] *= i / edge
        song[-1 - i] *= i / edge
    return normalise(song, 0.8)


# --- MP3 -----------------------------------------------------------------------------


def save_mp3(path, samples, rate=MUSIC_RATE, kbps=48):
    name = ctypes.util.find_library("mp3lame") or "libmp3lame.so.0"
    lame = ctypes.CDLL(name)
    lame.lame_init.restype = ctypes.c_void_p
    for fn in ("lame_set_in_samplerate", "lame_set_out_samplerate", "lame_set_num_channels", "lame_set_mode",
               "lame_set_brate", "lame_set_quality"):
        getattr(lame, fn).argtypes = [ctypes.c_void_p, ctypes.c_int]
    lame.lame_init_params.argtypes = [ctypes.c_void_p]
    lame.lame_encode_buffer.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_short),
                                        ctypes.POINTER(ctypes.c_short), ctypes.c_int,
                                        ctypes.POINTER(ctypes.c_ubyte), ctypes.c_int]
    lame.lame_encode_flush.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ubyte), ctypes.c_int]
    lame.lame_close.argtypes = [ctypes.c_void_p]
    gf = lame.lame_init()
    if not gf:
        raise RuntimeError("lame_init failed")
    lame.lame_set_in_samplerate(gf, rate)
    lame.lame_set_out_samplerate(gf, rate)
    lame.lame_set_num_channels(gf, 1)
    lame.lame_set_mode(gf, 3)  # mono
    lame.lame_set_brate(gf, kbps)
    lame.lame_set_quality(gf, 2)
    if lame.lame_init_params(gf) < 0:
        raise RuntimeError("lame_init_params failed")
    pcm = to_pcm16(samples)
    n = len(pcm)
    pcm_buf = (ctypes.c_short * n).from_buffer(pcm)
    out_size = int(1.25 * n) + 7200
    out = (ctypes.c_ubyte * out_size)()
    written = lame.lame_encode_buffer(gf, pcm_buf, pcm_buf, n, out, out_size)
    if written < 0:
        raise RuntimeError("lame_encode_buffer failed: %d" % written)
    data = bytes(out[:written])
    tail = (ctypes.c_ubyte * 7200)()
    flushed = lame.lame_encode_flush(gf, tail, 7200)
    if flushed > 0:
        data += bytes(tail[:flushed])
    lame.lame_close(gf)
    with open(path, "wb") as f:
        f.write(data)
