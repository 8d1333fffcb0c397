#!/usr/bin/env python3
"""Writes content/scene.scene, the show's scene source, from the storyboard's plan.

Run from anywhere: python3 content/make_scene.py. The output is committed; the build compiles it
with glimmerc. The show is laid out on the music grid: one row is 0.12 s, one bar 16 rows
(1.92 s), so every cut and big event below is a whole number of rows.

Units: the scene format keeps positions and lengths in 32nds of a unit. This script places
things in units (U) and converts. The worlds stand 250 units apart, beyond the 100-unit far
plane, so a camera only ever sees its own world even while several worlds are active.
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROW = 0.12
BAR = 16 * ROW
END = 178.0


def bar(n):
    return round(n * BAR, 2)


# World centres in units.
FOUNDRY = (0, 0, 0)
DEEP = (250, 0, 0)
LATTICE = (-250, 0, 0)
VOID = (0, 250, 0)
TUNNEL = (0, -250, 0)
CREDITS = (0, 0, -250)

# Section boundaries (seconds, all on bar starts).
OPEN, BUILD, W1, W2, W3, CLIMAX, OUTRO = 0.0, bar(8), bar(20), bar(36), bar(52), bar(68), bar(82)

lines = []


def emit(s=""):
    lines.append(s)


def num(x):
    if isinstance(x, str):
        return x
    x = round(float(x), 4)
    if x == int(x):
        return str(int(x))
    return ("%.4f" % x).rstrip("0").rstrip(".")


def params(d):
    return " ".join("%s=%s" % (k, num(v)) for k, v in d.items())


def u(v):
    """Units to the format's 32nds."""
    return v * 32


def at(centre, x=0, y=0, z=0):
    return {"x": u(centre[0] + x), "y": u(centre[1] + y), "z": u(centre[2] + z)}


class Entity:
    def __init__(self, kind, label, start, end, comment):
        head = "%s%s %s %s" % (kind, (" @" + label) if label else "", num(start), num(end))
        emit()
        emit(head + ("  # " + comment if comment else ""))

    def cmd(self, lst, op, *flags, keys=None, text=None, **p):
        parts = ["  %s %s" % (lst, op)]
        if text is not None:
            parts.append('"%s"' % text)
        if p:
            parts.append(params(p))
        parts.extend(flags)
        if keys:
            parts.append("animated")
        emit(" ".join(parts))
        for k in keys or []:
            t, typ, vals = k
            emit("    key %s %s %s" % (num(t), typ, params(vals)))
        return self

    def A(self, op, *flags, **kw):
        return self.cmd("A", op, *flags, **kw)

    def B(self, op, *flags, **kw):
        return self.cmd("B", op, *flags, **kw)


def pulses(start, end, period, decay, on, off):
    """Keys for a flash on every period from start: jump to `on` on the row, fall back to `off`
    over `decay` seconds, stay there. A glow or echo ring in black draws nothing, so the screen
    passes cost nothing between the flashes."""
    keys = [(start - 0.01, "flat", off)]
    t = start
    while t < end - 0.001:
        keys.append((round(t, 2), "flat", on))
        keys.append((round(t + decay, 2), "flat", off))
        nxt = t + period
        if nxt < end - 0.001:
            keys.append((round(nxt - 0.01, 2), "flat", off))
        t = nxt
    return keys


def held(points, end=200.0):
    """Hold keys from (time, values) pairs, with a closing key so that the last value is reached
    (past the last key a track keeps what it evaluated last)."""
    keys = [(t, "hold", v) for t, v in points]
    keys.append((end, "hold", points[-1][1]))
    return keys


# =============================================================================================
emit("# glimmer: \"a spark looks for a world to light\". Written by content/make_scene.py; edit")
emit("# that script and run it again. Storyboard: content/STORYBOARD.md. Times are seconds on the")
emit("# music grid (0.12 s rows, 1.92 s bars); positions in 32nds of a unit, colours 0-255.")

# ---- textures --------------------------------------------------------------------------------
emit()
emit("# ---- textures: shared sprites and lettering -------------------------------------------------")


def tex(label, comment, size, cmds):
    e = Entity("texture", label, 0, END, comment)
    e.B("Resize", size=size)
    for c in cmds:
        op, kw = c[0], dict(c[1]) if len(c) > 1 else {}
        flags = list(c[2]) if len(c) > 2 else []
        text = kw.pop("text", None)
        e.B(op, *flags, text=text, **kw)


NEUTRAL_BC = {"brightness": 128, "contrast": 191}  # keeps the colours, alpha = their average

tex("spark", "gold particle sprite", 64, [
    ("RadialGlow", {"red": 255, "green": 220, "blue": 150, "falloff": 100}),
    ("Circle", {"x": 128, "y": 128, "radius": 30, "red": 255, "green": 255, "blue": 230, "mode": "Screen"}, ["smooth"]),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("mote", "tiny cyan mote", 32, [
    ("RadialGlow", {"red": 120, "green": 230, "blue": 255, "falloff": 130}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("ember", "orange ember sprite", 64, [
    ("RadialGlow", {"red": 255, "green": 150, "blue": 40, "falloff": 110}),
    ("RadialGlow", {"red": 255, "green": 240, "blue": 120, "falloff": 400, "mode": "Maximum"}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("bubble", "hollow bubble ring", 64, [
    ("Circle", {"x": 128, "y": 128, "radius": 120, "red": 160, "green": 255, "blue": 240, "mode": "Add"}, ["smooth"]),
    ("Circle", {"x": 128, "y": 128, "radius": 100, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}, ["smooth"]),
    ("Circle", {"x": 90, "y": 160, "radius": 20, "red": 255, "green": 255, "blue": 255, "mode": "Add"}, ["smooth"])])
tex("flake", "four-pointed star flake", 64, [
    ("Rectangle", {"x": 124, "y": 16, "width": 8, "height": 224, "red": 230, "green": 230, "blue": 255}),
    ("Rectangle", {"x": 16, "y": 124, "width": 224, "height": 8, "red": 230, "green": 230, "blue": 255, "mode": "Or"}),
    ("Blur", {"radius": 16, "gain": 24}),
    ("RadialGlow", {"red": 200, "green": 160, "blue": 255, "falloff": 160, "mode": "Add"}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("title", "the title lettering, soft glow behind sharp letters", 256, [
    ("RenderText", {"text": "glimmer", "x": 16, "y": 168, "height": 72, "mode": "Add"}),
    ("StoreLayer", {"layer": 1}),
    ("Blur", {"radius": 40, "gain": 40}),
    ("Tint", {"red": 0, "green": -40, "blue": -110}),
    ("CombineLayer", {"layer": 1, "mode": "Screen"})])
tex("subtitle", "Cyrillic subtitle: a spark looks for its world", 256, [
    ("RenderText", {"text": "искра ищет свой мир", "x": 8, "y": 140, "height": 26, "mode": "Add"}),
    ("Tint", {"red": 0, "green": -20, "blue": -70})])
tex("thanks", "Cyrillic thank-you line of the credits", 256, [
    ("RenderText", {"text": "спасибо за внимание", "x": 6, "y": 140, "height": 27, "mode": "Add"}),
    ("StoreLayer", {"layer": 2}),
    ("Blur", {"radius": 24, "gain": 36}),
    ("Tint", {"red": 10, "green": -30, "blue": -100}),
    ("CombineLayer", {"layer": 2, "mode": "Maximum"})])
tex("aurora", "the stored 512 x 512 image: aurora over a night sea", 512, [
    ("LoadPackImage", {"text": "aurora.tga", "mode": "Or"})])
tex("voidsky", "indigo nebula with stars, the opening's background", 512, [
    ("FractalNoise", {"zoom": 64, "mode": "Add"}),
    ("Tint", {"red": -90, "green": -80, "blue": -20}),
    ("Dots", {"count": 300, "seed": 11, "red": 255, "green": 240, "blue": 200, "mode": "Maximum"}),
    ("Dots", {"count": 60, "seed": 5, "red": 255, "green": 210, "blue": 140, "mode": "Add"}),
    ("Blur", {"radius": 3, "gain": 20}),
    ("Fill", {"red": 0, "green": 0, "blue": 0, "alpha": 255, "mode": "Or"})])  # opaque: drawn without blending

emit()
emit("# ---- textures: the void and the tunnel --------------------------------------------------------")
tex("goldleaf", "hammered gold", 128, [
    ("Fill", {"red": 200, "green": 150, "blue": 60, "alpha": 255}),
    ("Noise", {"seed": 3, "red": 90, "green": 70, "blue": 30, "mode": "Subtract"}),
    ("Blur", {"radius": 6, "gain": 16}),
    ("Emboss", {}),
    ("Tint", {"red": 60, "green": 20, "blue": -60})])
tex("goldenv", "warm sphere-map reflection", 128, [
    ("RadialGlow", {"red": 255, "green": 230, "blue": 160, "falloff": 90}),
    ("Waves", {"freqX": 64, "freqY": 0, "red": 90, "green": 60, "blue": 140, "mode": "Add"})])
tex("slate", "slate blue stone", 256, [
    ("FractalNoise", {"zoom": 64}),
    ("Tint", {"red": -70, "green": -60, "blue": 0}),
    ("BrightnessContrast", {"brightness": 120, "contrast": 200})])
tex("tunnelwall", "tunnel wall: cyan bands over a checker", 256, [
    ("Waves", {"phaseX": 0, "phaseY": 0, "freqX": 0, "freqY": 256, "red": 40, "green": 180, "blue": 255}),
    ("Checker", {"width": 32, "height": 64, "mode": "Xor"}),
    ("Tint", {"red": -100, "green": -40, "blue": 0}),
    ("Rectangle", {"x": 0, "y": 120, "width": 255, "height": 8, "red": 255, "green": 200, "blue": 80, "mode": "Maximum"})])
tex("tunnelbump", "tunnel ribs as normals", 256, [
    ("Waves", {"freqX": 0, "freqY": 256, "red": 255, "green": 255, "blue": 255}),
    ("NormalMap", {"strength": 60})])
tex("goldring", "gold bands for the rings", 128, [
    ("Fill", {"red": 120, "green": 70, "blue": 10, "alpha": 255}),
    ("Waves", {"freqX": 256, "freqY": 0, "red": 255, "green": 210, "blue": 90, "mode": "Maximum"}),
    ("Noise", {"seed": 17, "red": 40, "green": 40, "blue": 40, "mode": "Average"})])

emit()
emit("# ---- textures: the foundry (charcoal, copper, ember, molten yellow) -----------------------------")
tex("plates", "riveted copper floor plates", 256, [
    ("Fill", {"red": 170, "green": 95, "blue": 45, "alpha": 255}),
    ("FractalNoise", {"zoom": 64, "mode": "Multiply"}),
    ("Checker", {"width": 64, "height": 64, "mode": "And"}),
    ("Fill", {"red": 70, "green": 40, "blue": 25, "alpha": 255, "mode": "Maximum"}),
    ("Dots", {"count": 40, "seed": 9, "red": 255, "green": 200, "blue": 140, "mode": "Add"}),
    ("BrightnessContrast", {"brightness": 140, "contrast": 200})])
tex("platebump", "floor plate seams and rivets as normals (gloss in alpha)", 256, [
    ("Fill", {"red": 255, "green": 255, "blue": 255, "alpha": 200}),
    ("Rectangle", {"x": 0, "y": 0, "width": 255, "height": 3, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}),
    ("Rectangle", {"x": 0, "y": 0, "width": 3, "height": 255, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}),
    ("Rectangle", {"x": 0, "y": 128, "width": 255, "height": 3, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}),
    ("Rectangle", {"x": 128, "y": 0, "width": 3, "height": 255, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}),
    ("Dots", {"count": 30, "seed": 9, "red": 120, "green": 120, "blue": 120, "mode": "Subtract"}),
    ("Blur", {"radius": 10, "gain": 16}),
    ("NormalMap", {"strength": 80})])
tex("copper", "oxidised copper", 256, [
    ("FractalNoise", {"zoom": 64}),
    ("Tint", {"red": 70, "green": -20, "blue": -80}),
    ("Fill", {"red": 160, "green": 150, "blue": 140, "alpha": 255, "mode": "Dodge"}),
    ("Blur", {"radius": 4, "gain": 16})])
tex("copperbump", "hammered copper normals", 128, [
    ("Noise", {"seed": 33, "red": 255, "green": 255, "blue": 255}),
    ("Blur", {"radius": 12, "gain": 16}),
    ("NormalMap", {"strength": 50})])
tex("steel", "dark brushed steel", 128, [
    ("Noise", {"seed": 8, "red": 120, "green": 110, "blue": 100}),
    ("RotoZoom", {"x": 128, "y": 128, "zoom": -60, "angle": 0}, ["smooth", "edge=wrap"]),
    ("Tint", {"red": -20, "green": -30, "blue": -40})])
tex("hazard", "hazard stripes", 128, [
    ("Fill", {"red": 30, "green": 20, "blue": 16, "alpha": 255}),
    ("Checker", {"width": 32, "height": 256, "mode": "Xor"}),
    ("RotoZoom", {"x": 128, "y": 128, "zoom": 0, "angle": 32}, ["edge=mirror"]),
    ("Tint", {"red": 0, "green": -60, "blue": -110})])
tex("molten", "swirling molten metal", 256, [
    ("FractalNoise", {"zoom": 64}),
    ("Twirl", {"x": 128, "y": 128, "strength": 40, "radius": 120}, ["smooth"]),
    ("Tint", {"red": 127, "green": 20, "blue": -110}),
    ("BrightnessContrast", {"brightness": 150, "contrast": 220})])
tex("gearbump", "machined rings as normals", 128, [
    ("Circle", {"x": 128, "y": 128, "radius": 120, "red": 255, "green": 255, "blue": 255, "mode": "Add"}),
    ("Circle", {"x": 128, "y": 128, "radius": 90, "red": 120, "green": 120, "blue": 120, "mode": "Subtract"}),
    ("Circle", {"x": 128, "y": 128, "radius": 40, "red": 255, "green": 255, "blue": 255, "mode": "Maximum"}),
    ("NormalMap", {"strength": 40})])
tex("soot", "soot-black background haze", 128, [
    ("FractalNoise", {"zoom": 64}),
    ("Tint", {"red": -80, "green": -95, "blue": -105})])
tex("heat", "heat shimmer for the crucible", 128, [
    ("Waves", {"phaseX": 10, "phaseY": 30, "freqX": 96, "freqY": 160, "red": 255, "green": 190, "blue": 60}),
    ("Twirl", {"x": 128, "y": 128, "strength": 60, "radius": 200}, ["edge=clamp"])])

emit()
emit("# ---- textures: the deep (abyss navy, teal, aqua, bioluminescent green-white) --------------------")
tex("waterbump", "moving water normals, opacity in alpha", 256, [
    ("FractalNoise", {"zoom": 64}),
    ("Blur", {"radius": 8, "gain": 16}),
    ("NormalMap", {"strength": 90}),
    ("Fill", {"red": 0, "green": 0, "blue": 0, "alpha": 150, "mode": "Or"})])
tex("sand", "rippled sea floor", 256, [
    ("Waves", {"phaseX": 20, "freqX": 160, "freqY": 40, "red": 120, "green": 200, "blue": 190}),
    ("Noise", {"seed": 44, "red": 50, "green": 60, "blue": 60, "mode": "Average"}),
    ("Twirl", {"x": 100, "y": 150, "strength": 90, "radius": 180}, ["edge=wrap"]),
    ("Tint", {"red": -100, "green": -40, "blue": -30})])
tex("sandheight", "sea floor dunes for displacement", 128, [
    ("FractalNoise", {"zoom": 64}),
    ("Blur", {"radius": 20, "gain": 16})])
tex("jellyskin", "jellyfish bell glow", 128, [
    ("RadialGlow", {"red": 120, "green": 255, "blue": 220, "falloff": 80}),
    ("Waves", {"freqX": 0, "freqY": 192, "red": 60, "green": 160, "blue": 255, "mode": "Add"}),
    ("Fill", {"red": 0, "green": 0, "blue": 0, "alpha": 150, "mode": "Or"})])
tex("kelpskin", "kelp ribbons", 128, [
    ("Waves", {"freqX": 96, "freqY": 0, "red": 40, "green": 200, "blue": 120}),
    ("Noise", {"seed": 61, "red": 20, "green": 90, "blue": 60, "mode": "Add"}),
    ("Tint", {"red": -90, "green": 0, "blue": -40})])
tex("caustics", "caustic light net", 256, [
    ("Waves", {"freqX": 160, "freqY": 128, "red": 255, "green": 255, "blue": 255}),
    ("Twirl", {"x": 128, "y": 128, "strength": 20, "radius": 255}, ["smooth", "edge=wrap"]),
    ("Invert", {}),
    ("BrightnessContrast", {"brightness": 100, "contrast": 235}),
    ("Tint", {"red": -100, "green": 0, "blue": -10})])
tex("pearl", "pearl shell", 128, [
    ("FractalNoise", {"zoom": 64}),
    ("Tint", {"red": 20, "green": 40, "blue": 60}),
    ("Waves", {"freqX": 320, "freqY": 0, "red": 80, "green": 40, "blue": 100, "mode": "Screen"})])
tex("porthole", "round porthole frame over the deep (transparent inside)", 256, [
    ("Fill", {"red": 4, "green": 22, "blue": 40, "alpha": 255}),
    ("Circle", {"x": 128, "y": 128, "radius": 118, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}, ["smooth"]),
    ("Circle", {"x": 128, "y": 128, "radius": 124, "red": 60, "green": 160, "blue": 160, "mode": "Maximum"}),
    ("Circle", {"x": 128, "y": 128, "radius": 119, "red": 255, "green": 255, "blue": 255, "mode": "Subtract"}, ["smooth"])])

emit()
emit("# ---- textures: the crystal lattice (aubergine, violet, magenta, ice white) ---------------------")
tex("crystal", "faceted crystal colour", 256, [
    ("Fill", {"red": 90, "green": 40, "blue": 190, "alpha": 255}),
    ("Rectangle", {"x": 0, "y": 0, "width": 127, "height": 255, "red": 90, "green": 40, "blue": 120, "mode": "Xor"}),
    ("RotoZoom", {"x": 128, "y": 128, "zoom": 20, "angle": 20}, ["edge=mirror"]),
    ("Waves", {"freqX": 64, "freqY": 64, "red": 255, "green": 120, "blue": 255, "mode": "Screen"})])
tex("crystalbump", "crystal facets as normals", 256, [
    ("Dots", {"count": 200, "seed": 71, "red": 255, "green": 255, "blue": 255}),
    ("Blur", {"radius": 24, "gain": 64}),
    ("NormalMap", {"strength": 70})])
tex("prismenv", "magenta and ice reflections", 256, [
    ("Waves", {"freqX": 96, "freqY": 32, "red": 255, "green": 80, "blue": 220}),
    ("RadialGlow", {"red": 200, "green": 230, "blue": 255, "falloff": 120, "mode": "Add"}),
    ("Twirl", {"x": 128, "y": 128, "strength": 30, "radius": 180}, ["edge=transparent"])])
tex("violetgrid", "violet lattice grid", 128, [
    ("Checker", {"width": 32, "height": 32}),
    ("Invert", {}),
    ("Tint", {"red": -30, "green": -100, "blue": 20}),
    ("Rectangle", {"x": 0, "y": 0, "width": 255, "height": 7, "red": 255, "green": 160, "blue": 255, "mode": "Add"}),
    ("Rectangle", {"x": 0, "y": 0, "width": 7, "height": 255, "red": 255, "green": 160, "blue": 255, "mode": "Add"})])
tex("gemface", "magenta gem gradient", 128, [
    ("Circle", {"x": 128, "y": 128, "radius": 180, "red": 255, "green": 60, "blue": 190, "mode": "Add"}, ["smooth"]),
    ("Circle", {"x": 100, "y": 150, "radius": 40, "red": 240, "green": 240, "blue": 255, "mode": "Add"}, ["smooth"]),
    ("Fill", {"red": 40, "green": 0, "blue": 60, "alpha": 0, "mode": "Add"})])
tex("icefog", "ice-white haze for the lattice floor", 256, [
    ("FractalNoise", {"zoom": 64}),
    ("MoveToLayer", {"layer": 3}),
    ("Fill", {"red": 60, "green": 30, "blue": 120, "alpha": 255}),
    ("CombineLayer", {"layer": 3, "mode": "Average"}),
    ("Tint", {"red": 0, "green": -20, "blue": 40})])
tex("shards", "scattered shard glints", 256, [
    ("Dots", {"count": 120, "seed": 99, "red": 255, "green": 255, "blue": 255}),
    ("Blur", {"radius": 6, "gain": 60}),
    ("Tint", {"red": 40, "green": -40, "blue": 60}),
    ("Fill", {"red": 255, "green": 190, "blue": 255, "alpha": 255, "mode": "Minimum"})])

emit()
emit("# ---- textures: the credits (black, warm gold, cream) -------------------------------------------")
tex("stagegold", "polished gold stage", 256, [
    ("Fill", {"red": 60, "green": 40, "blue": 10, "alpha": 255}),
    ("Circle", {"x": 128, "y": 128, "radius": 125, "red": 255, "green": 200, "blue": 96, "mode": "Average"}, ["smooth"]),
    ("Waves", {"freqX": 512, "freqY": 512, "red": 80, "green": 60, "blue": 20, "mode": "Add"}),
    ("ClearImage", {}),
    ("Fill", {"red": 120, "green": 80, "blue": 20, "alpha": 255}),
    ("Circle", {"x": 128, "y": 128, "radius": 100, "red": 255, "green": 200, "blue": 96, "mode": "Average"}, ["smooth"]),
    ("Circle", {"x": 128, "y": 128, "radius": 60, "red": 255, "green": 230, "blue": 160, "mode": "Average"}, ["smooth"])])
tex("creditlines", "credit lettering", 256, [
    ("RenderText", {"text": "music, code, pictures", "x": 10, "y": 150, "height": 28, "mode": "Add"}),
    ("RenderText", {"text": "made from nothing", "x": 30, "y": 110, "height": 28, "mode": "Add"}),
    ("Tint", {"red": 0, "green": -20, "blue": -80})])
tex("halo", "gold halo sprite for the credits", 64, [
    ("RadialGlow", {"red": 255, "green": 255, "blue": 255, "falloff": 60}),
    ("Invert", {}),
    ("Fill", {"red": 255, "green": 200, "blue": 96, "alpha": 255, "mode": "And"}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("glints", "gold glint sprite", 32, [
    ("Circle", {"x": 128, "y": 128, "radius": 100, "red": 255, "green": 210, "blue": 110, "mode": "Add"}, ["smooth"]),
    ("Blur", {"radius": 40, "gain": 30})])

# More textures of the worlds: variations kept small and cheap to build.
emit()
emit("# ---- textures: variations --------------------------------------------------------------------")
tex("emberfloor", "glowing cracks for the crucible rim", 128, [
    ("Noise", {"seed": 5, "red": 255, "green": 255, "blue": 255}),
    ("Blur", {"radius": 16, "gain": 16}),
    ("BrightnessContrast", {"brightness": 128, "contrast": 250}),
    ("Tint", {"red": 127, "green": -20, "blue": -120})])
tex("rivets", "rivet rows", 64, [
    ("Fill", {"red": 70, "green": 45, "blue": 30, "alpha": 255}),
    ("Circle", {"x": 64, "y": 64, "radius": 30, "red": 220, "green": 160, "blue": 110, "mode": "Maximum"}, ["smooth"]),
    ("Circle", {"x": 192, "y": 192, "radius": 30, "red": 220, "green": 160, "blue": 110, "mode": "Maximum"}, ["smooth"])])
tex("deepglow", "soft aqua halo", 64, [
    ("RadialGlow", {"red": 100, "green": 255, "blue": 230, "falloff": 100}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("violetglow", "soft violet halo", 64, [
    ("RadialGlow", {"red": 200, "green": 110, "blue": 255, "falloff": 100}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("cyanlines", "cyan scan lines", 64, [
    ("Waves", {"freqX": 0, "freqY": 512, "red": 60, "green": 230, "blue": 255}),
    ("BrightnessContrast", {"brightness": 128, "contrast": 230})])
tex("nightsea", "dark sea gradient", 128, [
    ("Waves", {"freqX": 0, "freqY": 16, "red": 10, "green": 80, "blue": 120}),
    ("Noise", {"seed": 2, "red": 10, "green": 20, "blue": 30, "mode": "Add"})])
tex("plasma", "violet plasma", 256, [
    ("Waves", {"phaseX": 40, "freqX": 48, "freqY": 80, "red": 200, "green": 60, "blue": 255}),
    ("Waves", {"phaseY": 90, "freqX": 112, "freqY": 24, "red": 120, "green": 40, "blue": 200, "mode": "Add"}),
    ("Twirl", {"x": 128, "y": 128, "strength": 50, "radius": 160}, ["smooth"])])
tex("bronze", "dark bronze", 64, [
    ("Noise", {"seed": 13, "red": 160, "green": 110, "blue": 60}),
    ("Waves", {"freqX": 128, "freqY": 128, "red": 90, "green": 60, "blue": 25, "mode": "Burn"}),
    ("Blur", {"radius": 24, "gain": 16})])
tex("ash", "falling ash sprite", 32, [
    ("RadialGlow", {"red": 200, "green": 180, "blue": 170, "falloff": 140}),
    ("BrightnessContrast", NEUTRAL_BC)])
tex("ribbon", "gold ribbon lines for the credits", 128, [
    ("Waves", {"freqX": 0, "freqY": 256, "red": 255, "green": 200, "blue": 96}),
    ("Rectangle", {"x": 0, "y": 60, "width": 255, "height": 135, "red": 255, "green": 255, "blue": 255, "mode": "And"})])

# ---- meshes ----------------------------------------------------------------------------------
emit()
emit("# ---- meshes: the void (indigo and gold) --------------------------------------------------------")


def mesh(label, comment, start, end):
    return Entity("mesh", label, start, end, comment)


def colours(amb, dif, spe, shin):
    return {"ambientR": amb[0], "ambientG": amb[1], "ambientB": amb[2], "diffuseR": dif[0], "diffuseG": dif[1],
            "diffuseB": dif[2], "specularR": spe[0], "specularG": spe[1], "specularB": spe[2], "shininess": shin}


def spin_keys(centre, t0, t1, pos=(0, 0, 0), rot0=(0, 0, 0), rot1=(0, 360, 0), extra=None):
    k0 = dict(at(centre, *pos), rotX=rot0[0], rotY=rot0[1], rotZ=rot0[2])
    k1 = dict(at(centre, *pos), rotX=rot1[0], rotY=rot1[1], rotZ=rot1[2])
    if extra:
        k0.update(extra[0])
        k1.update(extra[1])
    return [(t0, "flat", k0), (t1, "flat", k1)]


V_END = BUILD
m = mesh("voidstar", "the gold star the spark becomes", OPEN, V_END)
m.A("SetTransform", keys=[
    (0, "flat", dict(at(VOID, 0, 0, -8), rotY=0, rotZ=0, scaleX=0, scaleY=0, scaleZ=0)),
    (7.68, "smooth", dict(at(VOID, 0, 1, -3), rotY=200, rotZ=30, scaleX=4, scaleY=4, scaleZ=4)),
    (15.36, "flat", dict(at(VOID, 0, 1.5, 0), rotY=420, rotZ=60, scaleX=8, scaleY=8, scaleZ=8))])
m.A("SetColours", **colours((40, 30, 20), (255, 210, 120), (255, 255, 220), 60))
m.A("SetTextures", tex0="@goldleaf", tex1="@copperbump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=2)
m.B("LoadMesh", text="star.msh")
m.B("Transform", scaleX=60, scaleY=60, scaleZ=60)
m.B("Normals", smooth=0)

m = mesh("voidgems", "a slow wheel of wireframe gems", OPEN, V_END)
m.A("SetTransform", keys=spin_keys(VOID, 0, V_END, pos=(0, -1, -6), rot0=(10, 0, 0), rot1=(10, 120, 0)))
m.A("SetColours", **colours((60, 70, 140), (90, 110, 220), (0, 0, 0), 1))
m.A("SetTextures", tex0=-1, tex1=-1)
m.A("SetRenderState", depthWrite=1, cull=1)
m.A("PolygonMode", mode=1, width=1.5, smooth=1)
m.A("Lighting", on=0)
m.A("Repeat", count=11, x=0, y=0, z=0, rotY=30)
m.B("LoadMesh", text="gem.msh")
m.B("Transform", x=u(9), scaleX=-20, scaleY=20, scaleZ=-20)

m = mesh("voidorb", "pale gold orb under the star", OPEN, V_END)
m.A("SetTransform", keys=[(0, "flat", dict(at(VOID, 0, -4, -6), rotY=0)),
                          (15.36, "flat", dict(at(VOID, 0, -4, -6), rotY=90))])
m.A("SetColours", **colours((30, 30, 60), (200, 180, 140), (255, 240, 200), 30))
m.A("SetTextures", tex0="@slate", tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=1)
m.B("Sphere", segments=24, bands=16, radius=u(1.6))
m.B("Normals", smooth=1)

m = mesh("voidhalo", "a halo of points around the orb", OPEN, V_END)
m.A("SetTransform", keys=spin_keys(VOID, 0, V_END, pos=(0, -4, -6), rot0=(70, 0, 0), rot1=(70, 0, 180)))
m.A("SetColours", **colours((255, 220, 150), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0="@ash", tex1=-1)
m.A("SetRenderState", depthWrite=0, cull=1)
m.A("PolygonMode", mode=2, width=2, smooth=1)
m.A("Lighting", on=0)
m.B("Tube", segments=64, rings=3, radius=u(3.2), length=u(0.6))

emit()
emit("# ---- meshes: the tunnel (ultramarine, electric cyan, gold) ---------------------------------------")
T_END = W1
m = mesh("tube", "the twisted tunnel, seen from inside (sorted after the rings)", BUILD, T_END)
m.A("SetTransform", **at(TUNNEL, 0, 200, 0))
m.A("SetColours", **colours((40, 60, 140), (120, 200, 255), (255, 255, 255), 30), keys=[
    (BUILD, "flat", colours((10, 20, 60), (60, 90, 200), (120, 160, 255), 30)),
    (bar(16), "smooth", colours((30, 50, 120), (110, 190, 255), (255, 255, 255), 30)),
    (W1, "flat", colours((120, 110, 80), (255, 230, 160), (255, 255, 255), 30))])
m.A("SetTextures", tex0="@tunnelwall", tex1="@tunnelbump")
m.A("SetRenderState", depthWrite=1, cull=3)
m.A("SetShader", program=2)
m.B("Tube", segments=20, rings=70, radius=u(5), length=u(200))
m.B("Twist", rate=0.25, x=0, y=u(-100), z=0)
m.B("Transform", rotX=90, y=u(-200))
m.B("MapTexCoords", scaleU=0, scaleV=900)
m.B("Normals", smooth=1)

m = mesh("tunnelwire", "cyan line cage over the tunnel wall", BUILD, T_END)
m.A("SetTransform", **at(TUNNEL, 0, 300, 0))
m.A("SetColours", **colours((64, 224, 255), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0="@cyanlines", tex1=-1)
m.A("SetRenderState", depthWrite=0, cull=1)
m.A("PolygonMode", mode=1, width=1, smooth=0)
m.A("Lighting", on=0)
m.B("Tube", segments=10, rings=28, radius=u(5), length=u(200))  # a coarse cage: few lines to draw
m.B("Twist", rate=0.25, x=0, y=u(-100), z=0)
m.B("Transform", rotX=90, y=u(-300), scaleX=-10, scaleZ=-10)

m = mesh("rings", "gold rings rushing past", BUILD, T_END)
m.A("SetTransform", keys=[(BUILD, "flat", dict(at(TUNNEL, 0, 0, 70), rotZ=0)),
                          (bar(12), "smooth", dict(at(TUNNEL, 0, 0, 70), rotZ=90)),
                          (T_END, "flat", dict(at(TUNNEL, 0, 0, 70), rotZ=400))])
m.A("SetColours", **colours((60, 40, 10), (255, 200, 80), (255, 255, 200), 50))
m.A("SetTextures", tex0="@goldring", tex1="@goldenv")
m.A("SetRenderState", depthWrite=1)
m.A("Lighting", on=0)  # the rings show their own gold bands and reflections, unlit
m.A("Repeat", count=9, z=u(-15), rotZ=22)
m.B("LoadMesh", text="torus.msh")
m.B("Transform", rotX=90, scaleX=250, scaleY=250, scaleZ=250)
m.B("Normals", smooth=1)

emit()
emit("# ---- meshes: the foundry (charcoal, copper, ember, molten yellow) -------------------------------")
F_START, F_END = W1, OUTRO
# Large surfaces that everything else stands in front of are placed by a translation far away
# and built with the opposite offset: the mesh pass sorts opaque meshes nearest first by their
# translation, so these come last and llvmpipe shades only their visible pixels.
m = mesh("floor", "bump-mapped copper floor plates", F_START, F_END)
m.A("SetTransform", **at(FOUNDRY, 0, -63, 0))
m.A("SetColours", **colours((50, 30, 20), (230, 150, 100), (255, 200, 140), 24))
m.A("SetTextures", tex0="@plates", tex1="@platebump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=2)
m.B("Grid", cellsX=10, cellsY=10, width=u(90), height=u(90))
m.B("Transform", rotX=-90, y=u(60))
m.B("MapTexCoords", scaleU=700, scaleV=700)
m.B("Normals", smooth=0)

m = mesh("gearA", "the great gear", F_START, F_END)
m.A("SetTransform", keys=spin_keys(FOUNDRY, F_START, F_END, pos=(0, 6, -10), rot0=(0, 0, 0), rot1=(0, 0, -1440)))
m.A("SetColours", **colours((60, 30, 15), (230, 130, 60), (255, 220, 160), 40))
m.A("SetTextures", tex0="@copper", tex1="@copperbump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=2)
m.B("LoadMesh", text="gear.msh")
m.B("Transform", scaleX=500, scaleY=500, scaleZ=400)
m.B("Normals", smooth=0)

m = mesh("gearB", "a second gear meshing with the first", F_START, F_END)
m.A("SetTransform", keys=spin_keys(FOUNDRY, F_START, F_END, pos=(9.4, 2.2, -10), rot0=(0, 0, 7.5), rot1=(0, 0, 2887.5),
                                   extra=({"scaleX": -5, "scaleY": -5, "scaleZ": 0}, {"scaleX": -5, "scaleY": -5, "scaleZ": 0})))
m.A("SetColours", **colours((40, 30, 20), (200, 150, 100), (120, 100, 80), 30))
m.A("SetTextures", tex0="@bronze", tex1="@gearbump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=2)
m.A("ShareGeometry", mesh="@gearA")

m = mesh("gearHub", "hub cap turning with the great gear", F_START, F_END)
m.A("SetParent", parent="@gearA")
m.A("SetTransform", z=u(1.2), rotX=90)
m.A("SetColours", **colours((60, 40, 10), (255, 200, 90), (255, 255, 220), 80))
m.A("SetTextures", tex0="@goldleaf", tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.B("LoadMesh", text="disc.msh")
m.B("Transform", scaleX=80, scaleY=100, scaleZ=80)
m.B("Normals", smooth=1)

piston_keys = []
t = F_START
k = 0
while t <= F_END + 0.001:
    piston_keys.append((round(t, 2), "smooth", dict(at(FOUNDRY, -14, (1.5 if k % 2 else -1.5), 2), rotY=0)))
    t += BAR / 2
    k += 1
m = mesh("pistons", "a row of pistons pumping on the half bar", F_START, F_END)
m.A("SetTransform", keys=piston_keys)
m.A("SetColours", **colours((40, 30, 25), (200, 150, 110), (255, 220, 180), 70))
m.A("SetTextures", tex0="@steel", tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.A("Repeat", count=6, x=0, z=u(-4.5))
m.B("LoadMesh", text="box.msh")
m.B("Transform", scaleX=-20, scaleY=150, scaleZ=-20)
m.B("Normals", smooth=0)

m = mesh("pillars", "fluted bronze pillars along the hall", F_START, F_END)
m.A("SetTransform", **at(FOUNDRY, 16, 3, 6))
m.A("SetColours", **colours((40, 25, 15), (210, 140, 90), (255, 200, 150), 30))
m.A("SetTextures", tex0="@bronze", tex1="@copperbump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=2)
m.A("Repeat", count=4, z=u(-9))
m.B("LoadMesh", text="pillar.msh")
m.B("Transform", scaleX=50, scaleY=60, scaleZ=50)
m.B("MapTexCoords", scaleU=300, scaleV=100)
m.B("Normals", smooth=1)

m = mesh("crucible", "the crucible of molten metal, lit from inside", F_START, F_END)
m.A("SetTransform", keys=spin_keys(FOUNDRY, F_START, F_END, pos=(-5, -1, 4), rot1=(0, 720, 0)))
m.A("SetColours", **colours((255, 160, 60), (255, 200, 80), (0, 0, 0), 1))
m.A("SetTextures", tex0="@molten", tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.A("Lighting", on=0)
m.B("Sphere", segments=28, bands=18, radius=u(2.4))
m.B("Normals", smooth=1)
m.B("Displace", texture="@heat", amount=120)

m = mesh("hazardarch", "hazard-striped arch over the pistons", F_START, F_END)
m.A("SetTransform", **at(FOUNDRY, -14, -3, -12), rotY=90)
m.A("SetColours", **colours((60, 40, 20), (255, 200, 120), (80, 80, 80), 10))
m.A("SetTextures", tex0="@hazard", tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.A("Repeat", count=3, z=u(0), x=u(9))
m.B("LoadMesh", text="arch.msh")
m.B("Transform", scaleX=100, scaleY=150, scaleZ=100)
m.B("Normals", smooth=1)

m = mesh("hall", "the foundry hall's sooty walls, seen from inside", F_START, F_END)
m.A("SetTransform", **at(FOUNDRY, 0, 98, -4))
m.A("SetColours", **colours((40, 28, 20), (150, 110, 90), (0, 0, 0), 1))
m.A("SetTextures", tex0="@soot", tex1="@emberfloor")
m.A("SetRenderState", depthWrite=1, cull=3)
m.B("Tube", segments=16, rings=2, radius=u(42), length=u(26))
m.B("Transform", y=u(-90))
m.B("MapTexCoords", scaleU=700, scaleV=100)
m.B("Normals", smooth=1)

m = mesh("chain", "a twisted conveyor chute", F_START, F_END)
m.A("SetTransform", keys=spin_keys(FOUNDRY, F_START, F_END, pos=(6, 1, 8), rot0=(0, 0, 90), rot1=(720, 0, 90)))
m.A("SetColours", **colours((60, 35, 20), (220, 170, 110), (120, 100, 80), 12))
m.A("SetTextures", tex0="@rivets", tex1=-1)
m.A("SetRenderState", depthWrite=1, cull=2, blend=1)
m.B("Tube", segments=8, rings=20, radius=u(0.9), length=u(18))
m.B("Twist", rate=2, y=u(-9))
m.B("MapTexCoords", scaleU=100, scaleV=900)
m.B("Normals", smooth=1)

emit()
emit("# ---- meshes: the deep (abyss navy, teal, aqua) -----------------------------------------------")
D_START, D_END = W2, OUTRO
m = mesh("surface", "the water surface seen from below, reflecting the aurora", D_START, D_END)
m.A("SetTransform", **at(DEEP, 0, 9, 0))
m.A("SetColours", **colours((0, 0, 0), (255, 255, 255), (0, 0, 0), 1))
m.A("SetTextures", tex0="@aurora", tex1="@waterbump")
m.A("SetRenderState", blend=2, depthWrite=0, cull=1)
m.A("SetShader", program=4)
m.B("Grid", cellsX=8, cellsY=8, width=u(120), height=u(120))
m.B("Transform", rotX=90)
m.B("MapTexCoords", scaleU=300, scaleV=300)
m.B("Normals", smooth=0)

m = mesh("seabed", "dunes of the sea floor", D_START, D_END)
m.A("SetTransform", **at(DEEP, 0, -6, 0))
m.A("SetColours", **colours((10, 40, 50), (120, 220, 210), (60, 120, 120), 10))
m.A("SetTextures", tex0="@sand", tex1="@caustics")
m.A("SetRenderState", depthWrite=1)
m.B("Grid", cellsX=24, cellsY=24, width=u(110), height=u(110))
m.B("Transform", rotX=-90)
m.B("MapTexCoords", scaleU=500, scaleV=500)
m.B("Normals", smooth=1)
m.B("Displace", texture="@sandheight", amount=250)
m.B("Normals", smooth=1)


def jelly(label, comment, pos, phase, scale):
    keys = []
    t = D_START
    k = 0
    while t <= D_END + 0.001:
        up = (k % 2 == 0)
        keys.append((round(t, 2), "smooth", dict(at(DEEP, pos[0] + 0.6 * k * (-1) ** (k // 4), pos[1] + 0.5 * k % 7, pos[2]),
                                                  rotY=k * 20 + phase, rotZ=8 * ((k % 3) - 1),
                                                  scaleX=scale + (4 if up else -2), scaleY=scale + (-3 if up else 4),
                                                  scaleZ=scale + (4 if up else -2))))
        t += BAR
        k += 1
    m = mesh(label, comment, D_START, D_END)
    m.A("SetTransform", keys=keys)
    m.A("SetColours", **colours((40, 120, 120), (120, 255, 230), (255, 255, 255), 40))
    m.A("SetTextures", tex0="@jellyskin", tex1="@prismenv")
    m.A("SetRenderState", blend=2, depthWrite=0, cull=1)
    return m


m = jelly("jelly", "a glassy jellyfish pulsing on the bar", (-3, -2, -6), 0, 10)
m.B("LoadMesh", text="bell.msh")
m.B("Transform", scaleX=100, scaleY=100, scaleZ=100)
m.B("Normals", smooth=1)
m = jelly("jelly2", "a smaller jellyfish further off", (6, -1, -14), 90, 0)
m.A("ShareGeometry", mesh="@jelly")
m = jelly("jelly3", "a third jellyfish near the surface", (-9, 2, -20), 200, 5)
m.A("ShareGeometry", mesh="@jelly")

m = mesh("kelp", "kelp ribbons swaying", D_START, D_END)
m.A("SetTransform", keys=[(D_START, "flat", dict(at(DEEP, -12, -1, -13), rotZ=-4, rotY=0)),
                          (bar(44), "smooth", dict(at(DEEP, -12, -1, -13), rotZ=5, rotY=40)),
                          (D_END, "flat", dict(at(DEEP, -12, -1, -13), rotZ=-4, rotY=80))])
m.A("SetColours", **colours((10, 50, 30), (80, 220, 140), (40, 80, 60), 8))
m.A("SetTextures", tex0="@kelpskin", tex1="@nightsea")
m.A("SetRenderState", depthWrite=1, cull=1)
m.A("Repeat", count=5, x=u(4.5), z=u(-2), rotY=70)
m.B("Tube", segments=6, rings=16, radius=u(0.5), length=u(12))
m.B("Transform", scaleX=-40, scaleZ=50)
m.B("Twist", rate=3, y=u(-6))
m.B("MapTexCoords", scaleV=300)
m.B("Normals", smooth=1)

m = mesh("shell", "a spiral shell on the sand", D_START, D_END)
m.A("SetTransform", keys=spin_keys(DEEP, D_START, D_END, pos=(8, -4.8, -11), rot0=(-10, 0, 0), rot1=(-10, 90, 0)))
m.A("SetColours", **colours((20, 50, 60), (150, 230, 220), (255, 255, 255), 50))
m.A("SetTextures", tex0="@pearl", tex1="@waterbump")
m.A("SetRenderState", depthWrite=1, cull=2)
m.A("SetShader", program=3)
m.B("LoadMesh", text="shell.msh")
m.B("Transform", rotX=-90, scaleX=60, scaleY=60, scaleZ=60)
m.B("Normals", smooth=1)

m = mesh("plankton", "a drifting cloud of glowing plankton", D_START, D_END)
m.A("SetTransform", keys=spin_keys(DEEP, D_START, D_END, pos=(0, 1, -8), rot1=(30, 200, 0)))
m.A("SetColours", **colours((200, 255, 220), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0="@deepglow", tex1=-1)
m.A("SetRenderState", depthWrite=0, cull=1)
m.A("PolygonMode", mode=2, width=3, smooth=1)
m.A("Lighting", on=0)
m.B("Sphere", segments=24, bands=14, radius=u(14))
m.B("Twist", rate=1.2)

emit()
emit("# ---- meshes: the crystal lattice (aubergine, violet, magenta, ice white) -----------------------")
L_START, L_END = W3, OUTRO
m = mesh("bigcrystal", "the great crystal, mirror-bumped", L_START, L_END)
m.A("SetTransform", keys=spin_keys(LATTICE, L_START, L_END, pos=(0, 1, 0), rot0=(0, 0, 8), rot1=(0, 540, 8),
                                   extra=({"scaleX": 0, "scaleY": 0, "scaleZ": 0}, {"scaleX": 0, "scaleY": 0, "scaleZ": 0})))
m.A("SetColours", **colours((40, 20, 70), (230, 200, 255), (255, 255, 255), 60))
m.A("SetTextures", tex0="@plasma", tex1="@crystalbump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=3)
m.B("LoadMesh", text="crystal.msh")
m.B("Transform", scaleX=250, scaleY=250, scaleZ=250)
m.B("Normals", smooth=0)

m = mesh("crystals", "a ring of smaller crystals", L_START, L_END)
m.A("SetTransform", keys=spin_keys(LATTICE, L_START, L_END, pos=(0, -1, 0), rot1=(0, -240, 0)))
m.A("SetColours", **colours((50, 20, 60), (255, 120, 220), (255, 255, 255), 80))
m.A("SetTextures", tex0="@crystal", tex1="@crystalbump")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=2)
m.A("Repeat", count=8, rotY=40)
m.B("LoadMesh", text="crystal.msh")
m.B("Transform", x=u(9), rotZ=-15, scaleX=60, scaleY=80, scaleZ=60)
m.B("Normals", smooth=0)

m = mesh("cage", "the icosahedral lattice cage", L_START, L_END)
m.A("SetTransform", keys=spin_keys(LATTICE, L_START, L_END, pos=(0, 2, 0), rot0=(0, 0, 0), rot1=(180, 360, 0)))
m.A("SetColours", **colours((230, 240, 255), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0="@icefog", tex1=-1)
m.A("SetRenderState", depthWrite=1, cull=1)
m.A("PolygonMode", mode=1, width=1.5, smooth=1)
m.A("Lighting", on=0)
m.A("Repeat", count=1, scale=-40, rotY=36)
m.B("LoadMesh", text="icosa.msh")
m.B("Transform", scaleX=260, scaleY=260, scaleZ=260)

m = mesh("gems", "a spiral of diamonds rising", L_START, L_END)
m.A("SetTransform", keys=spin_keys(LATTICE, L_START, L_END, pos=(0, -4, 0), rot1=(0, 480, 0)))
m.A("SetColours", **colours((60, 20, 50), (255, 90, 200), (255, 255, 255), 90))
m.A("SetTextures", tex0="@gemface", tex1="@shards")
m.A("SetRenderState", depthWrite=1)
m.A("Repeat", count=15, y=u(0.9), rotY=48)
m.B("LoadMesh", text="diamond.msh")
m.B("Transform", x=u(13), scaleX=-30, scaleY=-30, scaleZ=-30)
m.B("Normals", smooth=0)

m = mesh("latticefloor", "violet grid floor drawn in lines", L_START, L_END)
m.A("SetTransform", **at(LATTICE, 0, -6, 0))
m.A("SetColours", **colours((120, 60, 220), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0="@violetgrid", tex1=-1)
m.A("SetRenderState", depthWrite=1, cull=1)
m.A("PolygonMode", mode=1, width=1, smooth=0)  # 1 500 lines: smoothing them costs a frame 2 ms
m.A("Lighting", on=0)
m.B("Grid", cellsX=16, cellsY=16, width=u(96), height=u(96))
m.B("Transform", rotX=-90)

m = mesh("mirror", "a floating pane showing the frame itself", L_START, L_END)
m.A("SetTransform", keys=spin_keys(LATTICE, L_START, L_END, pos=(0, 9, -14), rot0=(10, -20, 0), rot1=(10, 20, 0)))
m.A("SetColours", **colours((255, 255, 255), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0=-2, tex1=-1)
m.A("SetRenderState", depthWrite=1, cull=1)
m.A("Lighting", on=0)
m.B("Grid", cellsX=1, cellsY=1, width=u(8), height=u(6))

m = mesh("pointsphere", "a sphere of ice points", L_START, L_END)
m.A("SetTransform", keys=spin_keys(LATTICE, L_START, L_END, pos=(0, 2, 0), rot1=(0, -720, 0)))
m.A("SetColours", **colours((230, 240, 255), (0, 0, 0), (0, 0, 0), 1))
m.A("SetTextures", tex0="@violetglow", tex1=-1)
m.A("SetRenderState", depthWrite=1, cull=1)
m.A("PolygonMode", mode=2, width=3, smooth=1)
m.A("Lighting", on=0)
m.B("Sphere", segments=20, bands=12, radius=u(22))  # each corner is a point: few bands

emit()
emit("# ---- meshes: the credits (black, warm gold, cream) -------------------------------------------")
C_START = OUTRO
m = mesh("title3d", "the show's name in extruded gold letters", C_START, END)
m.A("SetTransform", keys=[(C_START, "flat", dict(at(CREDITS, -3.3, 1.6, 0), rotY=-25, scaleX=10, scaleY=10, scaleZ=10)),
                          (bar(88), "smooth", dict(at(CREDITS, -3.3, 1.6, 0), rotY=10, scaleX=10, scaleY=10, scaleZ=10)),
                          (END, "flat", dict(at(CREDITS, -3.3, 1.6, 0), rotY=25, scaleX=10, scaleY=10, scaleZ=10))])
m.A("SetColours", **colours((70, 50, 20), (255, 200, 96), (255, 255, 230), 60))
m.A("SetTextures", tex0=-1, tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.A("PolygonMode", mode=0)
m.B("Text", text="glimmer ", depth=8)

m = mesh("thanks3d", "a second line of outline text: thanks", C_START, END)
m.A("SetTransform", keys=[(C_START, "flat", dict(at(CREDITS, -1.6, -0.6, 1), rotX=0, scaleX=0, scaleY=0, scaleZ=0)),
                          (END, "flat", dict(at(CREDITS, -1.6, -0.6, 1), rotX=-20, scaleX=0, scaleY=0, scaleZ=0))])
m.A("SetColours", **colours((60, 50, 40), (255, 240, 210), (255, 255, 255), 40))
m.A("SetTextures", tex0=-1, tex1=-1)
m.A("SetRenderState", depthWrite=1)
m.B("Text", text="thank you ", depth=4)

m = mesh("stage", "the polished gold stage disc", C_START, END)
m.A("SetTransform", keys=spin_keys(CREDITS, C_START, END, pos=(0, -1.5, 0), rot1=(0, 60, 0)))
m.A("SetColours", **colours((50, 35, 10), (255, 210, 120), (255, 255, 220), 50))
m.A("SetTextures", tex0="@stagegold", tex1="@halo")
m.A("SetRenderState", depthWrite=1)
m.B("LoadMesh", text="disc.msh")
m.B("Transform", scaleX=500, scaleY=100, scaleZ=500)
m.B("Normals", smooth=1)

m = mesh("creditstars", "small gold stars circling the stage", C_START, END)
m.A("SetTransform", keys=spin_keys(CREDITS, C_START, END, pos=(0, -0.5, 0), rot1=(0, -180, 0)))
m.A("SetColours", **colours((60, 40, 10), (255, 200, 96), (255, 255, 200), 60))
m.A("SetTextures", tex0="@goldleaf", tex1="@ribbon")
m.A("SetRenderState", depthWrite=1)
m.A("SetShader", program=1)
m.A("Repeat", count=9, rotY=36)
m.B("LoadMesh", text="star.msh")
m.B("Transform", x=u(6.5), scaleX=-55, scaleY=-55, scaleZ=-55)
m.B("Normals", smooth=0)

# ---- lights: two lights that follow the cuts -------------------------------------------------
# (Pattern of cuts, shared with the timeline below.)
CUTS = [
    (OPEN, "void"), (BUILD, "tunnel"), (W1, "foundry"), (bar(24), "forge"), (bar(28), "foundry"),
    (bar(32), "forge"), (W2, "deep"), (W3, "lattice"), (bar(56), "prism"), (bar(60), "lattice"),
    (bar(64), "prism"),
]
order = ["foundry", "deep", "lattice", "forge", "deep", "prism"]
k = 0
for n in range(6):  # one bar each
    CUTS.append((bar(68 + n), order[k % 6]))
    k += 1
for n in range(12):  # half a bar each
    CUTS.append((bar(74) + n * BAR / 2, order[k % 6]))
    k += 1
for n in range(8):  # a quarter bar each
    CUTS.append((bar(80) + n * BAR / 4, order[k % 6]))
    k += 1
CUTS.append((OUTRO, "credits"))
CUTS = [(round(t, 2), s) for t, s in CUTS]

WORLD_OF = {"void": "void", "tunnel": "tunnel", "foundry": "foundry", "forge": "foundry", "deep": "deep",
            "lattice": "lattice", "prism": "lattice", "credits": "credits"}
CENTRE = {"void": VOID, "tunnel": TUNNEL, "foundry": FOUNDRY, "deep": DEEP, "lattice": LATTICE, "credits": CREDITS}
KEY_LIGHT = {  # position relative to the world, ambient, diffuse, specular
    "void": ((4, 12, 10), (30, 30, 60), (255, 220, 150), (255, 255, 230)),
    "tunnel": ((0, 0, 40), (20, 30, 80), (120, 220, 255), (255, 255, 255)),
    "foundry": ((-5, 4, 6), (50, 25, 15), (255, 150, 60), (255, 220, 140)),
    "deep": ((0, 20, 0), (10, 40, 60), (120, 240, 230), (200, 255, 240)),
    "lattice": ((6, 14, 8), (40, 20, 70), (230, 220, 255), (255, 255, 255)),
    "credits": ((0, 6, 14), (40, 30, 10), (255, 210, 130), (255, 255, 230)),
}
RIM_LIGHT = {
    "void": ((-10, -4, -12), (0, 0, 0), (80, 90, 200), (120, 140, 255)),
    "tunnel": ((0, 0, -60), (0, 0, 0), (255, 190, 80), (255, 220, 120)),
    "foundry": ((14, 18, -20), (0, 0, 0), (255, 200, 64), (255, 230, 120)),
    "deep": ((0, -10, -20), (0, 0, 0), (16, 160, 160), (60, 200, 200)),
    "lattice": ((-14, -6, -10), (0, 0, 0), (255, 64, 192), (255, 120, 220)),
    "credits": ((-8, 8, -10), (0, 0, 0), (200, 120, 40), (255, 200, 120)),
}


def light(label, comment, table):
    e = Entity("light", label, 0, END, comment)
    pos, col = [], []
    last = None
    for t, s in CUTS:
        w = WORLD_OF[s]
        if w == last:
            continue
        last = w
        p, a, d, sp = table[w]
        c = CENTRE[w]
        pos.append((t, {"x": u(c[0] + p[0]), "y": u(c[1] + p[1]), "z": u(c[2] + p[2])}))
        col.append((t, {"ambientR": a[0], "ambientG": a[1], "ambientB": a[2], "diffuseR": d[0], "diffuseG": d[1],
                        "diffuseB": d[2], "specularR": sp[0], "specularG": sp[1], "specularB": sp[2]}))
    e.A("SetLightPosition", keys=held(pos))
    e.A("SetLightColours", keys=held(col))


emit()
emit("# ---- lights: a key and a rim light that move to whichever world the timeline shows -----------")
light("key", "key light: it follows the cuts, so the programs' light 0 is always in the shown world", KEY_LIGHT)
light("rim", "rim light in each world's accent colour", RIM_LIGHT)

# ---- scenes ----------------------------------------------------------------------------------
emit()
emit("# ---- scenes: one camera set-up each; the timeline picks one per cut --------------------------")


def cam(centre, t, typ, eye, target, roll=0):
    return (t, typ, {"eyeX": u(centre[0] + eye[0]), "eyeY": u(centre[1] + eye[1]), "eyeZ": u(centre[2] + eye[2]),
                     "targetX": u(centre[0] + target[0]), "targetY": u(centre[1] + target[1]),
                     "targetZ": u(centre[2] + target[2]), "roll": roll})


def scene(label, comment):
    return Entity("scene", label, 0, END, comment)


def lens(fov, enabled=0, x=0, y=0, w=100, h=100):
    return {"enabled": enabled, "x": x, "y": y, "width": w, "height": h, "fov": fov, "aspect": 1.33}


# 1. the void
s = scene("void", "opening: the spark is born in the indigo void")
s.A("SetCamera", keys=[cam(VOID, 0, "flat", (0, 3, 26), (0, -1, -4), -6),
                       cam(VOID, 7.68, "smooth", (4, 2, 16), (0, -1, -4), 0),
                       cam(VOID, 15.36, "flat", (-3, 1, 12), (0, 0, -3), 8)])
s.A("SetClear", enabled=1, red=10, green=12, blue=30)
s.A("SetFog", mode=0, red=10, green=12, blue=30, start=u(14), end=u(40))
s.A("SetViewport", **lens(42))
s.A("SetBackgroundLayer", texture="@voidsky", alpha=255, x=0, y=0, width=100, height=100, red=255, green=255, blue=255)
s.A("SetLayer", texture="@title", x=20, y=50, width=60, height=45, red=255, green=230, blue=180,
    keys=[(0, "flat", {"texture": "@title", "alpha": 0, "x": 20, "y": 52, "width": 60, "height": 45, "red": 255, "green": 230, "blue": 180}),
          (7.68, "flat", {"texture": "@title", "alpha": 0, "x": 20, "y": 50, "width": 60, "height": 45, "red": 255, "green": 230, "blue": 180}),
          (9.60, "flat", {"texture": "@title", "alpha": 255, "x": 20, "y": 50, "width": 60, "height": 45, "red": 255, "green": 230, "blue": 180}),
          (14.40, "flat", {"texture": "@title", "alpha": 255, "x": 18, "y": 50, "width": 64, "height": 48, "red": 255, "green": 230, "blue": 180}),
          (15.36, "flat", {"texture": "@title", "alpha": 0, "x": 10, "y": 46, "width": 80, "height": 60, "red": 255, "green": 255, "blue": 255})])
s.A("SetLayer", keys=[(0, "flat", {"texture": "@subtitle", "alpha": 0, "x": 20, "y": 20, "width": 60, "height": 45, "red": 200, "green": 210, "blue": 255}),
                      (10.56, "flat", {"texture": "@subtitle", "alpha": 0, "x": 20, "y": 20, "width": 60, "height": 45, "red": 200, "green": 210, "blue": 255}),
                      (12.48, "flat", {"texture": "@subtitle", "alpha": 230, "x": 20, "y": 20, "width": 60, "height": 45, "red": 200, "green": 210, "blue": 255}),
                      (15.36, "flat", {"texture": "@subtitle", "alpha": 0, "x": 20, "y": 20, "width": 60, "height": 45, "red": 200, "green": 210, "blue": 255})])
s.A("SetFade", keys=[(0, "flat", {"alpha": 100, "red": 0, "green": 0, "blue": 0}),
                     (1.92, "flat", {"alpha": 0, "red": 0, "green": 0, "blue": 0})])

# 2. the tunnel
tk = []
for i in range(13):
    t = BUILD + i * BAR
    z = 72 - (i * 7 + (i * i) * 0.4)
    tk.append(cam(TUNNEL, round(t, 2), "smooth", (0.6 * (-1) ** i, 0.4, z), (0, 0, z - 12), i * i * 1.6))
s = scene("tunnel", "build-up: flight down the twisted tunnel")
s.A("SetCamera", keys=tk)
s.A("SetClear", enabled=1, red=16, green=24, blue=90)
s.A("SetFog", mode=0, red=16, green=24, blue=90, start=u(8), end=u(46))
s.A("SetViewport", keys=[(BUILD, "flat", lens(40)), (bar(16), "smooth", lens(40)), (W1, "flat", lens(52))])
# The echo ring (two full-screen copies) plays over the last four bars of the build-up only,
# flashing on every beat and growing toward the drop; in black between the flashes it costs
# nothing.
echo = [(BUILD, "hold", {"radius": 0, "copies": 1, "red": 0, "green": 0, "blue": 0})]
t = bar(16)
k = 0
while t < W1 - 0.001:
    grow = k / 16.0
    echo.append((round(t - 0.01, 2), "flat", {"radius": 2 + 22 * grow, "copies": 1, "red": 0, "green": 0, "blue": 0}))
    echo.append((round(t, 2), "flat", {"radius": 2 + 22 * grow, "copies": 1, "red": 60 + 60 * grow, "green": 100 + 50 * grow, "blue": 130 + 50 * grow}))
    echo.append((round(t + 0.24, 2), "flat", {"radius": 2 + 22 * grow, "copies": 1, "red": 0, "green": 0, "blue": 0}))
    t += 4 * ROW
    k += 1
s.A("EchoRing", keys=echo)

# 3. the foundry, two camera set-ups
fk = []
for i in range(0, 62, 2):  # 38.40 to 157.44 in two-bar steps, one slow orbit
    t = W1 + i * BAR
    if t > OUTRO + 0.001:
        break
    a = i * 0.21
    fk.append(cam(FOUNDRY, round(t, 2), "smooth",
                  (22 * math.sin(a), 4 + 3 * math.sin(a * 0.7), 22 * math.cos(a) - 2), (0, 2, -4), 4 * math.sin(a * 1.3)))
s = scene("foundry", "world 1: the foundry, orbit around the gears")
s.A("SetCamera", keys=fk)
s.A("SetClear", withFog=1, enabled=1)
s.A("SetFog", mode=0, red=28, green=20, blue=16, start=u(20), end=u(60))
s.A("SetViewport", **lens(40))
# The glow flashes on every bar's downbeat and dies away within a quarter bar.
s.A("SetGlow", keys=pulses(W1, OUTRO, BAR, BAR / 4, {"amount": 3, "passes": 2, "red": 150, "green": 80, "blue": 36},
                           {"amount": 3, "passes": 2, "red": 0, "green": 0, "blue": 0}))
s.A("SetFade", keys=[(0, "flat", {"alpha": 100, "red": 255, "green": 255, "blue": 255}),
                     (W1, "flat", {"alpha": 100, "red": 255, "green": 240, "blue": 220}),
                     (W1 + 0.96, "flat", {"alpha": 0, "red": 255, "green": 240, "blue": 220}),
                     (CLIMAX, "flat", {"alpha": 0, "red": 255, "green": 240, "blue": 220}),
                     (CLIMAX + 0.01, "flat", {"alpha": 80, "red": 255, "green": 240, "blue": 220}),
                     (CLIMAX + 0.48, "flat", {"alpha": 0, "red": 255, "green": 240, "blue": 220})])

gk = []
for i in range(0, 62, 2):
    t = W1 + i * BAR
    if t > OUTRO + 0.001:
        break
    x = -22 + (i % 16) * 1.7
    gk.append(cam(FOUNDRY, round(t, 2), "smooth", (x, 1.5 + (i % 4) * 0.8, 18 - (i % 8) * 0.4), (x + 8, 1, -8), -6 + (i % 5) * 3))
s = scene("forge", "world 1: low tracking shot along the pistons and pillars")
s.A("SetCamera", keys=gk)
s.A("SetClear", enabled=1, red=28, green=20, blue=16)
s.A("SetFog", mode=1, red=40, green=24, blue=14, density=4)
s.A("SetViewport", **lens(34))
s.A("SetGlow", keys=pulses(W1 + BAR / 2, OUTRO, BAR, BAR / 8, {"amount": 5, "passes": 2, "red": 170, "green": 85, "blue": 24},
                           {"amount": 5, "passes": 2, "red": 0, "green": 0, "blue": 0}))

# 4. the deep
# Four shots that repeat through the climax: looking up at the surface from the sand, gliding
# past the kelp, a medium shot of the jellyfish (the porthole bars), rising to look down.
DEEP_SHOTS = [
    [((0, -4.5, 10), (0, 7, -8), -4), ((3, -4, 7), (-1, 8, -8), 4)],
    [((-16, -1, -2), (-4, 0, -10), 6), ((-6, 0, -5), (4, 0, -12), -3)],
    [((2, 0, 6), (-3, -1, -8), 0), ((-2, 1, 4), (1, 0, -12), 2)],
    [((6, 6, 6), (4, -4, -8), -8), ((-2, 7, 2), (0, -5, -10), 5)],
]
dk = []
t = W2
k = 0
while t < OUTRO - 0.001:
    shot = DEEP_SHOTS[k % 4]
    for j, (eye, target, roll) in enumerate(shot):
        dk.append(cam(DEEP, round(t + j * (4 * BAR - 0.12), 2), "flat", eye, target, roll))
    t += 4 * BAR
    k += 1
s = scene("deep", "world 2: the deep, a slow drift under the water")
s.A("SetCamera", keys=dk)  # flat keys: each shot glides, then the next one cuts in
s.A("SetClear", enabled=1, red=4, green=20, blue=40)
s.A("SetFog", mode=2, red=4, green=30, blue=50, density=3.5)
s.A("SetViewport", keys=[(W2, "hold", lens(44)), (bar(44), "hold", lens(44, 1, 12.5, 12.5, 75, 75)),
                         (bar(48), "hold", lens(44)), (200, "hold", lens(44))])
s.A("SetLayer", keys=[(W2, "hold", {"texture": "@porthole", "alpha": 0, "x": 12.5, "y": 12.5, "width": 75, "height": 75, "red": 255, "green": 255, "blue": 255}),
                      (bar(44), "hold", {"texture": "@porthole", "alpha": 255, "x": 12.5, "y": 12.5, "width": 75, "height": 75, "red": 255, "green": 255, "blue": 255}),
                      (bar(48), "hold", {"texture": "@porthole", "alpha": 0, "x": 12.5, "y": 12.5, "width": 75, "height": 75, "red": 255, "green": 255, "blue": 255}),
                      (200, "hold", {"texture": "@porthole", "alpha": 0, "x": 12.5, "y": 12.5, "width": 75, "height": 75, "red": 255, "green": 255, "blue": 255})])
s.A("SetFade", keys=[(W2, "flat", {"alpha": 60, "red": 4, "green": 20, "blue": 40}),
                     (W2 + 1.92, "smooth", {"alpha": 0, "red": 4, "green": 20, "blue": 40}),
                     (bar(44) - 0.96, "flat", {"alpha": 0, "red": 4, "green": 20, "blue": 40}),
                     (bar(44), "flat", {"alpha": 100, "red": 4, "green": 20, "blue": 40}),
                     (bar(44) + 0.96, "flat", {"alpha": 0, "red": 4, "green": 20, "blue": 40})])

# 5. the lattice, two camera set-ups
lk = []
for i in range(0, 30, 2):
    t = W3 + i * BAR
    a = i * 0.45
    lk.append(cam(LATTICE, round(t, 2), "smooth", (18 * math.sin(a), 1 + i * 0.45, 18 * math.cos(a)), (0, 1 + i * 0.1, 0),
                  12 * math.sin(a * 0.6)))
lk.append(cam(LATTICE, OUTRO, "flat", (12, 3, 12), (0, 1, 0), 0))
s = scene("lattice", "world 3: fast orbits and a spiral rise through the crystals")
s.A("SetCamera", keys=lk)
s.A("SetClear", enabled=1, red=24, green=8, blue=40)
s.A("SetFog", mode=0, red=24, green=8, blue=40, start=u(22), end=u(55))
s.A("SetViewport", keys=[(W3, "flat", lens(44)), (bar(60), "smooth", lens(36)), (OUTRO, "flat", lens(50))])
s.A("SetGlow", keys=pulses(W3, OUTRO, BAR, BAR / 4, {"amount": 4, "passes": 2, "red": 170, "green": 70, "blue": 190},
                           {"amount": 4, "passes": 2, "red": 0, "green": 0, "blue": 0}))

pk = []
for i in range(0, 30, 2):
    t = W3 + i * BAR
    a = -i * 0.3
    pk.append(cam(LATTICE, round(t, 2), "smooth", (7 * math.sin(a), 8 - i * 0.25, 7 * math.cos(a)), (0, -2, 0), 30 * math.sin(a)))
s = scene("prism", "world 3: looking down into the crystal ring, rolling")
s.A("SetCamera", keys=pk)
s.A("SetClear", enabled=1, red=24, green=8, blue=40)
s.A("SetFog", mode=0, red=24, green=8, blue=40, start=u(16), end=u(45))
s.A("SetViewport", **lens(50))
s.A("EchoRing", keys=pulses(W3 + BAR / 2, OUTRO, BAR, BAR / 8, {"radius": 10, "copies": 1, "red": 150, "green": 80, "blue": 190},
                            {"radius": 4, "copies": 1, "red": 0, "green": 0, "blue": 0}))

# 6. the credits
s = scene("credits", "ending: the name in gold, credits, fade to black")
s.A("SetCamera", keys=[cam(CREDITS, OUTRO, "flat", (0, 4, 16), (0, 0.5, 0), 0),
                       cam(CREDITS, bar(88), "smooth", (3, 2.5, 10), (0, 0.8, 0), -3),
                       cam(CREDITS, END, "flat", (-2, 1.5, 7.5), (0, 1.0, 0), 2)])
s.A("SetClear", enabled=1, red=0, green=0, blue=0)
s.A("SetFog", mode=0, red=0, green=0, blue=0, start=u(12), end=u(30))
s.A("SetViewport", **lens(44))
s.A("SetLayer", keys=[(OUTRO, "flat", {"texture": "@creditlines", "alpha": 0, "x": 25, "y": 2, "width": 50, "height": 38, "red": 255, "green": 240, "blue": 210}),
                      (bar(84), "flat", {"texture": "@creditlines", "alpha": 0, "x": 25, "y": 2, "width": 50, "height": 38, "red": 255, "green": 240, "blue": 210}),
                      (bar(85), "flat", {"texture": "@creditlines", "alpha": 255, "x": 25, "y": 2, "width": 50, "height": 38, "red": 255, "green": 240, "blue": 210}),
                      (bar(86), "flat", {"texture": "@creditlines", "alpha": 255, "x": 25, "y": 2, "width": 50, "height": 38, "red": 255, "green": 240, "blue": 210}),
                      (bar(86) + 0.96, "flat", {"texture": "@creditlines", "alpha": 0, "x": 25, "y": 2, "width": 50, "height": 38, "red": 255, "green": 240, "blue": 210})])
s.A("SetLayer", keys=[(OUTRO, "flat", {"texture": "@thanks", "alpha": 0, "x": 8, "y": -20, "width": 84, "height": 60, "red": 255, "green": 230, "blue": 180}),
                      (bar(88), "flat", {"texture": "@thanks", "alpha": 0, "x": 8, "y": -20, "width": 84, "height": 60, "red": 255, "green": 230, "blue": 180}),
                      (bar(89), "flat", {"texture": "@thanks", "alpha": 255, "x": 8, "y": -20, "width": 84, "height": 60, "red": 255, "green": 230, "blue": 180}),
                      (END, "flat", {"texture": "@thanks", "alpha": 255, "x": 8, "y": -20, "width": 84, "height": 60, "red": 255, "green": 230, "blue": 180})])


def credit_line(text, y, t_in, t_out):
    x = 12  # the bitmap font has a fixed pixel size: left-aligned lines fit every resolution
    hidden = {"x": x, "y": -20, "red": 0, "green": 0, "blue": 0}
    shown = {"x": x, "y": y, "red": 255, "green": 200, "blue": 96}
    s.A("DrawText", text=text, keys=[(OUTRO, "hold", hidden), (t_in, "hold", shown), (t_out, "hold", hidden), (200, "hold", hidden)])


credit_line("a glimmer show", 88, bar(82) + 0.96, bar(84))
credit_line("music: our song", 88, bar(84), bar(86))
credit_line("code: our engine", 88, bar(86), bar(88))
credit_line("art: generated", 88, bar(88), bar(90))
credit_line("see you soon", 88, bar(90), 200)
s.A("SetFade", keys=[(OUTRO, "flat", {"alpha": 100, "red": 0, "green": 0, "blue": 0}),
                     (OUTRO + 1.92, "smooth", {"alpha": 0, "red": 0, "green": 0, "blue": 0}),
                     (bar(90) + 0.96, "flat", {"alpha": 0, "red": 0, "green": 0, "blue": 0}),
                     (END, "flat", {"alpha": 100, "red": 0, "green": 0, "blue": 0})])

# ---- timeline --------------------------------------------------------------------------------
emit()
emit("# ---- timeline: the cut list of the storyboard ---------------------------------------------")
e = Entity("timeline", None, 0, END, None)
e.A("SetScene", keys=held([(t, {"scene": "@" + s_}) for t, s_ in CUTS]))

# ---- particles -------------------------------------------------------------------------------
emit()
emit("# ---- particles ----------------------------------------------------------------------------")


def particles(label, comment, start, end):
    return Entity("particles", label, start, end, comment)


p = particles("sparkstream", "the spark: a gold stream rising in the void", OPEN, BUILD)
p.A("SetEmitter", **at(VOID, 0, -6, -6), spin=9, keys=[
    (0, "flat", dict(at(VOID, 0, -6, -6), angleX=0, angleZ=0, spin=9)),
    (7.68, "smooth", dict(at(VOID, 0, -5, -5), angleX=0.2, angleZ=0.3, spin=9)),
    (15.36, "flat", dict(at(VOID, 0, -4, -4), angleX=-0.2, angleZ=-0.2, spin=9))])
p.A("SetParticleTexture", texture="@spark")
p.A("SetGravity", x=0, y=-3, z=0, scale=1)
p.A("SetParticles", count=220, speed=30, fade=5, size=8, spreadX=u(0.6), spreadZ=u(0.6), red=255, green=220, blue=150)

# The emitter runs 45 units ahead of the camera and the motes die before they reach it, so no
# sprite ever fills the screen.
dust_keys = []
for i in range(13):
    z = 72 - (i * 7 + (i * i) * 0.4) - 45
    dust_keys.append((round(BUILD + i * BAR, 2), "smooth", dict(at(TUNNEL, 0, 0, z), angleX=1.57)))
p = particles("dust", "cyan dust streaming at the camera in the tunnel", BUILD, W1)
p.A("SetEmitter", keys=dust_keys)
p.A("SetParticleTexture", texture="@mote")
p.A("SetParticles", count=240, speed=180, fade=10, size=5, spreadX=u(7), spreadZ=u(7), red=160, green=230, blue=255)

p = particles("embers", "molten sparks fountaining from the crucible", F_START, F_END)
p.A("SetEmitter", **at(FOUNDRY, -5, 1, 4), spin=20)
p.A("SetParticleTexture", texture="@ember")
p.A("SetGravity", x=0, y=-90, z=0, scale=1)
p.A("SetParticles", count=240, speed=110, fade=7, size=7, spreadX=u(3), spreadZ=u(3), red=255, green=180, blue=90)

p = particles("bubbles", "bubbles rising in the deep", D_START, D_END)
p.A("SetEmitter", **at(DEEP, 0, -6, -4), spin=3)
p.A("SetParticleTexture", texture="@bubble")
p.A("SetGravity", x=2, y=5, z=0, scale=1)
p.A("SetParticles", count=160, speed=12, fade=1.2, size=6, spreadX=u(24), spreadZ=u(20), red=150, green=255, blue=235)

p = particles("stardust", "violet and ice stardust spinning in the lattice", L_START, L_END)
p.A("SetEmitter", **at(LATTICE, 0, 9, 0), angleX=3.14, spin=30)
p.A("SetParticleTexture", texture="@flake")
p.A("SetGravity", x=0, y=-4, z=0, scale=1)
p.A("SetParticles", count=200, speed=15, fade=2.5, size=9, spreadX=u(30), spreadZ=u(30), red=230, green=200, blue=255)

p = particles("goldrain", "gold glints falling over the credits", OUTRO, END)
p.A("SetEmitter", **at(CREDITS, 0, 8, -2), angleX=3.14, spin=10)
p.A("SetParticleTexture", texture="@glints")
p.A("SetGravity", x=0, y=-6, z=0, scale=1)
p.A("SetParticles", count=140, speed=8, fade=2.2, size=4, spreadX=u(18), spreadZ=u(8), red=255, green=200, blue=96)

emit()
emit("trailing 00")

with open(os.path.join(HERE, "scene.scene"), "w") as out:
    out.write("\n".join(lines) + "\n")
