#!/usr/bin/env python3
"""Writes content/song.txt, the show's music, from the composition below.

The song is written here as music (chords, melodies, drum grooves per section) and printed in
glimmerc's song notation; song.txt stays the source the build compiles. Run it from anywhere:

    python3 content/songgen.py            # rewrites content/song.txt
    python3 content/songgen.py --gain 1.1 # the same with another master gain on every volume

Grid: speed 6, tempo 125, so one row is 0.12 s, a bar of 16 rows 1.92 s. Sections (bars):
opening 0-8, build-up 8-20, world 1 20-36, world 2 36-52, world 3 52-68, climax 68-82,
ending 82 to row 1484 (178.08 s).
"""
import argparse
import os

ROWS_PER_BAR = 16
TOTAL_ROWS = 1484
SECTIONS = [  # name, first bar, bars (the ending is cut at TOTAL_ROWS)
    ("opening", 0, 8),
    ("build-up", 8, 12),
    ("world 1", 20, 16),
    ("world 2", 36, 16),
    ("world 3", 52, 16),
    ("climax", 68, 14),
    ("ending", 82, 11),
]

# Channels
KICK, SNARE, HAT, PERC, BASS, PAD1, PAD2, PAD3, ARP, LEAD, LEAD2, BELL, STAB, FX1, FX2, FX3 = range(16)
CHANNELS = 16

NAMES = ["C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"]


def N(name):
    """'A3' or 'F#2' -> semitone number, C-0 = 0 (so middle C, C4, is 48)."""
    pc = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}[name[0]]
    rest = name[1:]
    if rest.startswith("#"):
        pc += 1
        rest = rest[1:]
    elif rest.startswith("b"):
        pc -= 1
        rest = rest[1:]
    return int(rest) * 12 + pc


def note_text(n):
    assert 0 <= n < 96, n
    return NAMES[n % 12] + str(n // 12)


# ---------------------------------------------------------------------------------------------
# Instruments: (number, name, written-note offset from the sounding note, body lines)
# Pad and lead use "pitch fixed" with period 4032 and carry their tone at harmonic 63, with
# neighbours 62/64 a quarter of a semitone off for a chorus that repeats every 4032 frames (so the
# loop is seamless); they sound an octave below the written note (8363 Hz * 63 / 4032 = 130.7 Hz
# for C-4). The bell does the same with period 1024 and inharmonic partials on 16, 32, 44, 60.

INSTRUMENTS = []


def instrument(num, name, offset, body):
    INSTRUMENTS.append((num, name, offset, body.strip("\n")))
    return num


I_KICK = instrument(1, "kick", 0, """
  wave sine 1.0
  wave sine 0.12 harmonic 2
  pitch fixed
  period 300
  pitchdrop 6 500
  length 7200
  amp 0 7000 0 0
""")
I_SNARE = instrument(2, "snare", 0, """
  wave noise 0.85
  wave sine 0.6
  pitch fixed
  period 90
  pitchdrop 2 300
  highpass 0.03
  length 5200
  amp 0 4600 0 0
""")
I_CHAT = instrument(3, "closed hat", 0, """
  wave noise 1.0
  pitch fixed
  highpass 0.15
  length 1600
  amp 0 1500 0 0
  panning 150
""")
I_OHAT = instrument(4, "open hat", 0, """
  wave noise 0.9
  pitch fixed
  highpass 0.15
  length 9000
  amp 0 8800 0 0
  panning 110
""")
I_CLAP = instrument(5, "clap", 0, """
  wave noise 0.9
  pitch fixed
  highpass 0.08
  lowpass 0.35
  length 5000
  amp 0 2600 0 0
  panning 140
""")
I_TOM = instrument(6, "tom", 0, """
  wave sine 1.0
  wave noise 0.08
  pitch fixed
  period 160
  pitchdrop 2 900
  length 7000
  amp 0 6800 0 0
""")
I_CRASH = instrument(7, "crash", 0, """
  wave noise 0.7
  wave square 0.05 harmonic 1
  pitch fixed
  period 37
  highpass 0.18
  length 66000
  amp 0 65000 0 0
""")
I_REVCYM = instrument(8, "reverse cymbal", 0, """
  wave noise 0.6
  pitch fixed
  highpass 0.2
  length 48172
  amp 47800 0 1 300
""")
I_BASS = instrument(9, "bass", 0, """
  wave saw 0.6
  wave square 0.25
  wave sine 0.5
  period 64
  lowpass 0.09
  length 4096
  amp 0 0 1 0
  loop forward 2048 4096
  envelope volume 0:64 3:52 10:40 sustain 2
  fadeout 3000
""")
I_PAD = instrument(10, "pad", 12, """
  wave saw 0.22 harmonic 62
  wave saw 0.22 harmonic 63
  wave saw 0.22 harmonic 64
  wave triangle 0.12 harmonic 63
  pitch fixed
  period 4032
  lowpass 0.05
  length 8064
  amp 0 0 1 0
  loop forward 4032 8064
  envelope volume 0:10 12:52 30:64 40:58 sustain 3
  fadeout 400
""")
I_ARP = instrument(11, "pluck", 0, """
  wave saw 0.5
  wave square 0.25 harmonic 2
  period 64
  lowpass 0.18
  length 2048
  amp 0 0 1 0
  loop forward 1024 2048
  envelope volume 0:64 2:44 8:22 20:8 40:0
  panning 96
""")
I_LEAD = instrument(12, "lead", 12, """
  wave square 0.32 harmonic 63
  wave saw 0.26 harmonic 63
  wave saw 0.18 harmonic 64
  wave sine 0.15 harmonic 62
  pitch fixed
  period 4032
  lowpass 0.12
  length 8064
  amp 0 0 1 0
  loop forward 4032 8064
  envelope volume 0:40 2:64 12:52 sustain 2
  fadeout 1400
""")
I_BELL = instrument(13, "bell", 12, """
  wave sine 0.55 harmonic 16
  wave sine 0.18 harmonic 32
  wave sine 0.2 harmonic 44
  wave sine 0.08 harmonic 60
  pitch fixed
  period 1024
  length 4096
  amp 0 0 1 0
  loop forward 2048 4096
  envelope volume 0:64 6:40 30:20 90:6 160:0
  panning 170
""")
I_STAB = instrument(14, "chip stab", 0, """
  wave square 0.35
  wave saw 0.25 harmonic 2
  period 64
  lowpass 0.22
  length 2048
  amp 0 0 1 0
  loop forward 1024 2048
  envelope volume 0:64 4:48 10:28 18:0
  panning 160
""")
I_RISER = instrument(15, "riser", 0, """
  wave noise 0.8
  pitch fixed
  lowpass 0.12
  length 32768
  amp 0 0 1 0
  loop pingpong 0 32768
  envelope panning 0:16 24:48 48:16 loop 0 2
""")
I_BOOM = instrument(16, "impact", 0, """
  wave sine 1.0
  wave noise 0.3
  pitch fixed
  period 200
  pitchdrop 4 2500
  lowpass 0.06
  length 26000
  amp 0 25000 0 0
""")
I_WIND = instrument(17, "wind", 0, """
  wave noise 0.9
  pitch fixed
  lowpass 0.03
  length 65536
  amp 0 0 1 0
  loop pingpong 0 65536
  envelope volume 0:0 40:64 sustain 1
  envelope panning 0:8 150:56 300:8 loop 0 2
  fadeout 120
""")
I_SUB = instrument(18, "sub drone", 0, """
  wave sine 0.8
  wave triangle 0.2 harmonic 2
  period 64
  length 4096
  amp 0 0 1 0
  loop forward 2048 4096
  envelope volume 0:0 25:64 sustain 1
  fadeout 200
""")

OFFSET = {num: off for (num, _, off, _) in INSTRUMENTS}

# ---------------------------------------------------------------------------------------------
# The grid

GRID = [[None] * CHANNELS for _ in range(TOTAL_ROWS)]
GAIN = 1.0  # master: scales every volume written (set by --gain when mastering)
# The mix: per-channel gains on the volumes the parts write, balanced by measuring each channel
# alone (RMS per section) against the kick.
MIX = {KICK: 1.0, SNARE: 1.3, HAT: 2.0, PERC: 1.2, BASS: 1.1, ARP: 1.15, LEAD2: 0.85, FX1: 0.75,
       FX2: 1.3}


def put(row, ch, note=None, ins=None, vol=None, eff=None, keyoff=False):
    """Writes one cell; note is a sounding semitone number (instrument offsets are applied)."""
    if row < 0 or row >= TOTAL_ROWS:
        return
    old = GRID[row][ch] or ["---", "..", "..", "..."]
    cell = list(old)
    if keyoff:
        cell[0] = "==="
    elif note is not None:
        cell[0] = note_text(note + OFFSET.get(ins, 0))
    if ins is not None:
        cell[1] = "%02X" % ins
    if vol is not None:
        cell[2] = "%02X" % max(0, min(64, int(round(vol * GAIN * MIX.get(ch, 1.0)))))
    if eff is not None:
        cell[3] = eff
    GRID[row][ch] = cell


def eff_only(row, ch, eff):
    put(row, ch, eff=eff)


def bar(b, r=0):
    return b * ROWS_PER_BAR + r


# ---------------------------------------------------------------------------------------------
# Harmony: chord -> (bass root, pad voicing as three sounding notes, chord tones for arps)

CHORDS = {
    "Am": ("A1", ["A3", "C4", "E4"]),
    "F": ("F1", ["A3", "C4", "F4"]),
    "C": ("C2", ["G3", "C4", "E4"]),
    "G": ("G1", ["G3", "B3", "D4"]),
    "E": ("E1", ["G#3", "B3", "E4"]),
    "Em7": ("E1", ["G3", "B3", "D4"]),
    "Fmaj7": ("F1", ["A3", "C4", "E4"]),
    "Dm9": ("D2", ["F3", "A3", "E4"]),
    "Gsus": ("G1", ["G3", "C4", "D4"]),
    "Bm": ("B1", ["B3", "D4", "F#4"]),
    "Gb": ("G1", ["B3", "D4", "G4"]),  # G major in the B minor world (voiced higher)
    "D": ("D2", ["A3", "D4", "F#4"]),
    "A": ("A1", ["A3", "C#4", "E4"]),
    "C#m": ("C#2", ["C#4", "E4", "G#4"]),
    "Amaj": ("A1", ["C#4", "E4", "A4"]),
    "Emaj": ("E1", ["B3", "E4", "G#4"]),
    "Bmaj": ("B1", ["B3", "D#4", "F#4"]),
}


def chord(name):
    root, pads = CHORDS[name]
    return N(root), [N(p) for p in pads]


# chords per bar, whole song
PROGRESSION = (
    ["Am", "Am", "F", "F", "C", "C", "G", "G"]  # opening
    + ["Am", "F", "C", "G"] * 3  # build-up
    + (["Am", "F", "C", "G", "Am", "F", "G", "E"] * 2)  # world 1
    + (["Fmaj7", "Fmaj7", "Em7", "Em7", "Dm9", "Dm9", "Gsus", "G"] * 2)  # world 2
    + ["Bm", "Gb", "D", "A"] * 4  # world 3
    + ["C#m", "Amaj", "Emaj", "Bmaj"] * 3 + ["Amaj", "Bmaj"]  # climax
    + ["C#m", "C#m", "Amaj", "Amaj", "Emaj", "Emaj", "Bmaj", "Bmaj", "C#m", "C#m", "C#m"]  # ending
)
assert len(PROGRESSION) == 93


def chord_at(b):
    return chord(PROGRESSION[b])


# ---------------------------------------------------------------------------------------------
# Parts


def pads(first, last, vol, fade_in_rows=0, vibrato=False):
    """Pad chords on channels PAD1-3 from bar `first` to bar `last` (exclusive), one chord per
    change of PROGRESSION; a fade-in raises the volume from 0 with A10 slides (+5 a row)."""
    slide_rows = []
    if fade_in_rows:
        steps = max(1, int(vol // 5))
        spacing = max(1, fade_in_rows // steps)
        slide_rows = [bar(first) + 1 + k * spacing for k in range(steps)]

    def level(row):
        if not fade_in_rows:
            return vol
        return min(vol, 5 * sum(1 for r in slide_rows if r < row))

    prev = None
    for b in range(first, last):
        name = PROGRESSION[b]
        if name == prev:
            continue
        prev = name
        _, notes = chord(name)
        for i, ch in enumerate((PAD1, PAD2, PAD3)):
            put(bar(b), ch, notes[i], I_PAD, level(bar(b)))
    for r in slide_rows:
        for ch in (PAD1, PAD2, PAD3):
            eff_only(r, ch, "A10")
    if vibrato:
        # a slow, shallow vibrato on the outer voices all along; the middle one stays put, so the
        # chord shimmers rather than wobbles
        for row in range(bar(first), bar(last)):
            for ch in (PAD1, PAD3):
                cell = GRID[row][ch]
                if cell is None or cell[3] == "...":
                    eff_only(row, ch, "422" if ch == PAD1 else "432")


def pads_off(row):
    for ch in (PAD1, PAD2, PAD3):
        put(row, ch, keyoff=True)


def kick(first, last, vol=60, pattern=(0, 4, 8, 12), skip_last_beats=0):
    for b in range(first, last):
        for r in pattern:
            if b == last - 1 and r >= 16 - 4 * skip_last_beats:
                continue
            put(bar(b, r), KICK, N("C5"), I_KICK, vol)


def snare(first, last, vol=46, clap=True, rows=(4, 12)):
    for b in range(first, last):
        for r in rows:
            put(bar(b, r), SNARE, N("C5"), I_SNARE, vol)
            if clap:
                # the clap lands a tick after the snare: a flam that widens the backbeat
                put(bar(b, r), PERC, N("C5"), I_CLAP, vol * 0.7, "ED1")


def hats(first, last, vol=26, sixteenths=True, open_off=False, swing=False):
    for b in range(first, last):
        for r in range(0, 16, 1 if sixteenths else 2):
            accent = [1.0, 0.45, 0.8, 0.45][r % 4]
            if open_off and r % 4 == 2:
                put(bar(b, r), HAT, N("C6"), I_OHAT, vol * 0.8)
                continue
            eff = "ED1" if (swing and r % 2 == 1) else None
            put(bar(b, r), HAT, N("C6"), I_CHAT, vol * accent, eff)


def snare_fill(b, vol=44, start=8, toms=False):
    """The last half bar of a phrase: 16th snares rising in pitch, a retriggered roll at the end."""
    for r in range(start, 16):
        v = vol * (0.55 + 0.45 * (r - start) / max(1, 15 - start))
        eff = "E93" if r >= 14 else None
        put(bar(b, r), SNARE, N("C5") + (r - start), I_SNARE, v, eff)
    if toms:
        for r, n in zip((8, 10, 12, 13, 14, 15), ("C5", "A4", "G4", "F4", "D4", "C4")):
            put(bar(b, r), PERC, N(n), I_TOM, vol * 0.9)


def crash(row, vol=40):
    put(row, FX2, N("C6"), I_CRASH, vol)


def reverse_cymbal(row, vol=34):
    """A swell that ends exactly on `row` (the sample lasts 12 rows at C-6)."""
    put(row - 12, FX2, N("C6"), I_REVCYM, vol)


def impact(row, vol=56):
    put(row, FX1, N("C4"), I_BOOM, vol)


def riser(row, rows, vol=34, speed="04"):
    """Noise swept up with portamento (1xx) while the volume column ramps it in over `rows`."""
    for k in range(rows):
        v = 4 + (vol - 4) * k / max(1, rows - 1)
        put(row + k, FX1, N("C3") if k == 0 else None, I_RISER if k == 0 else None, v, "1" + speed)
    put(row + rows, FX1, keyoff=True)


def downlifter(row, rows=16, vol=30):
    """Noise falling in pitch (portamento down) and fading out (volume slide down)."""
    put(row, FX3, N("C6"), I_RISER, vol, "208")
    for k in range(1, rows):
        eff_only(row + k, FX3, "208" if k % 2 else "A01")
    put(row + rows, FX3, keyoff=True)


def wind(row, vol, off_row=None):
    put(row, FX3, N("C4"), I_WIND, vol)
    if off_row is not None:
        put(off_row, FX3, keyoff=True)


def bass_offbeat(first, last, vol=44):
    for b in range(first, last):
        root, _ = chord_at(b)
        for r in (2, 6, 10, 14):
            put(bar(b, r), BASS, root + 12, I_BASS, vol)
            put(bar(b, r + 1), BASS, keyoff=True)


def bass_rolling(first, last, vol=46, glide_last=True):
    """Driving 16ths: root, root, octave, root... with a slide to the next root at bar ends."""
    shape = [0, 0, 12, 0, 0, 12, 0, 12, 0, 0, 12, 0, 0, 12, 0, 12]
    accents = [1.0, 0.7, 0.85, 0.7]
    for b in range(first, last):
        root, _ = chord_at(b)
        for r in range(16):
            put(bar(b, r), BASS, root + shape[r], I_BASS, vol * accents[r % 4])
        if glide_last and b + 1 < len(PROGRESSION):
            nxt, _ = chord_at(b + 1)
            if nxt != root:
                # the last 16th slides to the next bar's root (tone portamento)
                put(bar(b, 15), BASS, nxt + 12, I_BASS, vol * 0.8, "330")


def bass_syncopated(first, last, vol=48):
    hits = [(0, 0, 3), (3, 0, 3), (6, 12, 2), (8, 0, 2), (10, 12, 2), (12, 0, 2), (14, 7, 2)]
    for b in range(first, last):
        root, _ = chord_at(b)
        for r, add, length in hits:
            put(bar(b, r), BASS, root + add, I_BASS, vol * (1.0 if r in (0, 8) else 0.8))
            if length >= 3:
                put(bar(b, r + length - 1), BASS, keyoff=True)


def bass_long(first, last, vol=50):
    """Held roots gliding into each other with tone portamento, for the breakdown."""
    prev = None
    for b in range(first, last):
        root, _ = chord_at(b)
        if root == prev:
            continue
        if prev is None:
            put(bar(b), BASS, root, I_BASS, vol)
        else:
            put(bar(b), BASS, root, I_BASS, vol, "308")
        prev = root


def arp(first, last, vol=30, octave=12, pattern=(0, 1, 2, 3, 2, 1, 0, 1), step=1, fade_in=False,
        ins=I_ARP):
    """Chord tones of the pad voicing an octave up, one every `step` rows."""
    for b in range(first, last):
        _, notes = chord_at(b)
        tones = [n + octave for n in notes] + [notes[0] + octave + 12]
        for k, r in enumerate(range(0, 16, step)):
            put(bar(b, r), ARP, tones[pattern[k % len(pattern)]], ins, vol * (1.0 if r % 4 == 0 else 0.75))
    if fade_in:
        # start quietly and let slides bring it up over the span
        for b in range(first, last):
            for r in range(0, 16, step):
                t = (bar(b, r) - bar(first)) / max(1, bar(last) - bar(first))
                cell = GRID[bar(b, r)][ARP]
                if cell:
                    cell[2] = "%02X" % int(round((0.25 + 0.75 * t) * vol * GAIN * MIX[ARP]))


def stabs(first, last, vol=30):
    """Chip stabs on the offbeats: one note with the chord spun by the arpeggio effect."""
    for b in range(first, last):
        name = PROGRESSION[b]
        root, notes = chord(name)
        minor = name in ("Am", "Em7", "Dm9", "Bm", "C#m")
        eff = "037" if minor else "047"
        for r in (2, 6, 10, 14):
            if r == 14 and b % 2 == 1:
                continue
            put(bar(b, r), STAB, root + 36, I_STAB, vol, eff)
            put(bar(b, r + 1), STAB, None, None, None, eff)


# The lead melody of world 3 and the climax, in B minor: (row within the 8-bar phrase, note,
# length in rows, effect on the long notes). Motif: a falling 3+3+2 figure answered by a leap.
MELODY_A = [
    # bar 1, Bm
    (0, "D5", 3), (3, "C#5", 3), (6, "B4", 2), (8, "F#4", 8),
    # bar 2, G
    (16, "G4", 3), (19, "A4", 3), (22, "B4", 2), (24, "D5", 6), (30, "C#5", 2),
    # bar 3, D
    (32, "D5", 3), (35, "C#5", 3), (38, "B4", 2), (40, "A4", 4), (44, "F#4", 4),
    # bar 4, A
    (48, "E4", 3), (51, "F#4", 3), (54, "A4", 2), (56, "C#5", 8),
    # bar 5, Bm
    (64, "D5", 3), (67, "C#5", 3), (70, "B4", 2), (72, "F#5", 6), (78, "E5", 2),
    # bar 6, G
    (80, "D5", 3), (83, "B4", 3), (86, "G4", 2), (88, "D5", 4), (92, "E5", 4),
    # bar 7, D
    (96, "F#5", 6), (102, "E5", 2), (104, "D5", 4), (108, "C#5", 4),
    # bar 8, A
    (112, "C#5", 6), (118, "D5", 2), (120, "E5", 4), (124, "C#5", 4),
]
# the answer that closes the 16-bar statement on the tonic
MELODY_END = [(112, "C#5", 4), (116, "D5", 2), (118, "C#5", 2), (120, "B4", 8)]

B_MINOR = [N(x) % 12 for x in ("B0", "C#1", "D1", "E1", "F#1", "G1", "A1")]


def third_below(n, scale):
    """The diatonic note two scale steps below n."""
    steps = 0
    m = n
    while steps < 2:
        m -= 1
        if m % 12 in scale:
            steps += 1
    return m


def melody_notes(closing, transpose=0):
    notes = list(MELODY_A)
    if closing:
        notes = [x for x in notes if x[0] < 112] + MELODY_END
    return [(r, N(n) + transpose, length) for (r, n, length) in notes]


def play_melody(first_bar, closing, ch, ins, vol, transpose=0, harmony_scale=None, echo_ch=None,
                glide_into=None, bars=8):
    notes = melody_notes(closing, transpose)
    end_row = bars * 16
    for i, (r, n, length) in enumerate(notes):
        if r >= end_row:
            continue
        if harmony_scale is not None:
            n = third_below(n, harmony_scale)
        row = bar(first_bar) + r
        eff = None
        if length >= 6:
            eff = "443"  # vibrato on the held notes
        if glide_into and r in glide_into:
            # approach from the previous note with tone portamento
            put(row, ch, n, ins, vol, "318")
        else:
            put(row, ch, n, ins, vol)
        if length >= 6:
            for k in range(2, length):
                eff_only(row + k, ch, "400" if k < length - 1 else "A04")
        nxt = notes[i + 1][0] if i + 1 < len(notes) else r + length + 1
        if nxt > r + length and r + length < end_row:
            put(row + length, ch, keyoff=True)
        if eff and GRID[row][ch][3] == "...":
            GRID[row][ch][3] = eff
        if echo_ch is not None:
            # a delayed, quieter copy: one row and three ticks later, panned away
            erow = row + 1
            put(erow, echo_ch, n, ins, vol * 0.45, "ED3")


def bell_line(first_bar, phrase, vol=34, transpose=0):
    """phrase: list of (row from first bar, note name)."""
    for r, n in phrase:
        put(bar(first_bar) + r, BELL, N(n) + transpose, I_BELL, vol)


# ---------------------------------------------------------------------------------------------
# The arrangement, section by section


def opening():
    # 0-8: wind, a sub drone and the pad chords fading in; a bell motif; a riser into bar 8.
    wind(0, 30)
    eff_only(bar(4), FX3, "A10")
    eff_only(bar(6), FX3, "A01")
    put(0, BASS, N("A1"), I_SUB, 0)  # slides below bring it to 30
    for k in range(1, 7):
        eff_only(bar(0, 2 * k), BASS, "A10")  # sub fades in
    pads(0, 8, 36, fade_in_rows=64, vibrato=True)
    # the bell motif foreshadows the lead's opening figure (D C# B ... F#) in A minor colour
    motif = [(0, "E5"), (3, "D5"), (6, "C5"), (8, "A4"), (32, "E5"), (35, "D5"), (38, "C5"),
             (40, "G4"), (64, "E5"), (67, "D5"), (70, "C5"), (72, "A4"), (80, "C5"), (96, "B4"),
             (99, "C5"), (102, "D5"), (104, "G5"), (112, "F5"), (116, "E5"), (120, "D5")]
    bell_line(1, motif, vol=26)
    arp(6, 8, vol=14, step=2, pattern=(0, 1, 2, 3))
    reverse_cymbal(bar(4), 20)  # the title appears at 7.68 s
    crash(bar(4), 14)
    riser(bar(6), 32, vol=28, speed="03")
    reverse_cymbal(bar(8), 30)
    put(bar(7, 15), BASS, keyoff=True)


def buildup():
    # 8-20: kick and bass enter; hats, arp and a snare roll pile up; everything rises.
    b0 = 8
    put(bar(b0), FX3, keyoff=True)
    pads(b0, 20, 30)
    kick(b0, b0 + 12, vol=54, skip_last_beats=2)
    bass_offbeat(b0 + 4, b0 + 8, vol=40)  # the bass enters at 23.04 s
    bass_rolling(b0 + 8, b0 + 12, vol=40, glide_last=False)
    hats(b0 + 4, b0 + 6, vol=18, sixteenths=False)
    hats(b0 + 6, b0 + 12, vol=22, sixteenths=True)
    arp(b0 + 4, b0 + 12, vol=26, step=1, fade_in=True)
    # snare: backbeat from bar 14, then quarters, eighths, sixteenths and a retriggered roll
    snare(b0 + 6, b0 + 8, vol=36, clap=False)
    for b in range(b0 + 8, b0 + 10):
        for r in (0, 4, 8, 12):
            put(bar(b, r), SNARE, N("C5"), I_SNARE, 30 + (b - b0 - 8) * 4)
    for r in range(0, 16, 2):
        put(bar(b0 + 10, r), SNARE, N("C5") + r // 2, I_SNARE, 34 + r)
    for r in range(0, 16):
        put(bar(b0 + 11, r), SNARE, N("D5") + r // 2, I_SNARE, 40 + r // 2, "E92" if r >= 12 else None)
    # multi-retrig hats in the last bar: quicker and louder
    for r in range(8, 16):
        put(bar(b0 + 11, r), HAT, N("C6"), I_CHAT, 20, "R82" if r >= 12 else "R83")
    riser(bar(b0 + 8), 64, vol=40, speed="03")
    reverse_cymbal(bar(20), 36)
    for r in range(9, 16):
        GRID[bar(b0 + 11, r)][BASS] = None
    put(bar(b0 + 11, 8), BASS, keyoff=True)


def world1():
    # 20-36: the full groove in A minor.
    b0 = 20
    impact(bar(b0))
    crash(bar(b0))
    pads(b0, b0 + 16, 28)
    kick(b0, b0 + 16, vol=60)
    snare(b0, b0 + 16, vol=46)
    hats(b0, b0 + 16, vol=24, open_off=True)
    bass_rolling(b0, b0 + 16, vol=48)
    arp(b0, b0 + 16, vol=22, step=1, pattern=(0, 1, 2, 3, 1, 2, 3, 2))
    stabs(b0 + 8, b0 + 16, vol=24)
    crash(bar(b0 + 8), 34)
    snare_fill(b0 + 3, vol=34, start=14)
    snare_fill(b0 + 7, vol=40, start=12)
    snare_fill(b0 + 11, vol=34, start=14)
    snare_fill(b0 + 15, vol=44, start=8, toms=True)
    crash(bar(b0 + 4), 24)
    crash(bar(b0 + 12), 24)
    # counter melody on the bell in the second half
    counter = [(0, "E5"), (6, "D5"), (8, "C5"), (12, "B4"), (16, "A4"), (22, "C5"), (24, "F5"),
               (28, "E5"), (32, "E5"), (38, "D5"), (40, "C5"), (44, "D5"), (48, "B4"), (56, "D5"),
               (64, "E5"), (70, "D5"), (72, "C5"), (76, "E5"), (80, "F5"), (86, "E5"), (88, "C5"),
               (96, "D5"), (102, "B4"), (104, "G4"), (112, "G#4"), (116, "B4"), (120, "E5")]
    bell_line(b0 + 8, counter, vol=28)
    riser(bar(b0 + 14), 32, vol=30, speed="04")
    reverse_cymbal(bar(36), 34)


def world2():
    # 36-52: the breakdown: half time, major/lydian colour, long bass glides, bell melody with echo.
    b0 = 36
    impact(bar(b0), 50)
    crash(bar(b0), 30)
    downlifter(bar(b0), 24, vol=26)
    wind(bar(b0, 12), 22)
    pads(b0, b0 + 16, 32, vibrato=True)
    bass_long(b0, b0 + 16, vol=46)
    # the arpeggio moves to the bell: slow eighths, glassy, panned away from the melody
    arp(b0, b0 + 16, vol=18, step=2, octave=0, pattern=(0, 2, 1, 3, 2, 1, 3, 2), ins=I_BELL)
    for b in range(b0, b0 + 16):  # each note placed left or right in turn
        for r in range(0, 16, 2):
            GRID[bar(b, r)][ARP][3] = "850" if r % 4 == 0 else "8B0"
    # a floating melody over Fmaj7 Em7 Dm9 G, echoed on the second lead channel
    tune = [(0, "E5", 6), (6, "G5", 2), (8, "A5", 16), (24, "G5", 4), (28, "E5", 4),
            (32, "D5", 6), (38, "E5", 2), (40, "B4", 16), (56, "D5", 8),
            (64, "C5", 6), (70, "D5", 2), (72, "E5", 10), (82, "F5", 6), (88, "A5", 8),
            (96, "G5", 12), (108, "A5", 4), (112, "G5", 8), (120, "D5", 8)]
    for half in (0, 1):
        first = b0 + 8 * half
        for r, n, length in tune:
            row = bar(first) + r
            put(row, BELL, N(n), I_BELL, 34 if half == 0 else 30)
            put(row + 1, LEAD2, N(n), I_BELL, 14, "ED3")
            if half == 1 and length >= 8:
                put(row, LEAD, N(n) - 12, I_LEAD, 22, "443")
                for k in range(2, length - 1):
                    eff_only(row + k, LEAD, "400")
                put(row + length - 1, LEAD, keyoff=True)
    # soft half-time rhythm: a clap on beat 3, sparse hats; the kick returns in the second half
    for b in range(b0, b0 + 16):
        put(bar(b, 8), PERC, N("C5"), I_CLAP, 24 if b < b0 + 8 else 32)
    # 84.48 s (bar 44): the picture dips and letterboxes; a soft boom and the lead join.
    # 92.16 s (bar 48): the letterbox opens on a cymbal swell and a half-time kick.
    hats(b0 + 4, b0 + 12, vol=12, sixteenths=False)
    impact(bar(b0 + 8), 34)
    crash(bar(b0 + 8), 20)
    reverse_cymbal(bar(b0 + 12), 28)
    kick(b0 + 12, b0 + 14, vol=50, pattern=(0, 10))
    hats(b0 + 12, b0 + 14, vol=16, sixteenths=True, swing=True)
    put(bar(b0 + 8), FX3, keyoff=True)
    # build into world 3: snare 8ths then 16ths, retriggered, and a riser
    for r in range(0, 16, 2):
        put(bar(b0 + 14, r), SNARE, N("C5"), I_SNARE, 26 + r)
    for r in range(0, 16):
        put(bar(b0 + 15, r), SNARE, N("C5") + r // 2, I_SNARE, 36 + r // 2, "E93" if r >= 12 else None)
    kick(b0 + 14, b0 + 16, vol=52, skip_last_beats=1)
    riser(bar(b0 + 12), 64, vol=36, speed="03")
    reverse_cymbal(bar(52), 36)


def world3():
    # 52-68: the second groove in B minor and the lead melody.
    b0 = 52
    impact(bar(b0))
    crash(bar(b0))
    pads(b0, b0 + 16, 24)
    kick(b0, b0 + 16, vol=60)
    for b in range(b0, b0 + 16, 2):
        put(bar(b, 14), KICK, N("C5"), I_KICK, 40, "ED2")  # a ghost kick late in odd bars
    snare(b0, b0 + 16, vol=44)
    hats(b0, b0 + 16, vol=22, swing=True)
    for b in range(b0, b0 + 16):
        put(bar(b, 10), HAT, N("C6"), I_OHAT, 20)
    bass_syncopated(b0, b0 + 16, vol=50)
    arp(b0, b0 + 16, vol=18, step=2, octave=24, pattern=(0, 1, 2, 1, 3, 2, 1, 2))
    play_melody(b0, False, LEAD, I_LEAD, 40, glide_into=(72, 96))
    play_melody(b0 + 8, True, LEAD, I_LEAD, 42, echo_ch=LEAD2, glide_into=(72, 96))
    counter = [(0, "F#4"), (8, "B4"), (16, "G4"), (24, "B4"), (32, "A4"), (40, "F#4"), (48, "E4"),
               (56, "A4"), (64, "F#4"), (72, "D5"), (80, "G4"), (88, "B4"), (96, "A4"), (104, "D5"),
               (112, "C#5"), (120, "E5")]
    bell_line(b0 + 8, counter, vol=22)
    crash(bar(b0 + 8), 32)
    snare_fill(b0 + 3, vol=32, start=14)
    snare_fill(b0 + 7, vol=38, start=12)
    snare_fill(b0 + 11, vol=32, start=14)
    snare_fill(b0 + 15, vol=44, start=4, toms=True)
    crash(bar(b0 + 4), 22)  # camera cuts at 107.52 and 122.88 s
    crash(bar(b0 + 12), 22)
    riser(bar(b0 + 12), 64, vol=40, speed="03")
    reverse_cymbal(bar(68), 38)


def climax():
    # 68-82: everything at once, up a whole tone in C# minor, the melody with a harmony a third
    # below, stabs, 16th arp, open hats and crashes every four bars.
    b0 = 68
    impact(bar(b0), 60)
    pads(b0, b0 + 14, 34, vibrato=True)
    kick(b0, b0 + 14, vol=62, skip_last_beats=1)
    snare(b0, b0 + 14, vol=48)
    hats(b0, b0 + 14, vol=24, open_off=True)
    bass_rolling(b0, b0 + 14, vol=50)
    arp(b0, b0 + 14, vol=26, step=1, octave=12, pattern=(0, 1, 2, 3, 2, 1, 2, 3))
    stabs(b0, b0 + 14, vol=26)
    scale = [(p + 2) % 12 for p in B_MINOR]
    play_melody(b0, False, LEAD, I_LEAD, 44, transpose=2, glide_into=(72, 96))
    play_melody(b0, False, LEAD2, I_LEAD, 26, transpose=2, harmony_scale=scale)
    play_melody(b0 + 8, True, LEAD, I_LEAD, 46, transpose=2, glide_into=(), bars=4)
    play_melody(b0 + 8, True, LEAD2, I_LEAD, 28, transpose=2, harmony_scale=scale, bars=4)
    # the melody doubled an octave below for weight
    play_melody(b0, False, FX3, I_LEAD, 20, transpose=2 - 12)
    play_melody(b0 + 8, True, FX3, I_LEAD, 20, transpose=2 - 12, bars=4)
    put(bar(b0 + 12), FX3, keyoff=True)
    # bars 80-81 (A, B): the lead climbs C# E F# and holds D# then F# with vibrato
    for r, n, n2 in ((0, "C#5", "A4"), (4, "E5", "C#5"), (8, "F#5", "D#5")):
        put(bar(b0 + 12, r), LEAD, N(n), I_LEAD, 46, "310" if r == 8 else None)
        put(bar(b0 + 12, r), LEAD2, N(n2), I_LEAD, 28)
    for r, n, n2 in ((0, "D#5", "B4"), (8, "F#5", "D#5")):
        put(bar(b0 + 13, r), LEAD, N(n), I_LEAD, 48, "443")
        put(bar(b0 + 13, r), LEAD2, N(n2), I_LEAD, 28, "443")
        for k in range(2, 8):
            eff_only(bar(b0 + 13, r + k), LEAD, "400")
    put(bar(b0 + 13, 15), LEAD, keyoff=True)
    put(bar(b0 + 13, 15), LEAD2, keyoff=True)
    for k in range(0, 14, 4):
        crash(bar(b0 + k), 36)
    for k in (3, 7, 11):
        snare_fill(b0 + k, vol=40, start=12)
    # the cuts double at 142.08 s (bar 74) and again at 153.60 s (bar 80): so does the drumming
    for b in range(b0 + 6, b0 + 12):
        for r, n in ((7, "G4"), (8, "C5")):
            if GRID[bar(b, r)][PERC] is None:
                put(bar(b, r), PERC, N(n), I_TOM, 30)
    for r in range(0, 16, 2):
        put(bar(b0 + 12, r), SNARE, N("C5") + r // 2, I_SNARE, 30 + r)
    snare_fill(b0 + 13, vol=46, start=0, toms=True)
    counter = [(0, "G#5"), (8, "E5"), (16, "E5"), (24, "C#5"), (32, "B4"), (40, "E5"), (48, "D#5"),
               (56, "F#5")]
    bell_line(b0 + 4, counter, vol=22)
    bell_line(b0 + 8, counter, vol=24)
    riser(bar(b0 + 12), 32, vol=36, speed="05")
    reverse_cymbal(bar(82), 36)


def ending():
    # 82-: the credits: the melody's opening slowed down on the bell, pads, a last arp, fade out.
    b0 = 82
    impact(bar(b0), 52)
    crash(bar(b0), 34)
    downlifter(bar(b0), 32, vol=28)
    pads(b0, b0 + 9, 32)
    # the final chord, held and faded by volume slides, then keyed off
    last = bar(b0 + 8)
    for ch in (PAD1, PAD2, PAD3):
        for r in range(last + 2, TOTAL_ROWS - 12, 3):
            eff_only(r, ch, "A01")
    pads_off(TOTAL_ROWS - 12)
    # bass: long roots, then the drone under the final chord
    bass_long(b0, b0 + 8, vol=40)
    put(last, BASS, N("C#2"), I_SUB, 40)
    for r in range(last + 2, TOTAL_ROWS - 12, 3):
        eff_only(r, BASS, "A02")
    put(TOTAL_ROWS - 12, BASS, keyoff=True)
    # kick keeps a soft heartbeat for two bars
    kick(b0, b0 + 2, vol=40, pattern=(0, 8))
    arp(b0, b0 + 6, vol=16, step=2, octave=12, pattern=(0, 1, 2, 3, 2, 1, 2, 3))
    for r in range(0, 96, 2):  # the arp thins out to nothing over six bars
        cell = GRID[bar(b0) + r][ARP]
        if cell:
            cell[2] = "%02X" % int(round(16 * GAIN * MIX[ARP] * (1 - r / 96)))
    # the melody's first phrase at half speed on the bell, in C# minor
    slow = [(0, "E5"), (6, "D#5"), (12, "C#5"), (16, "G#4"), (32, "A4"), (38, "B4"), (44, "C#5"),
            (48, "E5"), (64, "E5"), (70, "D#5"), (76, "C#5"), (80, "B4"), (96, "G#4"), (104, "C#5")]
    bell_line(b0, slow, vol=30)
    put(bar(b0), LEAD, N("G#4"), I_LEAD, 20, "443")
    for r in range(2, 30):
        eff_only(bar(b0) + r, LEAD, "400" if r % 4 else "A01")
    put(bar(b0) + 30, LEAD, keyoff=True)
    wind(bar(b0 + 2, 1), 24)
    for r in range(bar(b0 + 4), TOTAL_ROWS - 12, 12):
        eff_only(r, FX3, "A01")
    put(TOTAL_ROWS - 12, FX3, keyoff=True)


# ---------------------------------------------------------------------------------------------
# Output


HEADER = """# The show's music, in glimmerc's song notation (glimmerc song build content/song.txt -o music.xm).
# Written by content/songgen.py (the composition as code: chords, melodies, grooves); edit there
# and rerun it. content/MUSIC.md describes the piece and its sections.
#
# Header lines: title, channels (before the patterns), speed (ticks per row), tempo (BPM),
# frequencies linear|amiga, order (pattern numbers), restart (order index to loop back to).
#
# instrument N "name" ... end: one synthesised sample.
#   wave sine|saw|square|triangle|noise LEVEL [harmonic H]  oscillators, summed
#   period P          frames per cycle of the base oscillator; C-4 then plays middle C
#   pitch fixed       play the sample at 8363 Hz on C-4 instead (drums)
#   length N          sample frames
#   amp A D S R       attack and decay frames, sustain level, release frames, baked into the sample
#   lowpass F / highpass F   one-pole filters, cutoff as a fraction of the sample rate
#   pitchdrop K N     oscillators start K times higher and fall back with time constant N frames
#   loop none | forward START END | pingpong START END
#   volume V, panning P, bits 8|16, seed S, fadeout F
#   envelope volume|panning TICK:VALUE ... [sustain I] [loop I J]
#
# pattern N ROWS ... end: one line per row that has something to play:
#   ROW  NOTE INS VOL EFF | NOTE INS VOL EFF | ...   (one cell per channel, left to right)
#   NOTE C-4, F#2, --- (none) or === (key off); INS 01..80 hex or ..; VOL 00..40 hex or ..;
#   EFF an XM effect letter and two hex digits (A0F, F06, 305) or ...
#
# Grid: speed 6 at tempo 125 is 0.12 s a row, 1.92 s a bar of 16 rows, 7.68 s a 64-row pattern.
# Channels: 0 kick, 1 snare, 2 hats, 3 clap/toms, 4 bass, 5-7 pad chord, 8 pluck arpeggio,
# 9 lead, 10 lead harmony/echo, 11 bell, 12 chip stab, 13 riser/impact, 14 cymbals, 15 sweeps.
# Pad, lead and bell use "pitch fixed" with their tone on a high harmonic of a long period (pad
# and lead: 63 of 4032, with 62 and 64 beating against it as a chorus; bell: 16 of 1024 with
# inharmonic partials) and sound an octave below the written note.
"""


def section_patterns():
    """64-row patterns per section, the remainder of a section in a shorter pattern."""
    out = []
    for name, first, bars in SECTIONS:
        start = bar(first)
        end = min(bar(first + bars), TOTAL_ROWS)
        r = start
        while r < end:
            n = min(64, end - r)
            out.append((name, r, n))
            r += n
    return out


def render():
    lines = [HEADER]
    spans = section_patterns()
    lines.append('title "glimmer"')
    lines.append("channels %d" % CHANNELS)
    lines.append("speed 6")
    lines.append("tempo 125")
    lines.append("frequencies linear")
    lines.append("order " + " ".join(str(i) for i in range(len(spans))))
    lines.append("restart 0")
    lines.append("")
    for num, name, _, body in INSTRUMENTS:
        lines.append('instrument %d "%s"' % (num, name))
        lines.append(body)
        lines.append("end")
        lines.append("")
    for i, (name, start, rows) in enumerate(spans):
        t = start * 0.12
        lines.append("# %s, %.2f s" % (name, t))
        lines.append("pattern %d %d" % (i, rows))
        for r in range(rows):
            cells = GRID[start + r]
            last = max((c for c in range(CHANNELS) if cells[c] is not None), default=-1)
            if last < 0:
                continue
            text = []
            for c in range(last + 1):
                cell = cells[c] or ["---", "..", "..", "..."]
                text.append(" ".join(cell))
            lines.append("%4d " % r + " | ".join(text))
        lines.append("end")
        lines.append("")
    return "\n".join(lines)


def main():
    global GAIN
    p = argparse.ArgumentParser()
    # The master gain: brings the render to about -17 LUFS with peaks near -2 dBFS (loud
    # cells clamp at 40, so the drums grow less than the rest).
    p.add_argument("--gain", type=float, default=1.25)
    p.add_argument("--solo", type=int, action="append", help="keep only these channels (mixing)")
    p.add_argument("-o", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "song.txt"))
    a = p.parse_args()
    GAIN = a.gain
    opening()
    buildup()
    world1()
    world2()
    world3()
    climax()
    ending()
    if a.solo:
        for row in GRID:
            for c in range(CHANNELS):
                if c not in a.solo:
                    row[c] = None
    with open(a.o, "w") as f:
        f.write(render())


if __name__ == "__main__":
    main()
