// The command tables. Parameter names are those of the scene source; units say how the runtime
// scales a value (32nds: 32 is one world unit; 256ths: a coordinate on a 256 x 256 canvas,
// whatever the texture's size; channel: a colour byte 0-255; percent of the screen from the
// bottom-left corner for screen layers and text).
#include "scene/opcodes.h"

namespace glimmer {

namespace {

constexpr float kNoMax = std::numeric_limits<float>::max();

// P: a parameter without a documented range; R: with one.
#define P(i, n, u) \
  ParamDef { i, n, u }
#define R(i, n, u, lo, hi) \
  ParamDef { i, n, u, lo, hi }
#define RGB(i)                                                          \
  R(i, "red", "channel", 0, 255), R(i + 1, "green", "channel", 0, 255), \
      R(i + 2, "blue", "channel", 0, 255)
#define XYZ(i, u) P(i, "x", u), P(i + 1, "y", u), P(i + 2, "z", u)

constexpr Category T = Category::Texture;
constexpr Category M = Category::Mesh;
constexpr Category L = Category::Light;
constexpr Category S = Category::Scene;
constexpr Category TL = Category::Timeline;
constexpr Category PS = Category::Particle;

const OpcodeDef kTextureOps[] = {
    {T,
     0,
     "Fill",
     'B',
     nullptr,
     "fills the canvas with one colour",
     {RGB(0), R(3, "alpha", "channel", 0, 255)}},
    {T,
     1,
     "Rectangle",
     'B',
     nullptr,
     "a filled rectangle from its top-left corner; alpha = red",
     {R(0, "x", "256ths", 0, 255), R(1, "y", "256ths", 0, 255), R(3, "width", "256ths - 1", 0, 255),
      R(4, "height", "256ths - 1", 0, 255), RGB(6)}},
    {T,
     2,
     "Circle",
     'B',
     nullptr,
     "a filled disc (soft rim with smooth); alpha = mean of the colour",
     {R(0, "x", "256ths", 0, 256), R(1, "y", "256ths", 0, 256), R(3, "radius", "256ths", 0, 256),
      RGB(6)}},
    {T,
     3,
     "Checker",
     'B',
     nullptr,
     "white and clear cells, the cell at (0,0) clear",
     {R(0, "width", "256ths", 1, 256), R(1, "height", "256ths", 1, 256)}},
    {T,
     4,
     "Waves",
     'B',
     nullptr,
     "a horizontal plus a vertical cosine; alpha = red",
     {P(0, "phaseX", "pixels"), P(1, "phaseY", "pixels"),
      R(3, "freqX", "32nds of a period", 0, kNoMax), R(4, "freqY", "32nds of a period", 0, kNoMax),
      RGB(6)}},
    {T,
     5,
     "Noise",
     'B',
     nullptr,
     "per-pixel hash noise in one colour; alpha = red",
     {P(0, "seed", "seed"), RGB(3)}},
    {T,
     6,
     "Dots",
     'B',
     nullptr,
     "single pixels scattered at random",
     {R(0, "count", "eights of dots", 0, kNoMax), P(3, "seed", "seed"), RGB(6)}},
    {T,
     7,
     "FractalNoise",
     'B',
     nullptr,
     "six octaves of grey value noise; differs on every run of the command",
     {R(0, "zoom", "64ths", 1, kNoMax)}},
    {T,
     8,
     "Blur",
     'B',
     nullptr,
     "Gaussian blur, wrapping at the edges",
     {R(0, "radius", "256ths", 0, 256), R(3, "gain", "16ths (16 keeps brightness)", 0, kNoMax)}},
    {T, 9, "Invert", 'B', nullptr, "inverts every channel", {}},
    {T,
     10,
     "RotoZoom",
     'B',
     nullptr,
     "rotates and zooms the image (edge mode applies)",
     {R(0, "x", "256ths (128: no shift)", 0, 256), R(1, "y", "256ths (128: no shift)", 0, 256),
      R(3, "zoom", "64ths added to 64 (0: same size)", -64, kNoMax),
      P(6, "angle", "128ths of a half turn")}},
    {T,
     11,
     "Twirl",
     'B',
     nullptr,
     "twists the image about a centre",
     {R(0, "x", "256ths", 0, 256), R(1, "y", "256ths", 0, 256), P(3, "strength", "128: no twist"),
      R(6, "radius", "256ths", 0, 256)}},
    {T,
     12,
     "BrightnessContrast",
     'B',
     nullptr,
     "brightness offset, contrast about the mean; alpha = grey",
     {R(0, "brightness", "128: unchanged", 0, 255), R(3, "contrast", "191: unchanged", 0, 254)}},
    {T,
     13,
     "Tint",
     'B',
     nullptr,
     "scales each channel by (value + 128) / 128",
     {R(0, "red", "factor (0 keeps)", -128, 127), R(1, "green", "factor (0 keeps)", -128, 127),
      R(2, "blue", "factor (0 keeps)", -128, 127)}},
    {T,
     14,
     "StoreLayer",
     'B',
     nullptr,
     "copies the image into a layer slot",
     {R(0, "layer", "slot", 0, 15)}},
    {T,
     15,
     "MoveToLayer",
     'B',
     nullptr,
     "moves the image into a layer slot, leaving it clear",
     {R(0, "layer", "slot", 0, 15)}},
    {T,
     16,
     "CombineLayer",
     'B',
     nullptr,
     "blends a layer slot into the image with mode",
     {R(0, "layer", "slot", 0, 15)}},
    {T, 17, "ClearImage", 'B', nullptr, "sets every pixel to 0", {}},
    {T, 18, "Emboss", 'B', nullptr, "horizontal relief, 128 on flat areas", {}},
    {T,
     19,
     "RadialGlow",
     'B',
     nullptr,
     "a disc of light at the centre; alpha 0",
     {R(0, "red", "channel", 0, 255), R(1, "green", "channel", 0, 255),
      R(2, "blue", "channel", 0, 255),
      R(3, "falloff", "percent (100: reaches 0 at the edge)", 0, kNoMax)}},
    {T,
     20,
     "NormalMap",
     'B',
     nullptr,
     "tangent-space normals from the blue channel as height",
     {P(0, "strength", "tenths")}},
    {T,
     21,
     "LoadPackImage",
     'B',
     "a TGA entry name in the mesh pack",
     "copies a stored 32-bit image",
     {}},
    {T,
     22,
     "Resize",
     'B',
     nullptr,
     "sets the edge length and clears the image (put it first)",
     {R(0, "size", "pixels (power of two)", 2, 512)}},
    {T,
     23,
     "RenderText",
     'B',
     "the text (UTF-8, drawn as Windows-1251)",
     "white text, alpha = grey",
     {R(0, "x", "256ths (left edge)", 0, 256),
      R(1, "y", "256ths (top edge, from the bottom row)", 0, 256),
      R(3, "height", "256ths (cell height)", 0, 256)}},
};

const OpcodeDef kMeshOps[] = {
    {M,
     0,
     "SetTransform",
     'A',
     nullptr,
     "placement: translate, rotate (degrees about X, Y, Z), scale 1 + p/10",
     {XYZ(0, "32nds"), P(3, "rotX", "degrees"), P(4, "rotY", "degrees"), P(5, "rotZ", "degrees"),
      P(6, "scaleX", "tenths added to 1"), P(7, "scaleY", "tenths added to 1"),
      P(8, "scaleZ", "tenths added to 1")}},
    {M,
     1,
     "SetColours",
     'A',
     nullptr,
     "material colours and shininess",
     {R(0, "ambientR", "channel", 0, 255), R(1, "ambientG", "channel", 0, 255),
      R(2, "ambientB", "channel", 0, 255), R(3, "diffuseR", "channel", 0, 255),
      R(4, "diffuseG", "channel", 0, 255), R(5, "diffuseB", "channel", 0, 255),
      R(6, "specularR", "channel", 0, 255), R(7, "specularG", "channel", 0, 255),
      R(8, "specularB", "channel", 0, 255), R(9, "shininess", "exponent", 0, 128)}},
    {M,
     2,
     "SetTextures",
     'A',
     nullptr,
     "textures of units 0 and 1",
     {R(0, "tex0", "texture (-1 none, -2 frame copy)", -2, 254),
      R(3, "tex1", "texture (-1 none, -2 frame copy)", -2, 254)}},
    {M,
     3,
     "SetRenderState",
     'A',
     nullptr,
     "blending, depth writes and face culling",
     {R(0, "blend", "0 opaque, 1 alpha-tested, 2 alpha-blended", 0, 2),
      R(3, "depthWrite", "flag (> 0 on)", 0, 1),
      R(6, "cull", "0 front, 1 both, 2 back then front, 3 back", 0, 3)}},
    {M,
     4,
     "ShareGeometry",
     'A',
     nullptr,
     "draws another mesh's geometry",
     {R(0, "mesh", "mesh", 0, 254)}},
    {M,
     5,
     "Repeat",
     'A',
     nullptr,
     "draws copies, each stepped from the previous",
     {R(0, "count", "copies", 0, kNoMax), P(3, "x", "32nds"), P(4, "y", "32nds"),
      P(5, "z", "32nds"), P(6, "rotX", "degrees"), P(7, "rotY", "degrees"), P(8, "rotZ", "degrees"),
      P(9, "scale", "percent added to 100")}},
    {M,
     6,
     "SetShader",
     'A',
     nullptr,
     "shader program pair (0 none)",
     {R(0, "program", "program", 0, 4)}},
    {M,
     7,
     "SetParent",
     'A',
     nullptr,
     "applies another mesh's placement first",
     {R(0, "parent", "mesh", -1, 254)}},
    {M,
     8,
     "PolygonMode",
     'A',
     nullptr,
     "fill, lines or points",
     {R(0, "mode", "0 fill, 1 lines, 2 points", 0, 2), R(3, "width", "pixels", 0, kNoMax),
      R(6, "smooth", "flag (> 0 on)", 0, 1)}},
    {M, 9, "Lighting", 'A', nullptr, "lighting on or off", {R(0, "on", "flag (0 off)", 0, 1)}},
    {M,
     10,
     "Grid",
     'B',
     nullptr,
     "a grid in the XY plane facing +Z, centred",
     {R(0, "cellsX", "cells", 0, kNoMax), R(1, "cellsY", "cells", 0, kNoMax),
      P(3, "width", "32nds"), P(4, "height", "32nds")}},
    {M,
     12,
     "Sphere",
     'B',
     nullptr,
     "a sphere, poles on Y",
     {R(0, "segments", "segments (at least 3)", 0, kNoMax),
      R(1, "bands", "bands (at least 3)", 0, kNoMax), P(3, "radius", "32nds")}},
    {M,
     13,
     "Tube",
     'B',
     nullptr,
     "an open cylinder around Y, centred",
     {R(0, "segments", "segments", 0, kNoMax), R(1, "rings", "segments along Y", 0, kNoMax),
      P(3, "radius", "32nds"), P(6, "length", "32nds")}},
    {M,
     15,
     "Text",
     'B',
     "the text",
     "solid 3D text instead of the geometry",
     {P(0, "depth", "32nds")}},
    {M,
     16,
     "LoadMesh",
     'B',
     "an OBJ entry name in the mesh pack",
     "geometry from the mesh pack",
     {}},
    {M,
     20,
     "Transform",
     'B',
     nullptr,
     "moves the geometry: scale (p+100)/100, rotate X, Y, Z (degrees), translate",
     {XYZ(0, "32nds"), P(3, "rotX", "degrees"), P(4, "rotY", "degrees"), P(5, "rotZ", "degrees"),
      P(6, "scaleX", "percent added to 100"), P(7, "scaleY", "percent added to 100"),
      P(8, "scaleZ", "percent added to 100")}},
    {M,
     21,
     "Normals",
     'B',
     nullptr,
     "recomputes normals",
     {R(0, "smooth", "flag (> 0 smooth)", 0, 1)}},
    {M,
     22,
     "Twist",
     'B',
     nullptr,
     "twists about Y, more with distance from a centre",
     {P(0, "rate", "10 degrees per unit"), XYZ(3, "32nds")}},
    {M,
     24,
     "MapTexCoords",
     'B',
     nullptr,
     "u, v = u * scale + offset",
     {P(0, "offsetU", "hundredths"), P(1, "offsetV", "hundredths"),
      P(3, "scaleU", "percent added to 100"), P(4, "scaleV", "percent added to 100")}},
    {M,
     25,
     "Displace",
     'B',
     nullptr,
     "moves positions along normals by a texture's blue channel",
     {R(0, "texture", "texture (-1 none)", -1, 254), P(3, "amount", "1e-5 per level")}},
    {M, 26, "Nop", 'B', nullptr, "does nothing", {}},
};

const OpcodeDef kLightOps[] = {
    {L, 0, "SetLightPosition", 'A', nullptr, "the light's position", {XYZ(0, "32nds")}},
    {L,
     1,
     "SetLightColours",
     'A',
     nullptr,
     "the light's colours",
     {R(0, "ambientR", "channel", 0, 255), R(1, "ambientG", "channel", 0, 255),
      R(2, "ambientB", "channel", 0, 255), R(3, "diffuseR", "channel", 0, 255),
      R(4, "diffuseG", "channel", 0, 255), R(5, "diffuseB", "channel", 0, 255),
      R(6, "specularR", "channel", 0, 255), R(7, "specularG", "channel", 0, 255),
      R(8, "specularB", "channel", 0, 255)}},
};

// Screen positions of layers and text may lie off the screen (-100 to 200 percent), so that an
// author can slide them in or park them out of sight between hold keys.
#define LAYER_PARAMS                                                    \
  R(0, "texture", "texture", 0, 254), R(1, "alpha", "channel", 0, 255), \
      R(3, "x", "percent of the screen from the left", -100, 200),      \
      R(4, "y", "percent of the screen from the bottom", -100, 200),    \
      R(6, "width", "percent of the screen", 0, 100),                   \
      R(7, "height", "percent of the screen", 0, 100), RGB(9)

const OpcodeDef kSceneOps[] = {
    {S,
     0,
     "SetCamera",
     'A',
     nullptr,
     "eye, target and roll",
     {P(0, "eyeX", "32nds"), P(1, "eyeY", "32nds"), P(2, "eyeZ", "32nds"), P(3, "targetX", "32nds"),
      P(4, "targetY", "32nds"), P(5, "targetZ", "32nds"), P(6, "roll", "degrees")}},
    {S,
     1,
     "SetFog",
     'A',
     nullptr,
     "fog (mode -1 none)",
     {R(0, "mode", "0 linear, 1 exp, 2 exp2, other none", -1, 2), RGB(3), P(6, "start", "32nds"),
      P(7, "end", "32nds"), R(9, "density", "hundredths", 0, kNoMax)}},
    {S,
     2,
     "SetClear",
     'A',
     nullptr,
     "clearing of the frame",
     {R(0, "enabled", "flag (> 0 on)", 0, 1), RGB(3),
      R(6, "withFog", "flag (> 0: fog colour)", 0, 1)}},
    {S,
     3,
     "SetFade",
     'A',
     nullptr,
     "a coloured veil over the frame",
     {R(0, "alpha", "percent", 0, 100), RGB(3)}},
    {S,
     4,
     "SetGlow",
     'A',
     nullptr,
     "glow of bright areas (amount 0 off)",
     {R(0, "amount", "percent", 0, 100), R(1, "passes", "passes", 0, kNoMax), RGB(3)}},
    {S, 5, "SetLayer", 'A', nullptr, "a textured rectangle over the frame", {LAYER_PARAMS}},
    {S,
     6,
     "SetBackgroundLayer",
     'A',
     nullptr,
     "a textured rectangle behind the meshes",
     {LAYER_PARAMS}},
    {S,
     7,
     "SetViewport",
     'A',
     nullptr,
     "viewport and projection",
     {R(0, "enabled", "flag (> 0 on)", 0, 1), P(3, "x", "pixels"), P(4, "y", "pixels"),
      P(6, "width", "pixels"), P(7, "height", "pixels"), R(9, "fov", "degrees", 0, 180),
      P(10, "aspect", "ratio")}},
    {S,
     8,
     "DrawText",
     'A',
     "the text (UTF-8, drawn as Windows-1251)",
     "a line of screen text",
     {R(0, "x", "percent of the screen from the left", -100, 200),
      R(1, "y", "percent of the screen from the bottom", -100, 200), RGB(3)}},
    {S,
     9,
     "EchoRing",
     'A',
     nullptr,
     "rings of copies of the frame",
     {R(0, "radius", "pixels", 0, kNoMax), R(1, "copies", "copies", 0, kNoMax), RGB(3)}},
};

const OpcodeDef kTimelineOps[] = {
    {TL,
     0,
     "SetScene",
     'A',
     nullptr,
     "the scene drawn (-1 none); animate it with hold keys",
     {R(0, "scene", "scene", -1, 254)}},
};

const OpcodeDef kParticleOps[] = {
    {PS,
     0,
     "SetEmitter",
     'A',
     nullptr,
     "emitter position, direction and spin",
     {XYZ(0, "32nds"), P(3, "angleX", "radians"), P(4, "angleY", "radians"),
      P(5, "angleZ", "radians"), P(6, "spin", "tenths")}},
    {PS,
     1,
     "SetParticles",
     'A',
     nullptr,
     "count, speed, fading, size, spread and colour",
     {R(0, "count", "particles", 0, 65536), P(3, "speed", "tenths"), P(4, "fade", "tenths"),
      R(6, "size", "32nds", 0, kNoMax), P(7, "spreadX", "32nds"), P(8, "spreadZ", "32nds"),
      RGB(9)}},
    {PS,
     2,
     "SetParticleTexture",
     'A',
     nullptr,
     "the particles' texture",
     {R(0, "texture", "texture (-1 none)", -1, 254)}},
    {PS, 3, "SetGravity", 'A', nullptr, "gravity", {XYZ(0, "tenths"), P(3, "scale", "factor")}},
};

#undef LAYER_PARAMS
#undef XYZ
#undef RGB
#undef R
#undef P

// The generator's formulas are in texgen/blend.cpp; these names are the ones the source writes.
const NamedValue kBlendModes[] = {
    {0, "Or", "d OR s on the whole pixel"},
    {1, "Xor", "d XOR s on the whole pixel"},
    {2, "And", "d AND s on the whole pixel"},
    {3, "Add", "min(d + s, 255) per channel"},
    {4, "Subtract", "max(d - s, 0) per channel"},
    {5, "Multiply", "d * s / 255 per channel"},
    {6, "Average", "(d + s) / 2 per channel"},
    {7, "Minimum", "min(d, s) per channel"},
    {8, "Maximum", "max(d, s) per channel"},
    {9, "Screen", "255 - (255 - d) * (255 - s) / 255 per channel"},
    {10, "Burn", "255 - (255 - s) * 255 / d, at least 0 (d = 0 unchanged)"},
    {11, "Dodge", "s * 255 / (255 - d), at most 255 (d = 255 unchanged)"},
};
const NamedValue kEdgeModes[] = {
    {0, "wrap", "coordinates wrap around"},
    {1, "clamp", "the nearest edge pixel"},
    {2, "mirror", "reflected at the edges"},
    {3, "transparent", "0 outside the image"},
};
const NamedValue kKeyTypes[] = {
    {0, "hold", "keeps this key's values until the next key"},
    {1, "flat", "the curve is flat at this key (no neighbour used)"},
    {2, "smooth", "Catmull-Rom through the neighbouring keys"},
};

const char* const kCategoryWords[] = {"texture", "mesh", "light", "scene", "timeline", "particles"};

}  // namespace

const ParamDef* OpcodeDef::param(int index) const {
  for (const ParamDef& p : params)
    if (p.index == index) return &p;
  return nullptr;
}

const ParamDef* OpcodeDef::param(std::string_view n) const {
  for (const ParamDef& p : params)
    if (p.name && n == p.name) return &p;
  return nullptr;
}

std::span<const OpcodeDef> opcodeTable(Category c) {
  switch (c) {
    case Category::Texture:
      return kTextureOps;
    case Category::Mesh:
      return kMeshOps;
    case Category::Light:
      return kLightOps;
    case Category::Scene:
      return kSceneOps;
    case Category::Timeline:
      return kTimelineOps;
    case Category::Particle:
      return kParticleOps;
  }
  return {};
}

const OpcodeDef* findOpcode(Category c, int opcode) {
  for (const OpcodeDef& d : opcodeTable(c))
    if (d.opcode == opcode) return &d;
  return nullptr;
}

const OpcodeDef* findOpcode(Category c, std::string_view name) {
  for (const OpcodeDef& d : opcodeTable(c))
    if (name == d.name) return &d;
  return nullptr;
}

std::span<const NamedValue> blendModes() { return kBlendModes; }
std::span<const NamedValue> edgeModes() { return kEdgeModes; }
std::span<const NamedValue> keyTypes() { return kKeyTypes; }

const char* valueName(std::span<const NamedValue> table, int value) {
  for (const NamedValue& v : table)
    if (v.value == value) return v.name;
  return nullptr;
}

int valueOf(std::span<const NamedValue> table, std::string_view name) {
  for (const NamedValue& v : table)
    if (name == v.name) return v.value;
  return -1;
}

const char* categoryWord(Category c) {
  const int i = static_cast<int>(c);
  return i >= 0 && i < kCategoryCount ? kCategoryWords[i] : nullptr;
}

}  // namespace glimmer
