#!/usr/bin/env python3
"""Writes the meshes and the stored image of the show's mesh pack.

Run from anywhere: python3 content/pack/make_content.py. The outputs are committed; the build
only packs them (glimmerc pack build content/pack/pack.manifest -o meshpack.bin).
Every mesh is outward-facing (counter-clockwise seen from outside) with texture coordinates.
"""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def fmt(x):
    s = "%.5f" % x
    s = s.rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def write_obj(name, comment, verts, texs, faces):
    """faces: lists of (position index, texcoord index), 0-based, counter-clockwise."""
    lines = ["# " + comment]
    lines += ["v %s %s %s" % tuple(fmt(c) for c in v) for v in verts]
    lines += ["vt %s %s" % tuple(fmt(c) for c in t) for t in texs]
    for f in faces:
        lines.append("f " + " ".join("%d/%d" % (p + 1, t + 1) for p, t in f))
    with open(os.path.join(HERE, name), "w") as out:
        out.write("\n".join(lines) + "\n")


def box():
    """Unit cube with a seam on every edge: 8 positions, 4 texture coordinates, 6 quads."""
    verts = [(x, y, z) for x in (-1, 1) for y in (-1, 1) for z in (-1, 1)]
    idx = {v: i for i, v in enumerate(verts)}
    texs = [(0, 0), (1, 0), (1, 1), (0, 1)]
    faces = []
    for axis in range(3):
        for sign in (-1, 1):
            u_axis, v_axis = [(1, 2), (2, 0), (0, 1)][axis]
            corners = []
            for du, dv in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                p = [0, 0, 0]
                p[axis] = sign
                p[u_axis] = du
                p[v_axis] = dv
                corners.append(tuple(p))
            if sign < 0:
                corners.reverse()
            faces.append([(idx[c], k if sign > 0 else 3 - k) for k, c in enumerate(corners)])
    write_obj("box.obj", "box: a cube of edge 2 with its texture on every face", verts, texs, faces)


def gem():
    """Octahedron stretched along Y, facets split into triangles."""
    verts = [(0, 1.6, 0), (0, -1.6, 0)]
    ring = 8
    for k in range(ring):
        a = 2 * math.pi * k / ring
        verts.append((math.cos(a), 0, math.sin(a)))
    texs = [(k / ring, 0.5) for k in range(ring + 1)] + [(0.5, 1), (0.5, 0)]
    faces = []
    for k in range(ring):
        a, b = 2 + k, 2 + (k + 1) % ring
        faces.append([(a, k), (0, ring + 1), (b, k + 1)])
        faces.append([(b, k + 1), (1, ring + 2), (a, k)])
    write_obj("gem.obj", "gem: an eight-sided double pyramid", verts, texs, faces)


def star():
    """Five-pointed star extruded along Z, texture planar in XY."""
    outline = []
    for k in range(10):
        r = 1.0 if k % 2 == 0 else 0.45
        a = math.pi / 2 + k * math.pi / 5
        outline.append((r * math.cos(a), r * math.sin(a)))
    n = len(outline)
    verts = [(x, y, 0.25) for x, y in outline] + [(x, y, -0.25) for x, y in outline]
    verts += [(0, 0, 0.25), (0, 0, -0.25)]
    texs = [(0.5 + 0.5 * x, 0.5 + 0.5 * y) for x, y in outline] + [(0.5, 0.5)]
    side = len(texs)
    texs += [(0, 0), (1, 0), (1, 1), (0, 1)]
    faces = []
    for k in range(n):
        j = (k + 1) % n
        faces.append([(2 * n, n), (k, k), (j, j)])                 # front, facing +Z
        faces.append([(2 * n + 1, n), (n + j, j), (n + k, k)])     # back, facing -Z
        faces.append([(k, side + 3), (n + k, side), (n + j, side + 1), (j, side + 2)])  # wall
    write_obj("star.obj", "star: a five-pointed star, 0.5 thick", verts, texs, faces)


def torus():
    """Torus around Y, 16 x 8 cells, seams duplicated in texture space only."""
    nu, nv, big, small = 16, 8, 1.0, 0.35
    verts, texs, faces = [], [], []
    for i in range(nu):
        a = 2 * math.pi * i / nu
        for j in range(nv):
            b = 2 * math.pi * j / nv
            r = big + small * math.cos(b)
            verts.append((r * math.cos(a), small * math.sin(b), -r * math.sin(a)))
    for i in range(nu + 1):
        for j in range(nv + 1):
            texs.append((i / nu, j / nv))
    for i in range(nu):
        for j in range(nv):
            p = lambda di, dj: ((i + di) % nu) * nv + (j + dj) % nv
            t = lambda di, dj: (i + di) * (nv + 1) + j + dj
            faces.append([(p(0, 0), t(0, 0)), (p(1, 0), t(1, 0)), (p(1, 1), t(1, 1)), (p(0, 1), t(0, 1))])
    write_obj("torus.obj", "torus: ring radius 1, tube radius 0.35", verts, texs, faces)


def orient_outward(verts, faces):
    """Reverses every face when the surface encloses a negative volume (faces turned inward)."""
    cx = sum(v[0] for v in verts) / len(verts)
    cy = sum(v[1] for v in verts) / len(verts)
    cz = sum(v[2] for v in verts) / len(verts)
    vol = 0.0
    for f in faces:
        p = [verts[c[0]] for c in f]
        for k in range(1, len(p) - 1):
            a = (p[0][0] - cx, p[0][1] - cy, p[0][2] - cz)
            b = (p[k][0] - cx, p[k][1] - cy, p[k][2] - cz)
            c = (p[k + 1][0] - cx, p[k + 1][1] - cy, p[k + 1][2] - cz)
            vol += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0])
    if vol < 0:
        faces = [list(reversed(f)) for f in faces]
    return faces


def lathe(name, comment, profile, segs, radius_at=lambda a: 1.0):
    """Surface of revolution about Y: profile is (r, y) from bottom to top; radius_at(angle)
    scales the radius around the axis (flutes, facets). The seam is duplicated in texture space."""
    verts, texs, faces = [], [], []
    n = len(profile)
    for i in range(segs):
        a = 2 * math.pi * i / segs
        k = radius_at(a)
        for r, y in profile:
            verts.append((r * k * math.cos(a), y, r * k * math.sin(a)))
    for i in range(segs + 1):
        for j in range(n):
            texs.append((i / segs, j / (n - 1)))
    for i in range(segs):
        for j in range(n - 1):
            p = lambda di, dj: ((i + di) % segs) * n + j + dj
            t = lambda di, dj: (i + di) * n + j + dj
            faces.append([(p(0, 0), t(0, 0)), (p(0, 1), t(0, 1)), (p(1, 1), t(1, 1)), (p(1, 0), t(1, 0))])
    write_obj(name, comment, verts, texs, orient_outward(verts, faces))


def extrude(name, comment, outline, depth):
    """A star-shaped outline (seen from its centre) extruded along Z, planar texture in XY."""
    n = len(outline)
    h = depth / 2
    verts = [(x, y, h) for x, y in outline] + [(x, y, -h) for x, y in outline] + [(0, 0, h), (0, 0, -h)]
    ext = max(max(abs(x), abs(y)) for x, y in outline)
    texs = [(0.5 + 0.5 * x / ext, 0.5 + 0.5 * y / ext) for x, y in outline] + [(0.5, 0.5)]
    side = len(texs)
    texs += [(0, 0), (1, 0), (1, 1), (0, 1)]
    faces = []
    for k in range(n):
        j = (k + 1) % n
        faces.append([(2 * n, n), (k, k), (j, j)])
        faces.append([(2 * n + 1, n), (n + j, j), (n + k, k)])
        faces.append([(k, side + 3), (n + k, side), (n + j, side + 1), (j, side + 2)])
    write_obj(name, comment, verts, texs, faces)


def sweep(name, comment, path, radius, nt, ns):
    """A tube of varying radius swept along path(t), t in 0..1, closed round, open at the ends."""
    verts, texs, faces = [], [], []
    def sub(a, b): return (a[0] - b[0], a[1] - b[1], a[2] - b[2])
    def cross(a, b): return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])
    def norm(a):
        l = math.sqrt(a[0] ** 2 + a[1] ** 2 + a[2] ** 2) or 1.0
        return (a[0] / l, a[1] / l, a[2] / l)
    for i in range(nt + 1):
        t = i / nt
        p = path(t)
        tan = norm(sub(path(min(t + 1e-3, 1)), path(max(t - 1e-3, 0))))
        up = (0, 0, 1) if abs(tan[2]) < 0.9 else (1, 0, 0)
        b = norm(cross(tan, up))
        nrm = cross(b, tan)
        r = radius(t)
        for j in range(ns):
            a = 2 * math.pi * j / ns
            c, s = math.cos(a) * r, math.sin(a) * r
            verts.append((p[0] + b[0] * c + nrm[0] * s, p[1] + b[1] * c + nrm[1] * s, p[2] + b[2] * c + nrm[2] * s))
    for i in range(nt + 1):
        for j in range(ns + 1):
            texs.append((i / nt * 4, j / ns))
    for i in range(nt):
        for j in range(ns):
            p = lambda di, dj: (i + di) * ns + (j + dj) % ns
            t = lambda di, dj: (i + di) * (ns + 1) + j + dj
            faces.append([(p(0, 0), t(0, 0)), (p(1, 0), t(1, 0)), (p(1, 1), t(1, 1)), (p(0, 1), t(0, 1))])
    write_obj(name, comment, verts, texs, orient_outward(verts, faces))


def gear():
    teeth, outline = 12, []
    for k in range(teeth * 4):
        a = 2 * math.pi * k / (teeth * 4)
        r = 1.0 if k % 4 in (1, 2) else 0.8
        outline.append((r * math.cos(a), r * math.sin(a)))
    extrude("gear.obj", "gear: a twelve-toothed cog, 0.3 thick", outline, 0.3)


def crystal():
    lathe("crystal.obj", "crystal: a six-sided prism with pointed ends",
          [(0, -1.4), (0.45, -0.9), (0.5, 0.8), (0, 1.8)], 6)


def bell():
    prof = []
    for k in range(9):
        b = (k / 8) * math.pi / 2
        prof.append((math.sin(b) * (1 + 0.08 * math.cos(b * 12)), math.cos(b) * 0.9))
    prof.reverse()
    prof = [(1.05, -0.35), (1.02, -0.15)] + prof[1:] + [(0, 0.9)]
    lathe("bell.obj", "bell: a jellyfish dome with a rippled skirt, open underneath", prof, 16)


def icosa():
    g = (1 + math.sqrt(5)) / 2
    verts = [(-1, g, 0), (1, g, 0), (-1, -g, 0), (1, -g, 0), (0, -1, g), (0, 1, g), (0, -1, -g), (0, 1, -g),
             (g, 0, -1), (g, 0, 1), (-g, 0, -1), (-g, 0, 1)]
    tri = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2), (10, 7, 6),
           (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10),
           (8, 6, 7), (9, 8, 1)]
    texs = [(0, 0), (1, 0), (0.5, 1)]
    faces = [[(a, 0), (b, 1), (c, 2)] for a, b, c in tri]
    write_obj("icosa.obj", "icosa: a regular icosahedron of circumradius 1.9", verts, texs, orient_outward(verts, faces))


def pillar():
    prof = [(1.3, -2), (1.3, -1.8), (1.0, -1.7), (0.9, -1.5), (0.9, 1.5), (1.0, 1.7), (1.3, 1.8), (1.3, 2)]
    lathe("pillar.obj", "pillar: a fluted column with base and capital", prof, 24,
          lambda a: 1.0 - 0.06 * (0.5 + 0.5 * math.cos(a * 12)))


def arch():
    sweep("arch.obj", "arch: a square-ish bent beam over a half circle",
          lambda t: (2 * math.cos(math.pi * t), 2 * math.sin(math.pi * t), 0), lambda t: 0.25, 24, 4)


def diamond():
    lathe("diamond.obj", "diamond: a brilliant cut with eight facets",
          [(0, -1.0), (1.0, 0.0), (0.95, 0.1), (0.55, 0.45), (0, 0.45)], 8)


def disc():
    lathe("disc.obj", "disc: a bevelled stage disc", [(0, -0.2), (1.0, -0.2), (1.0, 0.05), (0.95, 0.1), (0, 0.1)], 40)


def shell():
    turns = 2.5
    sweep("shell.obj", "shell: a logarithmic spiral that widens as it turns",
          lambda t: (0.25 * math.exp(1.1 * t * turns) * math.cos(2 * math.pi * turns * t),
                     0.3 * t,
                     0.25 * math.exp(1.1 * t * turns) * math.sin(2 * math.pi * turns * t)),
          lambda t: 0.06 + 0.35 * t * t, 60, 10)


def image():
    """512 x 512 32-bit TGA, bottom-left origin: an aurora over a night sea, used as the water's
    reflection and the sky of the show."""
    size = 512
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, size, size, 32, 8)
    pixels = bytearray()
    for y in range(size):
        fy = y / size
        for x in range(size):
            fx = x / size
            band = math.exp(-((fy - 0.62 - 0.08 * math.sin(fx * 9.0 + 2 * math.sin(fx * 3))) / 0.07) ** 2)
            curtain = 0.6 + 0.4 * math.sin(fx * 70 + 3 * math.sin(fx * 11))
            a = band * curtain
            r = 8 + 40 * fy + 120 * a * fx
            g = 20 + 60 * fy + 200 * a
            b = 50 + 110 * fy + 90 * a * (1 - fx)
            if (x * 7919 + y * 104729) % 613 == 0 and fy > 0.35:
                r = g = b = 230
            pixels += bytes((min(255, int(b)), min(255, int(g)), min(255, int(r)), 255))
    with open(os.path.join(HERE, "aurora.tga"), "wb") as out:
        out.write(header + bytes(pixels))


if __name__ == "__main__":
    box()
    gem()
    star()
    torus()
    gear()
    crystal()
    bell()
    icosa()
    pillar()
    arch()
    diamond()
    disc()
    shell()
    image()
