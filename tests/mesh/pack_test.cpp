// Pack meshes: encoding and bounded decoding, LoadMesh through the pack lookup, the OBJ, TGA and
// manifest readers of the pack tool, and the OBJ round trip.
#include <cstring>

#include "mesh_test_util.h"

namespace glimmer::test {
namespace {

PackMesh quad() {
  PackMesh p;
  p.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  p.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  p.indices = {0, 1, 2, 0, 2, 3};
  return p;
}

class PackTest : public RegistryTest {
 protected:
  void TearDown() override {
    meshPackData = {};
    setMeshDiagnosticHook(nullptr);
    RegistryTest::TearDown();
  }
};

std::vector<std::string> gMessages;
void collect(const std::string& m) { gMessages.push_back(m); }

TEST(PackMeshCodec, EncodesTheStatedLayout) {
  const auto bytes = encodePackMesh(quad());
  ASSERT_EQ(bytes.size(), 8u + 4 * 20 + 6 * 2);
  EXPECT_EQ(bytes[0], 4);
  EXPECT_EQ(bytes[4], 6);
  float z;
  std::memcpy(&z, &bytes[8 + 3 * 20 + 8], 4);
  EXPECT_EQ(z, 0.5f);
  EXPECT_EQ(bytes[8 + 80 + 10], 3);  // last index, little-endian
  PackMesh back;
  std::string error;
  ASSERT_TRUE(decodePackMesh(bytes, back, error)) << error;
  EXPECT_EQ(back.indices, quad().indices);
  EXPECT_EQ(back.positions[3].z, 0.5f);
}

// Payloads that lie about their sizes or indices are refused; the message says where.
TEST(PackMeshCodec, LyingPayloadsAreRefused) {
  const auto good = encodePackMesh(quad());
  const struct {
    size_t at;  // byte changed (past the end: the payload is cut there instead)
    uint8_t value;
    const char* says;
  } rows[] = {
      {99, 0, "100"},                // one byte short of 8 + 4 x 20 + 6 x 2
      {1, 0x10, ""},                 // vertex count 4100: more than the payload holds
      {3, 0x80, "16-bit"},           // a vertex count beyond 16-bit indices
      {8 + 80 + 4, 4, "offset 92"},  // the third index is 4, not below 4 vertices
      {4, 5, ""},                    // 5 indices: not whole triangles
      {7, 0, ""},                    // shorter than the 8-byte header
  };
  for (const auto& r : rows) {
    auto bytes = good;
    if (r.at == 99 || r.at == 7) {
      bytes.resize(r.at);
    } else {
      bytes[r.at] = r.value;
    }
    PackMesh out;
    std::string error;
    EXPECT_FALSE(decodePackMesh(bytes, out, error)) << r.at;
    EXPECT_NE(error.find(r.says), std::string::npos) << error;
  }
}

TEST_F(PackTest, LoadMeshReadsTheNamedEntry) {
  std::vector<uint8_t> pack;
  PackMesh tri;
  tri.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  tri.texCoords = {{0, 0}, {1, 0}, {0, 1}};
  tri.indices = {0, 1, 2};
  appendPackEntry(pack, "tri.msh", encodePackMesh(tri));
  const uint8_t image[3] = {1, 2, 3};
  appendPackEntry(pack, "image.tga", image);
  appendPackEntry(pack, "quad.msh", encodePackMesh(quad()));
  meshPackData = pack;

  MeshObject m;
  apply(m, MeshOp::LoadMesh, {}, "quad.msh");  // the last entry
  EXPECT_EQ(m.positionCount(), 4);
  EXPECT_EQ(m.texCoordCount(), 4);
  EXPECT_EQ(m.cornerCount(), 6);
  EXPECT_EQ(m.normalCount(), 1);
  EXPECT_EQ(m.corners[5].position, 3u);
  EXPECT_EQ(m.corners[5].texCoord, 3u);
  EXPECT_EQ(m.positions[3].z, 0.5f);
  apply(m, MeshOp::LoadMesh, {}, "tri.msh");  // a second LoadMesh replaces the first
  EXPECT_EQ(m.positionCount(), 3);
  EXPECT_EQ(m.cornerCount(), 3);
  apply(m, MeshOp::LoadMesh, {}, "TRI.msh");
  apply(m, MeshOp::LoadMesh, {}, "tri.obj");
  apply(m, MeshOp::LoadMesh);
  EXPECT_EQ(m.positionCount(), 3);  // not found, no name: unchanged
}

TEST_F(PackTest, LyingEntryKeepsThePoolsAndNamesTheEntry) {
  gMessages.clear();
  setMeshDiagnosticHook(collect);
  std::vector<uint8_t> pack;
  auto payload = encodePackMesh(quad());
  payload[0] = 200;  // claims 200 vertices
  appendPackEntry(pack, "liar.msh", payload);
  meshPackData = pack;
  MeshObject m;
  apply(m, MeshOp::Grid, {{3, 32}, {4, 32}});
  apply(m, MeshOp::LoadMesh, {}, "liar.msh");
  EXPECT_EQ(m.positionCount(), 4);
  EXPECT_EQ(m.cornerCount(), 6);
  ASSERT_EQ(gMessages.size(), 1u);
  EXPECT_NE(gMessages[0].find("'liar.msh'"), std::string::npos) << gMessages[0];
}

TEST_F(PackTest, EntryRunningPastTheEndIsNotFound) {
  std::vector<uint8_t> pack;
  appendPackEntry(pack, "quad.msh", encodePackMesh(quad()));
  pack.resize(pack.size() - 10);  // truncated pack: the entry states more than remains
  meshPackData = pack;
  MeshObject m;
  apply(m, MeshOp::LoadMesh, {}, "quad.msh");
  EXPECT_EQ(m.positionCount(), 0);
}

// --- OBJ reader ---------------------------------------------------------------------------

TEST(ObjReader, TriangulatesAndDuplicatesSeams) {
  const char* obj =
      "# a quad and a triangle sharing position 2 with another texture coordinate\n"
      "o thing\n"
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
      "vn 0 0 1\n"
      "f 1/1/1 2/2/1 3/3/1 4/4/1\r\n"
      "f 2/2 -2/5 3/3\n";
  PackMesh m;
  SourceError e;
  ASSERT_TRUE(parseObj(obj, "q.obj", m, e)) << e.message();
  ASSERT_EQ(m.indices.size(), 9u);
  EXPECT_EQ(m.positions.size(), 5u);  // (3, vt5) is a seam duplicate
  const std::vector<uint16_t> expect = {0, 1, 2, 0, 2, 3, 1, 4, 2};
  EXPECT_EQ(m.indices, expect);
  EXPECT_EQ(m.positions[4].x, 1.0f);
  EXPECT_EQ(m.texCoords[4].u, 0.5f);
}

TEST(ObjReader, ErrorsNameFileLineAndColumn) {
  const std::string tri = "v 0 0 0\nv 0 0 0\nv 0 0 0\n";
  const std::pair<std::string, const char*> rows[] = {
      {"v 0 0 0\nv 1 0 0\nf 1 2 3\n", "o.obj:3:7: error: "},  // position index 3
      {"v 0 0 zero\n", "o.obj:1:7: error: "},
      {tri + "f 1 2\n", "o.obj:4:"},  // fewer than three corners
      {"bogus 1\n", "o.obj:1:"},
      {"v 0 0 0\n", "o.obj:"},                      // no faces
      {tri + "f 1/1 2 3\n", "o.obj:4:3: error: "},  // texture coordinate 1 does not exist
      {tri + "f 1//9 2 3\n", "o.obj:4:"},           // normal 9 does not exist
      {tri + "f 1/1/1/1 2 3\n", "o.obj:4:"},
  };
  for (const auto& [obj, where] : rows) {
    PackMesh m;
    SourceError e;
    EXPECT_FALSE(parseObj(obj, "o.obj", m, e)) << obj;
    EXPECT_EQ(e.message().rfind(where, 0), 0u) << obj << " gave " << e.message();
  }
}

TEST(ObjReader, SixteenBitLimitIsEnforced) {
  std::string obj;
  const int quads = 16385;  // 4 fresh vertices each: 65540 > 65536
  for (int q = 0; q < quads; ++q) obj += "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
  obj += "vt 0 0\n";
  for (int q = 0; q < quads; ++q) {
    const int b = q * 4 + 1;
    obj += "f " + std::to_string(b) + " " + std::to_string(b + 1) + " " + std::to_string(b + 2) +
           " " + std::to_string(b + 3) + "\n";
  }
  PackMesh m;
  SourceError e;
  ASSERT_FALSE(parseObj(obj, "big.obj", m, e));
  EXPECT_EQ(e.line, quads * 4 + 1 + 16384 + 1);
  EXPECT_NE(e.what.find("65537"), std::string::npos) << e.what;
}

TEST_F(PackTest, DumpPackAndLoadGiveTheSamePools) {
  MeshObject source;
  apply(source, MeshOp::Sphere, {{0, 9}, {1, 6}, {3, 40}});
  apply(source, MeshOp::Transform, {{3, 17}, {6, 30}});
  // A pack mesh has one texture coordinate per position: take the sphere through the pack once.
  PackMesh first;
  SourceError e;
  ASSERT_TRUE(parseObj(writeObj(source, "sphere"), "s.obj", first, e)) << e.message();
  std::vector<uint8_t> pack;
  appendPackEntry(pack, "sphere.msh", encodePackMesh(first));
  meshPackData = pack;
  MeshObject loaded;
  apply(loaded, MeshOp::LoadMesh, {}, "sphere.msh");
  ASSERT_EQ(loaded.cornerCount(), source.cornerCount());
  for (size_t i = 0; i < source.corners.size(); ++i) {
    const Vec3 a = source.positions[source.corners[i].position];
    const Vec3 b = loaded.positions[loaded.corners[i].position];
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_EQ(source.texCoords[source.corners[i].texCoord].u,
              loaded.texCoords[loaded.corners[i].texCoord].u);
  }
}

// --- TGA and manifest ------------------------------------------------------------------------

std::vector<uint8_t> tga(int w, int h, int bpp = 32, int type = 2) {
  std::vector<uint8_t> b(18 + static_cast<size_t>(w * h * 4), 0x55);
  std::fill(b.begin(), b.begin() + 18, 0);
  b[2] = static_cast<uint8_t>(type);
  b[12] = static_cast<uint8_t>(w & 0xFF);
  b[13] = static_cast<uint8_t>(w >> 8);
  b[14] = static_cast<uint8_t>(h & 0xFF);
  b[15] = static_cast<uint8_t>(h >> 8);
  b[16] = static_cast<uint8_t>(bpp);
  b[17] = 8;
  return b;
}

TEST(TgaReader, AcceptsUncompressed32BitAndDropsTrailingBytes) {
  auto bytes = tga(4, 2);
  bytes.insert(bytes.end(), 26, 0);  // a TGA 2.0 footer
  std::vector<uint8_t> entry;
  std::string error;
  ASSERT_TRUE(readTgaImage(bytes, "i.tga", entry, error)) << error;
  EXPECT_EQ(entry.size(), 18u + 32u);
}

TEST(TgaReader, RefusesWhatTheTextureLoaderCannotRead) {
  std::vector<uint8_t> entry;
  std::string error;
  EXPECT_FALSE(readTgaImage(tga(4, 4, 24), "a.tga", entry, error));
  EXPECT_EQ(error.rfind("a.tga: offset 16: error:", 0), 0u) << error;
  EXPECT_FALSE(readTgaImage(tga(4, 4, 32, 10), "b.tga", entry, error));
  EXPECT_FALSE(readTgaImage(tga(1024, 1), "c.tga", entry, error));
  auto shortData = tga(4, 4);
  shortData.resize(40);
  EXPECT_FALSE(readTgaImage(shortData, "d.tga", entry, error));
  EXPECT_NE(error.find("d.tga: offset 40: error"), std::string::npos) << error;
  EXPECT_FALSE(readTgaImage(std::vector<uint8_t>(10), "e.tga", entry, error));
  auto withId = tga(2, 2);
  withId[0] = 3;
  EXPECT_FALSE(readTgaImage(withId, "f.tga", entry, error));
}

TEST(Manifest, ParsesEntriesAndReportsMistakes) {
  std::vector<ManifestEntry> out;
  SourceError e;
  ASSERT_TRUE(parseManifest("# pack\n\nmesh box.msh box.obj\nimage sky.tga  sky.tga # comment\n",
                            "p.manifest", out, e))
      << e.message();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].kind, ManifestEntry::Kind::Image);
  EXPECT_EQ(out[1].file, "sky.tga");
  EXPECT_EQ(out[1].line, 4);
  EXPECT_FALSE(parseManifest("mesh a.msh a.obj\nmesh a.msh b.obj\n", "p.manifest", out, e));
  EXPECT_EQ(e.message().rfind("p.manifest:2:6: error:", 0), 0u) << e.message();
  EXPECT_FALSE(parseManifest("texture a b\n", "p.manifest", out, e));
  EXPECT_FALSE(parseManifest("mesh a.msh\n", "p.manifest", out, e));
}

}  // namespace
}  // namespace glimmer::test
