// What the renderer installs and owns: the entity factory of its categories, the GPU hooks that
// let textures and meshes reach OpenGL, the shared render resources, texture binding and the
// message box for compile logs.
#include <cstdio>

#include "mesh/mesh.h"
#include "platform/gl.h"
#include "platform/glyph_lists.h"
#include "platform/platform.h"
#include "render/internal.h"
#include "texgen/texgen.h"

namespace render {

State gState;

void resetRenderState() { gState = State{}; }

namespace {

// glUniform1fARB is not among the entry points the shell loads; the renderer looks it up itself
// and keeps it in gState.uniform1f as a plain function pointer.
using Uniform1fProc = void(APIENTRY*)(GLint, GLfloat);

uint32_t createTexture(int32_t size, const glimmer::TexturePixel* pixels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  return name;
}

void destroyTexture(uint32_t name) {
  const GLuint n = name;
  glDeleteTextures(1, &n);
}

void createBuffers(glimmer::MeshRenderData& data) {
  GLuint names[2] = {0, 0};
  glext::glGenBuffersARB(2, names);
  if (names[0] == 0 || names[1] == 0) {
    if (names[0] != 0 || names[1] != 0) glext::glDeleteBuffersARB(2, names);
    data.vertexBuffer = data.indexBuffer = 0;
    return;
  }
  data.vertexBuffer = names[0];
  data.indexBuffer = names[1];
  glext::glBindBufferARB(GL_ARRAY_BUFFER_ARB, data.vertexBuffer);
  glext::glBufferDataARB(
      GL_ARRAY_BUFFER_ARB,
      static_cast<GLsizeiptrARB>(data.vertices.size() * sizeof(glimmer::RenderVertex)),
      data.vertices.empty() ? nullptr : data.vertices.data(), GL_STATIC_DRAW_ARB);
  glext::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, data.indexBuffer);
  glext::glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB,
                         static_cast<GLsizeiptrARB>(data.indices.size() * 4),
                         data.indices.empty() ? nullptr : data.indices.data(), GL_STATIC_DRAW_ARB);
  // These client arrays stay enabled for the rest of the run.
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glext::glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void deleteBuffers(glimmer::MeshRenderData& data) {
  if (data.vertexBuffer != 0) glext::glDeleteBuffersARB(1, &data.vertexBuffer);
  if (data.indexBuffer != 0) glext::glDeleteBuffersARB(1, &data.indexBuffer);
}

uint32_t createGlyphLists(std::span<const platform::OutlineGlyph> glyphs) {
  const GLuint base = glGenLists(glimmer::kGlyphListCount);
  if (base == 0) return 0;
  platform::compileOutlineGlyphLists(
      glyphs.first(std::min(glyphs.size(), static_cast<size_t>(glimmer::kGlyphListCount - 1))),
      base);
  return base;
}

uint32_t createOutlineGlyphLists(const platform::GlyphFont& font, float depth, std::string& error) {
  const GLuint base = glGenLists(glimmer::kGlyphListCount);
  if (base == 0) return 0;
  platform::buildOutlineGlyphLists(font, 0, glimmer::kGlyphCodeCount, glimmer::kGlyphDeviation,
                                   depth, base, error);
  return base;
}

void deleteGlyphLists(uint32_t listBase, int32_t count) {
  if (listBase != 0 && count > 0) glDeleteLists(listBase, count);
}

}  // namespace

glimmer::SceneEntity* createEntity(glimmer::Category category) {
  switch (category) {
    case glimmer::Category::Light:
      return new LightObject();
    case glimmer::Category::Scene:
      return new SceneObject();
    case glimmer::Category::Particle:
      return new ParticleObject();
    default:
      return nullptr;
  }
}

void installGpuHooks() {
  glimmer::TextureGpuHooks textures;
  textures.create = createTexture;
  textures.destroy = destroyTexture;
  glimmer::setTextureGpuHooks(textures);

  glimmer::MeshGpuHooks meshes;
  meshes.createBuffers = createBuffers;
  meshes.deleteBuffers = deleteBuffers;
  meshes.createGlyphLists = createGlyphLists;
  meshes.createOutlineGlyphLists = createOutlineGlyphLists;
  meshes.deleteGlyphLists = deleteGlyphLists;
  meshes.buildProgram = buildProgram;
  meshes.releaseProgram = releaseProgram;
  meshes.drawMesh = drawMesh;
  glimmer::setMeshGpuHooks(meshes);
}

void removeGpuHooks() {
  glimmer::setTextureGpuHooks({});
  glimmer::setMeshGpuHooks({});
}

bool createRenderResources(int width, int height) {
  gState.screenWidth = width;
  gState.screenHeight = height;
  gState.appliedFov = 0.0f;
  gState.defaultFov = 70.0f;
  gState.activeScene = nullptr;
  gState.uniform1f = glext::shadersAvailable
                         ? reinterpret_cast<void (*)()>(platform::glProcAddress("glUniform1fARB"))
                         : nullptr;
  gState.overlayFont = std::make_unique<BitmapFont>();
  // Without any installed font the show still runs; only its screen text stays empty.
  if (!gState.overlayFont->create(width))
    std::fprintf(stderr, "glimmer: no font found for screen text; text tracks draw nothing\n");
  return true;
}

void destroyRenderResources() {
  // The fonts' display lists go with the context that holds them, which is still current here.
  resetRenderState();
  // The context goes right after: entities destroyed later must not reach OpenGL any more.
  removeGpuHooks();
}

void setUniformFloat(int location, float value) {
  if (gState.uniform1f) reinterpret_cast<Uniform1fProc>(gState.uniform1f)(location, value);
}

void showMessage(const char* caption, const char* text) {
  // The log also goes to stderr when a box is shown, so it is kept after the box is closed;
  // without a box the platform writes it there itself.
  if (!platform::unattended() && platform::hasVisibleDisplay())
    std::fprintf(stderr, "%s: %s\n", caption, text);
  platform::messageBox(caption, text);
}

const std::vector<glimmer::MeshObject*>& meshEntities() {
  return gState.meshes.of(glimmer::Category::Mesh);
}
const std::vector<LightObject*>& lightEntities() {
  return gState.lights.of(glimmer::Category::Light);
}
const std::vector<ParticleObject*>& particleEntities() {
  return gState.particles.of(glimmer::Category::Particle);
}

glimmer::TextureObject* textureAt(int32_t index) {
  return gState.textures.at(glimmer::Category::Texture, index);
}

glimmer::TextureObject* frameCopy() { return glimmer::frameCopyTexture; }

void bindTexture(const glimmer::TextureObject* texture) {
  if (texture) glBindTexture(GL_TEXTURE_2D, texture->glTexture);
}

}  // namespace render
