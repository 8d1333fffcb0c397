// MeshObject: the attribute opcodes, scratch copies, clear, the hooks and the life cycle.
#include <cstring>
#include <tuple>

#include "mesh_test_util.h"
#include "texgen/texgen.h"

namespace glimmer::test {
namespace {

using MeshObjectTest = RegistryTest;

TEST_F(MeshObjectTest, AttributeOpcodes) {
  MeshObject m;
  // Positions in 32nds, rotation in degrees, scale 1 + p / 10 per axis.
  apply(m, MeshOp::SetTransform,
        {{0, 32}, {1, -64}, {2, 16}, {3, 90}, {4, 45}, {5, -30}, {6, -10}, {7, 5}});
  expectVec(m.translation, {1, -2, 0.5f});
  expectVec(m.rotation, {90, 45, -30});
  expectVec(m.scale, {0, 1.5f, 1});
  // Colours in 255ths with alpha 1, shininess as is.
  apply(m, MeshOp::SetColours, {{0, 255}, {1, 51}, {3, 102}, {8, 255}, {9, 64}});
  const Material& mat = m.material;
  EXPECT_EQ((std::array{mat.ambient[0], mat.ambient[1], mat.ambient[3], mat.diffuse[0],
                        mat.diffuse[3], mat.specular[2], mat.shininess}),
            (std::array{1.0f, 0.2f, 1.0f, 0.4f, 1.0f, 1.0f, 64.0f}));
  apply(m, MeshOp::SetRenderState, {{0, 2.7f}, {3, 0}, {6, 3}});  // blend mode truncated
  EXPECT_EQ(std::tuple(mat.blendMode, mat.depthWrite, m.renderData.cullMode),
            std::tuple(2, false, 3));
}

// Textures: -1 none, -2 the frame copy, k texture entity k (truncated; past the end: none).
// Meshes for ShareGeometry and SetParent: past the end keeps or clears the link; a parent link to
// itself or one closing a cycle is refused.
TEST_F(MeshObjectTest, EntityIndicesResolve) {
  std::vector<TextureObject*> tex;
  for (int i = 0; i < 6; ++i) tex.push_back(add<TextureObject>(Category::Texture));
  TextureObject frame;
  frameCopyTexture = &frame;
  auto* a = add<MeshObject>(Category::Mesh);
  auto* b = add<MeshObject>(Category::Mesh);
  const std::tuple<float, float, TextureObject*, TextureObject*> rows[] = {
      {1, 2, tex[1], tex[2]},
      {-1, 5, nullptr, tex[5]},
      {-2, 6, &frame, nullptr},
      {-3, 1.9f, nullptr, tex[1]}};
  for (auto [first, second, want0, want1] : rows) {
    apply(*a, MeshOp::SetTextures, {{0, first}, {3, second}});
    EXPECT_EQ(std::tuple(a->textures[0], a->textures[1]), std::tuple(want0, want1))
        << first << " " << second;
  }
  frameCopyTexture = nullptr;

  apply(*a, MeshOp::ShareGeometry, {{0, 1}});
  apply(*a, MeshOp::ShareGeometry, {{0, 7}});
  EXPECT_EQ(a->sharedRenderData, &b->renderData);
  apply(*a, MeshOp::ShareGeometry, {{0, 0}});
  EXPECT_EQ(a->sharedRenderData, &a->renderData);  // itself is allowed
  apply(*a, MeshOp::SetParent, {{0, 1}});
  apply(*a, MeshOp::SetParent, {{0, 0}});
  apply(*b, MeshOp::SetParent, {{0, 0}});
  EXPECT_EQ(std::tuple(a->parent, b->parent), std::tuple(b, nullptr));
  apply(*a, MeshOp::SetParent, {{0, 9}});
  EXPECT_EQ(a->parent, nullptr);
}

int gBuilds = 0, gReleases = 0, gCreates = 0, gDeletes = 0;

// SetShader 0 turns shaders off, 1-4 choose a source pair, other values keep the pair; a program
// is built when the pair changes (to 0 as well: that deletes it) and released with the material.
TEST_F(MeshObjectTest, SetShaderChoosesPairsAndBuildsOnChange) {
  gBuilds = gReleases = 0;
  MeshGpuHooks hooks;
  hooks.buildProgram = [](ShaderProgram& p) { p.programObject = 100 + uint32_t(++gBuilds); };
  hooks.releaseProgram = [](ShaderProgram&) { ++gReleases; };
  setMeshGpuHooks(hooks);
  {
    MeshObject m;
    // Choice; then shader on, the pair in use, builds so far.
    const std::tuple<float, bool, int, int> rows[] = {
        {2, true, 2, 1}, {2, true, 2, 1}, {7, true, 2, 1}, {0, false, 0, 2}, {2, true, 2, 3}};
    for (auto [choice, enabled, pair, builds] : rows) {
      apply(m, MeshOp::SetShader, {{0, choice}});
      EXPECT_EQ(std::tuple(m.material.shaderEnabled, m.material.program.sourcePair, gBuilds),
                std::tuple(enabled, pair, builds))
          << choice;
    }
    EXPECT_EQ(gReleases, 0);
  }
  EXPECT_EQ(gReleases, 1);
}

TEST_F(MeshObjectTest, NonGeometryOpcodesAndUnknownOnesDoNothing) {
  MeshObject m;
  apply(m, MeshOp::Grid, {{0, 2}, {1, 2}, {3, 32}, {4, 32}});
  const auto before = m.positions;
  Track t;
  t.params.fill(3.0f);
  for (int op : {5, 8, 9, 11, 14, 17, 18, 19, 23, 26, 27, 200}) {
    t.word = static_cast<uint32_t>(op) | kEnabledBit;
    m.applyCommand(t);
  }
  ASSERT_EQ(m.positions.size(), before.size());
  EXPECT_EQ(std::memcmp(m.positions.data(), before.data(), before.size() * sizeof(Vec3)), 0);
  expectVec(m.translation, {0, 0, 0});
}

TEST_F(MeshObjectTest, ScratchCopiesThePoolsOnly) {
  MeshObject a, b;
  apply(a, MeshOp::Sphere, {{0, 4}, {1, 3}, {3, 32}});
  apply(a, MeshOp::Normals, {{0, 1}});
  a.translation = {5, 5, 5};
  a.saveToScratch();
  b.loadFromScratch();
  EXPECT_EQ((std::array{b.positionCount(), b.normalCount(), b.texCoordCount(), b.cornerCount()}),
            (std::array{a.positionCount(), a.normalCount(), a.texCoordCount(), a.cornerCount()}));
  EXPECT_EQ(b.positions[7].y, a.positions[7].y);
  expectVec(b.translation, {0, 0, 0});
  EXPECT_EQ(b.renderData.vertexCount(), a.cornerCount());  // loadFromScratch builds render data
  scratchMesh.clear();
}

// Buffers from the hooks: pair n is (10 + n, 20 + n); with gHalf the index buffer fails.
bool gHalf = false;
void fakeCreate(MeshRenderData& d) {
  ++gCreates;
  d.vertexBuffer = 10 + uint32_t(gCreates);
  d.indexBuffer = gHalf ? 0 : 20 + uint32_t(gCreates);
}

TEST_F(MeshObjectTest, PrecalcUploadUpdateAndClear) {
  gCreates = gDeletes = 0;
  auto* m = add<MeshObject>(Category::Mesh);
  add<MeshObject>(Category::Mesh);
  m->tracksA.append(new Track(makeTrack(MeshOp::SetTransform, {{0, 64}})));
  m->tracksB.append(new Track(makeTrack(MeshOp::Grid, {{3, 64}, {4, 64}})));
  m->tracksB.append(new Track(makeTrack(MeshOp::Normals)));
  m->precalc();  // no hooks: CPU data only
  EXPECT_EQ(std::tuple(m->renderData.vertexCount(), m->renderData.vertexBuffer, m->translation.x),
            std::tuple(6, 0u, 2.0f));
  m->update(1.5f, 0.016f);
  EXPECT_EQ(m->material.program.time, 1.5f);

  MeshGpuHooks hooks;
  hooks.createBuffers = fakeCreate;
  hooks.deleteBuffers = [](MeshRenderData&) { ++gDeletes; };
  setMeshGpuHooks(hooks);
  m->upload();
  EXPECT_EQ(std::tuple(gCreates, gDeletes, m->renderData.vertexBuffer), std::tuple(1, 0, 11u));
  m->upload();  // releases the old pair first
  EXPECT_EQ(std::tuple(gCreates, gDeletes, m->renderData.indexBuffer), std::tuple(2, 1, 22u));
  gHalf = true;
  m->upload();  // half a pair is deleted, not kept
  gHalf = false;
  EXPECT_EQ(std::tuple(gDeletes, m->renderData.vertexBuffer, m->renderData.indexBuffer),
            std::tuple(3, 0u, 0u));

  apply(*m, MeshOp::ShareGeometry, {{0, 1}});
  apply(*m, MeshOp::SetParent, {{0, 1}});
  m->renderData.vertexBuffer = 5;
  m->clear();
  EXPECT_EQ(m->positionCount() + m->normalCount() + m->texCoordCount() + m->cornerCount() +
                m->renderData.vertexCount() + m->renderData.indexCount(),
            0);
  EXPECT_EQ(std::tuple(m->sharedRenderData, m->parent), std::tuple(nullptr, nullptr));
  EXPECT_EQ(m->renderData.vertexBuffer, 5u);  // GPU buffers are not deleted by clear
  m->release();
  EXPECT_EQ(std::tuple(gDeletes, m->renderData.vertexBuffer), std::tuple(4, 0u));
}

// --- outline text ---------------------------------------------------------------------------

float gDepth = -1.0f;
std::vector<std::pair<uint32_t, int32_t>> gDeleted;
std::vector<std::string> gDiagnostics;
std::string gAsked;

TEST_F(MeshObjectTest, TextBuildsGlyphListsAndDeletesThemOnce) {
  {
    MeshObject plain;  // without hooks only the string is kept
    apply(plain, MeshOp::Text, {{0, 32}}, "x");
    EXPECT_EQ(std::tuple(*plain.text.string, plain.text.listsCreated), std::tuple("x", false));
  }
  setGlyphSource([](float depth, std::vector<platform::OutlineGlyph>& glyphs, std::string&) {
    gDepth = depth;
    return true;  // no glyphs at all: the builder pads to codes 0 to 254
  });
  MeshGpuHooks hooks;
  hooks.createGlyphLists = [](std::span<const platform::OutlineGlyph> glyphs) {
    return glyphs.size() == 255 ? 1 + 256 * uint32_t(gDeleted.size()) : 0u;
  };
  hooks.deleteGlyphLists = [](uint32_t base, int32_t n) { gDeleted.emplace_back(base, n); };
  setMeshGpuHooks(hooks);
  gDeleted.clear();
  {
    MeshObject m;
    apply(m, MeshOp::Text, {{0, 16}});  // no name: nothing
    EXPECT_FALSE(m.text.string.has_value());
    apply(m, MeshOp::Text, {{0, 16}}, "Hi!");
    EXPECT_EQ(std::tuple(m.text.string.value_or(""), m.text.depth, gDepth, m.text.listBase),
              std::tuple("Hi!", 0.5f, 0.5f, 1u));  // depth 16 / 32
    apply(m, MeshOp::Text, {{0, 0}}, "flat");
    EXPECT_EQ(std::tuple(m.text.depth, m.text.listBase), std::tuple(0.0f, 257u));
    EXPECT_EQ(gDeleted, (std::vector<std::pair<uint32_t, int32_t>>{{1, 256}}));  // not leaked
  }
  EXPECT_EQ(gDeleted, (std::vector<std::pair<uint32_t, int32_t>>{{1, 256}, {257, 256}}));
  setGlyphSource(nullptr);
}

// Without a glyph source the lists come from the system, for the fixed text font ("Arial Black",
// character height 12); its errors reach the diagnostic hook.
TEST_F(MeshObjectTest, TextAsksTheSystemForOutlineListsOfTheTextFont) {
  MeshGpuHooks hooks;
  hooks.createOutlineGlyphLists = [](const platform::GlyphFont& font, float depth, std::string& e) {
    gAsked =
        std::string(font.face) + " " + std::to_string(font.height) + " " + std::to_string(depth);
    if (depth == 0.0f) e = "no font";  // made-up failure: lists are still returned
    return 7u;
  };
  setMeshGpuHooks(hooks);
  setMeshDiagnosticHook([](const std::string& m) { gDiagnostics.push_back(m); });
  gDiagnostics.clear();
  MeshObject m;
  apply(m, MeshOp::Text, {{0, 8}}, "3D");
  EXPECT_EQ(gAsked, "Arial Black -12 0.250000");  // depth 8 / 32
  EXPECT_EQ(std::tuple(m.text.listBase, m.text.listsCreated, gDiagnostics.size()),
            std::tuple(7u, true, 0u));
  apply(m, MeshOp::Text, {{0, 0}}, "flat");
  EXPECT_EQ(gDiagnostics, std::vector<std::string>{"Text: no font"});
}

}  // namespace
}  // namespace glimmer::test
