// Mesh entries of the pack: the bounded decoder behind LoadMesh and the encoder the pack tool uses.
#include <cstring>

#include "mesh/internal.h"

namespace glimmer {

namespace {

uint32_t readU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

float readF32(const uint8_t* p) {
  const uint32_t bits = readU32(p);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putF32(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  putU32(out, bits);
}

}  // namespace

bool decodePackMesh(std::span<const uint8_t> payload, PackMesh& out, std::string& error) {
  if (payload.size() < kPackMeshHeaderBytes) {
    error = "offset 0: mesh header needs 8 bytes, the payload has " + std::to_string(payload.size());
    return false;
  }
  const uint32_t v = readU32(payload.data());
  const uint32_t i = readU32(payload.data() + 4);
  if (v > kPackMaxVertices) {
    error = "offset 0: vertex count " + std::to_string(v) + " exceeds the 16-bit index range (" +
            std::to_string(kPackMaxVertices) + ")";
    return false;
  }
  if (i % 3 != 0) {
    error = "offset 4: index count " + std::to_string(i) + " is not a multiple of 3";
    return false;
  }
  const uint64_t need = kPackMeshHeaderBytes + uint64_t{v} * kPackVertexBytes + uint64_t{i} * 2;
  if (need != payload.size()) {
    error = "offset 0: " + std::to_string(v) + " vertices and " + std::to_string(i) +
            " indices need " + std::to_string(need) + " payload bytes, the entry has " +
            std::to_string(payload.size());
    return false;
  }
  const uint8_t* indexBytes = payload.data() + kPackMeshHeaderBytes + size_t{v} * kPackVertexBytes;
  for (uint32_t j = 0; j < i; ++j) {
    const uint16_t n = static_cast<uint16_t>(indexBytes[2 * j] | indexBytes[2 * j + 1] << 8);
    if (n >= v) {
      error = "offset " + std::to_string(indexBytes + 2 * j - payload.data()) + ": index " +
              std::to_string(n) + " of corner " + std::to_string(j) + " is not below the vertex count " +
              std::to_string(v);
      return false;
    }
  }
  out.positions.resize(v);
  out.texCoords.resize(v);
  out.indices.resize(i);
  const uint8_t* p = payload.data() + kPackMeshHeaderBytes;
  for (uint32_t k = 0; k < v; ++k, p += kPackVertexBytes) {
    out.positions[k] = {readF32(p), readF32(p + 4), readF32(p + 8)};
    out.texCoords[k] = {readF32(p + 12), readF32(p + 16)};
  }
  for (uint32_t j = 0; j < i; ++j)
    out.indices[j] = static_cast<uint16_t>(indexBytes[2 * j] | indexBytes[2 * j + 1] << 8);
  return true;
}

bool loadPackMesh(std::span<const uint8_t> payload, MeshObject& mesh, std::string& error) {
  PackMesh decoded;
  if (!decodePackMesh(payload, decoded, error)) return false;
  const auto v = static_cast<int32_t>(decoded.positions.size());
  const auto n = static_cast<int32_t>(decoded.indices.size());
  mesh.resizePositions(v);
  mesh.resizeTexCoords(v);
  mesh.resizeCorners(n);
  for (int32_t k = 0; k < v; ++k) {
    mesh.positions[static_cast<size_t>(k)] = decoded.positions[static_cast<size_t>(k)];
    mesh.texCoords[static_cast<size_t>(k)] = decoded.texCoords[static_cast<size_t>(k)];
  }
  for (int32_t j = 0; j < n; ++j) {
    Corner& c = mesh.corners[static_cast<size_t>(j)];
    c.position = c.texCoord = decoded.indices[static_cast<size_t>(j)];
  }
  mesh.resetNormals();
  return true;
}

std::vector<uint8_t> encodePackMesh(const PackMesh& mesh) {
  std::vector<uint8_t> out;
  out.reserve(kPackMeshHeaderBytes + mesh.positions.size() * kPackVertexBytes + mesh.indices.size() * 2);
  putU32(out, static_cast<uint32_t>(mesh.positions.size()));
  putU32(out, static_cast<uint32_t>(mesh.indices.size()));
  for (size_t k = 0; k < mesh.positions.size(); ++k) {
    const Vec3& p = mesh.positions[k];
    const Vec2 t = k < mesh.texCoords.size() ? mesh.texCoords[k] : Vec2{};
    putF32(out, p.x);
    putF32(out, p.y);
    putF32(out, p.z);
    putF32(out, t.u);
    putF32(out, t.v);
  }
  for (uint16_t n : mesh.indices) {
    out.push_back(static_cast<uint8_t>(n & 0xFF));
    out.push_back(static_cast<uint8_t>(n >> 8));
  }
  return out;
}

void appendPackEntry(std::vector<uint8_t>& pack, const std::string& name,
                     std::span<const uint8_t> payload) {
  pack.insert(pack.end(), name.begin(), name.end());
  pack.push_back(0);
  putU32(pack, static_cast<uint32_t>(payload.size()));
  pack.insert(pack.end(), payload.begin(), payload.end());
}

}  // namespace glimmer
