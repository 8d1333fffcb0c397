// Pack meshes (bounded codec, LoadMesh) and the pack tool's OBJ, TGA and manifest readers. The OBJ
// dump and repack round trip runs in meshes_roundtrip.cmake.
#include <tuple>

#include "mesh_test_util.h"

namespace glimmer::test {
namespace {

// Payload layout: u32 vertex count, u32 index count, 20 bytes (x y z u v) per vertex, u16 indices.
const PackMesh kQuad = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}},
                        {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
                        {0, 1, 2, 0, 2, 3}};

// The quad encodes to the stated bytes (LoadMesh below reads them back); payloads that lie about
// their sizes or indices are refused, and the message says where.
TEST(PackMeshCodec, EncodesTheStatedLayoutAndRefusesLies) {
  const auto good = encodePackMesh(kQuad);
  ASSERT_EQ(good.size(), 8u + 4 * 20 + 6 * 2);
  // The counts; the last byte of vertex 3's z (0.5f = 0x3F000000); the sixth index.
  EXPECT_EQ(std::tuple(good[0], good[4], good[8 + 3 * 20 + 8 + 3], good[8 + 80 + 10]),
            std::tuple(4, 6, 0x3F, 3));
  PackMesh back;
  std::string error;
  // Bytes kept, then the byte changed (none when past them) and its value.
  const std::tuple<size_t, size_t, uint8_t, const char*> rows[] = {
      {99, 99, 0, "offset 0: 4 vertices and 6 indices need 100"},  // 8 + 4 x 20 + 6 x 2
      {100, 1, 0x10, "offset 0: 4100 vertices"},                   // more than the payload holds
      {100, 3, 0x80, "offset 0: vertex count 2147483652 exceeds the 16-bit"},
      {100, 8 + 80 + 4, 4, "offset 92: index 4"},  // the third index is not below 4 vertices
      {100, 4, 5, "offset 4: index count 5"},      // not whole triangles
      {7, 7, 0, "offset 0: mesh header"},          // shorter than the 8-byte header
  };
  for (auto [length, at, value, says] : rows) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(length));
    if (at < length) bytes[at] = value;
    EXPECT_FALSE(decodePackMesh(bytes, back, error)) << says;
    EXPECT_EQ(error.rfind(says, 0), 0u) << error;
  }
}

// LoadMesh finds the whole name (the last entry too), replaces the pools, and keeps them when the
// entry lies (with a diagnostic naming it) or the name is missing. The pack walk stops at an entry
// that runs past the end and names its offset.
using LoadMeshTest = RegistryTest;

TEST_F(LoadMeshTest, ReadsTheNamedEntry) {
  static std::vector<std::string> messages;
  setMeshDiagnosticHook([](const std::string& m) { messages.push_back(m); });
  std::vector<uint8_t> pack;  // entries: name, zero byte, u32 size, payload
  appendPackEntry(pack, "tri.msh",
                  encodePackMesh({{{}, {1, 0, 0}, {0, 1, 0}}, {{}, {}, {}}, {0, 1, 2}}));
  appendPackEntry(pack, "image.tga", std::vector<uint8_t>{1, 2, 3});
  auto liar = encodePackMesh(kQuad);
  liar[0] = 200;  // claims 200 vertices
  appendPackEntry(pack, "liar.msh", liar);
  appendPackEntry(pack, "quad.msh", encodePackMesh(kQuad));
  meshPackData = pack;
  MeshObject m;
  apply(m, MeshOp::LoadMesh, {}, "quad.msh");
  EXPECT_EQ(std::tuple(m.positionCount(), m.texCoordCount(), m.cornerCount(), m.normalCount(),
                       m.corners[5].position, m.corners[5].texCoord, m.positions[3].z),
            std::tuple(4, 4, 6, 1, 3u, 3u, 0.5f));
  apply(m, MeshOp::LoadMesh, {}, "liar.msh");
  EXPECT_EQ(std::tuple(m.positionCount(), m.cornerCount()), std::tuple(4, 6));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("'liar.msh'"), std::string::npos) << messages[0];
  apply(m, MeshOp::LoadMesh, {}, "tri.msh");
  for (const char* miss : {"quad.obj", "Quad.msh", "quad.ms", "quad", "quad.msh2"})
    apply(m, MeshOp::LoadMesh, {}, miss);
  apply(m, MeshOp::LoadMesh);
  EXPECT_EQ(std::tuple(m.positionCount(), m.cornerCount(), messages.size()), std::tuple(3, 3, 1u));

  // The entries above take 86 + 17 + 113 + 113 = 329 bytes (name, zero, 4, payload of 8 + 20 v +
  // 2 i); then 'b' states 0x3E8 = 1000 payload bytes with 2 left; then a name without its zero.
  std::string why;
  pack.insert(pack.end(), {'b', 0, 0xE8, 3, 0, 0, 1, 2});
  EXPECT_EQ(std::tuple(listPackEntries(pack, &why).size(), findPackEntry(pack, "b").data()),
            std::tuple(4u, nullptr));
  EXPECT_NE(why.find("'b' at offset 329"), std::string::npos) << why;
  EXPECT_TRUE(listPackEntries(std::vector<uint8_t>{'a', 'b'}, &why).empty());
  EXPECT_NE(why.find("name at offset 0"), std::string::npos) << why;
  // "a", its zero, then 3 of the size field's 4 bytes: the size starts at offset 2.
  EXPECT_TRUE(listPackEntries(std::vector<uint8_t>{'a', 0, 1, 2, 3}, &why).empty());
  EXPECT_NE(why.find("size at offset 2"), std::string::npos) << why;
}

// A quad and a triangle sharing position 2 with another texture coordinate; then every mistake,
// reported at its file:line:column.
TEST(ObjReader, TriangulatesDuplicatesSeamsAndNamesErrors) {
  const char* obj =
      "# comment\no thing\nvn 0 0 1\n"
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
      "f 1/1/1 2/2/1 3/3/1 4/4/1\r\nf 2/2 -2/5 3/3\n";
  PackMesh m;
  SourceError e;
  ASSERT_TRUE(parseObj(obj, "q.obj", m, e)) << e.message();
  EXPECT_EQ(m.indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3, 1, 4, 2}));
  ASSERT_EQ(m.positions.size(), 5u);  // (3, vt5) is a seam duplicate
  EXPECT_EQ(std::tuple(m.positions[4].x, m.texCoords[4].u), std::tuple(1.0f, 0.5f));

  const std::string tri = "v 0 0 0\nv 0 0 0\nv 0 0 0\n";
  std::string big;  // 65537 positions and one face using them all: one vertex too many
  for (int v = 0; v < 65537; ++v) big += "v 0 0 0\n";
  for (int v = 1; v <= 65537; ++v) big += (v == 1 ? "f " : " ") + std::to_string(v);
  const std::pair<std::string, const char*> rows[] = {
      {"v 0 0 0\nv 1 0 0\nf 1 2 3\n", "o.obj:3:7: error: position index"},
      {"v 0 0 zero\n", "o.obj:1:7: error: "},
      {tri + "f 1 2\n", "o.obj:4:1: error: "},  // fewer than three corners
      {"bogus 1\n", "o.obj:1:1: error: unknown"},
      {"v 0 0 0\n", "o.obj:1:1: error: the file has no faces"},
      {tri + "f 1/1 2 3\n", "o.obj:4:3: error: texture"},  // texture coordinate 1 does not exist
      {tri + "f 1//9 2 3\n", "o.obj:4:3: error: normal"},
      {tri + "f 1/1/1/1 2 3\n", "o.obj:4:3: error: "},
      // The last corner makes vertex 65537: column 3 + the digits of 1 to 65536 (9 + 180 + 2700 +
      // 36000 + 55537 * 5 = 316574) + 65536 blanks.
      {big, "o.obj:65538:382113: error: this corner needs vertex 65537"},
  };
  for (const auto& [text, where] : rows) {
    EXPECT_FALSE(parseObj(text, "o.obj", m, e)) << where;
    EXPECT_EQ(e.message().rfind(where, 0), 0u) << e.message();
  }
}

// An uncompressed 32-bit TGA: an 18-byte header (type at 2, width at 12, height at 14, bits per
// pixel at 16), then w x h pixels of 4 bytes; trailing bytes (a TGA 2.0 footer) are dropped.
TEST(TgaReader, AcceptsUncompressed32BitAndRefusesTheRestWithTheOffset) {
  const auto tga = [](uint8_t w, uint8_t h) {
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, 32, 8};
    b.resize(18 + size_t{w} * h * 4 + 26, 0x55);
    return b;
  };
  std::vector<uint8_t> entry;
  std::string error;
  ASSERT_TRUE(readTgaImage(tga(4, 2), "i.tga", entry, error)) << error;
  EXPECT_EQ(entry.size(), 18u + 32u);
  // Bytes kept, the byte changed (none when past them) and its value, then the offset named: an ID
  // field, a colour map, RLE type 10, width 1028, height 0, 24 bits, short pixels, short header.
  const std::tuple<size_t, size_t, uint8_t, const char*> rows[] = {
      {82, 0, 3, "offset 0:"},   {82, 1, 1, "offset 1:"},   {82, 2, 10, "offset 2:"},
      {82, 13, 4, "offset 12:"}, {82, 14, 0, "offset 14:"}, {82, 16, 24, "offset 16:"},
      {40, 40, 0, "offset 40:"}, {10, 10, 0, "offset 10:"}};
  for (auto [length, at, value, offset] : rows) {
    auto b = tga(4, 4);
    b.resize(length);
    if (at < length) b[at] = value;
    EXPECT_FALSE(readTgaImage(b, "a.tga", entry, error)) << offset;
    EXPECT_EQ(error.rfind(std::string("a.tga: ") + offset + " error: ", 0), 0u) << error;
  }
}

// Comment lines, blank lines and trailing comments are skipped (the duplicate is on line 4); the
// entries that parse are read by glimmerc pack build in meshes_roundtrip.cmake.
TEST(Manifest, ReportsMistakesAtLineAndColumn) {
  std::vector<ManifestEntry> out;
  SourceError e;
  const std::pair<std::string, const char*> rows[] = {
      {"#\n\nmesh a.msh a.obj # x\nmesh a.msh b.obj\n", "p.manifest:4:6: error: entry 'a.msh'"},
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
