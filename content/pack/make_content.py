#!/usr/bin/env python3
"""Writes the small meshes and the image of the placeholder mesh pack.

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


def image():
    """128 x 128 32-bit TGA, bottom-left origin: warm rings over a diagonal gradient."""
    size = 128
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, size, size, 32, 8)
    pixels = bytearray()
    for y in range(size):
        for x in range(size):
            dx, dy = x - 64, y - 64
            d = math.sqrt(dx * dx + dy * dy)
            ring = 0.5 + 0.5 * math.cos(d / 3.0)
            r = int(80 + 175 * ring * (x / size))
            g = int(40 + 150 * ring * (y / size))
            b = int(60 + 120 * (1 - ring))
            pixels += bytes((b, g, r, 255))
    with open(os.path.join(HERE, "rings.tga"), "wb") as out:
        out.write(header + bytes(pixels))


if __name__ == "__main__":
    box()
    gem()
    star()
    torus()
    image()
