// MeshObject: the attribute opcodes, clear, the hooks and the life cycle; outline
// text and the glyph solids it is made of.
#include <sstream>
#include <tuple>
#include <utility>

#include "mesh_test_util.h"
#include "platform/glyph_outline.h"
#include "texgen/texgen.h"

namespace glimmer::test {
namespace {

using MeshObjectTest = RegistryTest;
using Log = std::vector<std::string>;

// Positions in 32nds, rotation in degrees, scale 1 + p / 10 per axis; colours in 255ths with
// alpha 1, shininess as is; the blend mode truncated. Opcodes without geometry (Repeat,
// PolygonMode, Lighting, Nop) and numbers without a command change none of it afterwards.
TEST_F(MeshObjectTest, AttributeOpcodes) {
  MeshObject m;
  apply(m, MeshOp::Sphere, {{0, 4}, {1, 3}, {3, 32}});
  const auto before = m.positions;
  apply(m, MeshOp::SetTransform,
        {{0, 32}, {1, -64}, {2, 16}, {3, 90}, {4, 45}, {5, -30}, {6, -10}, {7, 5}});
  apply(m, MeshOp::SetColours, {{0, 255}, {1, 51}, {3, 102}, {8, 255}, {9, 64}});
  apply(m, MeshOp::SetRenderState, {{0, 2.7f}, {3, 0}, {6, 3}});
  Track t;
  t.params.fill(3.0f);
  for (int op : {5, 8, 9, 11, 14, 17, 18, 19, 23, 26, 27, 200}) {
    t.word = static_cast<uint32_t>(op) | kEnabledBit;
    m.applyCommand(t);
  }
  EXPECT_TRUE(sameBytes(m.positions, before));
  expectVec(m.translation, {1, -2, 0.5f});
  expectVec(m.rotation, {90, 45, -30});
  expectVec(m.scale, {0, 1.5f, 1});
  const Material& mat = m.material;
  EXPECT_EQ((std::array{mat.ambient[0], mat.ambient[1], mat.ambient[3], mat.diffuse[0],
                        mat.diffuse[3], mat.specular[2], mat.shininess}),
            (std::array{1.0f, 0.2f, 1.0f, 0.4f, 1.0f, 1.0f, 64.0f}));
  EXPECT_EQ(std::tuple(mat.blendMode, mat.depthWrite, m.renderData.cullMode),
            std::tuple(2, false, 3));
}

// Textures: -1 none, -2 the frame copy, k texture entity k (truncated; past the end: none).
// Meshes for ShareGeometry and SetParent: past the end keeps or clears the link; a parent link to
// itself or one closing a cycle is refused.
TEST_F(MeshObjectTest, EntityIndicesResolve) {
  TextureObject* t[6];
  for (auto*& e : t) e = add<TextureObject>(Category::Texture);
  TextureObject frame;
  frameCopyTexture = &frame;
  auto* a = add<MeshObject>(Category::Mesh);
  auto* b = add<MeshObject>(Category::Mesh);
  const std::tuple<float, float, TextureObject*, TextureObject*> rows[] = {
      {1, 2, t[1], t[2]}, {-1, 5, {}, t[5]}, {-2, 6, &frame, {}}, {-3, 1.9f, {}, t[1]}};
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

// GPU hooks, glyph lists and diagnostics that only log what they were asked for. Buffers are
// named 11 and 22 (22 becomes 0 while gHalf is set); glyph list bases count up by 256 from 1;
// the system's outline lists are at 7 and fail ("no font") at depth 0.
Log gLog;
bool gHalf = false;
uint32_t gListBase = 1;

template <typename... T>
void say(const T&... parts) {
  std::ostringstream s;
  ((s << parts << ' '), ...);
  gLog.push_back(s.str().substr(0, s.str().size() - 1));
}

class HookTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    gLog.clear();
    gListBase = 1;
    MeshGpuHooks h;
    // clang-format off
    h.buildProgram = [](ShaderProgram& p) { say("build", p.sourcePair); p.programObject = 1; };
    h.releaseProgram = [](ShaderProgram&) { say("release program"); };
    h.createBuffers = [](MeshRenderData& d) {
      say("create", d.vertexCount()); d.vertexBuffer = 11; d.indexBuffer = gHalf ? 0 : 22; };
    h.deleteBuffers = [](MeshRenderData& d) { say("delete", d.vertexBuffer, d.indexBuffer); };
    h.createGlyphLists = [](std::span<const platform::OutlineGlyph> g) {
      say("lists", g.size()); return std::exchange(gListBase, gListBase + 256); };
    h.deleteGlyphLists = [](uint32_t base, int32_t n) { say("delete lists", base, n); };
    h.createOutlineGlyphLists = [](const platform::GlyphFont& font, float depth, std::string& e) {
      say("outline", font.face, font.height, depth);
      if (depth == 0.0f) e = "no font";  // made-up failure: lists are still returned
      return 7u; };
    // clang-format on
    setMeshGpuHooks(h);
    setMeshDiagnosticHook([](const std::string& m) { say(m); });
  }
  Log take() { return std::exchange(gLog, {}); }
};

// SetShader 0 turns shaders off, 1-4 choose a source pair, other values keep the pair; a program
// is built when the pair changes (to 0 as well: that deletes it) and released with the material.
TEST_F(HookTest, SetShaderChoosesPairsAndBuildsOnChange) {
  {
    MeshObject m;
    // clang-format off
    const std::tuple<float, bool, int, Log> rows[] = {  // choice: shader on, pair, hooks called
        {2, true, 2, {"build 2"}}, {2, true, 2, {}}, {7, true, 2, {}},
        {0, false, 0, {"build 0"}}, {2, true, 2, {"build 2"}}};
    // clang-format on
    for (const auto& [choice, enabled, pair, log] : rows) {
      apply(m, MeshOp::SetShader, {{0, choice}});
      EXPECT_EQ(std::tuple(m.material.shaderEnabled, m.material.program.sourcePair, take()),
                std::tuple(enabled, pair, log))
          << choice;
    }
  }
  EXPECT_EQ(take(), Log{"release program"});  // with the material
}

// Precalculation applies both lists and uploads; each upload releases the old pair first, and a
// half-made pair is deleted, not kept; clear keeps the GPU buffers, release deletes them.
TEST_F(HookTest, PrecalcUploadAndClear) {
  auto* m = add<MeshObject>(Category::Mesh);
  add<MeshObject>(Category::Mesh);
  m->tracksA.append(new Track(makeTrack(MeshOp::SetTransform, {{0, 64}})));
  m->tracksB.append(new Track(makeTrack(MeshOp::Grid, {{3, 64}, {4, 64}})));
  m->tracksB.append(new Track(makeTrack(MeshOp::Normals)));
  m->precalc();
  EXPECT_EQ(std::tuple(take(), m->translation.x), std::tuple(Log{"create 6"}, 2.0f));
  m->upload();
  EXPECT_EQ(take(), (Log{"delete 11 22", "create 6"}));
  gHalf = true;
  m->upload();
  gHalf = false;
  EXPECT_EQ(take(), (Log{"delete 11 22", "create 6", "delete 11 0"}));
  EXPECT_EQ(std::tuple(m->renderData.vertexBuffer, m->renderData.indexBuffer), std::tuple(0u, 0u));

  apply(*m, MeshOp::ShareGeometry, {{0, 1}});
  apply(*m, MeshOp::SetParent, {{0, 1}});
  m->renderData.vertexBuffer = 5;
  m->clear();
  EXPECT_EQ(m->positionCount() + m->normalCount() + m->texCoordCount() + m->cornerCount() +
                m->renderData.vertexCount() + m->renderData.indexCount(),
            0);
  EXPECT_EQ(std::tuple(m->sharedRenderData, m->parent, take()),
            std::tuple(nullptr, nullptr, Log{}));
  m->release();
  EXPECT_EQ(std::tuple(take(), m->renderData.vertexBuffer), std::tuple(Log{"delete 5 0"}, 0u));
}

// Text keeps its string and depth (p0 / 32) and makes glyph lists: from the installed glyph source
// (padded to codes 0 to 254), else from the system for the fixed text font ("Arial Black",
// character height 12). A second Text frees the first one's lists, and so does the destructor.
TEST_F(HookTest, TextMakesGlyphListsAndDeletesThemOnce) {
  setGlyphSource([](float, std::vector<platform::OutlineGlyph>&, std::string&) { return true; });
  {
    MeshObject m;
    apply(m, MeshOp::Text, {{0, 16}});  // no name: nothing
    EXPECT_EQ(std::tuple(m.text.string.has_value(), take()), std::tuple(false, Log{}));
    apply(m, MeshOp::Text, {{0, 16}}, "Hi!");
    EXPECT_EQ(std::tuple(*m.text.string, m.text.depth, m.text.listBase, take()),
              std::tuple("Hi!", 0.5f, 1u, Log{"lists 255"}));
    apply(m, MeshOp::Text, {{0, 0}}, "flat");
    EXPECT_EQ(std::tuple(m.text.depth, m.text.listBase, take()),
              std::tuple(0.0f, 257u, Log{"delete lists 1 256", "lists 255"}));
  }
  EXPECT_EQ(take(), Log{"delete lists 257 256"});
  setGlyphSource(nullptr);
  MeshObject m;
  apply(m, MeshOp::Text, {{0, 8}}, "3D");
  EXPECT_EQ(std::tuple(m.text.listBase, take()),
            std::tuple(7u, Log{"outline Arial Black -12 0.25"}));
  apply(m, MeshOp::Text, {{0, 0}}, "flat");
  EXPECT_EQ(take(), (Log{"delete lists 7 256", "outline Arial Black -12 0", "Text: no font"}));
}

// --- outline glyphs from the installed "Arial Black" substitute ---

struct GlyphStats {
  double volume = 0, frontArea = 0;  // divergence theorem over all triangles; area of the front
  int front = 0, back = 0, side = 0;
};

// Triangles are 3 x (x y z nx ny nz). Front faces (normal +z) lie at z = 0, back faces (-z) at
// -depth; side walls have unit normals in the xy plane.
GlyphStats measure(const platform::OutlineGlyph& g, float depth) {
  using meshops::cross, meshops::dot, meshops::sub;
  GlyphStats s;
  const float* v = g.vertices.data();
  for (int t = 0; t < g.triangleCount(); ++t, v += 18) {
    const Vec3 a{v[0], v[1], v[2]}, b{v[6], v[7], v[8]}, c{v[12], v[13], v[14]},
        n{v[3], v[4], v[5]};
    const Vec3 area2 = cross(sub(b, a), sub(c, a));  // twice the area along the geometric normal
    EXPECT_GE(dot(area2, n), -1e-12f) << "triangle " << t << " winds against its normal";
    s.volume += dot(a, cross(b, c)) / 6.0;
    if (n.z == 1.0f || n.z == -1.0f) {
      const float z = n.z == 1.0f ? 0.0f : -depth;
      EXPECT_TRUE(a.z == z && b.z == z && c.z == z) << "triangle " << t;
      ++(n.z == 1.0f ? s.front : s.back);
      if (n.z == 1.0f) s.frontArea += area2.z / 2.0;
    } else {
      ++s.side;
      EXPECT_NEAR(n.x * n.x + n.y * n.y, 1.0f, 1e-5);
    }
  }
  return s;
}

TEST(OutlineGlyphs, ClosedSolids) {
  std::vector<platform::OutlineGlyph> g, flat;
  std::string error;
  if (!platform::buildOutlineGlyphs("Arial Black", 0, 255, 0.001f, 0.25f, g, error))
    GTEST_SKIP() << "no font installed: " << error;
  ASSERT_EQ(g.size(), 255u);
  for (unsigned char c : std::string("AOB8g%@.")) {
    const GlyphStats s = measure(g[c], 0.25f);
    EXPECT_TRUE(s.front > 0 && s.front == s.back && s.side > 0) << c;
    // A closed outward solid: its volume is the filled area times the depth.
    EXPECT_NEAR(s.volume, s.frontArea * 0.25, 1e-3 * s.frontArea) << c;
  }
  // The counter of 'O' is not filled: its area is well below that of its outer contour's box.
  const double o = measure(g['O'], 0.25f).frontArea;
  EXPECT_TRUE(o < 0.45 && o > measure(g['.'], 0.25f).frontArea) << o;
  // Depth 0: faces only, no walls.
  ASSERT_TRUE(platform::buildOutlineGlyphs("Arial Black", 'A', 1, 0.001f, 0.0f, flat, error));
  const GlyphStats s = measure(flat.at(0), 0.0f);
  EXPECT_TRUE(s.front > 0 && s.front == s.back && s.side == 0);
}

}  // namespace
}  // namespace glimmer::test
