// MeshObject: pools, the opcode table, the scratch copy, the life cycle and the hooks.
#include <cstdio>
#include <cstring>

#include "mesh/internal.h"
#include "scene/opcodes.h"
#include "texgen/texgen.h"

namespace glimmer {

MeshObject scratchMesh;

namespace {

MeshGpuHooks gHooks;
MeshDiagnosticHook gDiagnostic = nullptr;
// The registry's texture and mesh lists cast once: SetTextures, ShareGeometry and SetParent are
// list A commands, which the frame update applies every frame.
TypedEntities<TextureObject> gTextureEntities;
TypedEntities<MeshObject> gMeshEntities;

void defaultDiagnostic(const std::string& message) {
  std::fprintf(stderr, "mesh: %s\n", message.c_str());
}

// Texture for a SetTextures index: -1 none, -2 the frame copy, else texture entity k.
TextureObject* textureFor(int32_t k) {
  if (k == -1) return nullptr;
  if (k == -2) return frameCopyTexture;
  return gTextureEntities.at(Category::Texture, k);
}

MeshObject* meshEntity(int32_t k) { return gMeshEntities.at(Category::Mesh, k); }

template <typename T>
void resizePool(std::vector<T>& pool, int32_t n) {
  pool.clear();
  pool.shrink_to_fit();
  if (n > 0) pool.resize(static_cast<size_t>(n));
}

}  // namespace

void setMeshGpuHooks(const MeshGpuHooks& hooks) { gHooks = hooks; }
const MeshGpuHooks& meshGpuHooks() { return gHooks; }
void setMeshDiagnosticHook(MeshDiagnosticHook hook) { gDiagnostic = hook; }

namespace meshops {
void diagnostic(const std::string& message) {
  (gDiagnostic ? gDiagnostic : defaultDiagnostic)(message);
}
}  // namespace meshops

// Names come from the shared command tables, the ones the scene source writes.
const char* meshOpName(uint8_t opcode) {
  const OpcodeDef* d = findOpcode(Category::Mesh, opcode);
  return d ? d->name : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Material and text parts

Material::~Material() { releaseProgram(); }

void Material::setShaderChoice(int32_t choice) {
  if (choice == 0) {
    setSources(0);
    shaderEnabled = false;
    return;
  }
  if (choice >= 1 && choice <= 4) setSources(choice);
  shaderEnabled = true;
}

void Material::setSources(int32_t pair) {
  if (pair == program.sourcePair) return;
  program.sourcePair = pair;
  if (gHooks.buildProgram) gHooks.buildProgram(program);
}

void Material::releaseProgram() {
  if (gHooks.releaseProgram &&
      (program.programObject || program.vertexShader || program.fragmentShader))
    gHooks.releaseProgram(program);
  program.sourcePair = 0;
}

TextMesh::~TextMesh() {
  if (listsCreated && gHooks.deleteGlyphLists) gHooks.deleteGlyphLists(listBase, kGlyphListCount);
}

void MeshRenderData::freeArrays() {
  vertices.clear();
  vertices.shrink_to_fit();
  indices.clear();
  indices.shrink_to_fit();
}

// ---------------------------------------------------------------------------------------------
// Pools

void MeshObject::resizePositions(int32_t n) { resizePool(positions, n); }
void MeshObject::resizeNormals(int32_t n) { resizePool(normals, n); }
void MeshObject::resizeTexCoords(int32_t n) { resizePool(texCoords, n); }
void MeshObject::resizeCorners(int32_t n) { resizePool(corners, n); }

void MeshObject::resetNormals() {
  resizeNormals(1);
  for (Corner& c : corners) c.normal = 0;
}

// ---------------------------------------------------------------------------------------------
// Virtual operations

MeshObject::~MeshObject() {
  // The members then go in reverse declaration order: text, render data, pools, material.
  clear();
}

int MeshObject::saveToScratch() {
  if (this == &scratchMesh) return 0;
  scratchMesh.positions = positions;
  scratchMesh.normals = normals;
  scratchMesh.texCoords = texCoords;
  scratchMesh.corners = corners;
  return 0;
}

int MeshObject::loadFromScratch() {
  if (this != &scratchMesh) {
    positions = scratchMesh.positions;
    normals = scratchMesh.normals;
    texCoords = scratchMesh.texCoords;
    corners = scratchMesh.corners;
  }
  buildRenderData();
  return 0;
}

int MeshObject::precalc() {
  applyTracksA();
  applyTracksB();
  upload();
  return 0;
}

void MeshObject::clear() {
  resizePositions(0);
  resizeNormals(0);
  resizeTexCoords(0);
  resizeCorners(0);
  renderData.freeArrays();
  sharedRenderData = nullptr;
  parent = nullptr;
}

void MeshObject::upload() {
  release();
  buildRenderData();
  if (gHooks.createBuffers) {
    gHooks.createBuffers(renderData);
    if (renderData.vertexBuffer == 0 || renderData.indexBuffer == 0) {
      // Either name failed: the mesh is not drawn; never keep half a pair.
      if (gHooks.deleteBuffers) gHooks.deleteBuffers(renderData);
      renderData.vertexBuffer = renderData.indexBuffer = 0;
    }
  }
}

void MeshObject::release() {
  if (gHooks.deleteBuffers && (renderData.vertexBuffer || renderData.indexBuffer))
    gHooks.deleteBuffers(renderData);
  renderData.vertexBuffer = 0;
  renderData.indexBuffer = 0;
}

void MeshObject::draw() {
  if (gHooks.drawMesh) gHooks.drawMesh(*this);
}

void MeshObject::update(float time, float delta) {
  SceneEntity::update(time, delta);
  material.program.time = time;
}

// ---------------------------------------------------------------------------------------------
// Commands

namespace {

void applyText(MeshObject& mesh, const Track& track) {
  if (!track.name) return;
  mesh.text.depth = track.params[0] / 32.0f;
  mesh.text.string = *track.name;
  // A second Text replaces the first one's lists instead of leaking them.
  if (mesh.text.listsCreated && gHooks.deleteGlyphLists)
    gHooks.deleteGlyphLists(mesh.text.listBase, kGlyphListCount);
  mesh.text.listBase = 0;
  mesh.text.listsCreated = false;
  std::string error;
  if (!meshops::hasGlyphSource()) {
    // The system's outline glyph lists of the text font.
    if (!gHooks.createOutlineGlyphLists) return;
    mesh.text.listBase = gHooks.createOutlineGlyphLists(kTextFont, mesh.text.depth, error);
    if (!error.empty()) meshops::diagnostic("Text: " + error);
  } else {
    if (!gHooks.createGlyphLists) return;
    std::vector<platform::OutlineGlyph> glyphs;
    if (!meshops::buildGlyphs(mesh.text.depth, glyphs, error)) {
      meshops::diagnostic("Text: " + error);
      glyphs.assign(kGlyphCodeCount, platform::OutlineGlyph{});
    }
    mesh.text.listBase = gHooks.createGlyphLists(glyphs);
  }
  mesh.text.listsCreated = mesh.text.listBase != 0;
}

void applyLoadMesh(MeshObject& mesh, const Track& track) {
  if (!track.name) return;
  const auto payload = findPackEntry(track.name->c_str());
  if (!payload.data()) return;
  std::string error;
  if (!loadPackMesh(payload, mesh, error))
    meshops::diagnostic("LoadMesh: pack entry '" + *track.name + "': " + error);
}

void applyDisplace(MeshObject& mesh, const meshops::Params& p) {
  const int32_t k = toInt(p[0]);
  if (k == -1) return;
  const TextureObject* tex = dynamic_cast<TextureObject*>(registryEntity(Category::Texture, k));
  if (!tex || tex->size <= 0 ||
      tex->pixels.size() < static_cast<size_t>(tex->size) * static_cast<size_t>(tex->size))
    return;
  meshops::displace(mesh, tex->pixels.data(), tex->size, p[3]);
}

}  // namespace

int MeshObject::applyCommand(const Track& track) {
  const auto& p = track.params;
  switch (static_cast<MeshOp>(track.opcode())) {
    case MeshOp::SetTransform:
      translation = {p[0] / 32.0f, p[1] / 32.0f, p[2] / 32.0f};
      rotation = {p[3], p[4], p[5]};
      scale = {1.0f + 0.1f * p[6], 1.0f + 0.1f * p[7], 1.0f + 0.1f * p[8]};
      break;
    case MeshOp::SetColours:
      material.ambient = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, 1.0f};
      material.diffuse = {p[3] / 255.0f, p[4] / 255.0f, p[5] / 255.0f, 1.0f};
      material.specular = {p[6] / 255.0f, p[7] / 255.0f, p[8] / 255.0f, 1.0f};
      material.shininess = p[9];
      break;
    case MeshOp::SetTextures:
      textures[0] = textureFor(toInt(p[0]));
      textures[1] = textureFor(toInt(p[3]));
      break;
    case MeshOp::SetRenderState:
      material.blendMode = toInt(p[0]);
      material.depthWrite = p[3] > 0.0f;
      renderData.cullMode = toInt(p[6]);
      break;
    case MeshOp::ShareGeometry:
      if (MeshObject* m = meshEntity(toInt(p[0]))) sharedRenderData = &m->renderData;
      break;
    case MeshOp::SetShader: material.setShaderChoice(toInt(p[0])); break;
    case MeshOp::SetParent: {
      MeshObject* m = meshEntity(toInt(p[0]));
      if (m == this) break;
      // A link that would close a cycle is refused; drawing then never loops.
      for (MeshObject* a = m; a; a = a->parent)
        if (a == this) return 0;
      parent = m;
      break;
    }
    case MeshOp::Grid: meshops::buildGrid(*this, p); break;
    case MeshOp::Sphere: meshops::buildSphere(*this, p); break;
    case MeshOp::Tube: meshops::buildTube(*this, p); break;
    case MeshOp::Text: applyText(*this, track); break;
    case MeshOp::LoadMesh: applyLoadMesh(*this, track); break;
    case MeshOp::Transform: meshops::transformPositions(*this, p); break;
    case MeshOp::Normals:
      if (p[0] > 0.0f) meshops::smoothNormals(*this); else meshops::flatNormals(*this);
      break;
    case MeshOp::Twist: meshops::twist(*this, p); break;
    case MeshOp::MapTexCoords: meshops::mapTexCoords(*this, p); break;
    case MeshOp::Displace: applyDisplace(*this, p); break;
    case MeshOp::Repeat:
    case MeshOp::PolygonMode:
    case MeshOp::Lighting:
    case MeshOp::Nop:
    default: break;
  }
  return 0;
}

}  // namespace glimmer
