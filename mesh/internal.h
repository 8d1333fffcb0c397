// Internals of the mesh builder shared by its source files and its tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "mesh/mesh.h"

namespace glimmer::meshops {

using Params = std::array<float, kParamCount>;

constexpr float kPi = 3.14159f;
constexpr float kTubeTurn = 6.28f;
// Largest corner or pool count a generator may create; larger requests are refused. A million
// corners already mean 64 MB of render vertices and a slow frame, while the show's meshes have a
// few thousand; the limit keeps a hostile stream from asking for gigabytes.
constexpr int64_t kMaxPoolEntries = int64_t{1} << 20;

// Degrees to radians as the builder computes them: (2 * (a * 3.14159)) / 360.
inline float radians(float degrees) { return (2.0f * (degrees * kPi)) / 360.0f; }

// Divides by the length when it is not zero; a zero vector stays zero.
Vec3 normalize(Vec3 v);
Vec3 cross(Vec3 a, Vec3 b);
inline Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 mul(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Sends one line to the installed diagnostic hook (stderr by default).
void diagnostic(const std::string& message);

// Generators: each replaces all four pools and ends with resetNormals(). False (mesh unchanged,
// diagnostic sent) when the requested size exceeds kMaxPoolEntries.
bool buildGrid(MeshObject& mesh, const Params& p);
bool buildSphere(MeshObject& mesh, const Params& p);
bool buildTube(MeshObject& mesh, const Params& p);

// Rotation R of the Transform modifier (scale, then X, then Y, then Z, fixed axes).
Mat3 rotationMatrix(float ax, float ay, float az);
// Modifiers: each rewrites pools in place.
void transformPositions(MeshObject& mesh, const Params& p);
// Face normal of triangle t: normalize((P0 - P2) x (P1 - P2)).
Vec3 faceNormal(const MeshObject& mesh, int32_t t);
void flatNormals(MeshObject& mesh);
// Smooth normals in linear time: each triangle adds its face normal once to every distinct
// position it uses, triangles in ascending order, so every sum equals the pairwise one bit for bit.
void smoothNormals(MeshObject& mesh);
// The pairwise definition (positions x triangles); kept as the reference for tests.
void smoothNormalsPairwise(MeshObject& mesh);
void twist(MeshObject& mesh, const Params& p);
void mapTexCoords(MeshObject& mesh, const Params& p);
// Pushes positions along their normals by the blue channel of a size x size 0xAARRGGBB image.
void displace(MeshObject& mesh, const uint32_t* pixels, int32_t size, float amount);

// True when a glyph source is installed (setGlyphSource).
bool hasGlyphSource();
// Builds the glyphs of codes 0-254 with the installed glyph source.
bool buildGlyphs(float depth, std::vector<platform::OutlineGlyph>& glyphs, std::string& error);

}  // namespace glimmer::meshops
