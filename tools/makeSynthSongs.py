#!/usr/bin/python3
"""Synthesises the bundled sampled songs and encodes them with the command-line
encoders (vorbis-tools' oggenc, flac):

    tools/makeSynthSongs.py data/music

drift.ogg  36 s, 44.1 kHz stereo Ogg Vorbis (oggenc -q 0): slow detuned pad
           chords over a soft pulse.
glass.flac 20 s, 16 kHz mono 16-bit FLAC (flac -8): struck glass bells,
           inharmonic partials decaying into silence (which FLAC stores in
           next to nothing).
Every run writes the same files: the randomness is seeded, and so is the
Ogg stream serial.
"""

import os
import subprocess
import sys
import tempfile
import wave

import numpy as np


def note(semitone):
    """Frequency of a semitone counted from A4 = 440 Hz."""
    return 440.0 * 2.0 ** (semitone / 12.0)


def write_wav(path, samples, rate):
    """samples: float array, (frames,) or (frames, channels), within -1..1."""
    data = np.clip(samples, -1.0, 1.0)
    pcm = (data * 32767.0).round().astype("<i2")
    with wave.open(path, "wb") as out:
        out.setnchannels(1 if pcm.ndim == 1 else pcm.shape[1])
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(pcm.tobytes())


def drift(rate=44100, seconds=36):
    t = np.arange(seconds * rate) / rate
    left, right = np.zeros_like(t), np.zeros_like(t)
    # Am7, Fmaj7, Cmaj7, G6: eight beats each, twice round.
    chords = [[-12, -5, 0, 3, 7], [-16, -9, -4, 0, 3], [-21, -14, -9, -5, -2], [-14, -10, -7, -2, 2]]
    span = seconds / 8
    for index in range(8):
        chord = chords[index % 4]
        start = index * span
        local = t - start
        inside = (local >= 0) & (local < span + 2.0)
        envelope = np.where(inside, np.minimum(local / 1.5, 1.0) * np.exp(-np.maximum(local - span, 0) * 2.5), 0)
        for voice, semitone in enumerate(chord):
            for detune, gain_l, gain_r in ((-0.07, 0.8, 0.3), (0.07, 0.3, 0.8)):
                f = note(semitone + detune)
                tone = sum(np.sin(2 * np.pi * f * k * local + voice) / k ** 1.6 for k in range(1, 5))
                left += gain_l * envelope * tone
                right += gain_r * envelope * tone
    pulse = 0.5 + 0.5 * np.cos(2 * np.pi * t * 2.0)  # 120 BPM swell
    mix = np.stack([left, right], axis=1) * (0.7 + 0.3 * pulse)[:, None]
    fade = np.minimum(1.0, np.minimum(t / 2.0, (seconds - t) / 3.0))
    mix *= fade[:, None]
    return 0.8 * mix / np.abs(mix).max()


def glass(rate=16000, seconds=20):
    rng = np.random.default_rng(11)
    t = np.arange(seconds * rate) / rate
    out = np.zeros_like(t)
    # Pentatonic strikes, a few per bar, each ringing with inharmonic partials.
    scale = [3, 5, 8, 10, 12, 15, 17, 20]
    strike = 0.0
    while strike < seconds - 4:
        f = note(rng.choice(scale))
        local = t - strike
        on = local >= 0
        for ratio, gain, decay in ((1.0, 1.0, 2.2), (2.76, 0.5, 4.5), (5.40, 0.25, 7.0), (8.93, 0.12, 10.0)):
            out += np.where(on, gain * np.sin(2 * np.pi * f * ratio * local) * np.exp(-local * decay), 0)
        strike += rng.choice([0.75, 1.0, 1.5, 2.0])
    # Below a 16-bit step the tail is silence, which FLAC stores almost for free.
    out = 0.7 * out / np.abs(out).max()
    out[np.abs(out) < 0.5 / 32767] = 0
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: tools/makeSynthSongs.py OUTPUT_DIR")
    folder = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        wav = os.path.join(work, "drift.wav")
        write_wav(wav, drift(), 44100)
        subprocess.run(["oggenc", "-Q", "-q", "0", "--serial", "1", "-t", "Drift", "-a", "Tessellune",
                        "-o", os.path.join(folder, "drift.ogg"), wav], check=True)
        wav = os.path.join(work, "glass.wav")
        write_wav(wav, glass(), 16000)
        subprocess.run(["flac", "-s", "-8", "-f", "--no-padding", "-T", "TITLE=Glass", "-T", "ARTIST=Tessellune",
                        "-o", os.path.join(folder, "glass.flac"), wav], check=True)
    for name in ("drift.ogg", "glass.flac"):
        print(f"{os.path.join(folder, name)}: {os.path.getsize(os.path.join(folder, name))} bytes")


if __name__ == "__main__":
    main()
