// MeshObject: the attribute opcodes, scratch copies, clear, the hooks and the life cycle.
#include <array>
#include <string>
#include <vector>

#include "mesh_test_util.h"
#include "texgen/texgen.h"

namespace glimmer::test {
namespace {

using MeshObjectTest = RegistryTest;

TEST_F(MeshObjectTest, DefaultsAndAttributeOpcodes) {
  MeshObject m;
  EXPECT_EQ(m.positionCount() + m.cornerCount() + m.renderData.cullMode, 0);
  EXPECT_EQ(
      (std::array<float, 6>{m.material.ambient[0], m.material.diffuse[1], m.material.specular[2],
                            m.material.shininess, m.material.program.spare, m.text.depth}),
      (std::array<float, 6>{0.2f, 0.85f, 0.54f, 20, 1, 0.2f}));
  EXPECT_TRUE(m.material.depthWrite && !m.material.shaderEnabled && !m.text.string.has_value());
  EXPECT_VEC3_EQ(m.scale, 1.0f, 1.0f, 1.0f);
  // Positions in 32nds, rotation in degrees, scale (p + 100) / 100 per axis.
  apply(m, MeshOp::SetTransform, {{0, 32}, {1, -64}, {2, 16}, {3, 90}, {4, 45}, {5, -30}});
  EXPECT_VEC3_EQ(m.translation, 1.0f, -2.0f, 0.5f);
  EXPECT_VEC3_EQ(m.rotation, 90.0f, 45.0f, -30.0f);
  EXPECT_VEC3_EQ(m.scale, 1.0f, 1.0f, 1.0f);
  apply(m, MeshOp::SetTransform, {{6, -10}, {7, 5}, {8, 0}});
  EXPECT_VEC3_EQ(m.scale, 0.0f, 1.5f, 1.0f);
  // Colours in 255ths with alpha 1, shininess as is.
  apply(m, MeshOp::SetColours, {{0, 255}, {1, 51}, {3, 102}, {8, 255}, {9, 64}});
  EXPECT_EQ(
      (std::array<float, 6>{m.material.ambient[0], m.material.ambient[1], m.material.ambient[3],
                            m.material.diffuse[0], m.material.specular[2], m.material.shininess}),
      (std::array<float, 6>{1, 0.2f, 1, 0.4f, 1, 64}));
  apply(m, MeshOp::SetRenderState, {{0, 2.7f}, {3, 0}, {6, 3}});
  EXPECT_EQ(m.material.blendMode, 2);
  EXPECT_FALSE(m.material.depthWrite);
  EXPECT_EQ(m.renderData.cullMode, 3);
}

TEST_F(MeshObjectTest, SetTexturesResolvesIndices) {
  std::vector<TextureObject*> tex;
  for (int i = 0; i < 6; ++i) tex.push_back(add<TextureObject>(Category::Texture));
  TextureObject frame;
  frameCopyTexture = &frame;
  MeshObject m;
  apply(m, MeshOp::SetTextures, {{0, 1}, {3, 2}});
  EXPECT_EQ(m.textures[0], tex[1]);
  EXPECT_EQ(m.textures[1], tex[2]);
  apply(m, MeshOp::SetTextures, {{0, -1}, {3, 5}});
  EXPECT_EQ(m.textures[0], nullptr);
  EXPECT_EQ(m.textures[1], tex[5]);
  apply(m, MeshOp::SetTextures, {{0, -2}, {3, 6}});
  EXPECT_EQ(m.textures[0], &frame);
  EXPECT_EQ(m.textures[1], nullptr);  // past the end
  apply(m, MeshOp::SetTextures, {{0, -3.0f}, {3, 1.9f}});
  EXPECT_EQ(m.textures[0], nullptr);
  EXPECT_EQ(m.textures[1], tex[1]);  // truncated
  frameCopyTexture = nullptr;
}

TEST_F(MeshObjectTest, ShareGeometryAndParent) {
  auto* a = add<MeshObject>(Category::Mesh);
  auto* b = add<MeshObject>(Category::Mesh);
  apply(*a, MeshOp::ShareGeometry, {{0, 1}});
  EXPECT_EQ(a->sharedRenderData, &b->renderData);
  apply(*a, MeshOp::ShareGeometry, {{0, 7}});
  EXPECT_EQ(a->sharedRenderData, &b->renderData);  // unchanged
  apply(*a, MeshOp::ShareGeometry, {{0, 0}});
  EXPECT_EQ(a->sharedRenderData, &a->renderData);  // itself is allowed

  apply(*a, MeshOp::SetParent, {{0, 1}});
  EXPECT_EQ(a->parent, b);
  apply(*a, MeshOp::SetParent, {{0, 0}});
  EXPECT_EQ(a->parent, b);  // itself: unchanged
  apply(*b, MeshOp::SetParent, {{0, 0}});
  EXPECT_EQ(b->parent, nullptr);  // would close a cycle: refused
  apply(*a, MeshOp::SetParent, {{0, 9}});
  EXPECT_EQ(a->parent, nullptr);  // past the end
}

int gBuilds = 0;
int gReleases = 0;
void countBuild(ShaderProgram& p) {
  ++gBuilds;
  p.programObject = 100 + static_cast<uint32_t>(p.sourcePair);
}
void countRelease(ShaderProgram&) { ++gReleases; }

TEST_F(MeshObjectTest, SetShaderChoosesPairsAndBuildsOnChange) {
  gBuilds = gReleases = 0;
  MeshGpuHooks hooks;
  hooks.buildProgram = countBuild;
  hooks.releaseProgram = countRelease;
  setMeshGpuHooks(hooks);
  {
    MeshObject m;
    apply(m, MeshOp::SetShader, {{0, 2}});
    apply(m, MeshOp::SetShader, {{0, 2}});
    EXPECT_EQ(gBuilds, 1);  // same pair twice: built once
    EXPECT_TRUE(m.material.shaderEnabled);
    EXPECT_EQ(m.material.program.sourcePair, 2);
    apply(m, MeshOp::SetShader, {{0, 7}});
    EXPECT_TRUE(m.material.shaderEnabled);
    EXPECT_EQ(m.material.program.sourcePair, 2);  // kept
    apply(m, MeshOp::SetShader, {{0, 0}});
    EXPECT_FALSE(m.material.shaderEnabled);
    EXPECT_EQ(m.material.program.sourcePair, 0);
    EXPECT_EQ(gBuilds, 2);  // the change to "none" rebuilds (deletes) too
    apply(m, MeshOp::SetShader, {{0, 2}});
    EXPECT_EQ(gBuilds, 3);
    EXPECT_EQ(gReleases, 0);
  }
  EXPECT_EQ(gReleases, 1);  // the material's destructor
}

TEST_F(MeshObjectTest, NonGeometryOpcodesAndUnknownOnesDoNothing) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 2}, {1, 2}, {3, 32}, {4, 32}});
  const auto before = m.positions;
  for (int op : {5, 8, 9, 11, 14, 17, 18, 19, 23, 26, 27, 200}) {
    Track t;
    t.word = static_cast<uint32_t>(op) | kEnabledBit;
    t.params.fill(3.0f);
    m.applyCommand(t);
  }
  ASSERT_EQ(m.positions.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(m.positions[i].x, before[i].x);
  EXPECT_VEC3_EQ(m.translation, 0.0f, 0.0f, 0.0f);
}

TEST_F(MeshObjectTest, ScratchCopiesThePoolsOnly) {
  MeshObject a;
  apply(a, MeshOp::Sphere, {{0, 4}, {1, 3}, {3, 32}});
  apply(a, MeshOp::Normals, {{0, 1}});
  a.translation = {5, 5, 5};
  a.saveToScratch();
  MeshObject b;
  b.loadFromScratch();
  EXPECT_EQ(b.positionCount(), a.positionCount());
  EXPECT_EQ(b.normalCount(), a.normalCount());
  EXPECT_EQ(b.texCoordCount(), a.texCoordCount());
  EXPECT_EQ(b.cornerCount(), a.cornerCount());
  EXPECT_EQ(b.positions[7].y, a.positions[7].y);
  EXPECT_VEC3_EQ(b.translation, 0.0f, 0.0f, 0.0f);
  EXPECT_EQ(b.renderData.vertexCount(), a.cornerCount());  // loadFromScratch builds render data
  scratchMesh.clear();
}

int gCreates = 0;
int gDeletes = 0;
void fakeCreate(MeshRenderData& d) {
  ++gCreates;
  d.vertexBuffer = 10 + static_cast<uint32_t>(gCreates);
  d.indexBuffer = 20 + static_cast<uint32_t>(gCreates);
}
void fakeDelete(MeshRenderData&) { ++gDeletes; }

TEST_F(MeshObjectTest, PrecalcBuildsAndUploadsThroughHooks) {
  gCreates = gDeletes = 0;
  auto* m = add<MeshObject>(Category::Mesh);
  m->tracksA.append(new Track(makeTrack(MeshOp::SetTransform, {{0, 64}})));
  m->tracksB.append(new Track(makeTrack(MeshOp::Grid, {{3, 64}, {4, 64}})));
  m->tracksB.append(new Track(makeTrack(MeshOp::Normals)));
  m->precalc();  // no hooks: CPU data only
  EXPECT_EQ(m->renderData.vertexCount(), 6);
  EXPECT_EQ(m->renderData.vertexBuffer, 0u);
  EXPECT_FLOAT_EQ(m->translation.x, 2.0f);

  MeshGpuHooks hooks;
  hooks.createBuffers = fakeCreate;
  hooks.deleteBuffers = fakeDelete;
  setMeshGpuHooks(hooks);
  m->upload();
  EXPECT_EQ(gCreates, 1);
  EXPECT_EQ(gDeletes, 0);  // nothing to release yet
  EXPECT_EQ(m->renderData.vertexBuffer, 11u);
  m->upload();
  EXPECT_EQ(gDeletes, 1);  // upload releases the old pair first
  EXPECT_EQ(m->renderData.indexBuffer, 22u);
  m->release();
  EXPECT_EQ(m->renderData.vertexBuffer, 0u);
  EXPECT_EQ(m->renderData.indexBuffer, 0u);
}

TEST_F(MeshObjectTest, UpdateStoresTimeAndReappliesTracksA) {
  MeshObject m;
  m.tracksA.append(new Track(makeTrack(MeshOp::SetTransform, {{0, 64}})));
  Track* off = m.tracksA.append(new Track(makeTrack(MeshOp::SetTransform, {{0, 96}})));
  off->word &= ~kEnabledBit;
  m.update(1.5f, 0.016f);
  EXPECT_FLOAT_EQ(m.material.program.time, 1.5f);
  EXPECT_FLOAT_EQ(m.translation.x, 2.0f);  // the disabled track is skipped
}

TEST_F(MeshObjectTest, ClearEmptiesPoolsAndLinks) {
  auto* a = add<MeshObject>(Category::Mesh);
  auto* b = add<MeshObject>(Category::Mesh);
  apply(*a, MeshOp::Tube, {{0, 8}, {1, 2}, {3, 32}, {6, 64}});
  apply(*a, MeshOp::ShareGeometry, {{0, 1}});
  apply(*a, MeshOp::SetParent, {{0, 1}});
  a->buildRenderData();
  a->renderData.vertexBuffer = 5;
  a->clear();
  EXPECT_EQ(a->positionCount() + a->normalCount() + a->texCoordCount() + a->cornerCount(), 0);
  EXPECT_EQ(a->renderData.vertexCount(), 0);
  EXPECT_EQ(a->renderData.indexCount(), 0);
  EXPECT_EQ(a->sharedRenderData, nullptr);
  EXPECT_EQ(a->parent, nullptr);
  EXPECT_EQ(a->renderData.vertexBuffer, 5u);  // GPU buffers are not deleted by clear
  (void)b;
}

// --- outline text ---------------------------------------------------------------------------

float gLastDepth = -1.0f;
bool fakeGlyphs(float depth, std::vector<platform::OutlineGlyph>& glyphs, std::string&) {
  gLastDepth = depth;
  glyphs.assign(kGlyphCodeCount, {});
  glyphs['A'].vertices.assign(18, 0.0f);
  glyphs['A'].advanceX = 0.75f;
  return true;
}
uint32_t gNextBase = 1;
size_t gGlyphCount = 0;
std::vector<std::pair<uint32_t, int32_t>> gDeleted;
uint32_t fakeLists(std::span<const platform::OutlineGlyph> glyphs) {
  gGlyphCount = glyphs.size();
  const uint32_t base = gNextBase;
  gNextBase += 256;
  return base;
}
void fakeDeleteLists(uint32_t base, int32_t n) { gDeleted.emplace_back(base, n); }

TEST_F(MeshObjectTest, TextBuildsGlyphListsAndDeletesThemOnce) {
  {
    MeshObject plain;  // without hooks only the string is kept
    apply(plain, MeshOp::Text, {{0, 32}}, "x");
    EXPECT_EQ(*plain.text.string, "x");
    EXPECT_FALSE(plain.text.listsCreated);
  }
  setGlyphSource(fakeGlyphs);
  MeshGpuHooks hooks;
  hooks.createGlyphLists = fakeLists;
  hooks.deleteGlyphLists = fakeDeleteLists;
  setMeshGpuHooks(hooks);
  gDeleted.clear();
  gNextBase = 1;
  {
    MeshObject m;
    apply(m, MeshOp::Text, {{0, 16}});  // no name: nothing
    EXPECT_FALSE(m.text.string.has_value());
    EXPECT_FLOAT_EQ(m.text.depth, 0.2f);
    apply(m, MeshOp::Text, {{0, 16}}, "Hi!");
    ASSERT_TRUE(m.text.string.has_value());
    EXPECT_EQ(*m.text.string, "Hi!");
    EXPECT_FLOAT_EQ(m.text.depth, 0.5f);
    EXPECT_FLOAT_EQ(gLastDepth, 0.5f);
    EXPECT_EQ(gGlyphCount, 255u);
    EXPECT_EQ(m.text.listBase, 1u);
    apply(m, MeshOp::Text, {{0, 0}}, "flat");
    EXPECT_FLOAT_EQ(m.text.depth, 0.0f);
    EXPECT_EQ(m.text.listBase, 257u);
    ASSERT_EQ(gDeleted.size(), 1u);  // the first set is freed, not leaked
    EXPECT_EQ(gDeleted[0], std::make_pair(1u, 256));
  }
  ASSERT_EQ(gDeleted.size(), 2u);
  EXPECT_EQ(gDeleted[1], std::make_pair(257u, 256));
  setGlyphSource(nullptr);
}

}  // namespace
}  // namespace glimmer::test
