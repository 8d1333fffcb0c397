// Pack meshes: encoding and bounded decoding, LoadMesh through the pack lookup, and the OBJ, TGA
// and manifest readers of the pack tool. (The OBJ dump and repack round trip runs in
// meshes_roundtrip.cmake.)
#include <cstring>

#include "mesh_test_util.h"

namespace glimmer::test {
namespace {

// Payload layout: u32 vertex count, u32 index count, 20 bytes (x y z u v) per vertex, u16 indices.
const PackMesh kQuad = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}},
                        {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
                        {0, 1, 2, 0, 2, 3}};

class PackTest : public RegistryTest {
 protected:
  void TearDown() override {
    meshPackData = {};
    RegistryTest::TearDown();
  }
  std::vector<uint8_t> pack;
};

TEST(PackMeshCodec, EncodesTheStatedLayout) {
  const auto bytes = encodePackMesh(kQuad);
  ASSERT_EQ(bytes.size(), 8u + 4 * 20 + 6 * 2);
  EXPECT_EQ(std::tuple(bytes[0], bytes[4]), std::tuple(4, 6));
  float z;
  std::memcpy(&z, &bytes[8 + 3 * 20 + 8], 4);
  EXPECT_EQ(z, 0.5f);
  EXPECT_EQ(bytes[8 + 80 + 10], 3);  // last index, little-endian
  PackMesh back;
  std::string error;
  ASSERT_TRUE(decodePackMesh(bytes, back, error)) << error;
  EXPECT_EQ(back.indices, kQuad.indices);
  EXPECT_EQ(back.positions[3].z, 0.5f);
}

// Payloads that lie about their sizes or indices are refused; the message says where.
TEST(PackMeshCodec, LyingPayloadsAreRefused) {
  const auto good = encodePackMesh(kQuad);
  constexpr size_t kCut = 1000;  // value meaning: cut the payload at `at` instead
  // clang-format off
  const struct { size_t at, value; const char* says; } rows[] = {
      {99, kCut, "offset 0: 4 vertices and 6 indices need 100"},  // 8 + 4 x 20 + 6 x 2
      {1, 0x10, "offset 0: 4100 vertices"},                       // more than the payload holds
      {3, 0x80, "offset 0: vertex count 2147483652 exceeds the 16-bit"},
      {8 + 80 + 4, 4, "offset 92: index 4"},  // the third index is not below 4 vertices
      {4, 5, "offset 4: index count 5"},      // not whole triangles
      {7, kCut, "offset 0: mesh header"},     // shorter than the 8-byte header
  };
  // clang-format on
  for (const auto& r : rows) {
    auto bytes = good;
    if (r.value == kCut)
      bytes.resize(r.at);
    else
      bytes[r.at] = uint8_t(r.value);
    PackMesh out;
    std::string error;
    EXPECT_FALSE(decodePackMesh(bytes, out, error)) << r.says;
    EXPECT_EQ(error.rfind(r.says, 0), 0u) << error;
  }
}

TEST_F(PackTest, LoadMeshReadsTheNamedEntryAndKeepsThePoolsOnALie) {
  static std::vector<std::string> messages;
  setMeshDiagnosticHook([](const std::string& m) { messages.push_back(m); });
  appendPackEntry(pack, "tri.msh",
                  encodePackMesh({{{}, {1, 0, 0}, {0, 1, 0}}, {{}, {}, {}}, {0, 1, 2}}));
  appendPackEntry(pack, "image.tga", std::vector<uint8_t>{1, 2, 3});
  auto liar = encodePackMesh(kQuad);
  liar[0] = 200;  // claims 200 vertices
  appendPackEntry(pack, "liar.msh", liar);
  appendPackEntry(pack, "quad.msh", encodePackMesh(kQuad));
  meshPackData = pack;

  MeshObject m;
  apply(m, MeshOp::LoadMesh, {}, "quad.msh");  // the last entry
  EXPECT_EQ((std::array{m.positionCount(), m.texCoordCount(), m.cornerCount(), m.normalCount()}),
            (std::array{4, 4, 6, 1}));
  EXPECT_EQ(std::tuple(m.corners[5].position, m.corners[5].texCoord), std::tuple(3u, 3u));
  EXPECT_EQ(m.positions[3].z, 0.5f);
  apply(m, MeshOp::LoadMesh, {}, "liar.msh");
  EXPECT_EQ(std::tuple(m.positionCount(), m.cornerCount()), std::tuple(4, 6));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("'liar.msh'"), std::string::npos) << messages[0];
  apply(m, MeshOp::LoadMesh, {}, "tri.msh");  // a second LoadMesh replaces the first
  EXPECT_EQ(std::tuple(m.positionCount(), m.cornerCount()), std::tuple(3, 3));
  apply(m, MeshOp::LoadMesh, {}, "TRI.msh");
  apply(m, MeshOp::LoadMesh, {}, "tri.obj");
  apply(m, MeshOp::LoadMesh);
  EXPECT_EQ(m.positionCount(), 3);  // not found, no name: unchanged
  EXPECT_EQ(messages.size(), 1u);
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
  EXPECT_EQ(m.indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3, 1, 4, 2}));
  ASSERT_EQ(m.positions.size(), 5u);  // (3, vt5) is a seam duplicate
  EXPECT_EQ(std::tuple(m.positions[4].x, m.texCoords[4].u), std::tuple(1.0f, 0.5f));
}

TEST(ObjReader, ErrorsNameFileLineAndColumn) {
  const std::string tri = "v 0 0 0\nv 0 0 0\nv 0 0 0\n";
  std::string big;  // 16385 quads of 4 fresh vertices each: 65540 > 65536
  for (int q = 0; q < 16385; ++q) big += "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
  big += "vt 0 0\n";
  for (int b = 1; b < 4 * 16385; b += 4)
    big += "f " + std::to_string(b) + " " + std::to_string(b + 1) + " " + std::to_string(b + 2) +
           " " + std::to_string(b + 3) + "\n";
  const std::pair<std::string, const char*> rows[] = {
      {"v 0 0 0\nv 1 0 0\nf 1 2 3\n", "o.obj:3:7: error: position index"},
      {"v 0 0 zero\n", "o.obj:1:7: error: "},
      {tri + "f 1 2\n", "o.obj:4:1: error: "},  // fewer than three corners
      {"bogus 1\n", "o.obj:1:1: error: unknown"},
      {"v 0 0 0\n", "o.obj:1:1: error: the file has no faces"},
      {tri + "f 1/1 2 3\n", "o.obj:4:3: error: texture"},  // texture coordinate 1 does not exist
      {tri + "f 1//9 2 3\n", "o.obj:4:3: error: normal"},
      {tri + "f 1/1/1/1 2 3\n", "o.obj:4:3: error: "},
      // Vertex 65537 is made by the first corner of face 16385, on line 65540 + 1 + 16384 + 1.
      {big, "o.obj:81926:3: error: this corner needs vertex 65537"},
  };
  for (const auto& [obj, where] : rows) {
    PackMesh m;
    SourceError e;
    EXPECT_FALSE(parseObj(obj, "o.obj", m, e)) << where;
    EXPECT_EQ(e.message().rfind(where, 0), 0u) << e.message();
  }
}

// --- TGA and manifest ------------------------------------------------------------------------

// An uncompressed 32-bit TGA: an 18-byte header (type at 2, width at 12, height at 14, bits per
// pixel at 16), then w x h pixels of 4 bytes.
std::vector<uint8_t> tga(uint8_t w, uint8_t h) {
  std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, 32, 8};
  b.resize(18 + size_t{w} * h * 4, 0x55);
  return b;
}

TEST(TgaReader, AcceptsUncompressed32BitAndRefusesTheRestWithTheOffset) {
  auto bytes = tga(4, 2);
  bytes.insert(bytes.end(), 26, 0);  // a TGA 2.0 footer is dropped
  std::vector<uint8_t> entry;
  std::string error;
  ASSERT_TRUE(readTgaImage(bytes, "i.tga", entry, error)) << error;
  EXPECT_EQ(entry.size(), 18u + 32u);
  // Byte changed and its new value (-1: the file is cut there instead), then the offset named: an
  // ID field, a colour map, RLE type 10, width 1028, height 0, 24 bits, short pixels, short header.
  // clang-format off
  const std::tuple<size_t, int, const char*> rows[] = {
      {0, 3, "offset 0:"}, {1, 1, "offset 1:"}, {2, 10, "offset 2:"}, {13, 4, "offset 12:"},
      {14, 0, "offset 14:"}, {16, 24, "offset 16:"}, {40, -1, "offset 40:"}, {10, -1, "offset 10:"}};
  // clang-format on
  for (auto [at, value, offset] : rows) {
    auto b = tga(4, 4);
    if (value < 0)
      b.resize(at);
    else
      b[at] = uint8_t(value);
    EXPECT_FALSE(readTgaImage(b, "a.tga", entry, error)) << offset;
    EXPECT_EQ(error.rfind(std::string("a.tga: ") + offset + " error: ", 0), 0u) << error;
  }
}

TEST(Manifest, ParsesEntriesAndReportsMistakes) {
  std::vector<ManifestEntry> out;
  SourceError e;
  ASSERT_TRUE(parseManifest("# pack\n\nmesh box.msh box.obj\nimage sky.tga  sky.tga # comment\n",
                            "p.manifest", out, e))
      << e.message();
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(std::tuple(out[1].kind, out[1].file, out[1].line),
            std::tuple(ManifestEntry::Kind::Image, "sky.tga", 4));
  const std::pair<std::string, const char*> rows[] = {
      {"mesh a.msh a.obj\nmesh a.msh b.obj\n", "p.manifest:2:6: error: entry 'a.msh'"},
      {"image " + std::string(512, 'n') + " a.tga\n", "p.manifest:1:7: error: an entry name"},
      {"texture a b\n", "p.manifest:1:1: error: expected 'mesh' or 'image'"},
      {"mesh a.msh\n", "p.manifest:1:1: error: expected: mesh NAME FILE"},
  };
  for (const auto& [text, where] : rows) {
    EXPECT_FALSE(parseManifest(text, "p.manifest", out, e)) << text;
    EXPECT_EQ(e.message().rfind(where, 0), 0u) << e.message();
  }
}

}  // namespace
}  // namespace glimmer::test
